#include "reportprocedure.h"

#include "framework/classlib/procframe.h"
#include "framework/engine/threads.h"
#include "framework/engine/vars.h"
#include "framework/engine/window.h"
#include "framework/report/layoutfile.h"

namespace vx {

int DetailProcess::TakeRecord() {
    if (BeforeDetail) BeforeDetail();
    const int level = ProcessClass::TakeRecord();
    if (Target && DetailBand) Target->print(DetailBand);
    return level;
}

rpt::Report loadProcedureReport(const QString& path) {
    return rpt::loadReport(path, [](std::string_view name) { return eng::vars::find(name); });
}

namespace {
bool quickScan = true;
}

void ReportProcedure::SetQuickScan(bool on) { quickScan = on; }

ReportProcedure::ReportProcedure(QString name, QString progressLayout, RelationManager& primary, rpt::Report& report)
    : primary_(primary), report_(report), name_(std::move(name)), progressLayout_(std::move(progressLayout)) {}

int ReportProcedure::Init() {
    Errors = ProcedureErrors();
    if (Errors) Errors->SetProcedureName(name_);
    named_ = Errors != nullptr;
    Request = eng::GLOBALREQUEST;
    OriginalRequest = Request;
    if (int level = ReportManager::Init()) return level;
    FirstField = 1;
    VCRRequest = eng::VCRREQUEST.ptr();
    View.Init(*primary_.Me);
    BindNames(View.Bindings());
    eng::GLOBALREQUEST = 0;
    eng::GLOBALRESPONSE = 0;
    for (RelationManager* r : AlsoOpen) r->Open();
    primary_.SetOpenRelated();
    if (int level = primary_.Open()) return level;
    FilesOpened = true;
    Open(progressLayout_);
    if (IniClass* ini = ProcedureIni()) ini->Fetch(name_, Win());
    Win().setTimer(10);
    THISREPORT.Target = &report_;
    THISREPORT.Init(View, primary_, progress::Percent, &progress_, Step, ProgressField);
    SetupProcess();
    InitReportAndPreview(THISREPORT, report_, Previewer, ProcedureIni(), MaximizePreview);
    primary_.Me->SetQuickScan(quickScan);  // the records are read front to back: read ahead
    Help = std::make_unique<HelpClass>();
    Help->Init(*this, QString(), eng::key::F12);
    return Level::Benign;
}

int ReportProcedure::Kill() {
    if (int level = ReportManager::Kill()) return level;
    if (FilesOpened) {
        for (RelationManager* r : AlsoOpen) r->Close();
        primary_.Close();
        FilesOpened = false;
    }
    if (Opened())
        if (IniClass* ini = ProcedureIni()) ini->Update(name_, Win());
    THISREPORT.Kill();
    if (named_ && Errors) Errors->SetProcedureName();
    named_ = false;
    if (Help) {
        Help->Kill();
        Help.reset();
    }
    return Level::Benign;
}

int ReportProcedure::TakeSelected() {
    if (Opened()) Highlight.Select(Win(), Win().field());
    return ReportManager::TakeSelected();
}

}  // namespace vx
