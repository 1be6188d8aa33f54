#include "register/rep_data1_export.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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

// The first line of a message box says what happened and what to do; the application's own
// words follow.
QString lines(const QString& first, const QString& detail) {
    return detail.isEmpty() ? first : first + QLatin1Char('|') + detail;
}

// At most this many failed cells are named one by one.
constexpr int kFailuresNamed = 10;

}  // namespace

QString exportCopyPath(const QString& file) {
    const QFileInfo f(file);
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy HH-mm-ss"));
    QString name = QString::fromUtf8("%1 (копия экспорта от %2)").arg(f.completeBaseName(), stamp);
    if (!f.suffix().isEmpty()) name += QLatin1Char('.') + f.suffix();
    return f.absoluteDir().filePath(name);
}

ExportResult exportPeriod() {
    ExportResult r;
    const std::string file(vx::clip(NAMEFILE.view()));
    if (file.empty()) return r;  // nothing chosen: nothing opened, nothing written

    r.sheet = vx::platform::createSpreadsheet(&r.error);
    if (r.sheet) {
        if (auto& hook = vx::platform::spreadsheetStartHook()) r.sheet = hook(std::move(r.sheet));
    }
    if (!r.sheet) return r;
    vx::platform::Spreadsheet* sheet = r.sheet.get();
    // Nothing is written into a workbook that nobody could see afterwards.
    if (!sheet->open(vx::cp::fromCp1251(file)) || !sheet->canShow()) {
        r.error = sheet->error();
        sheet->terminate();
        r.sheet.reset();
        return r;
    }

    const std::int32_t from = std::int32_t(D1), to = std::int32_t(D2);
    const FRM_RECORD kept = *FRM;  // the certificate the register had highlighted
    const auto date = vx::pic::parse("@d6.");
    long row = 5;
    // Each write on its own: a failed cell is noted and the next one is written.
    auto put = [&](const QString& cell, bool ok) {
        ++r.calls;
        if (!ok) r.failures << QString::fromUtf8("ячейка %1: %2").arg(cell, sheet->error());
    };
    ACCESS_FORMA1->Open();  // a use of our own: the caller's stays as it is
    vx::FileManager::ReadOperation reading(*ACCESS_FORMA1, vx::FileManager::ReadOperation::Count);
    if (ACCESS_FORMA1->SetStart(0) == vx::Level::Benign) {
        while (ACCESS_FORMA1->TryNext() == 0) {
            const std::int32_t issued = std::int32_t(FRM->DATAVV);
            if (issued < from || to < issued) continue;
            ++row;
            ++r.rows;
            const QString n = QString::number(row);
            auto at = [&](char column) { return QLatin1Char(column) + n; };
            const double number = std::stod(vx::Decimal(FRM->NOMSV).toString());
            put(at('B'), sheet->setNumber(at('B'), double(row - 5)));
            put(at('C'), sheet->setText(at('C'), text(FRM->F2.raw())));
            put(at('D'), sheet->setText(at('D'), joined(FRM->F4.raw(), FRM->F5.raw())));
            put(at('E'), sheet->setText(at('E'), text(FRM->F6.raw())));
            put(at('F'), sheet->setText(at('F'), joined(FRM->F32.raw(), FRM->F33.raw())));
            put(at('G'), sheet->setNumber(at('G'), number));
            put(at('H'), sheet->setText(at('H'), vx::cp::fromCp1251(vx::pic::formatDate(*date, issued))));
        }
    }
    r.leftOut = reading.Passed();
    ACCESS_FORMA1->Close();
    static_cast<FRM_RECORD&>(*FRM) = kept;
    return r;
}

void ExcelExport() {
    REP_DATA1_DIALOG();
    if (vx::clip(NAMEFILE.view()).empty()) return;  // cancelled: nothing to do
    const QString file = vx::cp::fromCp1251(vx::clip(NAMEFILE.view()));
    const QString title = QString::fromUtf8("Экспорт в Excel");
    ExportResult r = exportPeriod();
    if (!r.sheet) {
        vx::eng::MESSAGE(lines(QString::fromUtf8("Экспорт в Excel не выполнен, в книгу ничего не записано. "
                                                 "Устраните причину и повторите экспорт."),
                               r.error),
                         title, vx::eng::Icon::Exclamation, vx::eng::btn::Ok);
        return;
    }
    // The filled workbook lives only in the application until the user saves it: a copy is kept
    // beside the chosen file until the workbook is on the screen.
    const QString copy = exportCopyPath(file);
    const bool copied = r.sheet->storeCopy(copy);

    if (r.leftOut.Count() > 0)
        ACCESS_FORMA1->TellLeftOut(r.leftOut, QString::fromUtf8("Экспорт в Excel неполон: пропущено записей, которые "
                                                                "не удалось прочитать: %1.")
                                                  .arg(r.leftOut.Count()));
    if (r.failures.isEmpty()) {
        if (r.leftOut.Count() == 0)
            vx::eng::MESSAGE(QString::fromUtf8("Экспорт в Excel завершен!"), title, vx::eng::Icon::None, vx::eng::btn::Ok);
    } else {
        QStringList named = r.failures.mid(0, kFailuresNamed);
        if (r.failures.size() > kFailuresNamed)
            named << QString::fromUtf8("… и ещё %1").arg(r.failures.size() - kFailuresNamed);
        vx::eng::MESSAGE(lines(QString::fromUtf8("Экспорт в Excel завершен с ошибками: не записано ячеек: %1 из %2. "
                                                 "Проверьте эти ячейки в книге и заполните их вручную.")
                                   .arg(r.failures.size())
                                   .arg(r.calls),
                               named.join(QLatin1Char('|'))),
                         title, vx::eng::Icon::Exclamation, vx::eng::btn::Ok);
    }

    if (r.sheet->show()) {
        if (copied) QFile::remove(copy);  // the workbook is in front of the user now
    } else if (copied) {
        vx::eng::MESSAGE(lines(QString::fromUtf8("Книгу не удалось показать на экране. Заполненная книга "
                                                 "сохранена в файле \"%1\": откройте её в LibreOffice Calc.")
                                   .arg(QDir::toNativeSeparators(copy)),
                               r.sheet->error()),
                         title, vx::eng::Icon::Exclamation, vx::eng::btn::Ok);
    } else {
        vx::eng::MESSAGE(lines(QString::fromUtf8("Книгу не удалось ни показать на экране, ни сохранить рядом с "
                                                 "файлом \"%1\": записанные строки не сохранены. Проверьте, что "
                                                 "LibreOffice Calc установлен с оконным модулем и папка доступна "
                                                 "для записи, и повторите экспорт.")
                                   .arg(QDir::toNativeSeparators(file)),
                               r.sheet->error()),
                         title, vx::eng::Icon::Exclamation, vx::eng::btn::Ok);
    }
    if (auto& hook = vx::platform::spreadsheetReleaseHook()) hook(*r.sheet);
}  // the spreadsheet is let go of here; it stays open with the workbook

}  // namespace vexlo::reg
