// The report model: numbering, run-time properties, page breaks, totals, fonts.

#include <QFont>
#include <QFontInfo>
#include <QImage>

#include "framework/platform/fonts.h"
#include "framework/types/codepage.h"
#include "qt_env.h"

namespace vx::rpt::test {
using vx::platform::installFontSubstitutions;
using vx::platform::printFamily;
using vx::platform::substituteTypeface;
namespace {

using ReportModelTest = ReportTest;

const PageItem* itemWithText(const Page& page, const QString& text) {
    for (const PageItem& it : page.items)
        if (it.kind == PageItem::Kind::Text && it.text == text) return &it;
    return nullptr;
}

TEST_F(ReportModelTest, BandsAndControlsShareOneNumberingInDeclarationOrder) {
    Report r = pageReport();  // band 1
    Control line;
    line.kind = ControlKind::Line;
    line.name = QStringLiteral("?DETAILLINE:0");
    EXPECT_EQ(r.addControl(line), 2);
    Control z1 = text(QStringLiteral("z1"), 25, 30);
    z1.name = QStringLiteral("?FRM:Z1");
    EXPECT_EQ(r.addControl(z1), 3);
    Band footer;
    footer.kind = BandKind::GroupFooter;
    EXPECT_EQ(r.addBand(footer), 4);
    EXPECT_EQ(r.addControl(text(QStringLiteral("итог"), 0, 0)), 5);  // into the band declared last
    EXPECT_EQ(r.addControl(1, text(QStringLiteral("ещё"), 0, 0)), 6);
    EXPECT_EQ(r.addControl(3, text(QStringLiteral("x"), 0, 0)), 0) << "a control is not a band";
    EXPECT_EQ(r.count(), 6);
    EXPECT_EQ(r.bandOf(5), 4);
    EXPECT_EQ(r.bandOf(6), 1);
    EXPECT_EQ(r.bandOf(1), 0);
    EXPECT_EQ(r.find(QStringLiteral("?frm:z1")), 3);
    EXPECT_EQ(r.find(QStringLiteral("?DETAIL")), 1);
    EXPECT_EQ(r.find(QStringLiteral("?NONE")), 0);
}

TEST_F(ReportModelTest, PropertiesSetByNumberReachThePrintedPage) {
    Report r = pageReport();
    Control c = text(QStringLiteral("Поле"), 25, 30, QStringLiteral("Times New Roman CYR"), 11, 700);
    c.width = 105;
    c.height = 5;
    const int no = r.addControl(c);
    r.open();
    EXPECT_TRUE(r.setX(no, 117));
    EXPECT_TRUE(r.setY(no, 250));
    EXPECT_TRUE(r.setFontStyle(no, 400 | StyleItalic));
    EXPECT_TRUE(r.setTypeface(no, QStringLiteral("Arial CYR")));
    EXPECT_TRUE(r.setFontSize(no, 8));
    EXPECT_TRUE(r.setFontColour(no, 0x00FF0000));
    r.print(1);
    r.close();
    const PageItem* it = itemWithText(r.pages().front(), QStringLiteral("Поле"));
    ASSERT_NE(it, nullptr);
    EXPECT_EQ(it->rect, QRectF(117, 250, 105, 5)) << "width and height stay as declared";
    EXPECT_EQ(it->font.family, printFamily(QStringLiteral("Arial")));
    EXPECT_EQ(it->font.points, 8);
    EXPECT_EQ(it->font.weight, 400);
    EXPECT_TRUE(it->font.italic);
    EXPECT_EQ(it->colour, QColor(0, 0, 255));
}

TEST_F(ReportModelTest, UnknownNumbersChangeAndPrintNothing) {
    Report r = pageReport();
    r.addControl(text(QStringLiteral("a"), 0, 0));
    for (int no : {0, -1, 3, 99}) {
        SCOPED_TRACE(no);
        EXPECT_FALSE(r.setX(no, 1));
        EXPECT_FALSE(r.setTypeface(no, QStringLiteral("Arial")));
        EXPECT_FALSE(r.print(no));
    }
    EXPECT_FALSE(r.print(2)) << "a text control is not a band";
    r.close();
    EXPECT_TRUE(r.pages().empty());
}

TEST_F(ReportModelTest, ValuesAreTakenWhenTheBandPrints) {
    Report r = pageReport();
    QString bound = QStringLiteral("первый");
    Control c = text(QString(), 10, 10);
    c.value = [&] { return bound; };
    r.addControl(c);
    r.open();
    r.print(1);
    bound = QStringLiteral("второй");
    r.print(1);
    r.close();
    ASSERT_EQ(r.pages().size(), 2u);
    EXPECT_NE(itemWithText(r.pages()[0], QStringLiteral("первый")), nullptr);
    EXPECT_NE(itemWithText(r.pages()[1], QStringLiteral("второй")), nullptr);
}

TEST_F(ReportModelTest, BoundVariablesPrintThroughTheirPictures) {
    vx::DEC<5, 0> nform;
    nform = 42;
    char mes[8];
    const std::string decabrya = vx::cp::toCp1251(QStringLiteral("декабря"));
    std::fill(std::begin(mes), std::end(mes), ' ');
    std::copy(decabrya.begin(), decabrya.end(), mes);
    vx::DEC<5, 2> price;
    price = vx::Decimal::fromParts(12345, 2);

    Report r = pageReport();
    Control number = text(QString(), 88, 51, QStringLiteral("Arial CYR"), 11, 700);
    number.var = {vx::FieldType::Dec, nform.b, 5, 0};
    number.picture = QStringLiteral("@n_9");
    number.align = Align::Right;
    const int numberNo = r.addControl(number);
    Control month = text(QString(), 152, 63);
    month.var = {vx::FieldType::String, reinterpret_cast<unsigned char*>(mes), 8, 0};
    month.picture = QStringLiteral("@s8");
    const int monthNo = r.addControl(month);
    Control sum = text(QString(), 161, 8, QStringLiteral("Arial CYR"), 8, 700);
    sum.total = TotalKind::Sum;
    sum.var = {vx::FieldType::Dec, price.b, 5, 2};
    sum.picture = QStringLiteral("@n_10.2b");
    sum.align = Align::Right;
    const int sumNo = r.addControl(sum);
    r.open();
    r.print(1);
    r.close();
    const Page& page = r.pages().front();
    ASSERT_EQ(page.items.size(), 3u);
    EXPECT_EQ(page.items[0].text, QStringLiteral("42"));
    EXPECT_EQ(page.items[1].text, QStringLiteral("декабря"));
    EXPECT_EQ(page.items[2].text, QStringLiteral("123.45"));
    // No width of their own: the picture's nine (ten) characters at the font's average width.
    EXPECT_GT(page.items[0].rect.width(), 9 * 1.5);
    EXPECT_LT(page.items[0].rect.width(), 9 * 3.0);
    EXPECT_EQ(page.items[1].rect.width(), 0) << "left-aligned text keeps its natural width";
    EXPECT_GT(page.items[2].rect.width(), 10 * 1.0);
    EXPECT_NE(numberNo, monthNo);
    EXPECT_NE(sumNo, 0);
}

TEST_F(ReportModelTest, PicturesTakeTheirOwnSizeOrTheirBox) {
    QImage img(100, 50, QImage::Format_RGB32);
    img.fill(Qt::black);
    img.setDotsPerMeterX(10000);  // 10 px per mm
    img.setDotsPerMeterY(10000);
    Report r = pageReport();
    Control natural;
    natural.kind = ControlKind::Image;
    natural.image = img;
    natural.x = 20;
    natural.y = 30;
    r.addControl(natural);
    Control boxed = natural;
    boxed.width = 40;
    boxed.height = 10;
    r.addControl(boxed);
    Control none;
    none.kind = ControlKind::Image;
    r.addControl(none);
    r.open();
    r.print(1);
    r.close();
    const Page& page = r.pages().front();
    ASSERT_EQ(page.items.size(), 2u) << "a control without a picture draws nothing";
    EXPECT_EQ(page.items[0].rect, QRectF(20, 30, 10, 5));
    EXPECT_EQ(page.items[1].rect, QRectF(20, 30, 40, 10));
}

TEST_F(ReportModelTest, PageSizedBandPrintsOnePagePerPrint) {
    const struct {
        double bandHeight;
        int prints;
        std::size_t pages;
    } cases[] = {{297, 1, 1}, {297, 2, 2}, {148.5, 2, 1}, {148.5, 3, 2}, {400, 2, 2}, {0, 5, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bandHeight) + " x " + std::to_string(c.prints));
        Report r = pageReport();
        r.band(1)->height = c.bandHeight;
        r.addControl(text(QStringLiteral("x"), 0, 0));
        r.open();
        for (int i = 0; i < c.prints; ++i) EXPECT_TRUE(r.print(1));
        r.close();
        EXPECT_EQ(r.pages().size(), c.pages);
    }
}

TEST_F(ReportModelTest, ReportOffsetDoesNotBreakThePage) {
    Report r = pageReport();
    r.addControl(text(QStringLiteral("x"), 0, 0));
    r.setPosition(3, 4);  // the area now overhangs the paper; the page-sized band still fits it
    r.open();
    r.print(1);
    r.close();
    ASSERT_EQ(r.pages().size(), 1u);
    EXPECT_EQ(r.pages()[0].items.front().rect.topLeft(), QPointF(3, 4));
}

TEST_F(ReportModelTest, HeadersAndFootersStandAtTheirPlaces) {
    Report r;
    r.setArea(10, 35, 190, 240);
    Band header;
    header.kind = BandKind::PageHeader;
    header.x = 10;
    header.y = 10;
    header.hasPosition = true;
    header.height = 24;
    r.addControl(r.addBand(header), text(QStringLiteral("шапка"), 2, 1));
    Band footer;
    footer.kind = BandKind::PageFooter;
    footer.height = 10;
    r.addControl(r.addBand(footer), text(QStringLiteral("подвал"), 0, 0));
    Band form;
    form.kind = BandKind::Form;
    Control frame;
    frame.kind = ControlKind::Box;
    frame.x = 5;
    frame.y = 5;
    frame.width = 200;
    frame.height = 287;
    r.addControl(r.addBand(form), frame);
    Band detail;
    detail.height = 100;
    const int detailNo = r.addBand(detail);
    r.addControl(detailNo, text(QStringLiteral("строка"), 0, 0));
    r.open();
    for (int i = 0; i < 3; ++i) r.print(detailNo);
    r.close();
    // 240 mm less a 10 mm footer leaves room for two 100 mm rows.
    ASSERT_EQ(r.pages().size(), 2u);
    for (const Page& page : r.pages()) {
        const PageItem* h = itemWithText(page, QStringLiteral("шапка"));
        const PageItem* f = itemWithText(page, QStringLiteral("подвал"));
        ASSERT_NE(h, nullptr);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(h->rect.topLeft(), QPointF(12, 11));
        EXPECT_EQ(f->rect.topLeft(), QPointF(10, 265));
        EXPECT_EQ(page.items.front().kind, PageItem::Kind::Box) << "the form is drawn first, under the text";
    }
    std::vector<double> rows;
    for (const PageItem& it : r.pages()[0].items)
        if (it.text == QStringLiteral("строка")) rows.push_back(it.rect.y());
    EXPECT_EQ(rows, (std::vector<double>{35, 135}));
}

TEST_F(ReportModelTest, CountsAndSumsRunOverDetailBandsAndResetWithTheirGroup) {
    Report r;
    r.setArea(0, 0, 210, 297);
    Band detail;
    detail.height = 5;
    const int detailNo = r.addBand(detail);
    vx::Decimal price;
    Control running = text(QString(), 0, 0);
    running.total = TotalKind::Count;
    const int runningNo = r.addControl(detailNo, running);
    Band footer;
    footer.kind = BandKind::GroupFooter;
    footer.height = 5;
    const int footerNo = r.addBand(footer);
    Control perGroup = text(QString(), 0, 0);
    perGroup.total = TotalKind::Count;
    perGroup.resetBand = footerNo;
    perGroup.formatTotal = [](const vx::Decimal& v) { return QStringLiteral("гр%1").arg(QString::fromStdString(v.toString())); };
    r.addControl(footerNo, perGroup);
    Control sum = text(QString(), 50, 0);
    sum.total = TotalKind::Sum;
    sum.number = [&] { return price; };
    sum.formatTotal = [](const vx::Decimal& v) { return QStringLiteral("сум%1").arg(QString::fromStdString(v.toString())); };
    r.addControl(footerNo, sum);
    ASSERT_GT(runningNo, 0);

    r.open();
    for (long long p : {100, 250}) {
        price = vx::Decimal::fromParts(p, 2);
        r.print(detailNo);
    }
    r.print(footerNo);
    price = vx::Decimal::fromParts(5, 1);
    r.print(detailNo);
    r.print(footerNo);
    r.close();
    QStringList printed;
    for (const PageItem& it : r.pages().front().items) printed << it.text;
    EXPECT_EQ(printed, (QStringList{"1", "2", "гр2", "сум3.50", "3", "гр1", "сум4.00"}));
}

TEST_F(ReportModelTest, EmptyLayoutFontInheritsBandThenReport) {
    Report r = pageReport();
    const int plain = r.addControl(text(QStringLiteral("a"), 0, 0, QString(), 0, 0));
    TextFont f = r.effectiveFont(plain);
    EXPECT_EQ(f.family, printFamily(QStringLiteral("MS Sans Serif")));
    EXPECT_EQ(f.points, 8);
    EXPECT_EQ(f.weight, 400);
    r.band(1)->font = {QStringLiteral("Times New Roman CYR"), 0, 0, kDefaultColour};
    f = r.effectiveFont(plain);
    EXPECT_EQ(f.family, printFamily(QStringLiteral("Times New Roman")));
    EXPECT_EQ(f.points, 8);
    r.setDefaultFont({});
    f = r.effectiveFont(plain);
    EXPECT_EQ(f.points, 10) << "with nothing set anywhere the text still has a size";
    EXPECT_FALSE(f.family.isEmpty());
}

TEST(FontMapping, WindowsTypefacesPrintInMetricTwins) {
    const struct {
        const char* typeface;
        const char* family;
    } cases[] = {{"Arial CYR", "Liberation Sans"},          {"Arial Cyr", "Liberation Sans"},
                 {"Times New Roman CYR", "Liberation Serif"}, {"times new roman cyr", "Liberation Serif"},
                 {"Courier New CYR", "Liberation Mono"},    {"Arial CE", "Liberation Sans"},
                 {"MS Sans Serif", "Liberation Sans"},      {"Arial", "Liberation Sans"},
                 {"  ", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typeface);
        const QString family = printFamily(QString::fromLatin1(c.typeface));
        if (QString::fromLatin1(c.family) == QStringLiteral("Liberation Sans"))
            EXPECT_TRUE(family == QStringLiteral("Liberation Sans") || family == QStringLiteral("Arial")) << family.toStdString();
        else if (QString::fromLatin1(c.family) == QStringLiteral("Liberation Serif"))
            EXPECT_TRUE(family == QStringLiteral("Liberation Serif") || family == QStringLiteral("Times New Roman"));
        else if (QString::fromLatin1(c.family) == QStringLiteral("Liberation Mono"))
            EXPECT_TRUE(family == QStringLiteral("Liberation Mono") || family == QStringLiteral("Courier New"));
        else
            EXPECT_EQ(family, QString());
    }
    EXPECT_EQ(printFamily(QStringLiteral("Tahoma CYR")), QStringLiteral("Tahoma")) << "other families keep their base name";
}

TEST(FontMapping, SubstitutionsAreIdempotentAndReachWidgets) {
    installFontSubstitutions();
    const QStringList once = QFont::substitutes(QStringLiteral("Times New Roman CYR"));
    installFontSubstitutions();
    substituteTypeface(QStringLiteral("Times New Roman CYR"));
    EXPECT_EQ(QFont::substitutes(QStringLiteral("Times New Roman CYR")), once);
    EXPECT_EQ(QFontInfo(QFont(QStringLiteral("Times New Roman CYR"))).family(), printFamily(QStringLiteral("Times New Roman")));
    EXPECT_EQ(QFontInfo(QFont(QStringLiteral("Arial CYR"))).family(), printFamily(QStringLiteral("Arial")));
    substituteTypeface(QStringLiteral("Courier New Cyr"));
    EXPECT_EQ(QFontInfo(QFont(QStringLiteral("Courier New Cyr"))).family(), printFamily(QStringLiteral("Courier New")));
}

}  // namespace
}  // namespace vx::rpt::test
