// REP_INPUT1: the period report. The certificates whose date of issue lies in D1..D2 (both
// included) and whose status equals COMMENT, in ascending date and, within a date, ascending
// number; one detail band each, then the framed count and price total.
//
// Started by REP_DATA on a thread of its own; D1, D2 and COMMENT are bound as they are (not
// copied), so the filter reads the globals when the report opens its reading. The break on the
// global Z2 prints the totals after the last certificate (and, were Z2 to change during the run,
// between two certificates, without resetting them).

#include <memory>

#include "framework/classlib/reportprocedure.h"
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
        : ReportProcedure(QStringLiteral("Rep_input1"), QStringLiteral(":/reports/rep_input1.lay"), *RELATE_FORMA1, report) {
        THISREPORT.DetailBand = report.find(QStringLiteral("?DETAIL"));
    }

protected:
    void BindNames(vx::Evaluator& e) override {
        e.bind("d1", vx::ref(D1));
        e.bind("d2", vx::ref(D2));
        e.bind("comment", vx::ref(COMMENT));
    }
    void SetupProcess() override {
        THISREPORT.AddSortOrder(0);
        THISREPORT.AppendOrder("+FRM:datavv,+FRM:nomsv");
        THISREPORT.SetFilter("(d1<=frm:datavv) and (d2>=frm:datavv) and (comment=frm:comment)");
        AddBreak([] { return Z2.str(); }, 0, report_.find(QStringLiteral("?GROUPFOOTER")));
    }
};

}  // namespace

void REP_INPUT1() {
    vx::rpt::Report report = vx::loadProcedureReport(QStringLiteral(":/reports/rep_input1.rpt"));
    auto window = std::make_unique<ThisWindow>(report);
    vx::eng::GLOBALRESPONSE = std::uint8_t(window->Run());
}
