// The certificate entry window driven headless over real data files in a temporary working
// directory: the requests, the required fields, the date parts, the form buffer, the fonts of
// the print layout and the group sizes, the characters-left counter, the calendars, the history
// key, the general size spin and the operative offset folded into the print layouts.

#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QDate>
#include <QDialog>
#include <QImage>
#include <QWidget>
#include <QTextCharFormat>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "framework/classlib/calendar.h"
#include "framework/classlib/windowmanager.h"
#include "framework/engine/harness.h"
#include "framework/engine/threads.h"
#include "framework/engine/vars.h"
#include "framework/types/codepage.h"
#include "framework/types/date.h"
#include "register/updateforma_1_parts.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/runtime.h"

namespace {

namespace fs = std::filesystem;
using vx::Decimal;
using vx::eng::Prop;
using vx::eng::test::Harness;

std::string w(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }
QString q(const char* utf8) { return QString::fromUtf8(utf8); }
Decimal dec(const char* s) { return *Decimal::parse(s); }
// True when the widget shows nothing but one colour (no picture).
bool onePlainColour(QWidget* w) {
    const QImage img = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != img.pixel(0, 0)) return false;
    return true;
}

// A print layout as the tests store it.
struct Layout {
    int nform = 1;
    const char* face = "Times New Roman CYR";
    int size = 9, color = 0x112233, style = 700 + 0x1000;
    const char* axz1 = "10.0";
    const char* ayz1 = "20.0";
    const char* axf251 = "12.34";
};

class EntryForm : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static bool once = [] {
            static Harness starter;  // the QApplication and the engine
            vexlo::processStart(0);
            return true;
        }();
        (void)once;
    }

    void SetUp() override {
        char tmpl[] = "/tmp/vx_entry_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        old = fs::current_path();
        fs::current_path(dir);
        setenv("VEXLO_INI_DIR", dir.c_str(), 1);
        INIMGR.Init(QStringLiteral("vexlo.INI"));
        vexlo::initGlobals();
        bindTheProgramsVariables();
        GLOBALERRORS.SetDisplay([this](const vx::ShownMessage& m) {
            shown.push_back(m.id);
            return true;
        });
        GLOBALERRORS.SetEndProgram([](const vx::ShownMessage&) {});
    }
    // The layout tests of this program bind the record names to buffers of their own; the
    // window must see the running thread's record buffers, as the program binds them.
    static void bindTheProgramsVariables() {
        namespace vars = vx::eng::vars;
        for (const vexlo::GlobalVar& g : vexlo::globals()) vars::add(g.name, g.ref);
        vars::addRecord(KAGENT_DESC, [] { return static_cast<void*>(static_cast<KAG_RECORD*>(&*KAG)); }, true);
        vars::addRecord(FORMA1_DESC, [] { return static_cast<void*>(static_cast<FRM_RECORD*>(&*FRM)); }, true);
        vars::addRecord(ANIM_DESC, [] { return static_cast<void*>(static_cast<ANI_RECORD*>(&*ANI)); });
        vars::addRecord(LAST_DESC, [] { return static_cast<void*>(static_cast<LAS_RECORD*>(&*LAS)); }, true);
    }
    void TearDown() override {
        h.reset();
        fs::current_path(old);
        fs::remove_all(dir);
    }

    Harness& harness() {
        if (!h) h = std::make_unique<Harness>();
        return *h;
    }
    // Runs fn on a logical thread of its own, to its end.
    void onThread(const std::function<void()>& fn) {
        Harness& hs = harness();
        const int previous = hs.target();
        const int t = hs.start([fn] { fn(); });
        ASSERT_TRUE(hs.waitEnd(t));
        hs.target(previous);
    }

    void addLayout(const Layout& l) {
        onThread([l] {
            RELATE_LAST->Open();
            ASSERT_EQ(ACCESS_LAST->PrimeRecord(), 0);
            LAS->NFORM = l.nform;
            LAS->TYPEFACE = w(l.face);
            LAS->FONTSIZE = l.size;
            LAS->FONTCOLOR = l.color;
            LAS->FONTSTYLE = l.style;
            LAS->AXZ1 = dec(l.axz1);
            LAS->AYZ1 = dec(l.ayz1);
            LAS->AXF251 = dec(l.axf251);
            ASSERT_EQ(ACCESS_LAST->Insert(), 0);
            RELATE_LAST->Close();
        });
    }
    void setLayoutSize(int size) {
        onThread([size] {
            RELATE_LAST->Open();
            ACCESS_LAST->SetStart(LAS_K1);
            ASSERT_EQ(ACCESS_LAST->TryNext(), 0);
            LAS->FONTSIZE = size;
            ASSERT_EQ(ACCESS_LAST->Update(), 0);
            RELATE_LAST->Close();
        });
    }
    std::vector<LAS_RECORD> layouts() {
        std::vector<LAS_RECORD> r;
        onThread([&r] {
            RELATE_LAST->Open();
            ACCESS_LAST->SetStart(LAS_K1);
            while (ACCESS_LAST->TryNext() == 0) r.push_back(*LAS);
            RELATE_LAST->Close();
        });
        return r;
    }
    // A stored certificate; prime fills the fields beyond the defaults.
    void addCert(int no, const std::function<void()>& prime = {}) {
        onThread([no, prime] {
            RELATE_FORMA1->Open();
            ASSERT_EQ(ACCESS_FORMA1->PrimeRecord(), 0);
            FRM->NOMSV = no;
            FRM->F2 = w("ООО Ромашка");
            FRM->DATAVV = vx::date::fromYmd(2015, 3, 15);
            if (prime) prime();
            ASSERT_EQ(ACCESS_FORMA1->Insert(), 0);
            RELATE_FORMA1->Close();
        });
    }
    std::vector<FRM_RECORD> certs() {
        std::vector<FRM_RECORD> r;
        onThread([&r] {
            RELATE_FORMA1->Open();
            ACCESS_FORMA1->SetStart(FRM_K1);
            while (ACCESS_FORMA1->TryNext() == 0) r.push_back(*FRM);
            RELATE_FORMA1->Close();
        });
        return r;
    }
    int animals() {
        int n = 0;
        onThread([&n] {
            RELATE_ANIM->Open();
            ACCESS_ANIM->SetStart(ANI_K1);
            while (ACCESS_ANIM->TryNext() == 0) ++n;
            RELATE_ANIM->Close();
        });
        return n;
    }

    // Opens the entry window the way the register's dispatcher does: the thread's certificate
    // buffer prepared (a new one primed, or the stored one read), then the request.
    int open(int request, int no = 0, const std::function<void()>& prime = {}) {
        Harness& hs = harness();
        response = -1;
        thread = hs.start([this, request, no, prime] {
            // The register keeps the file open, positioned on the chosen certificate.
            RELATE_FORMA1->Open();
            if (request == vx::Request::Insert) {
                ACCESS_FORMA1->PrimeRecord();
                FRM->F2 = w("ООО Ромашка");
            } else {
                FRM->NOMSV = no;
                ACCESS_FORMA1->Fetch(FRM_K1);
            }
            if (prime) prime();
            vx::eng::GLOBALREQUEST = static_cast<std::uint8_t>(request);
            UPDATEFORMA_1();
            response = vx::eng::GLOBALRESPONSE;
            RELATE_FORMA1->Close();
        });
        return thread;
    }
    bool ended() { return harness().waitEnd(thread); }
    int feq(const char* name) { return harness().feq(name); }
    vx::VarRef var(const char* name) { return harness().control(feq(name))->var; }
    QString value(const char* name) { return harness().value(name); }
    int fontSize(int f) { return harness().prop(f, Prop::FontSize).toInt(); }

    std::unique_ptr<Harness> h;
    std::string dir;
    fs::path old;
    std::vector<int> shown;
    int thread = 0;
    int response = -1;
};

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

// ------------------------------------------------------------------ fonts and group sizes

TEST_F(EntryForm, LayoutFontWithOneGeneralSize) {
    addLayout({});
    open(vx::Request::Insert);
    Harness& hs = harness();
    EXPECT_EQ(SPIN.toInt(), 9);
    EXPECT_EQ(hs.prop(feq("?GROUP3"), Prop::Text).toString(),
              q("[Цвет и шрифт печати формы] [Times New Roman CYR Размер: 9]"));
    int count = 0;
    for (int f : hs.win().controls()) {
        const std::string use = hs.control(f)->desc->use;
        if (use.rfind("FRM:", 0) != 0 || vexlo::entry::fontGroup(use.substr(4)) < 0) continue;
        ++count;
        EXPECT_EQ(fontSize(f), 9) << use;
        EXPECT_EQ(hs.prop(f, Prop::FontName).toString(), q("Times New Roman CYR")) << use;
        EXPECT_EQ(hs.prop(f, Prop::FontColor).toInt(), 0x112233) << use;
        EXPECT_EQ(hs.prop(f, Prop::FontStyle).toInt(), 700 + 0x1000) << use;
    }
    EXPECT_EQ(count, 104);
    // Everything else keeps its own font.
    EXPECT_EQ(fontSize(feq("?FRM:NOMSV")), 10);
    EXPECT_EQ(hs.prop(feq("?FRM:NOMSV"), Prop::FontName).toString(), q("Arial CYR"));
    for (int f : {110, 105, 201, 114}) EXPECT_TRUE(hs.prop(f, Prop::Hide).toBool()) << f;
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

TEST_F(EntryForm, GroupSizesOnAndOff) {
    addLayout({});
    // Group g at size 4 + g % 7; the lines outside the groups at the general size 9.
    addCert(15, [] {
        FRM->RSH = 1;
        vx::DEC<2, 0>* s[] = {&FRM->SPIN1, &FRM->SPIN2, &FRM->SPIN3, &FRM->SPIN4, &FRM->SPIN5,
                              &FRM->SPIN6, &FRM->SPIN7, &FRM->SPIN8, &FRM->SPIN9, &FRM->SPIN10,
                              &FRM->SPIN11, &FRM->SPIN12, &FRM->SPIN13, &FRM->SPIN14, &FRM->SPIN15};
        for (int g = 1; g <= 15; ++g) *s[g - 1] = 4 + g % 7;
    });
    open(vx::Request::Change, 15);
    Harness& hs = harness();
    for (int g = 0; g <= 15; ++g)
        for (const std::string& name : vexlo::entry::groupFields(g)) {
            const int f = feq(("?FRM:" + name).c_str());
            EXPECT_EQ(fontSize(f), g == 0 ? 9 : 4 + g % 7) << name;
        }
    for (int f : {110, 105, 102, 24, 37, 49, 58, 130, 156, 171, 181, 186, 188, 195, 201, 114})
        EXPECT_FALSE(hs.prop(f, Prop::Hide).toBool()) << f;

    // A group spin resizes its own lines only.
    hs.step(feq("?FRM:SPIN3"), 1);
    EXPECT_EQ(fontSize(feq("?FRM:F7")), 4 + 3 % 7 + 1);
    EXPECT_EQ(fontSize(feq("?FRM:F4")), 4 + 2 % 7);

    // Unticking hides the spins; the lines keep their sizes until the general size sees an event.
    hs.click("?FRM:RSH");
    EXPECT_EQ(var("?FRM:RSH").number().toInt(), 0);
    for (int f : {110, 201, 114}) EXPECT_TRUE(hs.prop(f, Prop::Hide).toBool()) << f;
    EXPECT_EQ(fontSize(feq("?FRM:F7")), 8);
    hs.select("?SPIN");
    for (const char* n : {"?FRM:F7", "?FRM:F46", "?FRM:DAY", "?FRM:NOMSV", "?FRM:CENA", "?FRM:F50"})
        EXPECT_EQ(fontSize(feq(n)), 9) << n;
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

TEST_F(EntryForm, Button12ActsOnlyWhenPressed) {
    addLayout({});
    addCert(15, [] {
        FRM->RSH = 1;
        FRM->SPIN1 = 10;
    });
    open(vx::Request::Change, 15);
    Harness& hs = harness();
    hs.win().select(feq("?BUTTON12"));
    hs.idle();
    EXPECT_EQ(var("?FRM:SPIN15").number().toInt(), 8);
    hs.click("?BUTTON12");
    for (const char* n : {"?FRM:SPIN2", "?FRM:SPIN9", "?FRM:SPIN15"}) EXPECT_EQ(var(n).number().toInt(), 10) << n;
    EXPECT_EQ(fontSize(feq("?FRM:F46")), 8);  // the lines follow at their spin's next event
    hs.click("?OK");
    ASSERT_TRUE(ended());
    EXPECT_EQ(certs().at(0).SPIN15.toInt(), 10);
}

TEST_F(EntryForm, GeneralSizeIsStoredOnlyIntoALayoutThatWasRead) {
    addLayout({});
    open(vx::Request::Insert);
    Harness& hs = harness();
    hs.step(feq("?SPIN"), -2);
    EXPECT_EQ(layouts().at(0).FONTSIZE, 7);
    EXPECT_EQ(hs.prop(feq("?GROUP3"), Prop::Text).toString(),
              q("[Цвет и шрифт печати формы] [Times New Roman CYR Размер: 7]"));
    EXPECT_EQ(fontSize(feq("?FRM:F12")), 7);
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

TEST_F(EntryForm, WithoutALayoutTheWindowFontStandsIn) {
    open(vx::Request::Insert);
    Harness& hs = harness();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(SPIN.toInt(), 8);
    for (const char* n : {"?FRM:F1", "?FRM:F46", "?FRM:Z1"}) {
        EXPECT_EQ(fontSize(feq(n)), 8) << n;
        EXPECT_EQ(hs.prop(feq(n), Prop::FontName).toString(), q("Arial CYR")) << n;
    }
    hs.step(feq("?SPIN"), 1);
    EXPECT_EQ(fontSize(feq("?FRM:F1")), 9);
    EXPECT_TRUE(layouts().empty());
    EXPECT_TRUE(shown.empty());
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

// ------------------------------------------------------------------ characters-left counter

TEST_F(EntryForm, CounterAtTheSizesSixToEleven) {
    addLayout({});
    struct Case {
        int size;
        int f1, f23, f2;  // capacities; -1 none
    } cases[] = {{6, 27, 65, 120}, {7, 27, 65, 120}, {8, 19, 47, 85},
                 {9, 19, 47, 85},  {10, 17, 46, 84}, {11, -1, 46, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        setLayoutSize(c.size);
        open(vx::Request::Insert, 0, [] {
            FRM->F1 = "abcde";
            FRM->F23 = "  x";
            FRM->F2 = std::string(100, 'n');
        });
        Harness& hs = harness();
        struct Line {
            const char* name;
            int cap, length;
        } lines[] = {{"?FRM:F1", c.f1, 5}, {"?FRM:F23", c.f23, 3}, {"?FRM:F2", c.f2, 100}};
        for (const Line& line : lines) {
            VS_SIM = 777;
            KOL_SIM = -55;
            hs.select(line.name);
            if (line.cap < 0) {
                EXPECT_EQ(VS_SIM.toInt(), 777) << line.name;
                EXPECT_EQ(KOL_SIM.toInt(), -55) << line.name;
            } else {
                EXPECT_EQ(VS_SIM.toInt(), line.cap) << line.name;
                EXPECT_EQ(KOL_SIM.toInt(), line.cap - line.length) << line.name;
            }
        }
        hs.click("?CANCEL");
        ASSERT_TRUE(ended());
    }
}

TEST_F(EntryForm, CounterFollowsTheKeys) {
    addLayout({});
    setLayoutSize(8);
    open(vx::Request::Insert);
    Harness& hs = harness();
    hs.select("?FRM:F1");
    EXPECT_EQ(VS_SIM.toInt(), 19);
    EXPECT_EQ(KOL_SIM.toInt(), 19);
    hs.keys("abcde");
    EXPECT_EQ(KOL_SIM.toInt(), 14);
    EXPECT_EQ(value("?KOL_SIM"), q("14"));
    EXPECT_EQ(value("?VS_SIM:2"), q("19"));
    hs.press(Qt::Key_Left);
    EXPECT_EQ(KOL_SIM.toInt(), 14);
    hs.press(Qt::Key_Backspace);
    EXPECT_EQ(KOL_SIM.toInt(), 15);
    // A test date: 17 minus its length on selection, the declared width after a key (a click
    // into the line is one too, so the focus is moved there by the program).
    hs.win().select(feq("?FRM:F171"));
    hs.idle();
    EXPECT_EQ(KOL_SIM.toInt(), 17);
    EXPECT_EQ(VS_SIM.toInt(), 19);
    hs.keys("1");
    EXPECT_EQ(VS_SIM.toInt(), 27);
    hs.press(Qt::Key_Backspace);  // a lone "1" is no date: leaving the field with it is refused
    // The issuer's lines: 39 minus the length.
    hs.type("?FRM:F50", QString(39, QLatin1Char('z')));
    hs.win().select(feq("?FRM:F49"));
    hs.win().select(feq("?FRM:F50"));
    hs.idle();
    EXPECT_EQ(KOL_SIM.toInt(), 0);
    EXPECT_EQ(value("?KOL_SIM:2"), QString());
    // An uncounted control leaves the numbers.
    hs.select("?FRM:OPIS");
    EXPECT_EQ(KOL_SIM.toInt(), 0);
    EXPECT_EQ(VS_SIM.toInt(), 39);
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

// ------------------------------------------------------------------ history key

TEST_F(EntryForm, HistoryKeyRestoresTheFieldOfTheLastWrittenCertificate) {
    addLayout({});
    Harness& hs = harness();
    response = -1;
    thread = hs.start([this] {
        for (int i = 0; i < 2; ++i) {
            RELATE_FORMA1->Open();
            ACCESS_FORMA1->PrimeRecord();
            RELATE_FORMA1->Close();
            vx::eng::GLOBALREQUEST = vx::Request::Insert;
            UPDATEFORMA_1();
            response = vx::eng::GLOBALRESPONSE;
        }
    });
    hs.fill("?FRM:NOMSV", "21");
    hs.fill("?FRM:DATAVV", "01.02.2020");
    hs.type("?FRM:F7", q("Колхоз Заря"));
    hs.type("?FRM:F8", q("Тверская область"));
    hs.click("?OK");
    ASSERT_TRUE(hs.waitFor([&] { return response == vx::Response::Completed; }));
    // The second window of the same thread.
    hs.type("?FRM:F7", q("другое"));
    hs.press(Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(value("?FRM:F7"), q("Колхоз Заря"));
    EXPECT_EQ(value("?FRM:F8"), QString());
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

// ------------------------------------------------------------------ operative offset

TEST_F(EntryForm, FoldShiftsEveryLayoutAndClearsTheOffset) {
    addLayout({1});
    Layout second;
    second.nform = 2;
    second.axz1 = "100.5";
    addLayout(second);
    open(vx::Request::Insert);
    Harness& hs = harness();
    AX = dec("1.5");
    AY = dec("-2.0");
    hs.win().display();
    hs.click("?BUTTON13");
    EXPECT_TRUE(AX.get().isZero());
    EXPECT_TRUE(AY.get().isZero());
    EXPECT_EQ(value("?AX"), q("0.0"));
    EXPECT_TRUE(shown.empty());
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
    auto all = layouts();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].AXZ1.get(), dec("11.5"));
    EXPECT_EQ(all[0].AYZ1.get(), dec("18.0"));
    EXPECT_EQ(all[0].AZF1.get(), dec("1.5"));
    EXPECT_EQ(all[0].AYF50.get(), dec("-2.0"));
    EXPECT_EQ(all[0].AXF251.get(), dec("13.84"));
    EXPECT_EQ(all[1].AXZ1.get(), dec("102.0"));
    EXPECT_EQ(all[1].AXF251.get(), dec("13.84"));
}

TEST_F(EntryForm, FoldThatCannotBeStoredKeepsTheOffset) {
    addLayout({1});
    Layout huge;
    huge.nform = 2;
    huge.axz1 = "999999.0";
    addLayout(huge);
    open(vx::Request::Insert);
    Harness& hs = harness();
    AX = dec("5.0");
    hs.click("?BUTTON13");
    EXPECT_EQ(AX.get(), dec("5.0"));
    EXPECT_EQ(shown, std::vector<int>{vx::FileMsg::WriteFailed});
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
    auto all = layouts();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].AXZ1.get(), dec("10.0"));  // nothing was written
    EXPECT_EQ(all[1].AXZ1.get(), dec("999999.0"));
}

TEST_F(EntryForm, TabNeverReachesTheFoldOrTheSizeCopy) {
    addLayout({});
    addCert(15, [] {
        FRM->RSH = 1;
        FRM->SPIN1 = 10;
    });
    open(vx::Request::Change, 15);
    Harness& hs = harness();
    AX = dec("1.0");
    const auto order = hs.win().tabOrder();
    EXPECT_EQ(std::count(order.begin(), order.end(), 225), 0);
    EXPECT_EQ(std::count(order.begin(), order.end(), 114), 0);
    // From the date-of-issue calendar button and from the issuer's name, then a full round.
    for (const char* from : {"?CALENDAR", "?FRM:F50"}) {
        hs.win().select(feq(from));
        hs.idle();
        ASSERT_EQ(hs.focus(), feq(from));
        ASSERT_EQ(AX.get(), dec("1.0")) << from;
        hs.tab();
        EXPECT_NE(hs.focus(), 225) << from;
        EXPECT_NE(hs.focus(), 114) << from;
    }
    for (std::size_t i = 0; i < order.size() + 2; ++i) {
        hs.tab();
        ASSERT_NE(hs.focus(), 225);
        ASSERT_NE(hs.focus(), 114);
    }
    // Turning the page while a line has the focus moves the focus without the mouse.
    hs.select("?FRM:F3");
    hs.tabTo(feq("?CURRENTTAB"), 2);
    hs.tabTo(feq("?CURRENTTAB"), 1);
    hs.select("?FRM:F50");
    EXPECT_EQ(AX.get(), dec("1.0"));
    EXPECT_EQ(var("?FRM:SPIN15").number().toInt(), 8);
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
    EXPECT_EQ(layouts().at(0).AXZ1.get(), dec("10.0"));
}

}  // namespace
