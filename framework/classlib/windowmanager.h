#pragma once
// WINDOWMANAGER: the frame every window procedure runs in. A procedure derives its THISWINDOW
// from WindowManager (or from ProcedureFrame, which adds the common INIT and KILL steps) and
// overrides the steps it needs, calling the base step where its code says PARENT.
//
// Run() is Init; Ask when Init returned 0; Kill; the result is the response, or 2 (cancelled)
// when none was set. Ask is the event loop: every event goes to TakeEvent; 3 ends the loop, 5
// marks the event as consumed (the window engine does nothing further with it), 0 lets the
// engine's own handling happen. A close of the window (CloseWindow, or CloseDown when the program
// closes) ends the loop without closing the window yet: Kill still sees it open (its position is saved), and the window closes when Run returns.
//
// TakeEvent dispatches, stopping at the first non-zero level:
//   1. an event without a control: TakeWindowEvent;
//   2. by the event: Accepted -> TakeAccepted, Rejected -> TakeRejected, Selected ->
//      TakeSelected, NewSelection -> TakeNewSelection; AlertKey with the history key ->
//      RestoreField of the focused control; Sized -> kResizeEvent posted to the window's own
//      thread (the resizer re-lays the controls on it);
//   3. an event with a control: TakeFieldEvent;
//   4. every component added with AddItem, in the order added.
//
// A Take step that decides the event is fully handled returns 5 at once (return Cycle();),
// without its remaining statements and without the base step.
//
// Update forms (a window over one record, run with a request in GLOBALREQUEST):
//   requests 1 insert, 2 change, 3 delete, 6 view; responses 1 completed, 2 cancelled.
//   PrimeUpdate (before the window opens) keeps a copy of the record as it starts, and for a
//   delete request with DeleteAction::Immediate deletes it through the primary file at once
//   (response 1, or 2 when the delete failed) and returns non-zero: the window never opens.
//   Accepting the OK control starts the accept-all pass; its Completed event runs TakeCompleted:
//   the record goes into the history record, then is inserted (1) or changed (2) through the
//   primary file; on success the response is 1 and the window closes, else it stays open.
//   A required control that is empty stops the pass with the focus on it; nothing is written.
//   Closing (the cancel button, the close box) on an insert or change whose record differs from
//   the one the form started with asks "Are you sure you want to cancel?" ("Changes will be
//   lost!", message Msg::ConfirmCancel) when CancelAction is Confirm: Yes closes, No keeps the
//   window open with the focus on the first field. A plain cancel action never asks.
//   When the program closes (a CloseDown event), every insert or change form whose record
//   differs asks that question, whatever its CancelAction: Yes closes as a cancel, No keeps the
//   window open and tells the closing program (eng::closeDownRefused), which then goes on.
//   The application frame's close first closes every other thread's windows
//   (eng::closeDownThreads); while one of them stays open, so does the frame.
//   The history key (Ctrl+H) puts back, in a history field, the value that field had in the
//   record last written by a form on the same thread (the history record is the caller's).

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/classlib/errors.h"
#include "framework/engine/events.h"
#include "framework/engine/window.h"
#include "framework/types/fields.h"

namespace vx {

// Request and response codes of GLOBALREQUEST and GLOBALRESPONSE.
namespace Request {
constexpr int None = 0;
constexpr int Insert = 1;
constexpr int Change = 2;
constexpr int Delete = 3;
constexpr int Print = 5;
constexpr int View = 6;
}  // namespace Request
namespace Response {
constexpr int None = 0;
constexpr int Completed = 1;
constexpr int Cancelled = 2;
}  // namespace Response

// The event on which a resizer re-lays its window's controls; posted on every Sized event.
constexpr int kResizeEvent = eng::ev::User + 0x3F0;

// Navigation buttons of the toolbar: 3001 insert, 3002 change, 3003 delete, 3004 select,
// 3005 bottom, 3006 top, 3007 page down, 3008 page up, 3009 down, 3010 up, 3011 locate,
// 3012 history.
namespace Nav {
constexpr int Insert = 3001, Change = 3002, Delete = 3003, Select = 3004, Bottom = 3005, Top = 3006,
              PageDown = 3007, PageUp = 3008, Down = 3009, Up = 3010, Locate = 3011, History = 3012;
constexpr int First = 3001, Last = 3012;
inline bool is(int feq) { return feq >= First && feq <= Last; }
}  // namespace Nav

class WindowManager;

// A window component (a browse, the toolbar object, the resizer, the help object): it sees
// every event the window manager's own steps leave unhandled, in the order of AddItem.
class WindowComponent {
public:
    virtual ~WindowComponent() = default;
    virtual int TakeEvent(WindowManager&) { return 0; }
    virtual void SetAlerts(WindowManager&) {}
    virtual void Update(WindowManager&) {}              // the manager's Update: re-read what is shown
    virtual void Reset(WindowManager&, bool /*force*/) {}  // the manager's Reset: redisplay
};

// What the update-form path needs of its primary file: the record buffer and the three writes.
// Each write reports its own failure through the error manager and returns a level (0 = done).
class UpdateTarget {
public:
    virtual ~UpdateTarget() = default;
    virtual void* Buffer() = 0;
    virtual std::size_t Size() const = 0;
    virtual int Insert() = 0;  // a new record from the buffer
    virtual int Update() = 0;  // the changed record, carried along its relations
    virtual int Delete() = 0;  // the record and what its relations delete with it
};

// The primary file of a form as its relation manager reaches it: inserts through the file
// manager, changes and deletes through the relation manager (which runs the cascades).
// Rel is RelationManager (Me, Update(), Delete()), File its FileManager (Buffer, Record, Insert()).
template <class Rel>
class RelationTarget final : public UpdateTarget {
public:
    explicit RelationTarget(Rel& rel) : rel_(rel) {}
    void* Buffer() override { return rel_.Me->Buffer; }
    std::size_t Size() const override { return rel_.Me->Record ? rel_.Me->Record->size : 0; }
    int Insert() override { return rel_.Me->Insert(); }
    int Update() override { return rel_.Update(); }
    int Delete() override { return rel_.Delete(); }

private:
    Rel& rel_;
};

enum class DeleteAction { None, Immediate };   // Immediate: delete without a question, no window
enum class CancelAction { Plain, Confirm };    // Confirm: ask before discarding a changed record

class WindowManager {
public:
    WindowManager() = default;
    virtual ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    // --- the steps, in the slot order the procedures override them
    virtual int Ask();
    virtual int Init();   // the base: response cancelled, nothing else; a procedure adds its steps
    virtual int Kill();   // the base: the components are dropped
    virtual void Reset(bool force = false);
    virtual int Run();
    // The dispatcher of a window that runs other procedures (a browse's insert, change, delete
    // and print controls call it): the base runs nothing and answers 2 (cancelled).
    virtual int Run(int number, int request);
    virtual void SetAlerts();
    virtual int TakeAccepted();
    virtual int TakeEvent();
    virtual int TakeFieldEvent();
    virtual int TakeNewSelection();
    virtual int TakeRejected();
    virtual int TakeSelected();
    virtual int TakeWindowEvent();
    virtual void Update();   // every control's value into its variable; components re-read
    virtual int TakeCompleted();
    virtual int PrimeUpdate();
    virtual void RestoreField(int feq);

    // The guard of a Take step that handled the event itself.
    static int Cycle() { return Level::Notify; }

    // --- the window
    // Opens the window from its layout on the running thread (INIT's "open the window").
    eng::Window& Open(const QString& layoutPath);
    // Adopts a window opened elsewhere (the manager does not own it).
    void Attach(eng::Window& window);
    bool Opened() const { return window_ != nullptr; }
    eng::Window& Win() const;   // throws when no window is open
    eng::Window* WindowPtr() const { return window_; }
    // The window closes now (Run does this after Kill).
    void CloseWindow();

    // --- components
    void AddItem(WindowComponent& item);
    void RemoveItem(WindowComponent& item);
    const std::vector<WindowComponent*>& Items() const { return items_; }
    // A button whose Accepted event ends the window with a response (the cancel button: 2).
    void AddItem(int feq, int response);

    // --- settings and state
    int Request = Request::None;
    int OriginalRequest = Request::None;
    int Response = Response::None;
    int FirstField = 0;
    std::int32_t* VCRRequest = nullptr;
    ErrorClass* Errors = nullptr;
    bool FilesOpened = false;
    bool Dead = false;   // set when the loop ended

    // --- update-form settings
    void SetPrimary(UpdateTarget* primary) { primary_ = primary; }
    UpdateTarget* Primary() const { return primary_; }
    int OkControl = 0;
    bool InsertAllowed = true, ChangeAllowed = true, DeleteAllowed = true;
    DeleteAction DeleteAct = DeleteAction::None;
    CancelAction CancelAct = CancelAction::Plain;
    // Makes every entry (and the other given kinds of control) read-only: the view mode.
    void SetReadOnly(std::initializer_list<eng::CType> kinds = {eng::CType::Entry, eng::CType::Text});

    // History: the record layout, the live buffer and the history copy (the caller owns both).
    int HistoryKey = 0;
    void AddHistoryFile(const RecordDesc& desc, void* record, void* history);
    void AddHistoryField(int feq, int fieldNumber);  // 1-based field of the history file
    bool IsHistoryField(int feq) const;

    // True when the record buffer differs from the copy PrimeUpdate kept.
    bool RecordChanged() const;
    // Keeps the record as it is now as the form's starting point.
    void SaveOriginal();

protected:
    // Closing by the user or by a post; returns the level (5 keeps the window open).
    virtual int TakeCloseEvent();

private:
    eng::Window* window_ = nullptr;
    std::unique_ptr<eng::Window> owned_;
    std::vector<WindowComponent*> items_;
    struct EndButton {
        int feq, response;
    };
    std::vector<EndButton> endButtons_;
    UpdateTarget* primary_ = nullptr;
    std::vector<unsigned char> original_;
    bool haveOriginal_ = false;
    const RecordDesc* historyDesc_ = nullptr;
    void* historyRecord_ = nullptr;
    void* historyCopy_ = nullptr;
    struct HistoryField {
        int feq, field;
    };
    std::vector<HistoryField> historyFields_;
    bool closing_ = false;  // the close is decided: the loop ends on this close event
};

}  // namespace vx
