#include "register/rep_data1_export.h"

#include <memory>
#include <string>

#include "framework/engine/message.h"
#include "framework/platform/spreadsheet.h"
#include "framework/types/codepage.h"
#include "framework/types/decimal.h"
#include "framework/types/picture.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/records.h"
#include "register/rep_data1_dialog.h"

namespace vexlo::reg {

namespace {

QString text(std::string_view cp1251) { return vx::cp::fromCp1251(vx::clip(cp1251)); }
QString joined(std::string_view a, std::string_view b) {
    return vx::cp::fromCp1251(std::string(vx::clip(a)) + " " + std::string(vx::clip(b)));
}

}  // namespace

ExportResult exportPeriod() {
    ExportResult r;
    const std::string file(vx::clip(NAMEFILE.view()));
    if (file.empty()) return r;  // nothing chosen: nothing opened, nothing written

    r.sheet = vx::platform::createSpreadsheet(&r.error);
    if (!r.sheet) return r;
    vx::platform::Spreadsheet* sheet = r.sheet.get();
    if (!sheet->open(vx::cp::fromCp1251(file))) {
        r.error = sheet->error();
        sheet->terminate();
        r.sheet.reset();
        return r;
    }

    const std::int32_t from = std::int32_t(D1), to = std::int32_t(D2);
    const FRM_RECORD kept = *FRM;  // the certificate the register had highlighted
    const auto date = vx::pic::parse("@d6.");
    bool ok = true;
    long row = 5;
    ACCESS_FORMA1->Open();  // a use of our own: the caller's stays as it is
    if (ACCESS_FORMA1->SetStart(0) == vx::Level::Benign) {
        while (ok && ACCESS_FORMA1->TryNext() == 0) {
            const std::int32_t issued = std::int32_t(FRM->DATAVV);
            if (issued < from || to < issued) continue;
            ++row;
            const QString n = QString::number(row);
            auto at = [&](char column) { return QLatin1Char(column) + n; };
            const double number = std::stod(vx::Decimal(FRM->NOMSV).toString());
            ok = sheet->setNumber(at('B'), double(row - 5)) &&
                 sheet->setText(at('C'), text(FRM->F2.raw())) &&
                 sheet->setText(at('D'), joined(FRM->F4.raw(), FRM->F5.raw())) &&
                 sheet->setText(at('E'), text(FRM->F6.raw())) &&
                 sheet->setText(at('F'), joined(FRM->F32.raw(), FRM->F33.raw())) &&
                 sheet->setNumber(at('G'), number) &&
                 sheet->setText(at('H'), vx::cp::fromCp1251(vx::pic::formatDate(*date, issued)));
            if (ok) ++r.rows;
        }
    }
    ACCESS_FORMA1->Close();
    static_cast<FRM_RECORD&>(*FRM) = kept;
    r.ok = ok;
    if (!ok) r.error = sheet->error();
    return r;
}

void ExcelExport() {
    REP_DATA1_DIALOG();
    if (vx::clip(NAMEFILE.view()).empty()) return;  // cancelled: nothing to do
    ExportResult r = exportPeriod();
    const QString title = QString::fromUtf8("Экспорт в Excel");
    if (r.ok)
        vx::eng::MESSAGE(QString::fromUtf8("Экспорт в Excel завершен!"), title, vx::eng::Icon::None, vx::eng::btn::Ok);
    else
        vx::eng::MESSAGE(QString::fromUtf8("Экспорт в Excel не выполнен.|") + r.error, title,
                         vx::eng::Icon::Exclamation, vx::eng::btn::Ok);
    if (!r.sheet) return;
    // The workbook is shown even after a failed cell: the rows written so far are there to see.
    if (!r.sheet->show() && r.ok)
        vx::eng::MESSAGE(QString::fromUtf8("Экспорт в Excel: окно книги не показано.|") + r.sheet->error(), title,
                         vx::eng::Icon::Exclamation, vx::eng::btn::Ok);
    if (auto& hook = vx::platform::spreadsheetReleaseHook()) hook(*r.sheet);
}  // the spreadsheet is let go of here; it stays open with the workbook

}  // namespace vexlo::reg
