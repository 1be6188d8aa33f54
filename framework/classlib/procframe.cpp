#include "procframe.h"

#include "framework/engine/threads.h"

namespace vx {

namespace {
ErrorClass* g_errors = nullptr;
IniClass* g_ini = nullptr;
}  // namespace

void SetProcedureGlobals(ErrorClass* errors, IniClass* ini) {
    g_errors = errors;
    g_ini = ini;
}
ErrorClass* ProcedureErrors() { return g_errors; }
IniClass* ProcedureIni() { return g_ini; }

ProcedureFrame::ProcedureFrame() {
    Errors = g_errors;
    Ini = g_ini;
}

void ProcedureFrame::UseResizer(int strategy, bool setMinimum, bool setMaximum) {
    hasResizer_ = true;
    resizeStrategy_ = strategy;
    resizeMin_ = setMinimum;
    resizeMax_ = setMaximum;
    if (!Resizer) Resizer = &ownResizer_;
}

void ProcedureFrame::OpenWindow() { Open(Layout); }

int ProcedureFrame::Init() {
    if (Errors) Errors->SetProcedureName(Name);                         // 1
    named_ = Errors != nullptr;
    Request = eng::GLOBALREQUEST;                                        // 2
    OriginalRequest = Request;
    if (int level = WindowManager::Init()) return level;                 // 3
    FirstField = FirstFieldNumber;                                       // 4
    VCRRequest = eng::VCRREQUEST.ptr();
    Toolbar.Init(*this);
    AddItem(Toolbar);
    eng::GLOBALREQUEST = 0;                                              // 5
    eng::GLOBALRESPONSE = 0;
    AfterRequest();
    OpenFiles();                                                         // 6
    if (BeforeOpen() != Level::Benign) return Level::Notify;
    OpenWindow();                                                        // 7
    AfterOpen();
    DefineListStyles();                                                  // 8
    if (hasResizer_ && Resizer && Opened()) {                            // 9
        Resizer->Init(*this, resizeStrategy_, resizeMin_, resizeMax_);
        Resizer->Highlight = &Highlight;
        SetResizeStrategies();
        AddItem(*Resizer);
    }
    if (Ini && Opened()) Ini->Fetch(Name, Win());                       // 10
    if (hasResizer_ && Resizer && Opened()) Resizer->Resize();          // 11
    AfterRestore();
    SetAlerts();                                                         // 12
    Help = std::make_unique<HelpClass>();                                // 13
    Help->Init(*this, HelpFileName, HelpKeyCode);
    AfterHelp();
    return Level::Benign;
}

int ProcedureFrame::Kill() {
    if (int level = WindowManager::Kill()) return level;                 // 1
    if (FilesOpened) {                                                   // 2
        CloseFiles();
        FilesOpened = false;
    }
    if (Ini && Opened()) Ini->Update(Name, Win());                      // 3
    if (named_ && Errors) Errors->SetProcedureName();                    // 4
    named_ = false;
    if (Help) {                                                          // 5
        Help->Kill();
        Help.reset();
    }
    if (Resizer) Resizer->Kill();
    Toolbar.Kill();
    return Level::Benign;
}

int ProcedureFrame::TakeSelected() {
    if (Opened()) Highlight.Select(Win(), Win().field());
    return WindowManager::TakeSelected();
}

int ProcedureFrame::InitUpdateForm(int okControl, int cancelButton, CancelAction cancel) {
    if (cancelButton) AddItem(cancelButton, Response::Cancelled);
    if (Request == Request::View) {
        InsertAllowed = ChangeAllowed = DeleteAllowed = false;
        CancelAct = CancelAction::Plain;
        OkControl = 0;
    } else {
        DeleteAct = DeleteAction::Immediate;
        CancelAct = cancel;
        OkControl = okControl;
    }
    return PrimeUpdate();
}

}  // namespace vx
