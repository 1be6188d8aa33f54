#pragma once
// REPORTMANAGER: the window manager of a report procedure. Its window is the progress window;
// it reads the process object's VIEW on the window's timer, lets the process object print each
// record into the report, and at the end shows the recorded pages in the print preview.
//
//   OpenWindow   the base step (first field), then OpenReport: the process object is reset
//                with its order and filter and the first record is read. None: the notice
//                "No Records" (message 102), and the window ends at the next timer event
//                without a preview, cancelled. Otherwise the report is opened and a timer
//                event is posted, so the first batch does not wait for the first tick.
//   Timer        records are processed in batches: the first holds 1 record; the time slice is
//                TimeSlice hundredths of a second. A batch that took less than four fifths of
//                the slice doubles the batch size, one that took more than one and a half
//                slices halves it; another batch follows in the same timer event while the
//                time used stays under half the slice. Each record that passes the filter goes
//                to the process object's TakeRecord. After each timer event the percentage
//                text and the progress bar show how far the reading has come.
//   the end      the report is closed, the timer stopped, and the pages go to the preview
//                (unless SkipPreview: then straight to the chosen printer); the procedure waits
//                for the preview to close, without a nested event loop (the progress window is
//                disabled meanwhile), then ends with the response completed.
// The cancel button (AddItem(control, 2)) ends the window at once: nothing is printed.
//
// PRINTPREVIEWCLASS shows pages in the report engine's preview window: at Zoom per cent, with
// the user's zoom controls when AllowUserZoom, maximised when Maximize. Its window's place is
// kept through the INI manager in the section "_PreviewWindow_" (the keys of a procedure's
// window, in pixels). Printing from it goes to the printer chosen with "...Выбрать принтер..."
// (vx::rpt::PrinterChoice); without a printer the pages can still be saved as PDF.

#include <QPointer>
#include <QString>

#include <vector>

#include "framework/classlib/inimanager.h"
#include "framework/classlib/processclass.h"
#include "framework/classlib/windowmanager.h"
#include "framework/report/page.h"
#include "framework/report/preview.h"
#include "framework/report/report.h"

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
    // Resets the process object and reads the first record: benign when there is one.
    virtual int OpenReport();

    bool SkipPreview = false;
    int Zoom = 100;        // the preview's zoom
    int TimeSlice = 100;   // hundredths of a second

    ProcessClass* Process = nullptr;
    rpt::Report* Report = nullptr;
    PrintPreviewClass* Preview = nullptr;

    int BatchSize() const { return batch_; }
    bool Finished() const { return finished_; }

protected:
    virtual int TakeTimer();
    // The common end of a report procedure's Init, after its process object is set up: the
    // progress window's cancel button ends the report cancelled and its user text is cleared; the
    // preview shows at zoom 100 with the user's zoom, keeps its place through `ini`, maximised when
    // asked; then the alert keys are set.
    void InitReportAndPreview(ProcessClass& process, rpt::Report& report, PrintPreviewClass& preview,
                              IniClass* ini, bool maximize);

private:
    void showProgress();
    void finish();

    QPointer<QProgressBar> bar_;
    int batch_ = 1;
    bool pending_ = false;    // the first record is in the buffer, not yet taken
    bool noRecords_ = false;
    bool reading_ = false;
    bool finished_ = false;
};

// Points the window engine's printer set-up dialog (PRINTERDIALOG, the "printsetup" standard
// action) at the report engine's printer choice: the calling thread waits for the dialog, and an
// accepted choice is the printer every print uses from then on.
void InstallPrinterDialog();

}  // namespace vx

using REPORTMANAGER = vx::ReportManager;
using PRINTPREVIEWCLASS = vx::PrintPreviewClass;
