// Pages printed to PDF and read back with poppler: positions, texts, pages and fonts as on paper.

#include <QImage>
#include <QPainter>
#include <QPrinter>

#include "framework/platform/fonts.h"
#include "pdf_words.h"
#include "qt_env.h"

namespace vx::rpt::test {
namespace {

constexpr double kMmTolerance = 0.3;

class OutputTest : public ReportTest {
protected:
    PdfText printAndRead(Report& r, const QString& name = QStringLiteral("out.pdf")) {
        r.close();
        QString error;
        EXPECT_TRUE(writePdf(r.pages(), file(name), &error)) << error.toStdString();
        PdfText t = readPdf(file(name));
        EXPECT_TRUE(t.ok) << t.error.toStdString();
        return t;
    }
    PdfText onePage(const Control& c, const QString& name = QStringLiteral("out.pdf")) {
        Report r = pageReport();
        r.addControl(c);
        r.open();
        r.print(1);
        return printAndRead(r, name);
    }
};

struct Placed {
    const char* typeface;
    double size;
    int style;
    double x, y;
};

TEST_F(OutputTest, TextTopLeftLandsAtTheControlsPosition) {
    const Placed cases[] = {
        {"Times New Roman CYR", 11, 700, 25.0, 30.0}, {"Times New Roman CYR", 9, 400, 132.0, 63.0},
        {"Arial CYR", 10, 400, 25.0, 50.0},           {"Courier New CYR", 12, 400, 100.5, 150.5},
        {"Arial CYR", 8, 0x1000 | 700, 0.0, 0.0},     {"Times New Roman CYR", 11, 700, 190.0, 280.0},
    };
    for (const Placed& c : cases) {
        SCOPED_TRACE(std::string(c.typeface) + " at " + std::to_string(c.x) + ", " + std::to_string(c.y));
        const PdfText t = onePage(text(QStringLiteral("Ж1"), c.x, c.y, QString::fromLatin1(c.typeface), c.size, c.style));
        const PdfWord* w = t.find(QStringLiteral("Ж1"));
        ASSERT_NE(w, nullptr);
        EXPECT_NEAR(w->xMin, c.x, kMmTolerance);
        EXPECT_NEAR(w->yMin, c.y, kMmTolerance);
        // The line is as tall as the font: ascent plus descent, a little over the size in points.
        EXPECT_NEAR(w->yMax - w->yMin, c.size * 25.4 / 72 * 1.12, 0.4);
    }
}

TEST_F(OutputTest, ReportPositionMovesEverythingInTheFlow) {
    Report r = pageReport();
    r.addControl(text(QStringLiteral("Левый"), 25, 30));
    Control line;
    line.kind = ControlKind::Line;
    line.height = 6;
    r.addControl(line);
    r.setPosition(-2, 3);
    r.open();
    r.print(1);
    const PdfText t = printAndRead(r);
    const PdfWord* w = t.find(QStringLiteral("Левый"));
    ASSERT_NE(w, nullptr);
    EXPECT_NEAR(w->xMin, 23, kMmTolerance);
    EXPECT_NEAR(w->yMin, 33, kMmTolerance);
    const PageItem& drawn = r.pages().front().items.back();
    EXPECT_EQ(drawn.kind, PageItem::Kind::Line);
    EXPECT_EQ(drawn.rect, QRectF(-2, 3, 0, 6));
}

TEST_F(OutputTest, CyrillicTextComesBackAsTyped) {
    Report r = pageReport();
    const QString line = QStringLiteral("Ветеринарное свидетельство №1 ёЁ «Форма»");
    r.addControl(text(line, 22, 76));
    r.open();
    r.print(1);
    const PdfText t = printAndRead(r);
    EXPECT_EQ(t.texts().join(QLatin1Char(' ')), line);
}

TEST_F(OutputTest, BandsBreakOntoA4PagesWithTheirHeaders) {
    Report r;
    r.setArea(10, 20, 190, 260);
    Band header;
    header.kind = BandKind::PageHeader;
    header.height = 10;
    const int headerNo = r.addBand(header);
    int pageNo = 0;
    Control title = text(QString(), 0, 0, QStringLiteral("Arial CYR"), 9, 400);
    title.value = [&] { return QStringLiteral("Лист%1").arg(++pageNo); };
    r.addControl(headerNo, title);
    Band detail;
    detail.height = 100;
    const int detailNo = r.addBand(detail);
    int row = 0;
    Control cell = text(QString(), 5, 2, QStringLiteral("Arial CYR"), 9, 400);
    cell.value = [&] { return QStringLiteral("Строка%1").arg(row); };
    r.addControl(detailNo, cell);
    r.open();
    for (row = 1; row <= 5; ++row) r.print(detailNo);
    const PdfText t = printAndRead(r);
    ASSERT_EQ(t.pageWidthMm.size(), 3u);
    for (std::size_t p = 0; p < 3; ++p) {
        EXPECT_NEAR(t.pageWidthMm[p], 210, 0.5);
        EXPECT_NEAR(t.pageHeightMm[p], 297, 0.5);
    }
    // 260 mm of area: a 10 mm header and two 100 mm rows per page.
    const struct {
        const char* word;
        int page;
        double x, y;
    } expected[] = {{"Лист1", 0, 10, 20},     {"Строка1", 0, 15, 32},  {"Строка2", 0, 15, 132},
                    {"Лист2", 1, 10, 20},     {"Строка3", 1, 15, 32},  {"Строка4", 1, 15, 132},
                    {"Лист3", 2, 10, 20},     {"Строка5", 2, 15, 32}};
    for (const auto& e : expected) {
        SCOPED_TRACE(e.word);
        const PdfWord* w = t.find(QString::fromUtf8(e.word));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->page, e.page);
        EXPECT_NEAR(w->xMin, e.x, kMmTolerance);
        EXPECT_NEAR(w->yMin, e.y, kMmTolerance);
    }
}

TEST_F(OutputTest, WeightAndItalicChooseTheFontFace) {
    const struct {
        int style;
        const char* face;
    } cases[] = {{400, "LiberationSerif"},
                 {700, "LiberationSerif-Bold"},
                 {400 | StyleItalic, "LiberationSerif-Italic"},
                 {700 | StyleItalic, "LiberationSerif-BoldItalic"},
                 {0, "LiberationSerif"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.face);
        const QString name = QStringLiteral("style%1.pdf").arg(c.style);
        onePage(text(QStringLiteral("Образец"), 25, 30, QStringLiteral("Times New Roman CYR"), 11, c.style), name);
        EXPECT_EQ(pdfFonts(file(name)), QStringList{QString::fromLatin1(c.face)});
    }
}

// Dark pixels per row of the page rendered at 10 px/mm.
std::vector<int> inkRows(const Page& page) {
    QImage img(int(page.sizeMm.width() * 10), int(page.sizeMm.height() * 10), QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    renderPage(p, page, 10);
    p.end();
    std::vector<int> rows(img.height());
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 128) ++rows[y];
    return rows;
}

TEST_F(OutputTest, UnderlineRunsBelowTheTextAndStrikeOutThroughIt) {
    auto rowsFor = [&](int style) {
        Report r = pageReport();
        r.addControl(text(QStringLiteral("оооооооо"), 20, 20, QStringLiteral("Arial CYR"), 20, 400 | style));
        r.open();
        r.print(1);
        r.close();
        return inkRows(r.pages().front());
    };
    const std::vector<int> plain = rowsFor(0), under = rowsFor(StyleUnderline), strike = rowsFor(StyleStrikeOut);
    auto addedRow = [&](const std::vector<int>& styled) {
        int best = 0, bestGain = 0;
        for (std::size_t y = 0; y < plain.size(); ++y)
            if (styled[y] - plain[y] > bestGain) bestGain = styled[y] - plain[y], best = int(y);
        return std::pair{best, bestGain};
    };
    const auto [underRow, underGain] = addedRow(under);
    const auto [strikeRow, strikeGain] = addedRow(strike);
    EXPECT_GT(underGain, 200);   // a rule the width of the text (~8 glyphs at 20 pt, 10 px/mm)
    EXPECT_GT(strikeGain, 200);
    // 20 pt Arial: baseline at 20 + 0.905 * 7.06 mm = 26.4 mm; the underline just below it, the
    // strike-out through the middle of the lower-case letters.
    EXPECT_GT(underRow, 264);
    EXPECT_LT(underRow, 275);
    EXPECT_GT(strikeRow, 230);
    EXPECT_LT(strikeRow, 264);
}

TEST_F(OutputTest, BlankTypefaceAndSizeZeroPrintInTheDefaultFont) {
    Report r = pageReport();  // default font "MS Sans Serif" 8, the detail band names none
    Control empty = text(QStringLiteral("Пусто"), 0, 0, QString(), 0, 0);
    r.addControl(empty);
    r.open();
    r.print(1);
    const PdfText t = printAndRead(r);
    const PdfWord* w = t.find(QStringLiteral("Пусто"));
    ASSERT_NE(w, nullptr);
    EXPECT_NEAR(w->yMax - w->yMin, 8 * 25.4 / 72 * 1.12, 0.4);
    EXPECT_EQ(pdfFonts(file(QStringLiteral("out.pdf"))), QStringList{QStringLiteral("LiberationSans")});
}

TEST_F(OutputTest, BlankTypefaceTakesTheBandsTypeface) {
    Report r = pageReport();
    r.band(1)->font.typeface = QStringLiteral("Times New Roman CYR");
    r.addControl(text(QStringLiteral("Пусто"), 10, 10, QString(), 0, 0));
    r.open();
    r.print(1);
    printAndRead(r);
    EXPECT_EQ(pdfFonts(file(QStringLiteral("out.pdf"))), QStringList{QStringLiteral("LiberationSerif")});
}

TEST_F(OutputTest, AlignmentPlacesTextInsideItsBox) {
    const struct {
        Align align;
        const char* word;
    } cases[] = {{Align::Left, "лево"}, {Align::Center, "центр"}, {Align::Right, "право"}, {Align::Decimal, "12.50"}};
    Report r = pageReport();
    double y = 20;
    for (const auto& c : cases) {
        Control box = text(QString::fromUtf8(c.word) + QStringLiteral("   "), 100, y, QStringLiteral("Arial CYR"), 10, 400);
        box.width = 50;
        box.align = c.align;
        r.addControl(box);
        y += 10;
    }
    r.open();
    r.print(1);
    const PdfText t = printAndRead(r);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        const PdfWord* w = t.find(QString::fromUtf8(c.word));
        ASSERT_NE(w, nullptr);
        switch (c.align) {
            case Align::Left: EXPECT_NEAR(w->xMin, 100, kMmTolerance); break;
            case Align::Center: EXPECT_NEAR((w->xMin + w->xMax) / 2, 125, kMmTolerance); break;
            case Align::Right:
            case Align::Decimal: EXPECT_NEAR(w->xMax, 150, kMmTolerance); break;
        }
    }
}

TEST_F(OutputTest, PrinterInFullPageModeCountsItsMarginsOnce) {
    Report r = pageReport();
    r.addControl(text(QStringLiteral("Поле"), 25, 30));
    r.open();
    r.print(1);
    r.close();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file(QStringLiteral("printer.pdf")));
    printer.setPageMargins(QMarginsF(15, 12, 15, 12), QPageLayout::Millimeter);
    QString error;
    ASSERT_TRUE(printPages(r.pages(), printer, &error)) << error.toStdString();
    const PdfText t = readPdf(file(QStringLiteral("printer.pdf")));
    const PdfWord* w = t.find(QStringLiteral("Поле"));
    ASSERT_NE(w, nullptr);
    EXPECT_NEAR(w->xMin, 25, kMmTolerance);
    EXPECT_NEAR(w->yMin, 30, kMmTolerance);
    ASSERT_EQ(t.pageWidthMm.size(), 1u);
    EXPECT_NEAR(t.pageWidthMm[0], 210, 0.5);
}

TEST_F(OutputTest, ColourIsBlueGreenRed) {
    Report r = pageReport();
    Control red = text(QStringLiteral("████"), 10, 10, QStringLiteral("Arial CYR"), 20, 400);
    red.font.colour = 0x000000FF;
    r.addControl(red);
    r.open();
    r.print(1);
    r.close();
    QImage img(2100, 2970, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    renderPage(p, r.pages().front(), 10);
    p.end();
    const QColor c = img.pixelColor(115, 125);  // inside the first block glyph
    EXPECT_GT(c.red(), 200);
    EXPECT_LT(c.blue(), 60);
    EXPECT_LT(c.green(), 60);
}

TEST_F(OutputTest, NoPagesIsAnErrorNotAnEmptyFile) {
    QString error;
    EXPECT_FALSE(writePdf({}, file(QStringLiteral("none.pdf")), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("none.pdf"))));
    Page page;
    EXPECT_FALSE(writePdf({page}, dir.filePath(QStringLiteral("missing/dir/x.pdf")), &error));
}

}  // namespace
}  // namespace vx::rpt::test
