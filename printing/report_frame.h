#pragma once
// The frame the period report, the query report and the two animal inventories share: a progress
// window, a report in millimetres, a process object over the procedure's view and a print preview.
//
// INIT (in this order): the procedure's name to the error manager; the request from GLOBALREQUEST;
// the base Init; first field 1; BindNames(); GLOBALREQUEST and GLOBALRESPONSE cleared; the primary
// file opened through its relation manager with its related files; the progress window opened and
// restored from the INI file under the procedure's name; the timer at 10; the process object's
// Init; SetupProcess() (order and filter); the cancel button answers "cancelled"; the report
// manager's Init; the user string blanked; the preview at zoom 100 with the INI manager and the
// user's zoom; the alert keys; the help object with the key F12.
// KILL: the base Kill; the files closed; the progress window saved; the name popped; the help
// object released.
//
// Reading: when the progress window opens, the first record of the view that passes the filter
// is read (none: the notice "No Records", no preview); the others follow in timer-driven
// batches, each kept as its position and its sort values. Then the records are printed in the
// order of those values (stable: records with equal values keep the order of the view's key),
// again in timer-driven batches, each re-read by its position (one deleted meanwhile is
// skipped). The cancel button ends either phase; nothing is printed then.
//
// Break: with a break value, a change of it (and the first record) prints the group header before
// the record's detail band, after the previous group's footer; the footer of the last group
// follows the last record, before the pages go to the preview.

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/classlib/help.h"
#include "framework/classlib/highlight.h"
#include "framework/classlib/processclass.h"
#include "framework/classlib/reportmanager.h"
#include "framework/report/report.h"
#include "framework/types/decimal.h"

namespace vexlo::printing {

// A procedure's process object: the class library's record step, then the detail band once.
class DetailProcess : public vx::ProcessClass {
public:
    vx::rpt::Report* Target = nullptr;
    int DetailBand = 0;
    int TakeRecord() override;
};

class ReportFrame : public vx::ReportManager {
public:
    // name: the registered name and INI section; progressLayout: the progress window's layout.
    ReportFrame(QString name, QString progressLayout, vx::RelationManager& primary, vx::rpt::Report& report);

    int Init() override;
    int Kill() override;
    int OpenReport() override;
    int TakeSelected() override;

    vx::ViewClass View;
    DetailProcess THISREPORT;
    vx::PrintPreviewClass Preview;
    vx::FocusHighlight Highlight;
    std::unique_ptr<vx::HelpClass> Help;

    // --- the procedure's particulars (set in its constructor or in SetupProcess)
    // The values a record sorts by, after the view's key order; empty: the key order alone.
    std::function<std::vector<vx::Decimal>()> SortValues;
    // The break: its value for the record in the buffer; empty: no break.
    std::function<std::string()> BreakValue;
    int GroupHeader = 0;  // bands of the break (0: none)
    int GroupFooter = 0;
    bool MaximizePreview = false;
    vx::StepClass* Step = nullptr;           // the progress estimator, or none
    vx::VarRef ProgressField;                // the field it reads

    // The records the reading found, in printing order (tests, the benchmark).
    std::size_t RecordsFound() const { return rows_.size(); }

protected:
    virtual void BindNames(vx::Evaluator&) {}
    virtual void SetupProcess() {}
    // After a record has been read into the buffer, before it is printed (a join's look-up).
    virtual void AfterRead() {}
    int TakeTimer() override;

    vx::RelationManager& primary_;

private:
    struct Row {
        std::uint32_t position = 0;
        std::vector<vx::Decimal> keys;
    };
    bool readOne();  // the next record that passes the filter into rows_; false at the end
    void startPrinting();
    void showPercent(int percent);
    void printRow(const Row& row);
    void finishReport();

    QString name_;
    QString progressLayout_;
    vx::rpt::Report& report_;
    std::vector<Row> rows_;
    std::size_t next_ = 0;
    int batch_ = 1;
    bool reading_ = false;
    bool printing_ = false;
    bool done_ = false;
    bool groupOpen_ = false;
    std::string group_;
    std::uint8_t progress_ = 0;
    bool named_ = false;
};

// Loads a report layout whose `use=` names resolve to the running thread's variables.
vx::rpt::Report loadProcedureReport(const QString& path);

}  // namespace vexlo::printing
