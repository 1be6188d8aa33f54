#include "printing/inventory.h"

#include <memory>

#include "framework/classlib/reportprocedure.h"
#include "framework/types/refs.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/records.h"
#include "shell/runtime.h"

namespace vexlo::printing {

namespace {

class ThisWindow final : public vx::ReportProcedure {
public:
    ThisWindow(const Inventory& inventory, vx::rpt::Report& report)
        : ReportProcedure(QString::fromLatin1(inventory.name), QString::fromLatin1(inventory.progress), *RELATE_ANIM,
                          report) {
        THISREPORT.DetailBand = report.find(QStringLiteral("?DETAIL"));
        MaximizePreview = true;
    }

protected:
    void BindNames(vx::Evaluator& e) override { e.bind("nform", vx::ref(NFORM)); }
    void SetupProcess() override {
        THISREPORT.AddSortOrder(0);
        THISREPORT.AppendOrder("+ani:npp");
        THISREPORT.SetFilter("nform=ani:nform");
        AddBreak([] { return vx::Decimal(ANI->NFORM).toString(); }, report_.find(QStringLiteral("?GROUPHEADER")),
                 report_.find(QStringLiteral("?GROUPFOOTER")));
    }
};

}  // namespace

void runInventory(const Inventory& inventory) {
    vx::rpt::Report report = vx::loadProcedureReport(QString::fromLatin1(inventory.report));
    auto window = std::make_unique<ThisWindow>(inventory, report);
    vx::eng::GLOBALRESPONSE = std::uint8_t(window->Run());
}

}  // namespace vexlo::printing
