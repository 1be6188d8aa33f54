#include "printing/report_frame.h"

#include <QElapsedTimer>
#include <QProgressBar>

#include <algorithm>

#include "framework/classlib/procframe.h"
#include "framework/engine/vars.h"
#include "framework/engine/window.h"
#include "framework/report/layoutfile.h"
#include "framework/report/printer.h"
#include "shell/runtime.h"

namespace vexlo::printing {

namespace {

using vx::Level::Benign;
using vx::Level::Notify;

bool lessKeys(const std::vector<vx::Decimal>& a, const std::vector<vx::Decimal>& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] < b[i]) return true;
        if (b[i] < a[i]) return false;
    }
    return a.size() < b.size();
}

}  // namespace

int DetailProcess::TakeRecord() {
    const int level = vx::ProcessClass::TakeRecord();
    if (Target && DetailBand) Target->print(DetailBand);
    return level;
}

vx::rpt::Report loadProcedureReport(const QString& path) {
    return vx::rpt::loadReport(path, [](std::string_view name) { return vx::eng::vars::find(name); });
}

ReportFrame::ReportFrame(QString name, QString progressLayout, vx::RelationManager& primary, vx::rpt::Report& report)
    : primary_(primary), name_(std::move(name)), progressLayout_(std::move(progressLayout)), report_(report) {}

int ReportFrame::Init() {
    Errors = vx::ProcedureErrors();
    if (Errors) Errors->SetProcedureName(name_);
    named_ = Errors != nullptr;
    Request = vx::eng::GLOBALREQUEST;
    OriginalRequest = Request;
    if (int level = vx::ReportManager::Init()) return level;
    FirstField = 1;
    VCRRequest = vx::eng::VCRREQUEST.ptr();
    View.Init(*primary_.Me);
    BindNames(View.Bindings());
    vx::eng::GLOBALREQUEST = 0;
    vx::eng::GLOBALRESPONSE = 0;
    primary_.SetOpenRelated();
    if (int level = primary_.Open()) return level;
    FilesOpened = true;
    Open(progressLayout_);
    if (vx::IniClass* ini = vx::ProcedureIni()) ini->Fetch(name_, Win());
    Win().setTimer(10);
    THISREPORT.Target = &report_;
    THISREPORT.Init(View, primary_, vx::progress::Percent, &progress_, Step, ProgressField);
    SetupProcess();
    InitReportAndPreview(THISREPORT, report_, Preview, vx::ProcedureIni(), MaximizePreview);
    Help = std::make_unique<vx::HelpClass>();
    Help->Init(*this, QString(), vx::eng::key::F12);
    return Benign;
}

int ReportFrame::Kill() {
    if (int level = vx::ReportManager::Kill()) return level;
    if (FilesOpened) {
        primary_.Close();
        FilesOpened = false;
    }
    if (Opened())
        if (vx::IniClass* ini = vx::ProcedureIni()) ini->Update(name_, Win());
    THISREPORT.Kill();
    if (named_ && Errors) Errors->SetProcedureName();
    named_ = false;
    if (Help) {
        Help->Kill();
        Help.reset();
    }
    return Benign;
}

int ReportFrame::TakeSelected() {
    if (Opened()) Highlight.Select(Win(), Win().field());
    return vx::ReportManager::TakeSelected();
}

int ReportFrame::OpenReport() {
    rows_.clear();
    next_ = 0;
    batch_ = 1;
    groupOpen_ = false;
    group_.clear();
    if (THISREPORT.Reset() != Benign) return Notify;
    // The first record decides between the notice and the report; the rest is read on the timer.
    if (!readOne()) return Notify;
    reading_ = true;
    return Benign;
}

bool ReportFrame::readOne() {
    if (THISREPORT.Next() != Benign) return false;
    Row row;
    row.position = View.Primary()->Position();
    if (SortValues) row.keys = SortValues();
    rows_.push_back(std::move(row));
    return true;
}

void ReportFrame::startPrinting() {
    reading_ = false;
    if (SortValues)
        std::stable_sort(rows_.begin(), rows_.end(), [](const Row& a, const Row& b) { return lessKeys(a.keys, b.keys); });
    printing_ = true;
    next_ = 0;
}

void ReportFrame::showPercent(int percent) {
    progress_ = std::uint8_t(std::clamp(percent, 0, 100));
    if (!Opened()) return;
    Win().setProp(vx::progress::Percent, vx::eng::Prop::Text, QStringLiteral("%1% Complete").arg(int(progress_)));
    if (auto* bar = Win().outer() ? Win().outer()->findChild<QProgressBar*>(QStringLiteral("thermometer")) : nullptr)
        bar->setValue(progress_);
}

void ReportFrame::printRow(const Row& row) {
    vx::FileManager& file = *View.Primary();
    if (file.TryReget(row.position) != 0) return;  // gone since the reading: nothing to print
    AfterRead();
    if (BreakValue) {
        const std::string value = BreakValue();
        if (!groupOpen_ || value != group_) {
            if (groupOpen_ && GroupFooter) report_.print(GroupFooter);
            if (GroupHeader) report_.print(GroupHeader);
            group_ = value;
            groupOpen_ = true;
        }
    }
    THISREPORT.TakeRecord();
}

int ReportFrame::TakeTimer() {
    if ((!reading_ && !printing_) || done_) return vx::ReportManager::TakeTimer();
    const qint64 slice = std::max(TimeSlice, 1) * 10;  // milliseconds
    QElapsedTimer all;
    all.start();
    while (reading_ || next_ < rows_.size()) {
        QElapsedTimer one;
        one.start();
        for (int i = 0; i < batch_; ++i) {
            if (reading_) {
                if (!readOne()) {
                    startPrinting();
                    break;
                }
            } else if (next_ < rows_.size()) {
                printRow(rows_[next_++]);
            } else {
                break;
            }
        }
        const qint64 took = one.elapsed();
        if (took * 5 < slice * 4) batch_ *= 2;
        else if (took * 2 > slice * 3) batch_ = std::max(1, batch_ / 2);
        if (all.elapsed() * 2 >= slice) break;
    }
    // Reading is the first half of the way, printing the second.
    if (reading_) showPercent(THISREPORT.Percentile() / 2);
    else showPercent(50 + int(next_ * 50 / std::max<std::size_t>(rows_.size(), 1)));
    if (printing_ && next_ >= rows_.size()) finishReport();
    return Benign;
}

void ReportFrame::finishReport() {
    vx::eng::Window& w = Win();
    done_ = true;
    printing_ = false;
    w.setTimer(0);
    if (groupOpen_ && GroupFooter) report_.print(GroupFooter);
    groupOpen_ = false;
    report_.close();
    std::vector<vx::rpt::Page> pages = report_.takePages();
    if (SkipPreview) {
        vx::rpt::PrinterChoice& choice = vx::rpt::PrinterChoice::instance();
        if (choice.hasPrinter() && !pages.empty()) vx::rpt::printPages(pages, choice.printer());
    } else if (!pages.empty()) {
        Preview.Zoom = Zoom;
        w.block(true);
        Preview.Display(std::move(pages));
        w.block(false);
    }
    Response = vx::Response::Completed;
    w.close();
}

}  // namespace vexlo::printing
