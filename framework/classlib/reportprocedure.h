#pragma once
// The frame of a report procedure: a progress window, a report in millimetres, a process object
// over the procedure's view and a print preview, with the INIT and KILL steps every report
// procedure shares, so that a procedure gives only its particulars.
//
// INIT (in this order): the procedure's name to the error manager; the request from GLOBALREQUEST;
// the base Init; first field 1; BindNames(); GLOBALREQUEST and GLOBALRESPONSE cleared; the files of
// AlsoOpen, then the primary file with its related files, opened through their relation
// managers; the progress window opened and restored from the INI file under the procedure's name;
// the timer at 10; the process object's Init; SetupProcess() (order, filter, breaks); the cancel
// button answers "cancelled"; the report manager's Init; the user string blanked; the preview at
// zoom 100 with the INI manager and the user's zoom; the alert keys; the help object with F12.
// KILL: the base Kill; the files closed; the progress window saved; the process object and its
// step estimator ended; the name popped; the help object released.
//
// THISREPORT's record step: BeforeDetail() (when set), the class library's step, then the DETAIL
// band once.

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "framework/classlib/help.h"
#include "framework/classlib/highlight.h"
#include "framework/classlib/processclass.h"
#include "framework/classlib/reportmanager.h"
#include "framework/report/report.h"

namespace vx {

class DetailProcess : public ProcessClass {
public:
    rpt::Report* Target = nullptr;
    int DetailBand = 0;
    std::function<void()> BeforeDetail;
    int TakeRecord() override;
};

class ReportProcedure : public ReportManager {
public:
    // name: the registered name and INI section; progressLayout: the progress window's layout.
    ReportProcedure(QString name, QString progressLayout, RelationManager& primary, rpt::Report& report);

    int Init() override;
    int Kill() override;
    int TakeSelected() override;

    // Whether reports read their primary file with the driver's read-ahead (on; the benchmark
    // measures both ways).
    static void SetQuickScan(bool on);

    ViewClass View;
    DetailProcess THISREPORT;
    PrintPreviewClass Previewer;
    FocusHighlight Highlight;
    std::unique_ptr<HelpClass> Help;

    // --- the procedure's particulars (set in its constructor)
    std::vector<RelationManager*> AlsoOpen;  // opened before the primary file
    bool MaximizePreview = false;
    StepClass* Step = nullptr;               // the progress estimator, or none
    VarRef ProgressField;                    // the field it reads

protected:
    virtual void BindNames(Evaluator&) {}
    virtual void SetupProcess() {}

    RelationManager& primary_;
    rpt::Report& report_;

private:
    QString name_;
    QString progressLayout_;
    std::uint8_t progress_ = 0;
    bool named_ = false;
};

// Loads a report layout whose `use=` names resolve to the running thread's variables.
rpt::Report loadProcedureReport(const QString& path);

}  // namespace vx
