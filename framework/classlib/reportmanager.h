#pragma once
// REPORTMANAGER: the window manager of a report procedure. Its window is the progress window;
// it reads the process object's VIEW on the window's timer, lets the process object print each
// record into the report, and at the end shows the recorded pages in the print preview.
//
//   OpenWindow   the base step (first field), then OpenReport: the process object is reset
//                with its order and filter and the first record that passes is read. A filter
//                (or order text) that cannot be used: the message "Ошибка в запросе" naming the
//                problem; none passes: the notice "No Records" (message 102). Either way the
//                window ends at the next timer event without a preview, cancelled. Otherwise the
//                report is opened and a timer event is posted, so the first batch does not wait
//                for the first tick.
//   Timer        records are processed in batches: the first holds 1 record; the time slice is
//                TimeSlice hundredths of a second. A batch that took less than four fifths of
//                the slice doubles the batch size, one that took more than one and a half
//                slices halves it; another batch follows in the same timer event while the
//                time the batches used stays under half the slice. Between two batches, and
//                after the last record before the preview opens, the thread lets the main loop
//                deliver the input already on its way (no nested event loop), so a press made
//                while a batch runs is taken before the next one. A sorted view
//                (processclass.h) reads its records first, in the same batches, and starts
//                giving them at the next timer event (posted at once). Each record given goes through the group breaks, then
//                to the process object's TakeRecord. After each timer event the percentage
//                text and the progress bar show how far the reading has come.
//   Breaks       AddBreak(value, header, footer): when the value of a record differs from the
//                previous record's (and before the first record), the footer of the previous
//                group prints, then the header of the new one, then the record. Breaks nest in
//                the order added: a change of an outer break closes and reopens the inner ones.
//                Totals are the report's own (a control's total kind and reset band).
//   the end      EndReport: the footers of the open groups, innermost first; the report is
//                closed, the timer stopped, and the pages go to the preview (unless
//                SkipPreview: then straight to the chosen printer); the procedure waits for the
//                preview to close, without a nested event loop (the progress window is disabled
//                meanwhile), then ends with the response completed.
// Cancel: the cancel button (AddItem(control, 2)) wins whenever it is pressed before the preview
// opens, also while a batch runs: the press is taken when the button is clicked, before the timer
// events already queued are handled, and looked for between batches and before the preview; a
// press still held on the button then waits for its release. No further record is printed, no
// preview opens, and the response is cancelled.
// When the window closes, the application frame's status bar loses the text of the progress
// window's controls ("Cancel Report").
//
#include <QPointer>
#include <QString>

#include <functional>
#include <string>
#include <vector>

#include "framework/classlib/inimanager.h"
#include "framework/classlib/processclass.h"
#include "framework/classlib/windowmanager.h"
#include "framework/report/page.h"
#include "framework/report/preview.h"
#include "framework/report/report.h"

class QAbstractButton;
class QProgressBar;

namespace vx {

class PrintPreviewClass {
public:
    static QString IniSection() { return QStringLiteral("_PreviewWindow_"); }

    void SetINIManager(IniClass* ini) { ini_ = ini; }
    IniClass* INIManager() const { return ini_; }
    bool AllowUserZoom = false;
    bool Maximize = false;
    int Zoom = 100;

    // Shows the pages. On a logical thread the caller waits until the user closes the preview
    // (other threads go on); on the main stack the preview stays open and Display returns at
    // once. True when the pages were sent to a printer from the preview.
    bool Display(std::vector<rpt::Page> pages);
    // The preview while it is open (tests, the benchmark).
    rpt::PrintPreview* Widget() const { return widget_; }

private:
    void restorePlace(rpt::PrintPreview& w) const;
    void savePlace(const rpt::PrintPreview& w) const;

    IniClass* ini_ = nullptr;
    QPointer<rpt::PrintPreview> widget_;
};

// The progress window every report procedure opens: the control numbers of its user text, its
// percentage and its cancel button.
namespace progress {
constexpr int UserString = 2;
constexpr int Percent = 3;
constexpr int Cancel = 4;
}  // namespace progress

class ReportManager : public WindowManager {
public:
    using WindowManager::Init;
    // The process object, the report it prints into and the preview (null: no preview).
    void Init(ProcessClass& process, rpt::Report& report, PrintPreviewClass* preview);

    int Kill() override;
    int TakeWindowEvent() override;
    int TakeAccepted() override;
    // Resets the process object and reads the first record that passes: benign when there is one.
    virtual int OpenReport();
    // The end of the records: the footers of the open groups; then the report is closed.
    virtual void EndReport();

    // A group break (see above); header or footer 0: none.
    void AddBreak(std::function<std::string()> value, int headerBand, int footerBand);

    // What the cancel button does: nothing more is printed and no preview opens.
    void Cancel() { cancelled_ = true; }
    bool Cancelled() const { return cancelled_; }

    bool SkipPreview = false;
    int Zoom = 100;        // the preview's zoom
    int TimeSlice = 100;   // hundredths of a second

    ProcessClass* Process = nullptr;
    rpt::Report* Report = nullptr;
    PrintPreviewClass* Preview = nullptr;

    int BatchSize() const { return batch_; }
    bool Finished() const { return finished_; }

    // Test hook: called on the report's thread each time the manager has queued a timer event
    // for its next batch of records (after the first record was read, and when a sorted view has
    // read all its records). Empty: nothing is called.
    static void SetBatchQueuedHook(std::function<void(ReportManager&)> hook);
    // Test hook: called on the report's thread after each record the process object took, inside
    // the batch that reads it. Empty: nothing is called.
    static void SetRecordHook(std::function<void(ReportManager&)> hook);

protected:
    virtual int TakeTimer();
    // The common end of a report procedure's Init, after its process object is set up: the
    // progress window's cancel button ends the report cancelled and its user text is cleared; the
    // preview shows at zoom 100 with the user's zoom, keeps its place through `ini`, maximised when
    // asked; then the alert keys are set.
    void InitReportAndPreview(ProcessClass& process, rpt::Report& report, PrintPreviewClass& preview,
                              IniClass* ini, bool maximize);

private:
    struct Break {
        std::function<std::string()> value;
        int header = 0;
        int footer = 0;
        std::string last;
    };
    void showProgress();
    void queueBatch();
    int takeRecord();  // the breaks, then the process object's record step
    // Lets the main loop deliver what the user did meanwhile (no nested event loop: the thread
    // waits, the others run); false when "Отменить" was pressed, also by a press still held on
    // the button that its release turns into a click.
    bool takeInput();
    void finish();
    void endCancelled();
    void clearStatus();

    QPointer<QProgressBar> bar_;
    QPointer<QAbstractButton> cancelButton_;
    QMetaObject::Connection cancelConnection_;
    QMetaObject::Connection releaseConnection_;
    std::vector<Break> breaks_;
    bool groupsOpen_ = false;
    int cancelControl_ = 0;
    int batch_ = 1;
    bool pending_ = false;    // the first record is in the buffer, not yet taken
    bool noRecords_ = false;
    bool reading_ = false;
    bool finished_ = false;
    bool cancelled_ = false;
};

// The message of a filter or order text that cannot be used (added to the error manager's table
// on first use): "Ошибка в запросе".
namespace ReportMsg {
constexpr int BadQuery = 103;
}

// Points the window engine's printer set-up dialog (PRINTERDIALOG, the "printsetup" standard
// action) at the report engine's printer choice: the calling thread waits for the dialog, and an
// accepted choice is the printer every print uses from then on.
void InstallPrinterDialog();

}  // namespace vx

using REPORTMANAGER = vx::ReportManager;
using PRINTPREVIEWCLASS = vx::PrintPreviewClass;
