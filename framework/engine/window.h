#pragma once
// Windows and their controls. A Window is opened on the running logical thread from a layout;
// its accept loop hands out the thread's events one at a time:
//
//   vx::eng::Window w(":/layouts/zast.lay");
//   while (w.accept()) {
//       if (w.event() == ev::Accepted && w.field() == w.feq("?OK")) ...
//   }
//
// A window opened while another window of the same thread is open is modal on that thread: the
// outer windows are disabled until it closes, other threads' windows stay live.

#include <QPointer>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "events.h"
#include "framework/types/fields.h"
#include "framework/types/picture.h"
#include "layout.h"
#include "threads.h"

class QAction;
class QWidget;
class QMdiArea;
class QMainWindow;

namespace vx::eng {

class Window;
class ListSource;
struct WindowImpl;

// One control of an open window.
struct Control {
    Window* window = nullptr;
    const CtlDesc* desc = nullptr;
    int feq = 0;
    CType type = CType::None;
    QPointer<QWidget> widget;
    VarRef var;                        // the bound USE variable (invalid when none)
    std::optional<pic::Picture> pic;
    // Run-time state (the layout's values at open).
    bool hide = false, disable = false, readOnly = false, req = false, skip = false, imm = false;
    FontDesc font;                     // effective face, size, style, colour
    int bg = -1;
    QString tip, msg, text;
    int drop = 0;
    int lineHeight = 0;                // lists, dialog units (0 = font height)
    int column = 0, mouseDownColumn = 0;
    int parentIndex = -1;              // index of the containing control
    int tabIndex = 0;                  // for a control on a tab: the tab's index in its sheet (1-based)
    std::vector<int> alerts;
    ListSource* source = nullptr;      // lists: rows come from here (else the FROM items)
    std::string rangeLow, rangeHigh, step;
    bool changed = false;              // edited since the last display/accept
    std::string before;                // the variable's bytes when the edit began (IMM: put back on refusal)
    bool keyPending = false;           // IMM: a keystroke's NewSelection is on its way
    QString refused;                   // the typed text last refused (shown to the user with why)
    bool refusedRange = false;         // ... because it is outside the spin's range
    QString refusedChars;              // ... because these characters cannot be stored
    bool oem = false;                  // the variable's text is kept in code page 866 on disk
    int inputWidth = 0;                // the most characters the field stores (0: no limit)
    void* impl = nullptr;              // widget-specific helper owned by the window
};

// Rows of a list control: the queue of the browse (or any other owner). Field numbers are 1-based
// in the order the list's format consumes them (value, then 4 colours with '*', then a style
// with 'Y').
class ListSource {
public:
    virtual ~ListSource() = default;
    virtual int rowCount() const = 0;
    virtual VarRef field(int row, int field) const = 0;  // row 0-based; invalid when missing
};

// A simple in-memory queue with fixed fields, for lists that are not fed by a browse.
class Queue : public ListSource {
public:
    struct Field {
        FieldType type;
        std::uint16_t size;
        std::uint8_t places = 0;
    };
    explicit Queue(std::vector<Field> fields);
    int rowCount() const override { return static_cast<int>(rows_.size()); }
    VarRef field(int row, int field) const override;
    int add();  // appends a cleared row, returns its index
    void clear() { rows_.clear(); }
    void remove(int row);
    int fieldCount() const { return static_cast<int>(fields_.size()); }
    std::vector<std::string>& rows() { return rows_; }

private:
    std::vector<Field> fields_;
    std::vector<int> offsets_;
    int rowSize_ = 0;
    std::vector<std::string> rows_;
};

// A list cell style (the 'Y' field of a list format names one).
struct ListStyle {
    FontDesc font;
    int fg = -1, bg = -1, selFg = -1, selBg = -1;
};

class Window {
public:
    explicit Window(const QString& layoutPath);
    explicit Window(std::shared_ptr<const WinDesc> desc);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // --- the accept loop
    // Does the engine's own handling of the previous event (unless cycle() was called), then
    // waits for the next event of this window. False once the window has closed.
    bool accept();
    int event() const;    // EVENT()
    int field() const;    // FIELD(): the control of the current event, 0 for window events
    int keycode() const;  // KEYCODE()
    // KEYCHAR(): the character typed by the key of the event, as a code page 1251 byte (any
    // letter, Cyrillic too, in the case typed); 0 when the event was not a key that types one.
    int keychar() const;
    void cycle();         // the engine skips its own handling of the current event
    void post(int event, int control = 0);  // to this window, at the end of its thread's queue
    void close();         // posts CloseWindow
    bool isOpen() const;
    int thread() const;   // owning logical thread (0: built on the main stack)

    // --- controls
    const WinDesc& desc() const;
    int feq(std::string_view name) const;        // by name ("?FRM:NOMSV") or USE variable; 0 unknown
    Control* control(int feq);
    const Control* control(int feq) const;
    std::vector<int> controls() const;           // numbers in declaration order
    int focus() const;                           // FOCUS(): 0 when no control has it
    // SELECT: the focus moves there (a Selected event); a control that cannot take the focus
    // passes it to the next control by number that can.
    void select(int feq);
    std::vector<int> tabOrder() const;           // controls Tab visits, in order
    void focusNext(bool forward);                // what Tab / Shift+Tab do

    // --- binding
    void display(int feq = 0);                   // variables -> controls (0: all)
    // Controls -> variables (0: all). Only what the user has edited since it was shown is taken:
    // an untouched control's variable already holds what it shows. A typed value that is refused
    // is put back to what the variable holds and a Rejected event tells the user why; the
    // result is then false, and valueRefused() stays true until that event is taken.
    bool update(int feq = 0);
    // A typed value has just been refused and the user is yet to be told: an action that would
    // read the window's values does not run.
    bool valueRefused() const;
    void change(int feq, std::string_view text1251);  // sets the control's value and its variable
    std::string contents(int feq) const;         // the control's text as typed (1251)

    // The accept-all pass (an OK button's save): every input control bound to a variable, in
    // declaration order, is updated from its widget and gets an Accepted event, one after the
    // other as the procedure handles them. A value its picture refuses (Rejected) or a required
    // control that is empty or zero stops the pass with the focus on that control; otherwise the
    // pass ends with a Completed event.
    void acceptAll();
    void stopAcceptAll();
    bool acceptingAll() const;

    // --- properties
    QVariant prop(int feq, Prop p) const;
    void setProp(int feq, Prop p, const QVariant& v);
    int propInt(int feq, Prop p) const { return prop(feq, p).toInt(); }
    QString propText(int feq, Prop p) const { return prop(feq, p).toString(); }
    void setListSource(int feq, ListSource* src);  // the list shows src's rows
    void refreshList(int feq);                     // rows changed
    void setListStyle(int feq, int style, const ListStyle& s);
    void setTimer(int hundredths);                 // Timer events every n/100 s, 0 = off
    int timer() const;                             // the interval set, 0 = off

    // --- alert keys
    void alert(int keycode);             // window-wide
    void alert(int feq, int keycode);    // on one control
    void clearAlerts();

    // --- the window itself, in dialog units
    int x() const; int y() const; int width() const; int height() const;
    void setPosition(int x, int y);
    void setSize(int w, int h);
    bool maximized() const; bool minimized() const;
    void setMaximized(bool on); void setMinimized(bool on);
    bool resizable() const;
    void setStatusText(int zone, const QString& text);   // zones from 1
    QString statusText(int zone) const;
    QString title() const;
    void setTitle(const QString& t);

    // Dialog units of this window's font, in pixels.
    double duX() const;
    double duY() const;

    // Disables the window's content (a frame: its menu bar and toolbar) while something modal of
    // its thread is open.
    void block(bool on);
    bool isBlocked() const;

    QWidget* widget() const;   // the window's content (controls' parent)
    QWidget* outer() const;    // the top-level widget or MDI sub-window
    QAction* action(int feq) const;   // a menu, menu item: its action (nullptr for other controls)
    QMainWindow* mainWindow() const;  // frames only
    QMdiArea* mdiArea() const;        // frames only

    // The running thread's innermost window; the innermost window of a thread.
    static Window* current();
    static Window* innermost(int thread);
    // The application frame, when one is open.
    static Window* frame();
    // Every open window of every thread, in the order they were opened.
    static std::vector<Window*> all();

    WindowImpl& impl() { return *d_; }

private:
    std::unique_ptr<WindowImpl> d_;
};

namespace detail {
// For the test harness: the window's running timer ticks now, as if its interval had passed (a
// Timer event already waiting is not doubled). False when the timer is off.
bool tickTimer(Window& w);
// Gives every plain window the window role for screen readers (initEngine calls it).
void installAccessibility();
}  // namespace detail

// Program-wide switches.
void setTipsEnabled(bool on);        // the NoTips property (inverse)
bool tipsEnabled();
void setTipDisplayTime(int ms);      // how long a tooltip stays
void setCharSet(int charset);        // accepted and kept; fonts use Unicode anyway
int charSet();

// Call once after the QApplication exists, before any fiber starts: font substitutions, the first
// font metrics on the main stack, the event filter.
void initEngine();
// Runs proc as thread 1 and the Qt main loop until every thread has ended; returns the exit code.
int runMain(Procedure proc, std::size_t stackBytes = 25000);
// Unwinds all threads and closes their windows (before QApplication goes away).
void shutdownEngine();

}  // namespace vx::eng
