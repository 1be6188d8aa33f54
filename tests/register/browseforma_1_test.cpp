// The register driven headless over real data files in a temporary working directory.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDialog>
#include <QLineEdit>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "framework/engine/harness.h"
#include "framework/types/codepage.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/runtime.h"

namespace {

namespace fs = std::filesystem;
using vx::eng::Prop;

std::string w(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }

struct Cert {
    int nomsv;
    const char* f2;
    int date;
    int rsh;
    const char* opis;
};

class Register : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vx_brw_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        old = fs::current_path();
        fs::current_path(dir);
        setenv("VEXLO_INI_DIR", dir.c_str(), 1);
        h = std::make_unique<vx::eng::test::Harness>();
        vexlo::processStart(0);
        vexlo::initGlobals();
        INIMGR.Init(QStringLiteral("vexlo.INI"));
        FUZZYMATCHER.Init();
    }
    void TearDown() override {
        h.reset();
        fs::current_path(old);
        fs::remove_all(dir);
    }
    // Writes the data files on a thread of their own.
    void data(std::vector<const char*> agents, std::vector<Cert> certs, std::vector<std::pair<int, const char*>> animals = {}) {
        int t = h->start([=] {
            RELATE_ANIM->SetOpenRelated();
            RELATE_ANIM->Open();
            for (const char* a : agents) {
                ACCESS_KAGENT->PrimeRecord();
                KAG->NAME = w(a);
                ACCESS_KAGENT->Insert();
            }
            for (const Cert& c : certs) {
                ACCESS_FORMA1->PrimeRecord();
                FRM->NOMSV = c.nomsv;
                FRM->F2 = w(c.f2);
                FRM->DATAVV = c.date;
                FRM->RSH = static_cast<std::uint8_t>(c.rsh);
                FRM->OPIS = w(c.opis);
                ACCESS_FORMA1->Insert();
            }
            for (auto& [n, name] : animals) {
                ACCESS_ANIM->PrimeRecord();
                ANI->NFORM = n;
                ANI->KICHKA = w(name);
                ANI->INVENT = w(name);
                ACCESS_ANIM->Insert();
            }
            RELATE_ANIM->Close();
        });
        ASSERT_TRUE(h->waitEnd(t));
    }
    int open() {
        int t = h->start(BROWSEFORMA_1);
        h->idle();
        return t;
    }
    vx::eng::Control* c(int feq) { return h->control(feq); }
    int rows(int list) { return h->prop(list, Prop::Items).toInt(); }
    std::string cell(int list, int row, int field) {
        auto* src = c(list)->source;
        vx::VarRef v = src->field(row - 1, field);
        return v.valid() ? v.text() : std::string("?");
    }
    std::vector<int> numbers() {
        std::vector<int> out;
        for (int r = 1; r <= rows(10); ++r) out.push_back(std::stoi(cell(10, r, 1)));
        return out;
    }

    std::string dir;
    fs::path old;
    std::unique_ptr<vx::eng::test::Harness> h;
};

TEST_F(Register, TabsOrdersAndHandOverFollowTheHighlight) {
    data({"Бета", "Альфа"}, {{5, "Альфа", 80000, 0, "a"}, {3, "Бета", 80001, 1, "b"}, {7, "Альфа", 0, 0, "c"}, {0, "Бета", 0, 0, "d"}},
         {{5, "Мурка"}, {5, "Зорька"}, {7, "Бурёнка"}});
    open();
    // Tab 1: the certificates of the first counterparty (Альфа) in key order.
    EXPECT_EQ(rows(2), 2);
    EXPECT_EQ(numbers(), (std::vector<int>{5, 7}));
    EXPECT_EQ(rows(29), 2);
    EXPECT_FALSE(h->prop(39, Prop::Disable).toBool());
    // Cell colours: a number 0 or a date 0 has none of its own; style by RSH.
    EXPECT_EQ(cell(10, 1, 3), "15400941");  // 0xEAFFED
    EXPECT_EQ(cell(10, 1, 6), "2");
    EXPECT_EQ(cell(10, 2, 8), "-1");        // date 0: no background
    // Moving with the keys hands over the row moved to.
    h->select(10);
    h->press(Qt::Key_Down);
    EXPECT_EQ(NFORM.get().toInt(), 7);
    EXPECT_EQ(rows(29), 1);
    // Tab 2: every certificate with a counterparty, by name; tab 3 by number.
    h->tabTo(11, 2);
    EXPECT_EQ(numbers(), (std::vector<int>{5, 7, 3, 0}));
    EXPECT_TRUE(h->prop(17, Prop::Hide).toBool());
    h->tabTo(11, 3);
    EXPECT_EQ(numbers(), (std::vector<int>{3, 5, 7}));
    EXPECT_EQ(h->prop(15, Prop::Background).toInt(), 0xFFF4F4);
    EXPECT_EQ(h->prop(12, Prop::Background).toInt(), 0xFFFFFF);
    EXPECT_EQ(cell(10, 1, 6), "1");  // RSH 1: style 1
    // The mouse: the clicked row is handed over, not the previous one.
    h->chooseRow(10, 3);
    EXPECT_EQ(NFORM.get().toInt(), 7);
    h->chooseRow(10, 1);
    EXPECT_EQ(NFORM.get().toInt(), 3);
    EXPECT_EQ(std::string(P3.view()), "");
    EXPECT_GT(KOL_FORM.get().toInt(), 0);
    h->win().close();
}

TEST_F(Register, EmptyCounterpartiesLeaveTabOneEmptyAndAnimalInsertOff) {
    data({}, {{1, "Кто-то", 80000, 0, ""}, {2, "Кто-то", 80000, 0, ""}});
    open();
    EXPECT_EQ(rows(2), 0);
    EXPECT_EQ(rows(10), 0);
    EXPECT_TRUE(h->prop(39, Prop::Disable).toBool());
    h->tabTo(11, 3);
    EXPECT_EQ(numbers(), (std::vector<int>{1, 2}));
    EXPECT_FALSE(h->prop(39, Prop::Disable).toBool());
    h->win().close();
}

TEST_F(Register, FuzzyOrderHoldsAcrossTabsUntilCleared) {
    data({"А"}, {{1, "А", 0, 0, "корова"}, {2, "А", 0, 0, "лошадь"}, {3, "А", 0, 0, "коза"}});
    open();
    h->tabTo(11, 3);
    h->click(22);  // blank text: order 3 stays
    EXPECT_EQ(numbers(), (std::vector<int>{1, 2, 3}));
    h->type(21, QStringLiteral("лошадь"));
    h->click(22);
    ASSERT_EQ(rows(10), 3);
    EXPECT_EQ(numbers().front(), 2);
    EXPECT_EQ(FUZZYMATCHED.get(), 1);
    h->tabTo(11, 2);
    EXPECT_EQ(numbers().front(), 2);
    h->click(23);
    EXPECT_EQ(FUZZYMATCHED.get(), 0);
    EXPECT_EQ(numbers(), (std::vector<int>{1, 2, 3}));
    h->win().close();
}

TEST_F(Register, SpinSetsLineHeightAndFontOfAllLists) {
    data({"А"}, {{1, "А", 0, 0, ""}});
    open();
    h->win().change(7, "12");
    h->win().post(vx::eng::ev::Accepted, 7);
    h->idle();
    for (int list : {2, 10, 29}) {
        EXPECT_EQ(h->prop(list, Prop::LineHeight).toInt(), 15);
        EXPECT_EQ(h->prop(list, Prop::FontSize).toInt(), 12);
    }
    h->win().close();
}

TEST_F(Register, QueryFiltersEveryOrder) {
    data({"Иванов", "Петров"}, {{1, "Иванов", 0, 0, ""}, {2, "Петров", 0, 0, ""}, {3, "Иванов", 0, 0, ""}});
    int t = open();
    h->click(16);
    auto dialogs = h->dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    auto* value = dialogs[0].widget->findChild<QLineEdit*>(QStringLiteral("value4"));
    ASSERT_NE(value, nullptr);
    value->setText(QStringLiteral("иванов"));
    dialogs[0].answer(QDialog::Accepted);
    h->idle();
    EXPECT_EQ(numbers(), (std::vector<int>{1, 3}));
    h->tabTo(11, 2);
    EXPECT_EQ(numbers(), (std::vector<int>{1, 3}));
    h->tabTo(11, 3);
    EXPECT_EQ(numbers(), (std::vector<int>{1, 3}));
    h->type(21, QStringLiteral("3"));
    h->click(22);
    EXPECT_EQ(numbers().size(), 2u);
    h->click(24);  // the query report takes the filter (into ZAPROS) and blanks the hand-over
    h->idle();
    EXPECT_NE(std::string(ZAPROS.view()).find("UPPER(FRM:f2) = "), std::string::npos);
    EXPECT_EQ(std::string(GLO_REPORTQUERYRESULT.view()).find_first_not_of(' '), std::string::npos);
    h->target(t);
    h->win().close();
}

TEST_F(Register, LocatorMovesTheCounterpartyList) {
    std::vector<const char*> names = {"Аа", "Бб", "Вв", "Гг", "Дд", "Ее", "Жж", "Зз", "Ии", "Кк", "Лл", "Мм",
                                      "Нн", "Оо", "Пп", "Рр", "Сс", "Тт", "Уу", "Фф", "Хх", "Цц", "Чч", "Шш"};
    data(names, {});
    int t = open();
    h->fill(31, QStringLiteral("Фф"));
    h->target(t);
    EXPECT_EQ(vx::cp::fromCp1251(std::string(F2.view())), QStringLiteral("Фф"));
    h->win().close();
}

TEST_F(Register, TypingACyrillicPrefixInTheCertificateListLocatesTheCounterparty) {
    data({"Альфа", "Ёлкин", "Жуков", "Журавлёв", "Иванов"},
         {{1, "Альфа", 0, 0, ""}, {2, "Ёлкин", 0, 0, ""}, {3, "Жуков", 0, 0, ""}, {4, "Журавлёв", 0, 0, ""}, {5, "Иванов", 0, 0, ""}});
    open();
    h->tabTo(11, 2);  // every certificate by counterparty name
    h->select(10);
    struct Step {
        const char* keys;   // typed; "\b" is Backspace
        int nform;          // the certificate highlighted after them
    };
    // Lower or upper case alike; each key adds to the text typed so far, Backspace takes one away.
    for (const Step& s : {Step{"жур", 4}, Step{"\b\b", 3}, Step{"\bи", 5}, Step{"\bЁЛ", 2}, Step{"\b\bа", 1}}) {
        SCOPED_TRACE(s.keys);
        for (const QChar ch : QString::fromUtf8(s.keys)) {
            if (ch == QLatin1Char('\b')) h->press(Qt::Key_Backspace);
            else h->keys(QString(ch));
        }
        EXPECT_EQ(NFORM.get().toInt(), s.nform);
    }
    h->win().close();
}

TEST_F(Register, TwoRegistersKeepTheirOwnSearchText) {
    data({"А"}, {{1, "А", 0, 0, "корова"}, {2, "А", 0, 0, "лошадь"}});
    int a = open();
    int b = open();
    h->target(a);
    h->type(21, QStringLiteral("корова"));
    h->target(b);
    h->type(21, QStringLiteral("лошадь"));
    h->click(22);
    EXPECT_EQ(numbers().front(), 2);
    h->target(a);
    EXPECT_EQ(h->value(21), QStringLiteral("корова"));
    h->click(22);
    EXPECT_EQ(numbers().front(), 1);
    h->win().close();
    h->target(b);
    h->win().close();
}

}  // namespace

// Another copy of the program writes the same files while this register is open (here a thread
// with handles of its own: the files know no difference). Wherever a list reloads, it shows what
// the files hold now, without closing the register.
TEST_F(Register, ListsShowWhatAnotherProgramWroteWhenTheyReload) {
    struct Case {
        const char* how;
        int tab;  // the tab on show while the other program writes
        std::function<void(vx::eng::test::Harness&)> reload;
        int list;
        std::vector<const char*> expected;  // the list's first column afterwards
    };
    const std::vector<Case> cases = {
        {"a click in the counterparty list", 1, [](auto& hh) { hh.chooseRow(2, 2); }, 2, {"Альфа", "Бета", "Гамма"}},
        {"a click on the highlighted counterparty", 1, [](auto& hh) { hh.chooseRow(2, 1); }, 2, {"Альфа", "Бета", "Гамма"}},
        {"paging the counterparty list", 1, [](auto& hh) { hh.select(2); hh.press(Qt::Key_PageDown); }, 2, {"Альфа", "Бета", "Гамма"}},
        {"a click in the certificate list", 3, [](auto& hh) { hh.chooseRow(10, 2); }, 10, {"3", "5", "6", "8"}},
        {"paging the certificate list", 3, [](auto& hh) { hh.select(10); hh.press(Qt::Key_PageDown); }, 10, {"3", "5", "6", "8"}},
        {"a change of tab", 3, [](auto& hh) { hh.tabTo(11, 2); }, 10, {"5", "8", "6", "3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        for (const char* f : {"KAGENT", "FORMA1", "ANIM", "LAST"})
            for (const char* ext : {".DAT", ".K01", ".K02", ".JNL"}) fs::remove(fs::path(dir) / (std::string(f) + ext));
        data({"Альфа", "Гамма"}, {{5, "Альфа", 80000, 0, "a"}, {8, "Альфа", 80000, 0, "d"}});
        const int t = open();
        ASSERT_EQ(rows(2), 2);
        h->tabTo(11, c.tab);
        // The other program adds a counterparty and two certificates.
        data({"Бета"}, {{3, "Гамма", 80001, 0, "b"}, {6, "Альфа", 80002, 0, "c"}});
        h->target(t);
        c.reload(*h);
        std::vector<std::string> shown;
        for (int r = 1; r <= rows(c.list); ++r) shown.push_back(vx::cp::fromCp1251(cell(c.list, r, 1)).trimmed().toStdString());
        std::vector<std::string> want(c.expected.begin(), c.expected.end());
        EXPECT_EQ(shown, want);
        h->target(t);
        h->win().close();
        ASSERT_TRUE(h->waitEnd(t));
    }
}
