// The three certificate prints driven headless over real data files in a temporary working
// directory: the preview's page saved as PDF and read back with pdftotext, positions in mm.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPrintDialog>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "tests/program_dir.h"
#include "framework/classlib/errors.h"
#include "framework/classlib/reportmanager.h"
#include "framework/engine/harness.h"
#include "framework/engine/message.h"
#include "framework/report/preview.h"
#include "framework/types/codepage.h"
#include "pdf_read.h"
#include "printing/certificate_print.h"
#include "queued_press.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/records.h"
#include "shell/runtime.h"

namespace {

using vexlo::test::PdfText;
using vexlo::test::PdfWord;
using vx::Level::Benign;

std::string w(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }
QString u(const char* utf8) { return QString::fromUtf8(utf8); }

constexpr double kSame = 0.05;         // mm: the same place
constexpr double kPtToMm = 25.4 / 72;  // a text line is about 1.12 of its size in points

struct Layout {
    int nform = 1;
    std::map<std::string, std::pair<double, double>> at;  // field -> X, Y
    const char* typeface = "Times New Roman CYR";
    int size = 11, style = 700, colour = 0, charset = 204;
};

class CertificatePrint : public ::testing::Test {
protected:
    static void SetUpTestSuite() { vexlo::test::startProgramOnce(); }
    void SetUp() override {
        ASSERT_TRUE(dir.enter());
        RELATE_FORMA1->Open();
        RELATE_LAST->Open();
    }
    void TearDown() override {
        vexlo::printing::SetReadingHook(nullptr);
        vx::ReportManager::SetBatchQueuedHook(nullptr);
        vx::ReportManager::SetRecordHook(nullptr);
        RELATE_LAST->Close();
        RELATE_FORMA1->Close();
        dir.leave();
    }

    void addLayout(const Layout& l) {
        LAST_DESC.clear(&*LAS);
        LAS->NFORM = l.nform;
        for (const auto& [field, xy] : l.at) {
            const vexlo::LastPair p = vexlo::lastPair(field);
            ASSERT_TRUE(p) << field;
            vx::VarRef::of(*p.x, &*LAS).setNumber(*vx::Decimal::parse(std::to_string(xy.first)));
            vx::VarRef::of(*p.y, &*LAS).setNumber(*vx::Decimal::parse(std::to_string(xy.second)));
        }
        LAS->TYPEFACE = w(l.typeface);
        LAS->FONTSIZE = l.size;
        LAS->FONTSTYLE = l.style;
        LAS->FONTCOLOR = l.colour;
        LAS->CHARSET = l.charset;
        ASSERT_EQ(ACCESS_LAST->Insert(), Benign);
    }
    // A certificate whose printed fields hold one word each.
    void addCertificate(int no, const std::function<void(FRM_RECORD&)>& fill = {}) {
        ASSERT_EQ(ACCESS_FORMA1->PrimeRecord(), Benign);
        FRM->NOMSV = no;
        FRM->F2 = w("Получатель");
        FRM->Z1 = w("Заголовок");
        FRM->DAY = 7;
        FRM->F41 = w("Строка41");
        FRM->F47 = w("Корешок47");
        FRM->F49 = w("Подпись49");
        FRM->F50 = w("Печать50");
        FRM->F25 = w("Ряд25");
        FRM->F251 = w("12");
        if (fill) fill(*FRM);
        ASSERT_EQ(ACCESS_FORMA1->Insert(), Benign);
    }

    static vx::rpt::PrintPreview* preview() {
        for (QWidget* wd : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<vx::rpt::PrintPreview*>(wd); p && p->isVisible()) return p;
        return nullptr;
    }

    // Runs a print to its preview; `inspect` sees the preview; the page is saved and read back.
    PdfText print(void (*proc)(), const std::function<void(vx::rpt::PrintPreview&)>& inspect = {}) {
        const int t = h.start(proc);
        EXPECT_TRUE(h.waitFor([] { return preview() != nullptr; })) << "no preview";
        vx::rpt::PrintPreview* p = preview();
        if (!p) return {};
        if (inspect) inspect(*p);
        const QString path = dir.filePath(QStringLiteral("page%1.pdf").arg(++printed));
        EXPECT_TRUE(p->savePdf(path));
        p->close();
        EXPECT_TRUE(h.waitEnd(t));
        PdfText text = vexlo::test::readPdf(path);
        EXPECT_TRUE(text.ok) << text.error.toStdString();
        return text;
    }
    PdfWord word(const PdfText& t, const char* text) {
        const PdfWord* found = t.find(u(text));
        EXPECT_NE(found, nullptr) << text;
        return found ? *found : PdfWord{};
    }

    vexlo::test::ProgramDir dir;
    vx::eng::test::Harness h;
    int printed = 0;
};

// ---------------------------------------------------------------- positions

TEST_F(CertificatePrint, PositionsAreCutTowardZeroToWholeMillimetres) {
    addCertificate(5);
    NFORM = 5;
    std::map<double, double> xAt;
    for (double x : {25.0, 25.9, 26.0}) {
        SCOPED_TRACE(x);
        ACCESS_LAST->SetStart(LAS_K1);
        if (ACCESS_LAST->TryNext() == 0) ACCESS_LAST->Delete();
        addLayout({1, {{"F2", {x, 76.0}}, {"Z1", {25.0, 30.0}}}});
        const PdfText t = print(PRINT_F1_1);
        xAt[x] = word(t, "Получатель").xMin;
        EXPECT_NEAR(word(t, "Получатель").yMin, 76.0, 0.3);
    }
    EXPECT_NEAR(xAt[25.9], xAt[25.0], kSame);
    EXPECT_NEAR(xAt[26.0] - xAt[25.0], 1.0, kSame);
    EXPECT_NEAR(xAt[25.0], 25.0, 0.3);
}

TEST_F(CertificatePrint, ThePageOffsetMovesEverythingByWholeMillimetres) {
    addCertificate(5);
    addLayout({1, {{"F2", {40.0, 80.0}}, {"Z1", {30.0, 20.0}}, {"F251", {117.25, 33.0}}}});
    NFORM = 5;
    const PdfText base = print(PRINT_F1_1);
    AX = *vx::Decimal::parse("-2.5");
    AY = *vx::Decimal::parse("1.9");
    const PdfText moved = print(PRINT_F1_1);
    for (const char* text : {"Получатель", "Заголовок"}) {
        SCOPED_TRACE(text);
        EXPECT_NEAR(word(moved, text).xMin - word(base, text).xMin, -2.0, kSame);
        EXPECT_NEAR(word(moved, text).yMin - word(base, text).yMin, 1.0, kSame);
    }
    // The reverse side's line stays at the band's corner, moved only by the offset; F251's
    // two-decimal X is cut like every other.
    std::vector<vx::rpt::PageItem> items;
    const PdfText reverse = print(PRINT_F1_2, [&](vx::rpt::PrintPreview& p) { items = p.pages().at(0).items; });
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.front().kind, vx::rpt::PageItem::Kind::Line);
    EXPECT_EQ(items.front().rect, QRectF(-2, 1, 0, 6));
    EXPECT_NEAR(word(reverse, "12").xMin, 117.0 - 2.0, 0.3);
}

// ---------------------------------------------------------------- sizes

TEST_F(CertificatePrint, GroupSizesApplyOnlyWhenTheCertificateAsksForThem) {
    struct Case {
        int rsh;
        double day, header;  // expected sizes of FRM:DAY (group 1) and FRM:Z1 (no group)
    };
    const Case cases[] = {{0, 10, 10}, {1, 16, 10}};
    int no = 10;
    addLayout({1, {{"DAY", {132.0, 63.0}}, {"Z1", {25.0, 30.0}}}, "Times New Roman CYR", 10});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rsh);
        addCertificate(++no, [&](FRM_RECORD& r) {
            r.RSH = std::uint8_t(c.rsh);
            r.SPIN1 = 16;
        });
        NFORM = no;
        const PdfText t = print(PRINT_F1_1);
        EXPECT_NEAR(word(t, "07").height(), c.day * kPtToMm * 1.12, 0.4);
        EXPECT_NEAR(word(t, "Заголовок").height(), c.header * kPtToMm * 1.12, 0.4);
    }
}

TEST_F(CertificatePrint, ReverseSidesKeepTheirUngroupedLinesAtTheLayoutSize) {
    addLayout({1,
               {{"F41", {23.0, 181.0}}, {"F47", {26.0, 250.0}}, {"F49", {113.0, 250.7}}, {"F50", {113.0, 261.0}}},
               "Times New Roman CYR",
               10});
    addCertificate(3, [](FRM_RECORD& r) {
        r.RSH = std::uint8_t(1);
        r.SPIN15 = 12;
    });
    Z5 = w("Начальник");
    Z6 = w("Управления");
    NFORM = 3;
    for (void (*proc)() : {PRINT_F1_2, PRINT_F1_3}) {
        const bool counterfoil = proc == PRINT_F1_3;
        SCOPED_TRACE(counterfoil ? "counterfoil" : "reverse");
        const PdfText t = print(proc);
        EXPECT_NEAR(word(t, "Строка41").height(), 12 * kPtToMm * 1.12, 0.4);
        EXPECT_NEAR(word(t, "Подпись49").height(), 10 * kPtToMm * 1.12, 0.4);
        EXPECT_NEAR(word(t, "Печать50").height(), 10 * kPtToMm * 1.12, 0.4);
        // Z5 and Z6: the X of F49, 3 and 6 mm under its Y cut to whole millimetres, size 8.
        const PdfWord f49 = word(t, "Подпись49"), z5 = word(t, "Начальник"), z6 = word(t, "Управления");
        EXPECT_NEAR(f49.yMin, 250.0, 0.3);
        EXPECT_NEAR(z5.yMin, 253.0, 0.3);
        EXPECT_NEAR(z6.yMin, 256.0, 0.3);
        EXPECT_NEAR(z5.xMin, f49.xMin, 0.3);
        EXPECT_NEAR(z6.xMin, f49.xMin, 0.3);
        EXPECT_NEAR(z5.height(), 8 * kPtToMm * 1.12, 0.4);
        EXPECT_NEAR(z6.height(), 8 * kPtToMm * 1.12, 0.4);
        if (counterfoil) {
            EXPECT_NEAR(word(t, "Корешок47").height(), 10 * kPtToMm * 1.12, 0.4);
            EXPECT_NEAR(word(t, "Корешок47").yMin, 250.0, 0.3);
        } else {
            EXPECT_EQ(t.find(u("Корешок47")), nullptr);
        }
    }
}

// ---------------------------------------------------------------- which layout, which certificate

TEST_F(CertificatePrint, TheLowestLayoutNumberIsTheOneUsed) {
    addLayout({3, {{"F2", {100.0, 100.0}}}});
    addLayout({1, {{"F2", {30.0, 90.0}}}});
    addCertificate(5);
    NFORM = 5;
    const PdfWord f2 = word(print(PRINT_F1_1), "Получатель");
    EXPECT_NEAR(f2.xMin, 30.0, 0.3);
    EXPECT_NEAR(f2.yMin, 90.0, 0.3);
}

TEST_F(CertificatePrint, AnUnknownNumberGivesTheNoticeAndNoPreview) {
    addLayout({1, {{"F2", {30.0, 90.0}}}});
    addCertificate(5);
    NFORM = 999;
    const int t = h.start(PRINT_F1_1);
    const auto boxes = h.dialogs();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, u("No Records"));
    EXPECT_EQ(boxes[0].text, u("There are no records available to process."));
    h.answer(vx::eng::btn::Ok);
    ASSERT_TRUE(h.waitEnd(t));
    EXPECT_EQ(preview(), nullptr);
}

// "Отменить" pressed (a real click) while the batch that would print the page and open the
// preview is queued: no page, no preview, the response cancelled.
TEST_F(CertificatePrint, CancelWhilstThePageIsQueuedGivesNoPreview) {
    addLayout({1, {{"F2", {30.0, 90.0}}}});
    addCertificate(5);
    NFORM = 5;
    static int response = -1;
    for (void (*proc)() : {PRINT_F1_1, PRINT_F1_2, PRINT_F1_3}) {
        int queued = 0;
        vx::ReportManager::SetBatchQueuedHook([&](vx::ReportManager& r) {
            ++queued;
            vx::eng::Control* c = r.Win().control(vx::progress::Cancel);
            ASSERT_TRUE(c && c->widget);
            QTest::mouseClick(c->widget, Qt::LeftButton, {}, c->widget->rect().center());
        });
        response = -1;
        const int t = h.start([proc] {
            proc();
            response = vx::eng::GLOBALRESPONSE;
        });
        ASSERT_TRUE(h.waitEnd(t));
        EXPECT_EQ(queued, 1);
        EXPECT_EQ(preview(), nullptr);
        EXPECT_TRUE(h.dialogs().empty());
        EXPECT_EQ(response, 2);
    }
}

// "Отменить" pressed while the batch that prints the page runs: the press goes through Qt's
// event queue, and the print takes it before it would open the preview.
TEST_F(CertificatePrint, CancelPressedWhileThePageIsPrintedGivesNoPreview) {
    addLayout({1, {{"F2", {30.0, 90.0}}}});
    addCertificate(5);
    NFORM = 5;
    static int response = -1;
    for (void (*proc)() : {PRINT_F1_1, PRINT_F1_2, PRINT_F1_3}) {
        int taken = 0;
        vx::ReportManager::SetRecordHook([&](vx::ReportManager& r) {
            ++taken;
            vx::eng::Control* c = r.Win().control(vx::progress::Cancel);
            ASSERT_TRUE(c && c->widget);
            vexlo::test::queuePress(c->widget);
        });
        response = -1;
        const int t = h.start([proc] {
            proc();
            response = vx::eng::GLOBALRESPONSE;
        });
        ASSERT_TRUE(h.waitEnd(t));
        EXPECT_EQ(taken, 1);
        EXPECT_EQ(preview(), nullptr);
        EXPECT_TRUE(h.dialogs().empty());
        EXPECT_EQ(response, 2);
    }
}

// The blank's lines are placed, not cut: a line longer than its declared box prints whole from
// the layout's position (the entry window's counter keeps it within its place on the blank).
TEST_F(CertificatePrint, ALineLongerThanItsDeclaredBoxPrintsWhole) {
    addLayout({1, {{"F13", {30.0, 100.0}}}});
    addCertificate(5, [](FRM_RECORD& r) { r.F13 = w("Шереметьевский_Жемчужниковский_ЩЩЩЩЩЩЩЩЩЩ"); });  // 42
    NFORM = 5;
    const PdfText t = print(PRINT_F1_1);
    const PdfWord line = word(t, "Шереметьевский_Жемчужниковский_ЩЩЩЩЩЩЩЩЩЩ");
    EXPECT_NEAR(line.xMin, 30.0, 1.0);
    EXPECT_GT(line.xMax, 30.0 + 64.0) << "wider than the declared 64 mm, and whole";
}

TEST_F(CertificatePrint, TheCertificateIsTheOneSelectedWhenThePrintStarted) {
    addLayout({1, {{"F2", {30.0, 90.0}}}});
    addCertificate(5, [](FRM_RECORD& r) { r.F2 = w("Пятый"); });
    addCertificate(6, [](FRM_RECORD& r) { r.F2 = w("Шестой"); });
    NFORM = 5;
    // The register moves on to another certificate while the print reads the file.
    vexlo::printing::SetReadingHook([] { NFORM = 6; });
    const PdfText t = print(PRINT_F1_1);
    EXPECT_NE(t.find(u("Пятый")), nullptr);
    EXPECT_EQ(t.find(u("Шестой")), nullptr);
}

// ---------------------------------------------------------------- fonts

TEST_F(CertificatePrint, TheLayoutsCharacterSetDoesNotChangeTheText) {
    addCertificate(5, [](FRM_RECORD& r) { r.F2 = w("Ёжик-Щука_ъ"); });
    NFORM = 5;
    std::vector<QStringList> texts;
    for (int charset : {204, 0}) {
        ACCESS_LAST->SetStart(LAS_K1);
        if (ACCESS_LAST->TryNext() == 0) ACCESS_LAST->Delete();
        Layout l{1, {{"F2", {30.0, 90.0}}}};
        l.charset = charset;
        addLayout(l);
        const PdfText t = print(PRINT_F1_1);
        QStringList all;
        for (const PdfWord& wd : t.words) all << wd.text;
        texts.push_back(all);
    }
    EXPECT_TRUE(texts[0].contains(u("Ёжик-Щука_ъ")));
    EXPECT_EQ(texts[0], texts[1]);
}

TEST_F(CertificatePrint, AnEmptyLayoutStillPrintsVisibly) {
    addCertificate(5);
    NFORM = 5;
    std::vector<vx::rpt::PageItem> items;
    print(PRINT_F1_1, [&](vx::rpt::PrintPreview& p) { items = p.pages().at(0).items; });
    ASSERT_FALSE(items.empty());
    for (const vx::rpt::PageItem& it : items) {
        SCOPED_TRACE(it.text.toStdString());
        EXPECT_EQ(it.rect.topLeft(), QPointF(0, 0));
        EXPECT_FALSE(it.font.family.isEmpty());
        EXPECT_EQ(it.font.points, 8);  // the report's default size
        EXPECT_EQ(it.font.weight, 400);
    }
}

// ---------------------------------------------------------------- the preview

TEST_F(CertificatePrint, ThePreviewOpensMaximisedAtFullSizeAndKeepsItsPlace) {
    addLayout({1, {{"F2", {30.0, 90.0}}}});
    addCertificate(5);
    NFORM = 5;
    print(PRINT_F1_1, [](vx::rpt::PrintPreview& p) {
        EXPECT_TRUE(p.isMaximized());
        EXPECT_EQ(p.zoom(), 100);
        EXPECT_TRUE(p.userZoom());
        EXPECT_EQ(p.pageCount(), 1);
    });
    EXPECT_EQ(INIMGR.Fetch(QStringLiteral("_PreviewWindow_"), QStringLiteral("Maximize")), u("Yes"));
    // The progress window's place is kept under the procedure's name.
    EXPECT_EQ(INIMGR.Fetch(QStringLiteral("Print_F1_1"), QStringLiteral("Maximize")), u("No"));
}

TEST_F(CertificatePrint, ThePrinterSetupHookOpensThePrinterDialog) {
    bool result = true;
    const int t = h.start([&] { result = vx::eng::PRINTERDIALOG(u("Выбрать принтер")); });
    QPrintDialog* dlg = nullptr;
    for (QWidget* wd : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<QPrintDialog*>(wd); d && d->isVisible()) dlg = d;
    ASSERT_NE(dlg, nullptr);
    dlg->reject();
    ASSERT_TRUE(h.waitEnd(t));
    EXPECT_FALSE(result);
}

// ---------------------------------------------------------------- the first layout

TEST_F(CertificatePrint, TheFirstLayoutIsCreatedOnceWithTheDeclaredPositions) {
    // A layout numbered 0 is no first layout: it is not in the key.
    addLayout({0, {{"F2", {1.0, 1.0}}}});
    vexlo::ensureFirstPrintLayout();
    vexlo::ensureFirstPrintLayout();
    ASSERT_EQ(ACCESS_LAST->SetStart(LAS_K1), Benign);
    ASSERT_EQ(ACCESS_LAST->TryNext(), 0);
    EXPECT_EQ(vx::Decimal(LAS->NFORM), vx::Decimal(1));
    EXPECT_NE(ACCESS_LAST->TryNext(), 0) << "a second numbered layout";
    ACCESS_LAST->SetStart(LAS_K1);
    ACCESS_LAST->TryNext();
    struct Pos {
        const char* field;
        double x, y;
    };
    for (const Pos& p : {Pos{"Z1", 25, 30}, Pos{"F1", 151, 70}, Pos{"F2", 22, 76}, Pos{"F171", 75, 231},
                         Pos{"F23", 23, 25}, Pos{"F32", 68, 114}, Pos{"F47", 26, 250}, Pos{"F48", 26, 260}}) {
        SCOPED_TRACE(p.field);
        const vexlo::LastPair pair = vexlo::lastPair(p.field);
        EXPECT_EQ(vx::VarRef::of(*pair.x, &*LAS).number(), *vx::Decimal::parse(std::to_string(p.x)));
        EXPECT_EQ(vx::VarRef::of(*pair.y, &*LAS).number(), *vx::Decimal::parse(std::to_string(p.y)));
    }
    EXPECT_EQ(vx::cp::fromCp1251(LAS->TYPEFACE.str()), u("Times New Roman CYR"));
    EXPECT_EQ(std::int32_t(LAS->FONTSIZE), 10);
    EXPECT_EQ(std::int32_t(LAS->FONTSTYLE), 700);
    EXPECT_EQ(std::int32_t(LAS->FONTCOLOR), 0);
    EXPECT_EQ(std::int32_t(LAS->CHARSET), 204);
    EXPECT_TRUE(vx::Decimal(LAS->CENA).isZero());
}

TEST(PrintPlacing, SizeGroupsAndWholeMillimetres) {
    using vexlo::printing::sizeGroup;
    using vexlo::printing::wholeMillimetres;
    const std::pair<const char*, int> groups[] = {
        {"DAY", 1}, {"GOD", 1}, {"F1", 1}, {"F3", 1}, {"F4", 2}, {"F9", 3}, {"F12", 4}, {"F15", 5}, {"F16", 6},
        {"F17", 7}, {"F223", 7}, {"F23", 8}, {"F283", 8}, {"F29", 9}, {"F313", 9}, {"F33", 10}, {"F352", 11},
        {"F36", 12}, {"F38", 13}, {"F40", 14}, {"F46", 15}, {"F47", 0}, {"F50", 0}, {"Z1", 0}, {"MES", 1}};
    for (const auto& [field, group] : groups) EXPECT_EQ(sizeGroup(QString::fromLatin1(field)), group) << field;
    for (const auto& [text, mm] : std::vector<std::pair<const char*, int>>{
             {"25.9", 25}, {"25.0", 25}, {"117.25", 117}, {"-0.5", 0}, {"-1.5", -1}, {"-2.5", -2}})
        EXPECT_EQ(wholeMillimetres(*vx::Decimal::parse(text)), mm) << text;
}

}  // namespace

// ---------------------------------------------------------------- the report layouts

#include "framework/report/layoutfile.h"

namespace {

vx::VarRef anyVariable(std::string_view) {
    static unsigned char bytes[64];
    return {vx::FieldType::String, bytes, sizeof bytes, 0};
}

TEST(ReportLayouts, NumberBandsAndControlsInDeclarationOrder) {
    struct Case {
        const char* path;
        int count;
        std::vector<std::pair<const char*, int>> numbers;
    };
    const Case cases[] = {
        {":/reports/print_f1_1.rpt", 48, {{"?DETAIL", 1}, {"?FRM:Z1", 2}, {"?FRM:DAY", 6}, {"?FRM:F16", 24}, {"?FRM:F17", 25}, {"?FRM:F223", 48}}},
        {":/reports/print_f1_2.rpt", 59, {{"?DETAIL", 1}, {"?DETAILLINE:0", 2}, {"?FRM:F23", 3}, {"?FRM:F313", 38}, {"?FRM:F32", 39}, {"?Z5", 57}, {"?Z6", 59}}},
        {":/reports/print_f1_3.rpt", 61, {{"?FRM:F47", 56}, {"?FRM:F49", 57}, {"?Z5", 58}, {"?Z6", 60}, {"?FRM:F48", 61}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const vx::rpt::Report r = vx::rpt::loadReport(QString::fromLatin1(c.path), anyVariable);
        EXPECT_EQ(r.count(), c.count);
        EXPECT_EQ(r.title(), QStringLiteral("forma1 Report"));
        EXPECT_EQ(r.area(), QRectF(0, 0, 210, 297));
        EXPECT_EQ(r.defaultFont().typeface, QStringLiteral("MS Sans Serif"));
        for (const auto& [name, no] : c.numbers) EXPECT_EQ(r.find(QString::fromLatin1(name)), no) << name;
        ASSERT_NE(r.band(1), nullptr);
        EXPECT_EQ(r.band(1)->height, 297);
    }
    const vx::rpt::Report front = vx::rpt::loadReport(QStringLiteral(":/reports/print_f1_1.rpt"), anyVariable);
    const vx::rpt::Control* day = front.control(6);
    ASSERT_NE(day, nullptr);
    EXPECT_EQ(day->picture, QStringLiteral("@P##Pb"));
    EXPECT_EQ(day->width, 0);  // the natural size
    EXPECT_EQ(day->font.size, 9);
    EXPECT_EQ(day->font.style, 700);
}

TEST(ReportLayouts, RefuseWhatIsNoLayout) {
    const char* bad[] = {
        "string text=\"x\"\n",                                       // no report line
        "report\n  string text=\"x\"\nend\n",                         // a control outside a band
        "report\n  detail\n    string use=NOSUCH\n  end\nend\n",      // an unknown variable
        "report\n  detail\n    string text=\"open\n  end\nend\n",     // an open string
        "report\n  detail\n    frobnicate\n  end\nend\n",             // an unknown keyword
        "report\n  detail\n    string at=1,x\n  end\nend\n",          // not a number
    };
    auto none = [](std::string_view) { return vx::VarRef{}; };
    for (const char* text : bad) EXPECT_THROW(vx::rpt::parseReport(QString::fromUtf8(text), QStringLiteral("t"), none), vx::rpt::ReportLayoutError) << text;
}

}  // namespace
