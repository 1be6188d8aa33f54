// The certificate entry window driven headless over real data files in a temporary working
// directory: the requests, the required fields, the date parts, the calendars and the form buffer.

#include "entry_form_fixture.h"

namespace {

using namespace entry_test;

// ------------------------------------------------------------------ requests

TEST_F(EntryForm, InsertOpensPrimedAndSavesThroughTheFile) {
    addLayout({});
    open(vx::Request::Insert);
    Harness& hs = harness();
    EXPECT_TRUE(hs.win().title().endsWith(q("  (New)")));
    EXPECT_EQ(hs.win().statusText(2), q("Добавить запись"));
    EXPECT_EQ(value("?FRM:COMMENT"), q("Выдано"));
    EXPECT_EQ(value("?FRM:F2"), q("ООО Ромашка"));
    EXPECT_EQ(hs.focus(), feq("?FRM:NOMSV"));
    EXPECT_EQ(hs.win().x(), 20);
    EXPECT_EQ(hs.win().y(), 0);

    hs.fill("?FRM:NOMSV", "15");
    hs.fill("?FRM:DATAVV", "15.03.2015");
    hs.type("?FRM:F7", q("Колхоз Луч"));
    hs.click("?OK");
    ASSERT_TRUE(ended());
    EXPECT_EQ(response, vx::Response::Completed);
    auto all = certs();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].NOMSV.toInt(), 15);
    EXPECT_EQ(all[0].F2.str(), w("ООО Ромашка"));
    EXPECT_EQ(all[0].F7.str(), w("Колхоз Луч"));
    EXPECT_EQ(all[0].DAY.toInt(), 15);
    EXPECT_EQ(all[0].MES.str(), w("марта"));
    EXPECT_EQ(all[0].GOD.toInt(), 15);
    // Saving copied the certificate into the form buffer, date parts and DATAV included.
    EXPECT_EQ(F7.str(), w("Колхоз Луч"));
    EXPECT_EQ(MES.str(), w("марта"));
    EXPECT_EQ(static_cast<std::int32_t>(DATAV), vx::date::fromYmd(2015, 3, 15));
}

TEST_F(EntryForm, ChangeShowsTheNumberAndWritesTheRecord) {
    addLayout({});
    addCert(15);
    open(vx::Request::Change, 15);
    Harness& hs = harness();
    EXPECT_EQ(hs.win().title(), q("Ветеринарное свидетельство (Форма №1)  (15)"));
    EXPECT_EQ(hs.win().statusText(2), q("Изменить запись"));
    hs.type("?FRM:F3", q("Иванову И. И."));
    hs.click("?OK");
    ASSERT_TRUE(ended());
    EXPECT_EQ(response, vx::Response::Completed);
    auto all = certs();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].F3.str(), w("Иванову И. И."));
}

TEST_F(EntryForm, ViewIsReadOnlyAndAnswersCancelled) {
    addLayout({});
    addCert(15, [] { FRM->F7 = w("Колхоз"); });
    open(vx::Request::View, 15);
    Harness& hs = harness();
    EXPECT_EQ(hs.win().statusText(2), q("Просмотреть запись"));
    EXPECT_EQ(hs.win().title(), q("Ветеринарное свидетельство (Форма №1)"));
    for (const char* n : {"?FRM:F7", "?FRM:NOMSV", "?FRM:DATAVV", "?KOL_SIM"})
        EXPECT_TRUE(hs.prop(feq(n), Prop::ReadOnly).toBool()) << n;
    EXPECT_TRUE(hs.prop(feq("?FRM:F242"), Prop::ReadOnly).toBool());
    for (const char* n : {"?FRM:COMMENT", "?CALENDAR", "?CALENDAR:7", "?BUTTON12", "?OK:2", "?OK:3", "?BUTTON13"})
        EXPECT_TRUE(hs.prop(feq(n), Prop::Disable).toBool()) << n;
    for (const char* n : {"?SPIN", "?FRM:SPIN1", "?FRM:RSH", "?OK", "?CANCEL"})
        EXPECT_FALSE(hs.prop(feq(n), Prop::Disable).toBool()) << n;
    hs.click("?OK");
    ASSERT_TRUE(ended());
    EXPECT_EQ(response, vx::Response::Cancelled);
    EXPECT_EQ(certs().at(0).F7.str(), w("Колхоз"));
}

TEST_F(EntryForm, DeleteShowsNoWindowAndTakesTheAnimalRows) {
    addLayout({});
    addCert(15);
    addCert(16);
    onThread([] {
        RELATE_ANIM->Open();
        for (int i = 1; i <= 2; ++i) {
            ACCESS_ANIM->PrimeRecord();
            ANI->NFORM = 15;
            ANI->NPP = i;
            ACCESS_ANIM->Insert();
        }
        RELATE_ANIM->Close();
    });
    ASSERT_EQ(animals(), 2);
    open(vx::Request::Delete, 15);
    ASSERT_TRUE(ended());
    EXPECT_EQ(response, vx::Response::Completed);
    auto all = certs();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].NOMSV.toInt(), 16);
    EXPECT_EQ(animals(), 0);
}

TEST_F(EntryForm, RequiredNumberThenDateStopTheSave) {
    addLayout({});
    open(vx::Request::Insert);
    Harness& hs = harness();
    hs.click("?OK");
    EXPECT_TRUE(vx::eng::threadAlive(thread));
    EXPECT_EQ(hs.focus(), feq("?FRM:NOMSV"));
    hs.fill("?FRM:NOMSV", "7");
    hs.click("?OK");
    ASSERT_TRUE(vx::eng::threadAlive(thread)) << response << " " << certs().size();
    EXPECT_EQ(hs.focus(), feq("?FRM:DATAVV"));
    EXPECT_TRUE(certs().empty());
    EXPECT_TRUE(shown.empty());
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
    EXPECT_EQ(response, vx::Response::Cancelled);
    EXPECT_TRUE(certs().empty());
}

// A refused value is never saved in place of the one on the screen: the save is void, the field
// shows again what the certificate holds, and only that is written by the next save.
TEST_F(EntryForm, ARefusedDateNumberOrTextIsNeverSavedInPlaceOfTheShownOne) {
    struct Case {
        const char* field;
        const char* accepted;  // typed and left first
        const char* refused;   // then typed over it, and the save pressed
        const char* name;      // how the message names the field
    };
    const Case cases[] = {
        {"?FRM:DATAVV", "01.04.2025", "31.02.2025", "от"},
        {"?FRM:NOMSV", "61", "6l", "№"},
        {"?FRM:F7", "Колхоз Луч", "Zakład ę 中 ✓", "Указывается наименование организации-отправителя и ее полный адрес"},
        {"?FRM:F171", "01.03.2025", "01.03.202x", "Дата исследования"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        addLayout({});
        open(vx::Request::Insert);
        Harness& hs = harness();
        hs.fill("?FRM:NOMSV", "60");
        hs.fill("?FRM:DATAVV", "01.04.2025");
        hs.fill(c.field, q(c.accepted));
        hs.type(c.field, q(c.refused));
        for (int save = 0; save < 2; ++save) {
            hs.click("?OK");
            ASSERT_EQ(hs.dialogs().size(), 1u);
            const QString said = hs.dialogs()[0].text;
            EXPECT_TRUE(said.contains(q("«") + q(c.refused) + q("» не подходит для поля «") + q(c.name) + q("»")))
                << said.toStdString();
            ASSERT_TRUE(hs.answer(vx::eng::btn::Ok));
            EXPECT_EQ(value(c.field), q(c.accepted));
            EXPECT_EQ(hs.focus(), feq(c.field));
            EXPECT_TRUE(certs().empty());
            if (save == 0) hs.type(c.field, q(c.refused));  // and once more, as a hurried user would
        }
        hs.click("?OK");
        ASSERT_TRUE(ended());
        auto all = certs();
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(all[0].NOMSV.toInt(), std::string(c.field) == "?FRM:NOMSV" ? 61 : 60);
        EXPECT_EQ(std::int32_t(all[0].DATAVV), vx::date::fromYmd(2025, 4, 1));
        EXPECT_EQ(all[0].MES.str(), w("апреля"));
        if (std::string(c.field) == "?FRM:F7") {
            EXPECT_EQ(all[0].F7.str(), w(c.accepted));
        }
        if (std::string(c.field) == "?FRM:F171") {
            EXPECT_EQ(all[0].F171.str(), std::to_string(vx::date::fromYmd(2025, 3, 1)));
        }
        onThread([] {
            RELATE_FORMA1->Open();
            ACCESS_FORMA1->SetStart(FRM_K1);
            while (ACCESS_FORMA1->TryNext() == 0) ACCESS_FORMA1->Delete();
            RELATE_FORMA1->Close();
        });
        h.reset();
    }
}

TEST_F(EntryForm, DuplicateNumberIsReportedAndTheWindowStays) {
    addLayout({});
    addCert(15);
    open(vx::Request::Insert);
    Harness& hs = harness();
    hs.fill("?FRM:NOMSV", "15");
    hs.fill("?FRM:DATAVV", "01.02.2020");
    hs.click("?OK");
    EXPECT_EQ(shown, std::vector<int>{vx::Msg::DuplicateKey});
    EXPECT_TRUE(vx::eng::threadAlive(thread));
    EXPECT_EQ(certs().size(), 1u);
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

// ------------------------------------------------------------------ date parts and calendars

TEST_F(EntryForm, DatePartsFollowTheDateOfIssue) {
    addLayout({});
    struct Case {
        const char* typed;
        int day;
        const char* month;
        int god;
    } cases[] = {{"15.03.2015", 15, "марта", 15}, {"01.12.1999", 1, "декабря", 999}, {"31.01.2000", 31, "января", 0}};
    open(vx::Request::Insert);
    Harness& hs = harness();
    for (const Case& c : cases) {
        hs.fill("?FRM:DATAVV", q(c.typed));
        EXPECT_EQ(var("?FRM:DAY").number().toInt(), c.day) << c.typed;
        EXPECT_EQ(var("?FRM:MES").text(), w(c.month)) << c.typed;
        EXPECT_EQ(var("?FRM:GOD").number().toInt(), c.god) << c.typed;
    }
    // No date: day and year 0, the month name stays.
    hs.type("?FRM:DATAVV", QString());
    hs.press(Qt::Key_Delete);
    hs.tab();
    EXPECT_EQ(var("?FRM:DAY").number().toInt(), 0);
    EXPECT_EQ(var("?FRM:GOD").number().toInt(), 0);
    EXPECT_EQ(var("?FRM:MES").text(), w("января"));
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

TEST_F(EntryForm, MonthNamesAreGenitive) {
    const char* names[] = {"января", "февраля", "марта", "апреля", "мая", "июня",
                           "июля", "августа", "сентября", "октября", "ноября", "декабря"};
    for (int m = 1; m <= 12; ++m) EXPECT_EQ(vexlo::entry::monthName(m), w(names[m - 1]));
    EXPECT_TRUE(vexlo::entry::monthName(0).empty());
}

QDialog* openCalendar(Harness& hs) {
    for (auto& d : hs.dialogs())
        if (auto* dlg = qobject_cast<QDialog*>(d.widget)) return dlg;
    return nullptr;
}

TEST_F(EntryForm, CalendarsSetTheDateOfIssueAndTheTestDates) {
    addLayout({});
    open(vx::Request::Insert);
    Harness& hs = harness();

    hs.click("?CALENDAR");
    QDialog* dlg = openCalendar(hs);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->windowTitle(), q("Дата выдачи"));
    dlg->findChild<QCalendarWidget*>()->setSelectedDate(QDate(2021, 5, 9));
    dlg->accept();
    hs.idle();
    EXPECT_EQ(value("?FRM:DATAVV"), q("09.05.2021"));
    EXPECT_EQ(var("?FRM:MES").text(), w("мая"));
    EXPECT_EQ(var("?FRM:DAY").number().toInt(), 9);

    // A test date: shown as a date, stored as the day number's digits.
    hs.click("?CALENDAR:4");
    dlg = openCalendar(hs);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->windowTitle(), q("Дата исследования"));
    dlg->findChild<QCalendarWidget*>()->setSelectedDate(QDate(2021, 4, 1));
    dlg->accept();
    hs.idle();
    const std::int32_t day = vx::date::fromYmd(2021, 4, 1);
    EXPECT_EQ(var("?FRM:F191").text(), std::to_string(day));
    EXPECT_EQ(value("?FRM:F191"), q("01.04.2021"));

    // The calendar starts at the cell's date; closing its window chooses nothing.
    hs.click("?CALENDAR:4");
    dlg = openCalendar(hs);
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->findChild<QCalendarWidget*>()->selectedDate(), QDate(2021, 4, 1));
    dlg->findChild<QCalendarWidget*>()->setSelectedDate(QDate(2022, 1, 1));
    dlg->close();
    hs.idle();
    EXPECT_EQ(var("?FRM:F191").text(), std::to_string(day));
    hs.click("?CALENDAR");
    dlg = openCalendar(hs);
    ASSERT_NE(dlg, nullptr);
    dlg->reject();
    hs.idle();
    EXPECT_EQ(value("?FRM:DATAVV"), q("09.05.2021"));
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

TEST(CalendarClass, StandardColoursAndFirstDay) {
    Harness hs;
    vx::CalendarClass cal;
    cal.Holidays.insert(vx::date::fromYmd(2021, 1, 7));
    std::unique_ptr<QDialog> dlg(cal.Build(q("Дата"), vx::date::fromYmd(2021, 1, 5)));
    auto* c = dlg->findChild<QCalendarWidget*>();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->selectedDate(), QDate(2021, 1, 5));
    EXPECT_EQ(c->firstDayOfWeek(), Qt::Monday);
    EXPECT_EQ(c->weekdayTextFormat(Qt::Sunday).foreground().color(), QColor(0xFF, 0, 0));
    EXPECT_EQ(c->weekdayTextFormat(Qt::Saturday).foreground().color(), QColor(0xFF, 0, 0));
    EXPECT_EQ(c->weekdayTextFormat(Qt::Monday).foreground().color(), QColor(0, 0, 0));
    EXPECT_EQ(c->dateTextFormat(QDate(2021, 1, 7)).foreground().color(), QColor(0, 0x80, 0));
    EXPECT_EQ(vx::CalendarClass::DateOf(dlg.get()), vx::date::fromYmd(2021, 1, 5));
    // Outside a logical thread nothing can wait for the user: no choice.
    EXPECT_EQ(cal.Ask(q("Дата"), 0), 2);
}

TEST_F(EntryForm, FirstSpeciesFillsAnEmptyDescriptionAndBlankHidesThePictures) {
    addLayout({});
    BLANK = 0;
    open(vx::Request::Insert);
    Harness& hs = harness();
    // Neither picture of the blank is drawn any more.
    for (const char* n : {"?IMAGE1", "?IMAGE2"}) {
        EXPECT_TRUE(hs.prop(feq(n), Prop::Text).toString().isEmpty()) << n;
        EXPECT_TRUE(onePlainColour(hs.control(feq(n))->widget)) << n;
    }
    hs.fill("?FRM:F4", q("  коровы"));
    EXPECT_EQ(var("?FRM:OPIS").text(), w("коровы"));
    hs.fill("?FRM:F4", q("овцы"));
    EXPECT_EQ(var("?FRM:OPIS").text(), w("коровы"));
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

// ------------------------------------------------------------------ form buffer

TEST_F(EntryForm, FormBufferRoundTripCutsToTheBufferWidths) {
    addLayout({});
    const std::string long120(120, 'x');
    const std::string f1(27, 'a');
    addCert(15, [&] {
        FRM->Z1 = w("Новгородская область");
        FRM->Z2 = w("Боровичский район");
        FRM->F1 = f1;
        FRM->F3 = w("Петрову");
        FRM->F42 = long120;
        FRM->F232 = w("августа");
        FRM->F351 = w("мая");
        FRM->F50 = w("Сидоров С. С.");
        FRM->DAY = 15;
        FRM->MES = w("марта");
        FRM->GOD = 15;
    });
    open(vx::Request::Change, 15);
    Harness& hs = harness();
    hs.click("?OK:2");
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
    EXPECT_EQ(F42.str(), std::string(20, 'x'));
    EXPECT_EQ(F1.str(), std::string(20, 'a'));
    EXPECT_EQ(F2.str(), w("ООО Ромашка"));
    EXPECT_EQ(static_cast<std::int32_t>(DATAV), vx::date::fromYmd(2015, 3, 15));

    // A new certificate for another counterparty takes everything back but F2 and the date.
    open(vx::Request::Insert, 0, [] { FRM->F2 = w("ИП Кузнецов"); });
    hs.click("?OK:3");
    EXPECT_EQ(var("?FRM:F42").text(), std::string(20, 'x'));
    EXPECT_EQ(var("?FRM:F1").text(), std::string(20, 'a'));
    EXPECT_EQ(var("?FRM:F3").text(), w("Петрову"));
    EXPECT_EQ(var("?FRM:F232").text(), w("августа"));
    EXPECT_EQ(var("?FRM:F351").text(), w("мая"));
    EXPECT_EQ(var("?FRM:F50").text(), w("Сидоров С. С."));
    EXPECT_EQ(var("?FRM:Z1").text(), w("Новгородская область"));
    EXPECT_EQ(var("?FRM:MES").text(), w("марта"));
    EXPECT_EQ(var("?FRM:DAY").number().toInt(), 15);
    EXPECT_EQ(var("?FRM:F2").text(), w("ИП Кузнецов"));
    EXPECT_EQ(var("?FRM:DATAVV").number().toInt(), 0);
    EXPECT_EQ(value("?FRM:F42"), QString(20, QLatin1Char('x')));
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

TEST_F(EntryForm, ClosingCopiesTheLinesButNotTheDateParts) {
    addLayout({});
    MES = w("июня");
    DAY = 3;
    open(vx::Request::Insert);
    Harness& hs = harness();
    hs.fill("?FRM:DATAVV", "15.03.2015");
    hs.type("?FRM:F16", q("Областная лаборатория"));
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
    EXPECT_EQ(response, vx::Response::Cancelled);
    EXPECT_EQ(F16.str(), w("Областная лаборатория"));
    EXPECT_EQ(F2.str(), w("ООО Ромашка"));
    EXPECT_EQ(MES.str(), w("июня"));
    EXPECT_EQ(DAY.toInt(), 3);
    EXPECT_TRUE(certs().empty());
}

TEST_F(EntryForm, BlankHeaderLinesAndPriceTakeTheDefaults) {
    addLayout({});
    addCert(15, [] {
        FRM->Z1 = "   ";
        FRM->Z3 = w("Своя станция");
    });
    Z1 = w("Буферная область");
    Z3 = w("Буферная станция");
    Z4 = w("Буферная строка");
    CENA = dec("350.50");
    open(vx::Request::Change, 15);
    EXPECT_EQ(var("?FRM:Z1").text(), w("Буферная область"));
    EXPECT_EQ(var("?FRM:Z3").text(), w("Своя станция"));
    EXPECT_EQ(var("?FRM:Z4").text(), w("Буферная строка"));
    EXPECT_EQ(var("?FRM:CENA").number(), dec("350.50"));
    harness().click("?CANCEL");
    ASSERT_TRUE(ended());
}

}  // namespace
