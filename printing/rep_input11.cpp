// REP_INPUT11: the query report. The certificates that the register's query selects, grouped by
// the recipient FRM:F2 in the order of FRM:K2 (case-blind; a certificate with a blank recipient is
// in no order of that key), within a recipient by ascending date and number. A running row number
// over the whole report, and a count per recipient in the group footer.
//
// The register hands the filter over in GLO:REPORTQUERYRESULT and starts this report on a thread
// of its own. When the progress window opens the report takes the expression once and blanks the
// global (so a report started again without a new query covers every certificate); ZAPROS, the
// header's copy, holds its first 60 characters. The counterparty of each certificate is looked up
// by KAG:K2 as an outer join: a recipient without a counterparty record prints all the same.

#include <QString>

#include <memory>

#include "framework/classlib/reportprocedure.h"
#include "framework/classlib/steps.h"
#include "framework/types/refs.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/records.h"
#include "shell/runtime.h"

namespace {

class ThisWindow final : public vx::ReportProcedure {
public:
    explicit ThisWindow(vx::rpt::Report& report)
        : ReportProcedure(QStringLiteral("Rep_input11"), QStringLiteral(":/reports/rep_input11.lay"), *RELATE_FORMA1,
                          report) {
        THISREPORT.DetailBand = report.find(QStringLiteral("?DETAIL"));
        // The counterparty of the certificate, before its band prints.
        THISREPORT.BeforeDetail = [this] { fetchCounterparty(); };
        // The progress bar follows the recipient's name along the key.
        step_.Init(5, 3);
        Step = &step_;
        if (const vx::FieldDesc* f2 = FORMA1_DESC.find("FRM:F2"))
            ProgressField = vx::VarRef::of(*f2, static_cast<FRM_RECORD*>(&*FRM));
    }

    int OpenReport() override {
        const std::string expression = GLO_REPORTQUERYRESULT.str();
        ZAPROS = std::string_view(expression).substr(0, 60);
        if (!expression.empty()) {
            THISREPORT.SetFilter(expression);
            GLO_REPORTQUERYRESULT = "";
        }
        return ReportProcedure::OpenReport();
    }

    void Reset(bool force) override {
        fetchCounterparty();
        ReportProcedure::Reset(force);
    }

    void Update() override {
        ReportProcedure::Update();
        fetchCounterparty();
    }

protected:
    void BindNames(vx::Evaluator& e) override {
        e.bind("d1", vx::ref(D1));
        e.bind("d2", vx::ref(D2));
    }
    void SetupProcess() override {
        // FRM:K2 first (the recipient, case-blind), then the order text.
        THISREPORT.AddSortOrder(FRM_K2);
        THISREPORT.AppendOrder("+FRM:datavv,+FRM:nomsv");
        AddBreak([] { return FRM->F2.str(); }, report_.find(QStringLiteral("?GROUPHEADER")),
                 report_.find(QStringLiteral("?GROUPFOOTER")));
    }

private:
    // The outer join: the counterparty whose name is the recipient, or a cleared buffer.
    void fetchCounterparty() {
        KAG->NAME = std::string_view(FRM->F2.str()).substr(0, 80);
        if (ACCESS_KAGENT->TryFetch(KAG_K2) != 0) KAGENT_DESC.clear(&*KAG);
    }

    vx::StepStringClass step_;
};

}  // namespace

void REP_INPUT11() {
    vx::rpt::Report report = vx::loadProcedureReport(QStringLiteral(":/reports/rep_input11.rpt"));
    auto window = std::make_unique<ThisWindow>(report);
    vx::eng::GLOBALRESPONSE = std::uint8_t(window->Run());
}
