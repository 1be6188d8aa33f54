// The period report with its dialog, the query report, the two animal inventories and the period
// deletion, driven headless over real data files in a temporary working directory; printed
// pages are saved from the preview as PDF and read back with pdftotext.

#include <QApplication>
#include <QCalendarWidget>
#include <QDialog>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <vector>

#include "framework/classlib/errors.h"
#include "framework/engine/harness.h"
#include "framework/engine/message.h"
#include "framework/report/preview.h"
#include "framework/types/codepage.h"
#include "framework/types/date.h"
#include "reports_fixture.h"
#include "printing/period_delete.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/records.h"
#include "shell/runtime.h"

namespace {

using namespace vexlo::test;

// ---------------------------------------------------------------- the period report

class PeriodReport : public Reports {
protected:
    void SetUp() override {
        Reports::SetUp();
        add({104, day(2024, 3, 2), "Выдано", "150.50"});
        add({101, day(2024, 3, 2), "Выдано", "200.25"});
        add({103, day(2024, 3, 1), "Выдано", "0"});
        add({102, day(2024, 2, 28), "Выдано", "99"});       // before the period
        add({105, day(2024, 3, 31), "Испорчено", "10"});
        add({106, day(2024, 4, 1), "Испорчено", "20"});     // after the period
        add({107, day(2024, 3, 15), "Образец", "0"});
        add({108, day(2024, 3, 15), "", "5"});               // no status
        add({109, 0, "Выдано", "7"});                        // no date of issue
    }
    Printed report(std::int32_t from, std::int32_t to, const char* status) {
        D1 = from;
        D2 = to;
        COMMENT = w(status);
        return run(REP_INPUT1);
    }
    // The count and the sum printed right of the footer's captions.
    static QStringList footer(const Printed& p, const char* caption) {
        const std::vector<PdfWord> c = p.all(u(caption));
        if (c.empty()) return {};
        QStringList line = p.lineOf(c.back());
        return line.mid(line.indexOf(u(caption)) + 1);
    }
};

TEST_F(PeriodReport, ListsEachStatusWithItsCountAndPriceTotal) {
    struct Case {
        const char* status;
        std::vector<int> listed;  // in print order
        const char* count;
        const char* total;        // blank when the sum is 0
    };
    const Case cases[] = {
        {"Выдано", {103, 101, 104}, "3", "350.75"},
        {"Испорчено", {105}, "1", "10.00"},
        {"Образец", {107}, "1", ""},
        {"", {108}, "1", "5.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        const Printed p = report(day(2024, 3, 1), day(2024, 3, 31), c.status);
        ASSERT_TRUE(p.preview);
        EXPECT_EQ(p.pages, 1);
        EXPECT_EQ(numbersListed(p), c.listed);
        EXPECT_EQ(footer(p, "документов").value(2), u(c.count));
        const QStringList sum = footer(p, "сумму:");
        EXPECT_EQ(sum.join(u(" ")), u(c.total));
        // The header names the status and the period.
        EXPECT_NE(p.text.find(u("01.03.2024")), nullptr);
        EXPECT_NE(p.text.find(u("31.03.2024")), nullptr);
        EXPECT_NE(p.text.find(u("Райветстанция")), nullptr);
    }
}

TEST_F(PeriodReport, AZeroPriceIsBlankInItsBand) {
    const Printed p = report(day(2024, 3, 1), day(2024, 3, 1), "Выдано");
    ASSERT_TRUE(p.preview);
    ASSERT_EQ(numbersListed(p), std::vector<int>{103});
    const PdfWord* rub = p.text.find(u("руб"));
    ASSERT_NE(rub, nullptr);
    EXPECT_EQ(p.lineOf(*rub), QStringList({u("руб")}));
}

TEST_F(PeriodReport, NoMatchingCertificateGivesTheNoticeAndNoPreview) {
    struct Case {
        const char* what;
        std::int32_t from, to;
        const char* status;
    };
    const Case cases[] = {
        {"reversed period", day(2024, 3, 31), day(2024, 3, 1), "Выдано"},
        {"empty period", day(2025, 1, 1), day(2025, 12, 31), "Выдано"},
        {"unknown status", day(2024, 3, 1), day(2024, 3, 31), "Нет"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Printed p = report(c.from, c.to, c.status);
        EXPECT_FALSE(p.preview);
        EXPECT_EQ(p.notices, QStringList{u("No Records")});
    }
}

TEST_F(PeriodReport, BlankDatesListOnlyCertificatesWithoutADate) {
    const Printed p = report(0, 0, "Выдано");
    ASSERT_TRUE(p.preview);
    EXPECT_EQ(numbersListed(p), std::vector<int>{109});
}

TEST_F(PeriodReport, EveryPageRepeatsTheHeaderAndTheTotalsFollowOnce) {
    for (int no = 110; no < 150; ++no) add({no, day(2024, 5, 1), "Выдано", "1"});
    const Printed p = report(day(2024, 5, 1), day(2024, 5, 1), "Выдано");
    ASSERT_TRUE(p.preview);
    EXPECT_GT(p.pages, 1);
    EXPECT_EQ(int(p.all(u("Отчёт")).size()), p.pages);
    EXPECT_EQ(p.all(u("сумму:")).size(), 1u);
    EXPECT_EQ(numbersListed(p).size(), 40u);
    EXPECT_EQ(footer(p, "документов").value(2), u("40"));
    EXPECT_EQ(footer(p, "сумму:").join(u(" ")), u("40.00"));
}

// "Печать" is the dialog's default button: Enter in the status presses it.
TEST_F(PeriodReport, EnterInTheDialogPressesPrint) {
    D1 = day(2024, 3, 1);
    D2 = day(2024, 3, 31);
    const int dialog = h.start(REP_DATA);
    auto* ok = qobject_cast<QPushButton*>(h.control(h.feq("?OKBUTTON"))->widget.data());
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->isDefault());
    h.type("?COMMENT", u("Испорчено"));
    h.press(Qt::Key_Return);
    Printed p = collect(0);
    ASSERT_TRUE(p.preview);
    EXPECT_EQ(numbersListed(p), std::vector<int>{105});
    h.target(dialog);
    h.click("?CANCELBUTTON");
    EXPECT_TRUE(h.waitEnd(dialog));
}

// A refused date, then "Печать" or a calendar: no report and no calendar on the period the screen
// no longer shows; once told, the dialog shows its period again and prints that.
TEST_F(PeriodReport, ARefusedDatePrintsNothingUntilTheUserIsTold) {
    D1 = day(2024, 3, 1);
    D2 = day(2024, 3, 31);
    COMMENT = w("Испорчено");
    const int dialog = h.start(REP_DATA);
    for (const char* press : {"?OKBUTTON", "?CALENDAR:2"}) {
        SCOPED_TRACE(press);
        h.type("?D2", u("31.02.2024"));
        h.click(press);
        ASSERT_EQ(h.dialogs().size(), 1u);
        EXPECT_EQ(h.dialogs()[0].title, u("Неверное значение"));
        EXPECT_EQ(h.value("?D2"), u("31.03.2024"));
        ASSERT_TRUE(h.answer(vx::eng::btn::Ok));
        EXPECT_TRUE(h.dialogs().empty());
        EXPECT_EQ(preview(), nullptr);
    }
    h.click("?OKBUTTON");
    Printed p = collect(0);
    ASSERT_TRUE(p.preview);
    EXPECT_EQ(numbersListed(p), std::vector<int>{105});
    h.target(dialog);
    h.click("?CANCELBUTTON");
    EXPECT_TRUE(h.waitEnd(dialog));
}

// The dialog: the calendars, the status and "Печать", which starts a report and stays open.
TEST_F(PeriodReport, TheDialogStartsTheReportWithItsPeriodAndStatus) {
    const int dialog = h.start(REP_DATA);
    EXPECT_EQ(h.win().title(), u("За период"));
    struct Cal {
        const char* button;
        const char* title;
        QDate date;
        const char* shown;
        const char* entry;
    };
    for (const Cal& c : {Cal{"?CALENDAR", "Дата [с]", QDate(2024, 3, 1), "01.03.2024", "?D1"},
                         Cal{"?CALENDAR:2", "Дата [по]", QDate(2024, 3, 31), "31.03.2024", "?D2"}}) {
        h.click(c.button);
        QDialog* dlg = nullptr;
        for (auto& d : h.dialogs())
            if (auto* q = qobject_cast<QDialog*>(d.widget)) dlg = q;
        ASSERT_NE(dlg, nullptr) << c.button;
        EXPECT_EQ(dlg->windowTitle(), u(c.title));
        dlg->findChild<QCalendarWidget*>()->setSelectedDate(c.date);
        dlg->accept();
        h.idle();
        EXPECT_EQ(h.value(c.entry), u(c.shown));
    }
    EXPECT_EQ(std::int32_t(D1), day(2024, 3, 1));
    EXPECT_EQ(std::int32_t(D2), day(2024, 3, 31));
    h.type("?COMMENT", u("Испорчено"));
    h.click("?OKBUTTON");
    Printed p = collect(0);
    ASSERT_TRUE(p.preview);
    EXPECT_EQ(numbersListed(p), std::vector<int>{105});
    // Still open: a second report with another status.
    h.target(dialog);
    ASSERT_NE(h.window(), nullptr);
    h.type("?COMMENT", u("Выдано"));
    h.click("?OKBUTTON");
    p = collect(0);
    EXPECT_EQ(numbersListed(p), (std::vector<int>{103, 101, 104}));
    h.target(dialog);
    h.click("?CANCELBUTTON");
    EXPECT_TRUE(h.waitEnd(dialog));
}

// ---------------------------------------------------------------- the query report

class QueryReport : public Reports {
protected:
    void SetUp() override {
        Reports::SetUp();
        add({201, day(2024, 1, 5), "Выдано", "0", "Петрову"});
        add({202, day(2024, 1, 3), "Выдано", "0", "Иванову"});
        add({203, day(2024, 1, 3), "Испорчено", "0", "Иванову"});
        add({200, day(2024, 1, 3), "Выдано", "0", "Иванову"});
        add({204, day(2024, 1, 1), "Выдано", "0", "Сидорову"});
        add({205, day(2024, 1, 1), "Выдано", "0", ""});  // no recipient: in no order of FRM:K2
    }
    Printed report(const std::string& filter) {
        GLO_REPORTQUERYRESULT = filter;
        return run(REP_INPUT11);
    }
    // Per recipient: the group header's name, then the listed numbers, then the footer's count.
    static std::vector<QStringList> groups(const Printed& p) {
        std::vector<PdfWord> marks;
        for (const PdfWord& wd : p.text.words)
            if (wd.text == u("Контрагент:") || wd.text == u("[контрагенту]:")) marks.push_back(wd);
        std::sort(marks.begin(), marks.end(), [](const PdfWord& a, const PdfWord& b) { return a.yMin < b.yMin; });
        std::vector<QStringList> out;
        for (const PdfWord& wd : marks) {
            if (wd.text == u("Контрагент:")) out.push_back(p.lineOf(wd).mid(1));
            else if (!out.empty()) out.back() << p.lineOf(wd).mid(3);
        }
        return out;
    }
};

TEST_F(QueryReport, WithoutAFilterEveryRecipientIsAGroupInNameOrder) {
    const Printed p = report("");
    ASSERT_TRUE(p.preview);
    EXPECT_EQ(numbersListed(p), (std::vector<int>{200, 202, 203, 201, 204}));
    const std::vector<QStringList> g = groups(p);
    ASSERT_EQ(g.size(), 3u);
    EXPECT_EQ(g[0], QStringList({u("Иванову"), u("3")}));
    EXPECT_EQ(g[1], QStringList({u("Петрову"), u("1")}));
    EXPECT_EQ(g[2], QStringList({u("Сидорову"), u("1")}));
    // The row numbers run through the whole report.
    const PdfWord* first = p.text.find(u("201"));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(p.lineOf(*first).value(0), u("4"));
}

TEST_F(QueryReport, TheFilterSelectsAndIsUsedOnce) {
    const std::string filter = "FRM:nomsv >= 201 AND FRM:nomsv <= 204 AND UPPER(FRM:comment) = '" + w("ВЫДАНО") + "'";
    Printed p = report(filter);
    ASSERT_TRUE(p.preview);
    EXPECT_EQ(numbersListed(p), (std::vector<int>{202, 201, 204}));
    EXPECT_EQ(GLO_REPORTQUERYRESULT.str(), "");
    EXPECT_EQ(ZAPROS.str(), filter.substr(0, 60));
    EXPECT_NE(p.text.find(u("[произвольный")), nullptr);
    // Started again without a new query: every certificate.
    p = collect(h.start(REP_INPUT11));
    EXPECT_EQ(numbersListed(p).size(), 5u);
    EXPECT_EQ(ZAPROS.str(), "");
}

TEST_F(QueryReport, AQueryThatMatchesNothingGivesTheNoticeAndIsConsumed) {
    const Printed p = report("FRM:nomsv > 900");
    EXPECT_FALSE(p.preview);
    EXPECT_EQ(p.notices, QStringList{u("No Records")});
    EXPECT_EQ(GLO_REPORTQUERYRESULT.str(), "");
}

// ---------------------------------------------------------------- the inventories

class Inventories : public Reports {
protected:
    void SetUp() override {
        Reports::SetUp();
        add({301, day(2024, 6, 7), "Выдано", "0"});
        add({302, day(2024, 6, 8), "Выдано", "0"});
        addAnimal(301, 3, "Зорька", "Голштинская");
        addAnimal(301, 1, "Буренка", "Ярославская");
        addAnimal(302, 1, "Чужая", "Чужая");
        addAnimal(301, 2, "Милка", "Айрширская");
        NFORM = 301;
        DATAV = day(2024, 6, 7);
        P3 = w("Ветврач Кузнецова А.В.");
        P4 = w("Подпись_подпись_подпись_подпись_39зн."); // 37 characters
        Z1 = w("Управление_ветеринарии");
    }
    static QStringList names(const Printed& p) {
        std::vector<PdfWord> rows;
        for (const char* n : {"Зорька", "Буренка", "Милка", "Чужая"})
            for (const PdfWord& wd : p.all(u(n))) rows.push_back(wd);
        std::sort(rows.begin(), rows.end(), [](const PdfWord& a, const PdfWord& b) { return a.yMin < b.yMin; });
        QStringList out;
        for (const PdfWord& wd : rows) out << wd.text;
        return out;
    }
};

TEST_F(Inventories, BothListTheCertificatesRowsWithHeaderAndFooter) {
    struct Case {
        void (*proc)();
        const char* title;
        bool breeds;
    };
    for (const Case& c : {Case{OPIS, "(товарные),", false}, Case{OPIS1, "(племенные),", true}}) {
        SCOPED_TRACE(c.title);
        const Printed p = run(c.proc);
        ASSERT_TRUE(p.preview);
        EXPECT_EQ(p.pages, 1);
        EXPECT_EQ(names(p), QStringList({u("Буренка"), u("Милка"), u("Зорька")}));
        EXPECT_NE(p.text.find(u(c.title)), nullptr);
        EXPECT_NE(p.text.find(u("301")), nullptr);
        EXPECT_NE(p.text.find(u("07.06.2024")), nullptr);
        EXPECT_NE(p.text.find(u("Управление_ветеринарии")), nullptr);
        EXPECT_NE(p.text.find(u("И301-2")), nullptr);
        EXPECT_EQ(p.text.find(u("Ярославская")) != nullptr, c.breeds);
        // The footer under the table, once, with the certificate's whole last lines.
        const PdfWord* doctor = p.text.find(u("Кузнецова"));
        const PdfWord* sign = p.text.find(u("Подпись_подпись_подпись_подпись_39зн."));
        ASSERT_NE(doctor, nullptr);
        ASSERT_NE(sign, nullptr);
        EXPECT_GT(doctor->yMin, p.text.find(u("Зорька"))->yMin);
        EXPECT_GT(sign->yMin, doctor->yMin);
    }
}

TEST_F(Inventories, ACertificateWithoutRowsGivesTheNotice) {
    NFORM = 999;
    for (void (*proc)() : {OPIS, OPIS1}) {
        const Printed p = run(proc);
        EXPECT_FALSE(p.preview);
        EXPECT_EQ(p.notices, QStringList{u("No Records")});
    }
}

// ---------------------------------------------------------------- the period deletion

class PeriodDeletion : public Reports {
protected:
    void SetUp() override {
        Reports::SetUp();
        fill();
    }
    void clear() {
        for (vx::FileManager* f : {static_cast<vx::FileManager*>(&*ACCESS_ANIM), static_cast<vx::FileManager*>(&*ACCESS_FORMA1),
                                   static_cast<vx::FileManager*>(&*ACCESS_KAGENT)}) {
            f->SetStart(0);
            while (f->TryNext() == 0) ASSERT_EQ(f->Delete(), Benign);
        }
    }
    void fill() {
        add({401, day(2024, 2, 29), "Выдано", "0"});
        add({402, day(2024, 3, 1), "Испорчено", "0"});
        add({403, day(2024, 3, 15), "Выдано", "0"});
        add({404, day(2024, 3, 31), "Образец", "0"});
        add({405, day(2024, 4, 1), "Выдано", "0"});
        add({406, 0, "Выдано", "0"});
        addAnimal(402, 1, "А");
        addAnimal(402, 2, "Б");
        addAnimal(403, 1, "В");
        addAnimal(405, 1, "Г");
        addAnimal(406, 1, "Д");
        ASSERT_EQ(ACCESS_KAGENT->PrimeRecord(), Benign);
        KAG->NAME = w("Иванову");  // the recipient of every certificate here
        ASSERT_EQ(ACCESS_KAGENT->Insert(), Benign);
    }
};

TEST_F(PeriodDeletion, DeletesExactlyThePeriodsCertificatesWithTheirAnimals) {
    struct Case {
        const char* what;
        std::int32_t from, to;
        std::set<long long> left;
        std::multiset<long long> animalsLeft;
    };
    const Case cases[] = {
        {"a month", day(2024, 3, 1), day(2024, 3, 31), {401, 405, 406}, {405, 406}},
        {"one day", day(2024, 3, 15), day(2024, 3, 15), {401, 402, 404, 405, 406}, {402, 402, 405, 406}},
        {"reversed", day(2024, 3, 31), day(2024, 3, 1), {401, 402, 403, 404, 405, 406}, {402, 402, 403, 405, 406}},
        {"blank dates", 0, 0, {401, 402, 403, 404, 405}, {402, 402, 403, 405}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clear();
        fill();
        vexlo::printing::deletePeriod(c.from, c.to);
        EXPECT_EQ(certificates(), c.left);
        EXPECT_EQ(animalOwners(), c.animalsLeft);
        EXPECT_EQ(ACCESS_KAGENT->Records(), 1u);  // the counterparty stays and holds nothing back
        // A second run finds nothing more.
        EXPECT_EQ(vexlo::printing::deletePeriod(c.from, c.to), 0);
        EXPECT_EQ(certificates(), c.left);
    }
}

TEST_F(PeriodDeletion, TheDialogDeletesOnThePressOfItsButtonOnly) {
    D1 = day(2024, 3, 1);
    D2 = day(2024, 3, 10);
    const int t = h.start(PERIOD);
    EXPECT_EQ(h.win().title(), u("За период"));
    EXPECT_EQ(h.value("?D1"), u("01.03.2024"));
    // The end of the period typed; moving the focus onto "Удалить" deletes nothing yet.
    h.fill("?D2", u("31.03.2024"));
    while (h.focus() != h.feq("?OKBUTTON")) h.tab();
    h.idle();
    EXPECT_EQ(certificates().size(), 6u);
    h.click("?OKBUTTON");
    EXPECT_EQ(certificates(), (std::set<long long>{401, 405, 406}));
    EXPECT_EQ(animalOwners(), (std::multiset<long long>{405, 406}));
    EXPECT_TRUE(h.dialogs().empty());  // nothing to answer, nothing reported
    ASSERT_NE(h.window(), nullptr);    // and the dialog stays
    h.click("?CANCELBUTTON");
    EXPECT_TRUE(h.waitEnd(t));
}

// A date the dialog refuses never lets the period it replaced act in its place: the field shows
// that period again once the user is told, and only what the screen shows is deleted.
TEST_F(PeriodDeletion, ARefusedDateShowsThePeriodThatIsDeleted) {
    D1 = 0;
    D2 = 0;
    const int t = h.start(PERIOD);
    h.fill("?D1", u("01.03.2024"));
    h.fill("?D2", u("31.03.2024"));
    // Overtyped with a day that does not exist, then left: told, and the field shows its period.
    h.fill("?D2", u("31.02.2024"));
    ASSERT_EQ(h.dialogs().size(), 1u);
    EXPECT_TRUE(h.dialogs()[0].text.contains(u("«31.02.2024» не подходит для поля «по»"))) << h.dialogs()[0].text.toStdString();
    ASSERT_TRUE(h.answer(vx::eng::btn::Ok));
    EXPECT_EQ(h.focus(), h.feq("?D2"));
    EXPECT_EQ(h.value("?D2"), u("31.03.2024"));
    EXPECT_EQ(certificates().size(), 6u);
    // Overtyped again and "Удалить" pressed at once: the press is void, nothing is deleted.
    h.type("?D2", u("31.02.2024"));
    h.click("?OKBUTTON");
    ASSERT_EQ(h.dialogs().size(), 1u);
    EXPECT_EQ(h.value("?D2"), u("31.03.2024"));
    ASSERT_TRUE(h.answer(vx::eng::btn::Ok));
    EXPECT_EQ(certificates().size(), 6u);
    // Narrowed to what is wanted: only that is deleted.
    h.fill("?D2", u("10.03.2024"));
    h.click("?OKBUTTON");
    EXPECT_TRUE(h.dialogs().empty());
    EXPECT_EQ(certificates(), (std::set<long long>{401, 403, 404, 405, 406}));
    h.click("?CANCELBUTTON");
    EXPECT_TRUE(h.waitEnd(t));
}

// "Удалить" is the dialog's default button: Enter in a date presses it.
TEST_F(PeriodDeletion, EnterInADatePressesTheDefaultButton) {
    D1 = day(2024, 3, 1);
    D2 = day(2024, 3, 10);
    const int t = h.start(PERIOD);
    auto* ok = qobject_cast<QPushButton*>(h.control(h.feq("?OKBUTTON"))->widget.data());
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->isDefault());
    h.type("?D2", u("31.03.2024"));
    h.press(Qt::Key_Return);
    EXPECT_EQ(certificates(), (std::set<long long>{401, 405, 406}));
    ASSERT_NE(h.window(), nullptr);
    h.click("?CANCELBUTTON");
    EXPECT_TRUE(h.waitEnd(t));
}

// Another program holds the certificates' write lock: the first deletion fails and is told, and
// the deletion stops there instead of telling the same failure once per certificate.
TEST_F(PeriodDeletion, AFailureStopsTheDeletionWithOneMessage) {
    vx::store::File other(vexlo::forma1File(), QDir::currentPath().toStdString());
    ASSERT_EQ(other.open(), 0);
    ASSERT_EQ(other.begin(), 0);  // holds the write lock
    D1 = day(2024, 3, 1);
    D2 = day(2024, 3, 31);
    const int t = h.start(PERIOD);
    h.click("?OKBUTTON");
    ASSERT_TRUE(h.waitFor([&] { return !h.dialogs().empty(); }));
    EXPECT_EQ(h.dialogs().size(), 1u);
    const int offered = h.dialogs().front().buttons;
    ASSERT_TRUE(h.answer(offered & -offered));  // its first button
    h.idle();
    EXPECT_TRUE(h.dialogs().empty());  // no second message for the next certificate
    EXPECT_EQ(certificates().size(), 6u);
    other.rollback();
    ASSERT_NE(h.window(), nullptr);
    h.click("?CANCELBUTTON");
    EXPECT_TRUE(h.waitEnd(t));
}

TEST_F(PeriodDeletion, AnEmptyFileIsLeftAlone) {
    clear();
    vexlo::printing::deletePeriod(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
    EXPECT_TRUE(certificates().empty());
    EXPECT_TRUE(animalOwners().empty());
    EXPECT_EQ(vexlo::printing::deletePeriod(0, day(2030, 1, 1)), 0);
}

}  // namespace
