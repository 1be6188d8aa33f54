#pragma once
// The frame of a window procedure: the INIT and KILL steps every window procedure shares, so a
// procedure's own THISWINDOW only sets its particulars and adds its own statements in the hooks.
//
// INIT:
//   1. the error manager is told the procedure's registered name (pushed);
//   2. Request := GLOBALREQUEST;
//   3. the base Init; a non-zero level is returned at once;
//   4. the first field, VCRREQUEST and the error manager are set, the toolbar object is added;
//   5. GLOBALREQUEST := 0, GLOBALRESPONSE := 0;
//      AfterRequest()                                  (history, update file, ...)
//   6. OpenFiles()                                     (relation managers; set FilesOpened)
//      BeforeOpen(): a non-zero level ends INIT with 5 (notify): the window never opens
//                    (InitUpdateForm's PrimeUpdate goes here)
//   7. the window is opened (OpenWindow());  AfterOpen()   (view mode's read-only controls)
//   8. DefineListStyles()
//   9. with a resizer: its Init with the three values, SetResizeStrategies(), added
//  10. the INI manager restores the window under the registered name
//  11. with a resizer: Resize once;  AfterRestore()    (the form toolbar object)
//  12. SetAlerts()
//  13. the help object, with the help file and key F12;  AfterHelp()  (its topics)
// KILL:
//   1. the base Kill; a non-zero level is returned at once;
//   2. CloseFiles() when FilesOpened;
//   3. the INI manager saves the window under the registered name when it was opened;
//   4. the error manager's procedure name is popped;
//   5. the help object is killed and released.
// TakeSelected runs the focus highlight, then the base step.
//
// The process-wide error manager (GLOBALERRORS) and INI manager (INIMGR) are given once by the
// program's start (SetProcedureGlobals); a frame can also be given its own.

#include <QString>

#include <memory>

#include "framework/classlib/help.h"
#include "framework/classlib/highlight.h"
#include "framework/classlib/inimanager.h"
#include "framework/classlib/resizer.h"
#include "framework/classlib/toolbar.h"
#include "framework/classlib/windowmanager.h"

namespace vx {

void SetProcedureGlobals(ErrorClass* errors, IniClass* ini);
ErrorClass* ProcedureErrors();
IniClass* ProcedureIni();

class ProcedureFrame : public WindowManager {
public:
    ProcedureFrame();

    // --- the procedure's particulars (set in its constructor)
    QString Name;                    // registered name: messages and the INI section
    QString Layout;                  // the window's layout file
    int FirstFieldNumber = 1;
    QString HelpFileName;            // empty: the help key does nothing
    int HelpKeyCode = eng::key::F12;
    // A resizer with its Init values; Resizer may point at a procedure's own derived class.
    void UseResizer(int strategy, bool setMinimum, bool setMaximum);
    WindowResizeClass* Resizer = nullptr;
    IniClass* Ini = nullptr;

    // --- the objects every window procedure has
    ToolbarClass Toolbar;
    FocusHighlight Highlight;
    std::unique_ptr<HelpClass> Help;

    int Init() override;
    int Kill() override;
    int TakeSelected() override;

    // The update-form settings of a form's INIT (in BeforeOpen): in view mode no insert, change
    // or delete, a plain cancel and no OK control; otherwise delete at once without a question,
    // the given cancel action and OK control, then PrimeUpdate, whose level is returned.
    // cancelButton ends the window with the response cancelled.
    int InitUpdateForm(int okControl, int cancelButton, CancelAction cancel);

protected:
    virtual void AfterRequest() {}
    virtual void OpenFiles() {}
    virtual void CloseFiles() {}
    virtual int BeforeOpen() { return Level::Benign; }
    virtual void OpenWindow();
    virtual void AfterOpen() {}
    virtual void DefineListStyles() {}
    virtual void SetResizeStrategies() {}
    virtual void AfterRestore() {}
    virtual void AfterHelp() {}

private:
    WindowResizeClass ownResizer_;
    bool hasResizer_ = false;
    int resizeStrategy_ = 0;
    bool resizeMin_ = false, resizeMax_ = false;
    bool named_ = false;
};

}  // namespace vx
