#include "printing/inventory.h"

#include <memory>

#include "framework/types/refs.h"
#include "printing/report_frame.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/records.h"
#include "shell/runtime.h"

namespace vexlo::printing {

namespace {

class ThisWindow final : public ReportFrame {
public:
    ThisWindow(const Inventory& inventory, vx::rpt::Report& report)
        : ReportFrame(QString::fromLatin1(inventory.name), QString::fromLatin1(inventory.progress), *RELATE_ANIM,
                      report) {
        THISREPORT.DetailBand = report.find(QStringLiteral("?DETAIL"));
        GroupHeader = report.find(QStringLiteral("?GROUPHEADER"));
        GroupFooter = report.find(QStringLiteral("?GROUPFOOTER"));
        BreakValue = [] { return vx::Decimal(ANI->NFORM).toString(); };
        SortValues = [] { return std::vector<vx::Decimal>{vx::Decimal(ANI->NPP)}; };  // "+ani:npp"
        MaximizePreview = true;
    }

protected:
    void BindNames(vx::Evaluator& e) override { e.bind("nform", vx::ref(NFORM)); }
    void SetupProcess() override {
        THISREPORT.AddSortOrder(0);
        THISREPORT.AppendOrder("+ani:npp");
        THISREPORT.SetFilter("nform=ani:nform");
    }
};

}  // namespace

void runInventory(const Inventory& inventory) {
    vx::rpt::Report report = loadProcedureReport(QString::fromLatin1(inventory.report));
    auto window = std::make_unique<ThisWindow>(inventory, report);
    vx::eng::GLOBALRESPONSE = std::uint8_t(window->Run());
}

}  // namespace vexlo::printing
