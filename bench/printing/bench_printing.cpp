// Certificate print figures over the fixed data set of 10,000 certificates: from START of the
// front-side print to its preview showing the page (the certificate file read in number order
// through the filter, the layout read, the page recorded, the preview window shown and painted),
// and the previewed page printed to PDF; the period report from START to its preview over the same
// 10,000 certificates (every one read and filtered, one month's 830 or so sorted and printed).
// Best of several runs, in milliseconds.
// Prints "name: value unit" lines. Works in a scratch directory of its own; leaves the last page in
// ./bench_printing.pdf.

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <functional>

#include "framework/classlib/reportprocedure.h"
#include "framework/engine/harness.h"
#include "framework/report/preview.h"
#include "framework/types/codepage.h"
#include "framework/types/date.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/records.h"
#include "shell/runtime.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kCertificates = 10000;

double ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

std::string w(const QString& s) { return vx::cp::toCp1251(s); }

vx::rpt::PrintPreview* preview() {
    for (QWidget* wd : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<vx::rpt::PrintPreview*>(wd); p && p->isVisible()) return p;
    return nullptr;
}

void fillData() {
    RELATE_FORMA1->Open();
    RELATE_LAST->Open();
    vexlo::ensureFirstPrintLayout();
    ACCESS_LAST->SetStart(LAS_K1);
    ACCESS_LAST->TryNext();
    for (int no = 1; no <= kCertificates; ++no) {
        ACCESS_FORMA1->PrimeRecord();
        FRM->NOMSV = no;
        FRM->F2 = w(QStringLiteral("Общество с ограниченной ответственностью «Агрохолдинг %1»").arg(no));
        FRM->F3 = w(QStringLiteral("Московская область, Раменский район, село Константиново"));
        FRM->Z1 = w(QStringLiteral("Государственное бюджетное учреждение"));
        FRM->DAY = 12;
        FRM->MES = w(QStringLiteral("марта"));
        FRM->GOD = 24;
        FRM->F7 = w(QStringLiteral("крупный рогатый скот, 12 голов"));
        FRM->F17 = w(QStringLiteral("лейкоз"));
        FRM->F171 = "81234";
        FRM->DATAVV = vx::date::fromYmd(2024, 1 + no % 12, 1 + no % 28);
        FRM->COMMENT = w(QStringLiteral("Выдано"));
        FRM->F48 = w(QStringLiteral("Экспедитор Иванов И.И."));
        FRM->F50 = w(QStringLiteral("Ветврач Петрова А.А."));
        ACCESS_FORMA1->Insert();
    }
    RELATE_LAST->Close();
    RELATE_FORMA1->Close();
}

}  // namespace

int main() {
    QTemporaryDir dir;
    const QString back = QDir::currentPath();
    QDir::setCurrent(dir.path());
    qputenv("VEXLO_INI_DIR", dir.path().toLocal8Bit());
    vx::eng::test::Harness h;
    vexlo::processStart(0);
    INIMGR.Init(QStringLiteral("vexlo.INI"));
    DCTINIT();
    const auto fill0 = Clock::now();
    fillData();
    const double fillMs = ms(fill0);

    double toPreview = 1e300, toPdf = 1e300;
    const QString pdf = QDir(back).filePath(QStringLiteral("bench_printing.pdf"));
    for (int run = 0; run < 5; ++run) {
        NFORM = kCertificates / 2 + run;
        const auto t0 = Clock::now();
        const int t = h.start(PRINT_F1_1);
        h.waitFor([] { return preview() != nullptr; });
        vx::rpt::PrintPreview* p = preview();
        if (!p) {
            std::fprintf(stderr, "bench_printing: no preview\n");
            return 1;
        }
        p->grab();  // the page painted as the screen shows it
        toPreview = std::min(toPreview, ms(t0));
        const auto t1 = Clock::now();
        if (!p->savePdf(pdf)) std::fprintf(stderr, "bench_printing: cannot write %s\n", qPrintable(pdf));
        toPdf = std::min(toPdf, ms(t1));
        p->close();
        h.waitEnd(t);
    }
    // The period report: the certificates of March 2024 with the status "Выдано", read with the
    // driver's read-ahead (as the reports do) and without it.
    double periodToPreview[2] = {1e300, 1e300};
    int periodPages = 0;
    for (int quick = 1; quick >= 0; --quick) {
        vx::ReportProcedure::SetQuickScan(quick == 1);
        for (int run = 0; run < 3; ++run) {
            D1 = vx::date::fromYmd(2024, 3, 1);
            D2 = vx::date::fromYmd(2024, 3, 31);
            COMMENT = w(QStringLiteral("Выдано"));
            const auto t0 = Clock::now();
            const int t = h.start(REP_INPUT1);
            // The reading goes on over several timer events.
            while (!preview() && ms(t0) < 60000) h.waitFor([] { return preview() != nullptr; });
            vx::rpt::PrintPreview* p = preview();
            if (!p) {
                std::fprintf(stderr, "bench_printing: no preview of the period report\n");
                return 1;
            }
            p->grab();
            periodToPreview[quick] = std::min(periodToPreview[quick], ms(t0));
            periodPages = int(p->pages().size());
            p->close();
            h.waitEnd(t);
        }
    }
    vx::ReportProcedure::SetQuickScan(true);
    DCTKILL();
    INIMGR.Kill();
    QDir::setCurrent(back);

    std::printf("printing_fill_10000_certificates: %.1f ms\n", fillMs);
    std::printf("printing_start_to_preview_10000: %.3f ms\n", toPreview);
    std::printf("printing_preview_to_pdf: %.3f ms\n", toPdf);
    std::printf("printing_start_to_preview_vs_goal_200ms: %.3f\n", toPreview / 200.0);
    std::printf("printing_preview_to_pdf_vs_goal_100ms: %.3f\n", toPdf / 100.0);
    std::printf("report_period_10000_to_preview: %.3f ms\n", periodToPreview[1]);
    std::printf("report_period_10000_to_preview_no_quick_scan: %.3f ms\n", periodToPreview[0]);
    std::printf("report_period_10000_quick_vs_plain: %.3f\n", periodToPreview[1] / periodToPreview[0]);
    std::printf("report_period_10000_pages: %d pages\n", periodPages);
    return 0;
}
