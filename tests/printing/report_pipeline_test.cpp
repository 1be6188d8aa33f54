// What every report procedure shares through the class library's report manager: "Отменить"
// wins whenever it is pressed before the preview opens, values stay inside their columns on the
// paper, a record changed between the reading and the printing is printed only if it still
// passes the filter, a query that cannot be used is named, and the frame's status bar is left
// clean. Pages are read back from the PDF with pdftotext -bbox.

#include <QFile>
#include <QPrinter>
#include <QTest>

#include "framework/classlib/reportmanager.h"
#include "framework/engine/layout.h"
#include "framework/report/printer.h"
#include "queued_press.h"
#include "reports_fixture.h"

namespace {

using namespace vexlo::test;

int g_response = -1;  // GLOBALRESPONSE of the last report run through runWithResponse

class ReportPipeline : public Reports {
protected:
    void TearDown() override {
        vx::ReportManager::SetBatchQueuedHook(nullptr);
        vx::ReportManager::SetRecordHook(nullptr);
        Reports::TearDown();
    }
    // An application frame with a status bar, on a thread of its own.
    vx::eng::Window* startFrame() {
        auto frameLayout = vx::eng::parseLayout(
            u("window kind=frame text=\"Рамка\" at=0,0,400,200 status=-1,100\nend\n"), QStringLiteral("frame"));
        h.start([frameLayout] {
            vx::eng::Window frame(frameLayout);
            while (frame.accept()) {
            }
        }, 256 * 1024);
        return vx::eng::Window::frame();
    }
    // Runs a report on a thread of its own and keeps its response.
    int startWithResponse(void (*proc)()) {
        g_response = -1;
        return h.start([proc] {
            proc();
            g_response = vx::eng::GLOBALRESPONSE;
        });
    }
    // The period report's globals: March 2024, "Выдано".
    static void periodOfMarch() {
        D1 = day(2024, 3, 1);
        D2 = day(2024, 3, 31);
        COMMENT = w("Выдано");
    }
    void someCertificatesWithAnimals() {
        add({501, day(2024, 3, 5), "Выдано", "10", "Иванову"});
        add({502, day(2024, 3, 4), "Выдано", "20", "Петрову"});
        add({503, day(2024, 3, 6), "Выдано", "30", "Иванову"});
        addAnimal(501, 2, "Зорька");
        addAnimal(501, 1, "Буренка");
        NFORM = 501;
    }
};

// The user's press of "Отменить": a real click on the progress window's button.
void clickCancel(vx::ReportManager& report) {
    vx::eng::Control* c = report.Win().control(vx::progress::Cancel);
    ASSERT_TRUE(c && c->widget);
    QTest::mouseClick(c->widget, Qt::LeftButton, {}, c->widget->rect().center());
}

TEST_F(ReportPipeline, CancelWinsWhilstTheFirstOrTheLastBatchIsQueued) {
    someCertificatesWithAnimals();
    struct Case {
        const char* what;
        void (*proc)();
    };
    const Case reports[] = {
        {"period report", REP_INPUT1}, {"query report", REP_INPUT11}, {"OPIS", OPIS}, {"OPIS1", OPIS1}};
    // A sorted report queues its first batch when the first record is read, and its last when
    // every record has been read and sorted: that batch prints them all and would open the preview.
    for (const Case& c : reports) {
        for (int pressedAt : {1, 2}) {
            SCOPED_TRACE(std::string(c.what) + (pressedAt == 1 ? ", first batch" : ", last batch"));
            periodOfMarch();
            int queued = 0;
            vx::ReportManager::SetBatchQueuedHook([&](vx::ReportManager& r) {
                if (++queued == pressedAt) clickCancel(r);
            });
            const int t = startWithResponse(c.proc);
            ASSERT_TRUE(h.waitEnd(t));
            EXPECT_EQ(queued, pressedAt);
            EXPECT_EQ(preview(), nullptr);
            EXPECT_TRUE(h.dialogs().empty());
            EXPECT_EQ(g_response, 2) << "cancelled";
        }
    }
    // Not pressed: the same reports come to their preview and are completed.
    vx::ReportManager::SetBatchQueuedHook(nullptr);
    periodOfMarch();
    const int t = startWithResponse(REP_INPUT1);
    const Printed p = collect(t);
    EXPECT_TRUE(p.preview);
    EXPECT_EQ(g_response, 1);
}

QWidget* cancelButton(vx::ReportManager& report) {
    vx::eng::Control* c = report.Win().control(vx::progress::Cancel);
    return c ? c->widget.data() : nullptr;
}

// "Отменить" pressed while a batch runs: the press is queued from inside the batch, after the
// given record, and reaches the button only through the main loop. It wins between two batches
// and before the preview opens: nothing more is printed, no preview, the response cancelled and
// the frame's status bar clear.
TEST_F(ReportPipeline, CancelPressedWhileABatchRunsWins) {
    someCertificatesWithAnimals();
    vx::eng::Window* frame = startFrame();
    ASSERT_NE(frame, nullptr);
    struct Case {
        const char* what;
        void (*proc)();
        int pressedAt;  // the record after which the press is queued
        int taken;      // the records printed: those of the batch the press came in
    };
    // Batches hold 1, 2, 4 ... records: the period and the query report (3 certificates) take the
    // press before their next batch; OPIS (2 animal rows) finds the end of its rows in the batch
    // the press came in, and takes it before the preview.
    const Case cases[] = {
        {"period report, first batch", REP_INPUT1, 1, 1},
        {"period report, last record", REP_INPUT1, 3, 3},
        {"query report, inside the second batch", REP_INPUT11, 2, 3},
        {"OPIS, last record", OPIS, 2, 2},
        {"OPIS1, first batch", OPIS1, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        periodOfMarch();
        int taken = 0;
        vx::ReportManager::SetRecordHook([&](vx::ReportManager& r) {
            if (++taken != c.pressedAt) return;
            QWidget* button = cancelButton(r);
            ASSERT_NE(button, nullptr);
            queuePress(button);
        });
        const int t = startWithResponse(c.proc);
        ASSERT_TRUE(h.waitEnd(t));
        EXPECT_EQ(taken, c.taken) << "no batch after the press";
        EXPECT_EQ(preview(), nullptr);
        EXPECT_TRUE(h.dialogs().empty());
        EXPECT_EQ(g_response, 2) << "cancelled";
        EXPECT_EQ(frame->statusText(1), QString());
    }
}

// A press still held on "Отменить" when the batch ends is decided by its release: on the button
// it cancels; moved off the button first, it does not, and the report comes to its preview.
TEST_F(ReportPipeline, APressHeldOnCancelIsDecidedByItsRelease) {
    someCertificatesWithAnimals();
    QPointer<QWidget> button;
    for (Release release : {Release::None, Release::Beside}) {
        SCOPED_TRACE(release == Release::None ? "released on the button" : "released beside it");
        periodOfMarch();
        int taken = 0;
        vx::ReportManager::SetRecordHook([&](vx::ReportManager& r) {
            if (++taken != 1) return;
            button = cancelButton(r);
            ASSERT_FALSE(button.isNull());
            queuePress(button, release);
        });
        const int t = startWithResponse(REP_INPUT1);
        if (release == Release::None) {
            h.idle();
            EXPECT_TRUE(vx::eng::threadAlive(t)) << "the report waits for the release";
            EXPECT_EQ(preview(), nullptr);
            EXPECT_EQ(taken, 1);
            ASSERT_FALSE(button.isNull());
            QTest::mouseRelease(button, Qt::LeftButton, {}, button->rect().center());
            ASSERT_TRUE(h.waitEnd(t));
            EXPECT_EQ(preview(), nullptr);
            EXPECT_EQ(g_response, 2);
        } else {
            const Printed p = collect(t);
            EXPECT_TRUE(p.preview);
            EXPECT_EQ(numbersListed(p), (std::vector<int>{502, 501, 503}));
            EXPECT_EQ(g_response, 1);
        }
    }
}

TEST_F(ReportPipeline, ClosingThePreviewWithoutPrintingPrintsNothing) {
    someCertificatesWithAnimals();
    const QString printed = dir.filePath(QStringLiteral("printer.pdf"));
    QPrinter& printer = vx::rpt::PrinterChoice::instance().printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(printed);
    periodOfMarch();
    const int t = startWithResponse(REP_INPUT1);
    ASSERT_TRUE(h.waitFor([] { return preview() != nullptr; }));
    preview()->close();
    ASSERT_TRUE(h.waitEnd(t));
    EXPECT_FALSE(QFile::exists(printed));
    EXPECT_EQ(g_response, 1);
}

// ---------------------------------------------------------------- values inside their columns

// The words of a report line from `anchor` on, left to right.
std::vector<PdfWord> wordsFrom(const Printed& p, const PdfWord& anchor) {
    std::vector<PdfWord> out;
    for (const PdfWord& wd : p.text.words)
        if (std::abs(wd.yMin - anchor.yMin) < 1.0 && wd.xMin >= anchor.xMin - 0.01) out.push_back(wd);
    std::sort(out.begin(), out.end(), [](const PdfWord& a, const PdfWord& b) { return a.xMin < b.xMin; });
    return out;
}

TEST_F(ReportPipeline, PeriodReportValuesStayInTheirColumnsOnThePaper) {
    // The longest values the pictures let through: a 39-character receiver ("Кто получил") and
    // issuer, a 72-character recipient, 27 and 25 wide bold characters before the next column.
    const QString receiver = u("Экспедитор Шмидт-Щербаковский Ю.Ж. ОООО");       // 39
    const QString issuer = u("Ветврач Шереметьева-Жемчужникова М.Ш.ЩЩ");        // 39
    const QString recipient =
        u("Общество с ограниченной ответственностью Шуваловский мясоперерабатывающи");  // 72
    ASSERT_EQ(receiver.size(), 39);
    ASSERT_EQ(issuer.size(), 39);
    ASSERT_EQ(recipient.size(), 72);
    add({601, day(2024, 3, 5), "Выдано", "10", "x"}, [&](FRM_RECORD& r) {
        r.F48 = vx::cp::toCp1251(receiver);
        r.F50 = vx::cp::toCp1251(issuer);
        r.F2 = vx::cp::toCp1251(recipient);
        r.F4 = w("ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ");
        r.F5 = w("Крупный_рогатый_скот");
        r.F6 = w("ШШШШШШШШШШШШШШШШШШШШШШШШШ");
    });
    periodOfMarch();
    const Printed p = run(REP_INPUT1);
    ASSERT_TRUE(p.preview);
    // Columns on the paper (the report area starts 10 mm from the edge).
    struct Column {
        QString value;
        double from, to;  // mm on the paper
    };
    const Column columns[] = {
        {receiver, 155, 195},                                  // F48 at 145, width 40
        {issuer, 155, 195},                                    // F50 at 145, width 40
        {recipient, 55, 152},                                  // F2 at 45, width 97: F50's column is left alone
        {u("ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ"), 55, 98},          // F4 of natural width stops before F5
        {u("ШШШШШШШШШШШШШШШШШШШШШШШШШ"), 55, 95},            // F6 stops before "голов [мест, штук]"
    };
    for (const Column& c : columns) {
        SCOPED_TRACE(c.value.toStdString());
        const QString first = c.value.section(QLatin1Char(' '), 0, 0).left(3);
        const PdfWord* start = nullptr;
        for (const PdfWord& wd : p.text.words)
            if (wd.text.startsWith(first)) start = &wd;
        ASSERT_NE(start, nullptr) << "the value's start prints";
        QStringList shown;
        for (const PdfWord& wd : wordsFrom(p, *start)) {
            if (wd.xMin >= c.to - 0.5) break;  // the next column
            EXPECT_GE(wd.xMin, c.from - 0.5) << wd.text.toStdString();
            EXPECT_LE(wd.xMax, c.to + 0.01) << wd.text.toStdString();
            EXPECT_LE(wd.xMax, 210.0);
            shown << wd.text;
        }
        // Cut at the box: what prints is the value's start, and not the whole value.
        const QString printed = shown.join(QLatin1Char(' '));
        EXPECT_TRUE(c.value.startsWith(printed)) << printed.toStdString();
        EXPECT_LT(printed.size(), c.value.size());
    }
    // The next columns print whole.
    EXPECT_NE(p.text.find(u("Крупный_рогатый_скот")), nullptr);
    EXPECT_NE(p.text.find(u("голов")), nullptr);
}

TEST_F(ReportPipeline, TheWidestQueryTextStaysBetweenItsBrackets) {
    add({701, day(2024, 1, 5), "Выдано", "0", "Петрову"});
    // 60 characters and more, of the widest letters: the header shows the first 60.
    const std::string filter = "FRM:F2<>'" + w("ШЩЖМШЩЖМШЩЖМШЩЖМШЩЖМШЩЖМШЩЖМШЩЖМШЩЖМШЩЖМШЩЖМШЩЖМШЩЖМШЩЖМ") + "'";
    ASSERT_GT(filter.size(), 60u);
    GLO_REPORTQUERYRESULT = filter;
    const Printed p = run(REP_INPUT11);
    ASSERT_TRUE(p.preview);
    const PdfWord* open = p.text.find(u("["));
    const PdfWord* close = p.text.find(u("]"));
    ASSERT_NE(open, nullptr);
    ASSERT_NE(close, nullptr);
    const std::vector<PdfWord> line = wordsFrom(p, *open);
    int inside = 0;
    for (const PdfWord& wd : line) {
        if (wd.text == u("[") || wd.text == u("]")) continue;
        ++inside;
        EXPECT_GE(wd.xMin, open->xMax - 0.01) << wd.text.toStdString();
        EXPECT_LE(wd.xMax, close->xMin + 0.01) << wd.text.toStdString();
    }
    EXPECT_GT(inside, 0) << "the query text prints";
    EXPECT_TRUE(std::any_of(line.begin(), line.end(),
                            [](const PdfWord& wd) { return wd.text.startsWith(u("FRM:F2<>'ШЩЖМ")); }));
}

TEST_F(ReportPipeline, BreedingInventoryPrintsSexBreedAndAgeInTheirColumns) {
    add({801, day(2024, 6, 7), "Выдано", "0"});
    struct Row {
        int npp;
        const char* name;
        const char* sex;    // @s10
        const char* breed;  // @s20
        const char* age;    // @s12
    };
    const Row rows[] = {
        {1, "Буренка", "Корова", "Ярославская", "3 года"},
        {2, "Борис", "Производит", "Черно-пестрая голшт", "2 года 11 м."},
    };
    for (const Row& r : rows) {
        ANIM_DESC.clear(&*ANI);
        ANI->NFORM = 801;
        ANI->NPP = r.npp;
        ANI->KICHKA = w(r.name);
        ANI->POL = w(r.sex);
        ANI->PORODA = w(r.breed);
        ANI->VOSRAST = w(r.age);
        ASSERT_EQ(ACCESS_ANIM->Insert(), Benign);
    }
    NFORM = 801;
    const Printed p = run(OPIS1);
    ASSERT_TRUE(p.preview);
    // The table's vertical rules on the paper: sex 101..126, breed 126..171, age 171..200.
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const PdfWord* name = p.text.find(u(r.name));
        ASSERT_NE(name, nullptr);
        struct Cell {
            const char* text;
            double from, to;
        };
        for (const Cell& c : {Cell{r.sex, 101, 126}, Cell{r.breed, 126, 171}, Cell{r.age, 171, 200}}) {
            SCOPED_TRACE(c.text);
            const QString first = u(c.text).section(QLatin1Char(' '), 0, 0);
            const PdfWord* cell = nullptr;
            for (const PdfWord& wd : p.text.words)
                if (wd.text == first && std::abs(wd.yMin - name->yMin) < 1.0) cell = &wd;
            ASSERT_NE(cell, nullptr) << "on the animal's row";
            QStringList shown;
            for (const PdfWord& wd : wordsFrom(p, *cell)) {
                if (wd.xMin >= c.to) break;
                EXPECT_GE(wd.xMin, c.from);
                EXPECT_LE(wd.xMax, c.to);
                shown << wd.text;
            }
            EXPECT_EQ(shown.join(QLatin1Char(' ')), u(c.text));
        }
    }
}

// Every word of the inventories' rows lies between the vertical rules of its column and inside
// the paper's printable edge (205 mm), also with every field full and of the widest capitals.
TEST_F(ReportPipeline, InventoryRowsStayInsideTheirRulesAndThePaper) {
    struct Fields {
        const char* name;    // @s15
        const char* invent;  // @s15
        const char* sex;     // @s10
        const char* breed;   // @s20
        const char* age;     // @s12
    };
    // 15, 15, 10, 20 and 12 characters.
    const Fields ordinary[] = {
        {"Зорька из Мытищ", "ЖИВОТНОВОДЧЕСК1", "Производит", "Черно-пестрая голшт.", "2 года 11 м."},
        {"МММММ МММММ ММ", "ЖИВОТНОВОДЧЕСКИ", "Телка-ремон", "Симментальская мясн.", "ЖИВОТНОВОДЧЕ"},
    };
    const Fields wide[] = {
        {"ЩЩЩЩЩЩЩЩЩЩЩЩЩЩЩ", "ЮЮЮЮЮЮЮЮЮЮЮЮЮЮЮ", "ЖЖЖЖЖЖЖЖЖЖ", "ЮЮЮЮЮЮЮЮЮЮЮЮЮЮЮЮЮЮЮЮ", "ШШШШШШШШШШШШ"},
        {"ЮЮЮЮЮЮЮЮЮЮЮЮЮЮЮ", "ЩЩЩЩЩЩЩЩЩЩЩЩЩЩЩ", "ЩЩЩЩЩЩЩЩЩЩ", "ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ", "ЮЮЮЮЮЮЮЮЮЮЮЮ"},
    };
    struct Column {
        double from, to;  // the rules on the paper
    };
    struct Report {
        const char* what;
        void (*proc)();
        std::vector<Column> columns;
    };
    const Report reports[] = {
        {"OPIS", OPIS, {{19, 60}, {60, 129}, {129, 191}}},
        {"OPIS1", OPIS1, {{17, 36}, {36, 68}, {68, 101}, {101, 126}, {126, 171}, {171, 200}}},
    };
    struct Kind {
        const char* what;
        int nform;
        const Fields* rows;
    };
    for (const Kind& k : {Kind{"ordinary words", 811, ordinary}, Kind{"wide capitals", 812, wide}}) {
        SCOPED_TRACE(k.what);
        add({k.nform, day(2024, 6, 7), "Выдано", "0"});
        for (int npp = 1; npp <= 60; ++npp) {
            const Fields& f = k.rows[npp % 2];
            ANIM_DESC.clear(&*ANI);
            ANI->NFORM = k.nform;
            ANI->NPP = npp;
            ANI->KICHKA = w(f.name);
            ANI->INVENT = w(f.invent);
            ANI->POL = w(f.sex);
            ANI->PORODA = w(f.breed);
            ANI->VOSRAST = w(f.age);
            ASSERT_EQ(ACCESS_ANIM->Insert(), Benign);
        }
        NFORM = k.nform;
        P3 = "";
        P4 = "";
        for (const Report& r : reports) {
            SCOPED_TRACE(r.what);
            const Printed p = run(r.proc);
            ASSERT_TRUE(p.preview);
            ASSERT_GE(p.pages, 2);
            int inRows = 0;
            for (const PdfWord& wd : p.text.words) {
                EXPECT_LE(wd.xMax, 205.0) << wd.text.toStdString();
                // The table's rows: below the group header on the first page (20 + 66 mm).
                if (wd.page == 0 && wd.yMin < 86.5) continue;
                ++inRows;
                const auto col = std::find_if(r.columns.begin(), r.columns.end(),
                                              [&](const Column& c) { return wd.xMin >= c.from && wd.xMin < c.to; });
                ASSERT_NE(col, r.columns.end()) << wd.text.toStdString() << " at " << wd.xMin;
                EXPECT_LE(wd.xMax, col->to) << wd.text.toStdString() << " in " << col->from << ".." << col->to;
            }
            // Every field of every row prints something.
            EXPECT_GE(inRows, 60 * int(r.columns.size())) << "words in the rows";
        }
    }
}

// ---------------------------------------------------------------- the reading and the printing

TEST_F(ReportPipeline, ARecordRenamedOutOfTheFilterAfterTheReadingIsNotPrinted) {
    add({901, day(2024, 1, 3), "Выдано", "0", "Иванову"});
    add({902, day(2024, 1, 4), "Выдано", "0", "Иванову"});
    add({903, day(2024, 1, 5), "Выдано", "0", "Иванову"});
    GLO_REPORTQUERYRESULT = "FRM:F2='" + w("Иванову") + "'";
    // Every certificate has been read and sorted; before the printing 902 gets another recipient.
    int queued = 0;
    vx::ReportManager::SetBatchQueuedHook([&](vx::ReportManager&) {
        if (++queued != 2) return;
        FRM->NOMSV = 902;
        ASSERT_EQ(ACCESS_FORMA1->Fetch(FRM_K1), Benign);
        FRM->F2 = w("Петрову");
        ASSERT_EQ(ACCESS_FORMA1->Update(), Benign);
    });
    const Printed p = run(REP_INPUT11);
    ASSERT_EQ(queued, 2);
    ASSERT_TRUE(p.preview);
    EXPECT_EQ(numbersListed(p), (std::vector<int>{901, 903}));
    EXPECT_EQ(p.text.find(u("Петрову")), nullptr);
    const PdfWord* total = p.text.find(u("[контрагенту]:"));
    ASSERT_NE(total, nullptr);
    EXPECT_EQ(p.lineOf(*total).last(), u("2"));
}

// ---------------------------------------------------------------- a query that cannot be used

TEST_F(ReportPipeline, AQueryThatDoesNotCompileIsNamedNotReportedAsNoRecords) {
    add({951, day(2024, 1, 3), "Выдано", "0"});
    GLO_REPORTQUERYRESULT = "FRM:nomsv >>> 3";
    g_response = -1;
    const int t = startWithResponse(REP_INPUT11);
    ASSERT_TRUE(h.waitFor([&] { return !h.dialogs().empty(); }));
    const auto boxes = h.dialogs();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, u("Ошибка в запросе"));
    EXPECT_TRUE(boxes[0].text.startsWith(u("Отчёт не построен: в условии отбора "))) << boxes[0].text.toStdString();
    EXPECT_TRUE(boxes[0].text.contains(u("«>»"))) << boxes[0].text.toStdString();
    EXPECT_TRUE(boxes[0].text.contains(u("(знак "))) << boxes[0].text.toStdString();
    h.answer(vx::eng::btn::Ok);
    ASSERT_TRUE(h.waitEnd(t));
    EXPECT_EQ(preview(), nullptr);
    EXPECT_EQ(g_response, 2);
    EXPECT_EQ(GLO_REPORTQUERYRESULT.str(), "");
}

// ---------------------------------------------------------------- the frame's status bar

TEST_F(ReportPipeline, TheFramesStatusBarDoesNotKeepCancelReport) {
    someCertificatesWithAnimals();
    auto frameLayout = vx::eng::parseLayout(
        u("window kind=frame text=\"Рамка\" at=0,0,400,200 status=-1,100\nend\n"), QStringLiteral("frame"));
    h.start([frameLayout] {
        vx::eng::Window frame(frameLayout);
        while (frame.accept()) {
        }
    }, 256 * 1024);
    vx::eng::Window* frame = vx::eng::Window::frame();
    ASSERT_NE(frame, nullptr);
    struct Case {
        const char* what;
        void (*proc)();
        bool cancel;
    };
    for (const Case& c : {Case{"period report", REP_INPUT1, false}, Case{"period report cancelled", REP_INPUT1, true},
                          Case{"OPIS", OPIS, false}}) {
        SCOPED_TRACE(c.what);
        periodOfMarch();
        QString shownWhileRunning;
        vx::ReportManager::SetBatchQueuedHook([&](vx::ReportManager& r) {
            shownWhileRunning = frame->statusText(1);
            if (c.cancel) clickCancel(r);
        });
        const int t = startWithResponse(c.proc);
        if (!c.cancel) {
            ASSERT_TRUE(h.waitFor([] { return preview() != nullptr; }));
            preview()->close();
        }
        ASSERT_TRUE(h.waitEnd(t));
        EXPECT_EQ(shownWhileRunning, u("Cancel Report")) << "the button's message while the report runs";
        EXPECT_EQ(frame->statusText(1), QString());
    }
}

}  // namespace
