// Report engine figures: one page of 110 text fields (the size of a certificate side) recorded, then
// written to PDF, then both together (also the first time, fonts not yet loaded), and drawn as the
// preview shows it; best of several runs, in milliseconds.
// Prints "name: value unit" lines. Leaves the last page in ./bench_report.pdf.

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <functional>

#include "framework/platform/fonts.h"
#include "framework/report/report.h"

namespace {

using Clock = std::chrono::steady_clock;

vx::rpt::Report certificatePage(const QString& filler) {
    using namespace vx::rpt;
    Report r;
    r.setTitle(QStringLiteral("forma1 Report"));
    r.setDefaultFont({QStringLiteral("MS Sans Serif"), 8, 400, kDefaultColour});
    Band detail;
    detail.width = 210;
    detail.height = 297;
    detail.font.typeface = QStringLiteral("Times New Roman CYR");
    r.addBand(detail);
    Control line;
    line.kind = ControlKind::Line;
    line.height = 6;
    line.font.colour = 0;
    r.addControl(line);
    for (int i = 0; i < 110; ++i) {
        Control c;
        c.x = 15 + (i % 2) * 95;
        c.y = 10 + (i / 2) * 5;
        c.width = 90;
        c.height = 5;
        c.font = {QStringLiteral("Times New Roman CYR"), 11, 700, kDefaultColour};
        c.value = [filler, i] { return QStringLiteral("%1 %2").arg(i + 1).arg(filler); };
        r.addControl(c);
    }
    return r;
}

double bestMs(int runs, const std::function<void()>& f) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        f();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vx::platform::installFontSubstitutions();
    const QString filler = QStringLiteral("Ветеринарное свидетельство");
    const QString pdf = QDir::current().filePath(QStringLiteral("bench_report.pdf"));
    vx::rpt::Report report = certificatePage(filler);
    std::vector<vx::rpt::Page> pages;
    auto record = [&] {
        report.setPosition(0, 0);
        report.open();
        report.print(1);
        report.close();
        pages = report.pages();
    };
    auto write = [&] {
        if (!vx::rpt::writePdf(pages, pdf)) std::fprintf(stderr, "bench_report: cannot write %s\n", qPrintable(pdf));
    };
    const double coldMs = bestMs(1, [&] { record(); write(); });  // font files opened, caches filled
    const double recordMs = bestMs(20, record);
    const double pdfMs = bestMs(10, write);
    const double bothMs = bestMs(10, [&] { record(); write(); });
    // The preview's drawing of the page at zoom 100 on a 96 dpi screen.
    QImage screen(int(210 * 96 / 25.4), int(297 * 96 / 25.4), QImage::Format_RGB32);
    screen.setDotsPerMeterX(int(96 / 0.0254));
    screen.setDotsPerMeterY(int(96 / 0.0254));
    const double previewMs = bestMs(10, [&] {
        screen.fill(Qt::white);
        QPainter p(&screen);
        vx::rpt::renderPage(p, pages.front(), 96 / 25.4);
    });
    std::printf("report_record_page_110_fields: %.3f ms\n", recordMs);
    std::printf("report_pdf_page_110_fields: %.3f ms\n", pdfMs);
    std::printf("report_record_and_pdf_page: %.3f ms\n", bothMs);
    std::printf("report_record_and_pdf_page_first: %.3f ms\n", coldMs);
    std::printf("report_preview_draw_page: %.3f ms\n", previewMs);
    std::printf("report_record_and_pdf_page_vs_goal_100ms: %.3f\n", bothMs / 100.0);
    std::printf("report_pdf_vs_record: %.2f\n", recordMs > 0 ? pdfMs / recordMs : 0.0);
    return 0;
}
