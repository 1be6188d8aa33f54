// BROWSENASTR: the list of print layouts. One list over LAST in LAS:K1 order and one button,
// "[Изменить]", that runs the layout editor UPDATENASTR on the chosen row with a change request.
// There is no insert and no delete: the program works with the layouts the file holds, and every
// reader takes the first of them.
//
// Started by the main frame on a thread of its own (every start opens a list of its own). The
// editor runs on this thread through Run(1, request); the list waits for it and then re-reads its
// rows from the file.

#include <QString>

#include "framework/classlib/autosizecolumn.h"
#include "framework/classlib/browse.h"
#include "framework/classlib/procframe.h"
#include "framework/classlib/steps.h"
#include "framework/engine/threads.h"
#include "shell/dictionary.h"
#include "shell/procedures.h"
#include "shell/runtime.h"

namespace {

using vx::eng::Prop;

// Controls of the window, in declaration order.
enum : int {
    BROWSE_1 = 1,
    CHANGE_3 = 2,
    STRING1 = 3,
    STRING1_2 = 4,
    CURRENTTAB = 5,
    TAB_2 = 6,
};

// Queue fields: LAS:NAME, LAS:NFORM, the mark and the row's position in the view.
enum : int { Q_NAME = 1, Q_NFORM = 2, Q_MARK = 3, Q_POSITION = 4 };

const vx::FieldDesc& las(const char* name) { return *LAST_DESC.find(name); }
vx::eng::Queue::Field qf(const vx::FieldDesc& f) { return {f.type, f.size, f.places}; }

class BRW1Class final : public vx::BrowseClass {
public:
    // Editing in place through the list's pop-up menu is off; then the library's alerts.
    void SetAlerts(vx::WindowManager& wm) override {
        PopupMenu = false;
        vx::BrowseClass::SetAlerts(wm);
    }
};

class ThisWindow final : public vx::ProcedureFrame {
public:
    ThisWindow() {
        Name = QStringLiteral("BrowseNastr");
        Layout = QStringLiteral(":/layouts/browsenastr.lay");
        FirstFieldNumber = BROWSE_1;
        UseResizer(vx::AppStrategy::Resize, true, false);
    }

    using vx::ProcedureFrame::Run;

    // The editor, on this thread; the list waits for it. In view mode nothing is run.
    int Run(int number, int request) override {
        const int result = vx::ProcedureFrame::Run(number, request);
        if (OriginalRequest == vx::Request::View) return vx::Response::Cancelled;
        if (number != 1) return result;
        vx::eng::GLOBALREQUEST = static_cast<std::uint8_t>(request);
        UPDATENASTR();
        return vx::eng::GLOBALRESPONSE;
    }

    // The column auto-size object sees every event first.
    int TakeEvent() override {
        if (BRW1_RESIZE.TakeEvents()) return Cycle();
        return vx::ProcedureFrame::TakeEvent();
    }

    int Kill() override {
        BRW1.Kill();
        const int level = vx::ProcedureFrame::Kill();
        BRW1_RESIZE.Kill();
        return level;
    }

    BRW1Class BRW1;
    vx::StepRealClass BRW1_STEP;
    vx::StepLocatorClass BRW1_LOC;
    vx::AutoSizeColumnClass BRW1_RESIZE;

protected:
    void OpenFiles() override {
        RELATE_LAST->Open();
        FilesOpened = true;
    }

    void CloseFiles() override { RELATE_LAST->Close(); }

    void AfterOpen() override {
        BRW1.Init(BROWSE_1, *ACCESS_LAST, RELATE_LAST, *this,
                  {qf(las("LAS:NAME")), qf(las("LAS:NFORM")), {vx::FieldType::Byte, 1, 0}, {vx::FieldType::String, 1024, 0}});
        if (Request != vx::Request::View) BRW1.ChangeControl = CHANGE_3;
        Win().setProp(BROWSE_1, Prop::LineHeight, 11);
        // One order: the key LAS:K1, its scroll-bar step and a locator on the number without a
        // control of its own.
        BRW1_STEP.Init(0);
        BRW1.AddSortOrder(LAS_K1, &BRW1_STEP);
        BRW1_LOC.Init(0, las("LAS:NFORM"), true);
        BRW1.AddLocator(&BRW1_LOC);
        BRW1.AddField(las("LAS:NAME"), Q_NAME);
        BRW1.AddField(las("LAS:NFORM"), Q_NFORM);
        BRW1.SetPositionField(Q_POSITION);
    }

    void AfterRestore() override {
        BRW1.AskProcedure = 1;
        Toolbar.AddTarget(BRW1);
    }

    void AfterHelp() override {
        BRW1_RESIZE.Init();
        BRW1_RESIZE.AddListBox(*this, BROWSE_1, &BRW1.Queue());
        Help->SetTopic(QStringLiteral("BrowseNastr"));
        // The window manager's opening reset: the list reads its first page.
        BRW1.ResetSort(true);
    }
};

}  // namespace

void BROWSENASTR() {
    ThisWindow thisWindow;
    vx::eng::GLOBALRESPONSE = static_cast<std::uint8_t>(thisWindow.Run());
}
