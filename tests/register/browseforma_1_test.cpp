// The register driven headless over real data files in a temporary working directory.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDialog>
#include <QLineEdit>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>

#include "framework/engine/harness.h"
#include "framework/types/codepage.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/runtime.h"
#include "controls_apart.h"
#include "text_fit.h"

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
    const char* f49 = "";
    const char* f50 = "";
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
                FRM->F49 = w(c.f49);
                FRM->F50 = w(c.f50);
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
    data({"Бета", "Альфа"},
         {{5, "Альфа", 80000, 0, "a", "Врач Пятов"}, {3, "Бета", 80001, 1, "b", "Врач Третьяков", "Подпись 3"},
          {7, "Альфа", 0, 0, "c", "Врач Семёнов", "Подпись 7"}, {0, "Бета", 0, 0, "d"}},
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
    EXPECT_EQ(cell(10, 1, 52), "0");        // MARK
    EXPECT_GT(std::stoi(cell(10, 1, 53)), 0);  // VIEWPOSITION: the row's record
    EXPECT_NE(cell(10, 1, 53), cell(10, 2, 53));
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
    EXPECT_EQ(vx::cp::fromCp1251(std::string(P3.view())).trimmed(), QStringLiteral("Врач Семёнов"));
    EXPECT_EQ(vx::cp::fromCp1251(std::string(P4.view())).trimmed(), QStringLiteral("Подпись 7"));
    EXPECT_EQ(rows(29), 1);
    h->chooseRow(10, 1);
    EXPECT_EQ(NFORM.get().toInt(), 3);
    EXPECT_EQ(vx::cp::fromCp1251(std::string(P3.view())).trimmed(), QStringLiteral("Врач Третьяков"));
    EXPECT_EQ(DATAV.get(), 80001);
    EXPECT_EQ(rows(29), 0);
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

// More certificates than the list shows: the match stands on the last page of the order the
// list had, and the highlight was elsewhere.
TEST_F(Register, FindShowsTheBestMatchFirstAndTabsAndClearStartAtTheTop) {
    std::vector<std::string> opis;
    for (int i = 1; i <= 40; ++i) opis.push_back(QStringLiteral("Описание %1").arg(i).toStdString());
    std::vector<Cert> certs;
    for (int i = 1; i <= 40; ++i) certs.push_back({i, "А", 80000 + i, 0, opis[i - 1].c_str()});
    data({"А"}, certs, {{38, "Мурка"}, {38, "Зорька"}, {2, "Ночка"}});
    open();
    h->tabTo(11, 3);
    ASSERT_LT(rows(10), 38);  // the match is not on the first page
    h->click(22);             // blank text: order 3 stays
    EXPECT_EQ(numbers().front(), 1);
    EXPECT_EQ(FUZZYMATCHED.get(), 0);
    h->chooseRow(10, 3);
    EXPECT_EQ(NFORM.get().toInt(), 3);
    auto atTop = [&](int nform) {
        EXPECT_EQ(numbers().front(), nform);
        EXPECT_EQ(h->prop(10, Prop::Selected).toInt(), 1);
        EXPECT_EQ(NFORM.get().toInt(), nform);
    };
    h->type(21, QStringLiteral("описание 38"));
    h->click(22);
    EXPECT_EQ(FUZZYMATCHED.get(), 1);
    atTop(38);
    EXPECT_EQ(rows(29), 2);  // and its animal rows
    EXPECT_EQ(cell(29, 1, 3), "38");
    // The fuzzy order holds on another tab, from its top.
    h->select(10);
    h->press(Qt::Key_End, Qt::ControlModifier);
    h->tabTo(11, 2);
    atTop(38);
    // "Очистить": the tab's own order from its top; a tab change the same.
    h->select(10);
    h->press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(NFORM.get().toInt(), 40);
    h->click(23);
    EXPECT_EQ(FUZZYMATCHED.get(), 0);
    EXPECT_EQ(h->value(21).trimmed(), QString());
    atTop(1);
    h->select(10);
    h->press(Qt::Key_End, Qt::ControlModifier);
    h->tabTo(11, 3);
    atTop(1);
    EXPECT_EQ(rows(29), 0);
    h->win().close();
}

// A wrong, an extra, a missing letter or two swapped ones, in either case, still put the meant
// certificate first among a few hundred others, some of them with names close to it.
TEST_F(Register, TyposStillFindTheMeantCertificateFirst) {
    const char* syl[] = {"ба", "ве", "ги", "до", "жу", "зы", "ка", "ле", "ми", "но", "пу", "ры", "са", "ти", "фу", "хо"};
    const char* lat[] = {"ba", "ve", "gi", "do", "ju", "zy", "ka", "le", "mi", "no", "pu", "ry", "sa", "ti", "fu", "ho"};
    std::vector<std::string> names, opis;
    for (int i = 0; i < 300; ++i) {
        const bool latin = i % 3 == 0;
        const char* const* s = latin ? lat : syl;
        std::string n = std::string(latin ? "" : "ООО ") + s[i % 16] + s[(i / 16) % 16] + s[(i * 7) % 16] + (latin ? "ov Ltd" : "ов");
        n[latin ? 0 : 7] = latin ? static_cast<char>(n[0] - 32) : n[7];
        names.push_back(n);
        opis.push_back(QStringLiteral("Описание %1").arg(i).toStdString());
    }
    std::vector<Cert> certs;
    for (int i = 0; i < 300; ++i) certs.push_back({i + 1, names[i].c_str(), 80000 + i, 0, opis[i].c_str()});
    // Near misses, and the two meant ones.
    certs.push_back({401, "ООО Ромашин", 80000, 0, "корова"});
    certs.push_back({402, "ООО Румянка", 80000, 0, "корова"});
    certs.push_back({403, "Smirnyagin Ltd", 80000, 0, "koza"});
    certs.push_back({404, "Smith Trade", 80000, 0, "koza"});
    certs.push_back({501, "ООО Ромашка", 80000, 0, "корова"});
    certs.push_back({502, "Smirnov Trade", 80000, 0, "koza"});
    data({"А"}, certs);
    open();
    h->tabTo(11, 3);
    struct Typo {
        const char* query;
        int meant;
    };
    for (const Typo& t : {Typo{"Рамашка", 501}, Typo{"Ромашко", 501}, Typo{"Рромашка", 501}, Typo{"Ромшка", 501},
                          Typo{"Ромашак", 501}, Typo{"рАМАШКА", 501}, Typo{"РОМАШАК", 501}, Typo{"ооо рамашка", 501},
                          Typo{"Smyrnov", 502}, Typo{"Smirnnov", 502}, Typo{"smrnov", 502}, Typo{"Smirnvo", 502},
                          Typo{"SMIRNVO", 502}, Typo{"smirnov trade", 502}}) {
        SCOPED_TRACE(t.query);
        h->type(21, QString::fromUtf8(t.query));
        h->click(22);
        EXPECT_EQ(numbers().front(), t.meant);
        EXPECT_EQ(h->prop(10, Prop::Selected).toInt(), 1);
        EXPECT_EQ(NFORM.get().toInt(), t.meant);
    }
    h->win().close();
}

// Each list under a real click: the lists under it and the hand-over values follow the clicked
// row; the animal list's buttons act on the clicked certificate's rows.
TEST_F(Register, AClickOnARowLinksTheListsBelowIt) {
    data({"Альфа", "Бета", "Гамма"},
         {{1, "Альфа", 80001, 0, "", "Иванов", "Подпись 1"}, {2, "Альфа", 80002, 0, "", "Петров", "Подпись 2"},
          {3, "Бета", 80003, 0, "", "Сидоров", "Подпись 3"}, {4, "Гамма", 80004, 0, "", "Козлов", "Подпись 4"}},
         {{1, "Мурка"}, {1, "Зорька"}, {2, "Бурёнка"}, {3, "Пеструшка"}, {3, "Ночка"}, {3, "Рыжик"}});
    open();
    struct Click {
        int list, row;
        const char* agent;          // the counterparty shown in ?KAG:ID and the locator
        int id;
        std::vector<int> certs;     // the certificate list
        int nform;
        const char* p3;
        int animals;
    };
    for (const Click& k : {Click{2, 2, "Бета", 2, {3}, 3, "Сидоров", 3}, Click{2, 3, "Гамма", 3, {4}, 4, "Козлов", 0},
                           Click{2, 1, "Альфа", 1, {1, 2}, 1, "Иванов", 2}, Click{10, 2, "Альфа", 1, {1, 2}, 2, "Петров", 1},
                           Click{10, 1, "Альфа", 1, {1, 2}, 1, "Иванов", 2}}) {
        SCOPED_TRACE(std::to_string(k.list) + "/" + std::to_string(k.row));
        h->chooseRow(k.list, k.row);
        EXPECT_EQ(h->prop(k.list, Prop::Selected).toInt(), k.row);
        EXPECT_EQ(h->value(6).trimmed(), QString::number(k.id));
        EXPECT_EQ(h->value(31).trimmed(), QString::fromUtf8(k.agent));
        EXPECT_EQ(vx::cp::fromCp1251(std::string(F2.view())).trimmed(), QString::fromUtf8(k.agent));
        EXPECT_EQ(numbers(), k.certs);
        EXPECT_EQ(NFORM.get().toInt(), k.nform);
        EXPECT_EQ(DATAV.get(), 80000 + k.nform);
        EXPECT_EQ(vx::cp::fromCp1251(std::string(P3.view())).trimmed(), QString::fromUtf8(k.p3));
        EXPECT_EQ(vx::cp::fromCp1251(std::string(P4.view())).trimmed(), QStringLiteral("Подпись %1").arg(k.nform));
        ASSERT_EQ(rows(29), k.animals);
        for (int r = 1; r <= k.animals; ++r) EXPECT_EQ(cell(29, r, 3), std::to_string(k.nform));
    }
    // The second animal row of certificate 1, clicked, is the one "Удалить запись" removes.
    h->chooseRow(29, 2);
    const std::string gone = cell(29, 2, 2), kept = cell(29, 1, 2);
    h->click(41);
    ASSERT_EQ(rows(29), 1);
    EXPECT_EQ(cell(29, 1, 2), kept);
    EXPECT_NE(kept, gone);
    h->chooseRow(10, 2);
    EXPECT_EQ(rows(29), 1);  // certificate 2 keeps its row
    h->win().close();
}

// "Опись для товарных животных" runs for a certificate without animal rows; the inventory says
// that it has nothing to print.
TEST_F(Register, TheInventoryRunsForACertificateWithoutAnimals) {
    data({"А"}, {{1, "А", 80000, 0, ""}});
    open();
    ASSERT_EQ(rows(29), 0);
    h->click(37);
    const auto boxes = h->dialogs();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, QStringLiteral("No Records"));
    h->answer(vx::eng::btn::Ok);
    h->win().close();
}

// The register's thread unwound while one of its forms is open (the program ends): no list is
// left showing a queue that is gone.
TEST_F(Register, EndingWithAFormOpenLeavesNoDanglingList) {
    data({"А"}, {{1, "А", 80000, 0, ""}}, {{1, "Мурка"}});
    open();
    h->click(40);  // "Изменить запись": the animal-row form opens over the register
    ASSERT_NE(h->win().widget(), nullptr);
    h.reset();
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

// The query dialog keeps its place and size in the INI file, however it was closed.
TEST_F(Register, TheQueryDialogKeepsItsPlaceInTheIniFile) {
    data({"А"}, {{1, "А", 0, 0, ""}});
    open();
    h->click(16);
    auto dialogs = h->dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    dialogs[0].widget->resize(520, 410);
    dialogs[0].widget->move(130, 95);
    dialogs[0].answer(QDialog::Rejected);
    h->idle();
    EXPECT_EQ(INIMGR.Fetch(QStringLiteral("BrowseForma_1_Query"), QStringLiteral("XPos")), QStringLiteral("130"));
    EXPECT_EQ(INIMGR.Fetch(QStringLiteral("BrowseForma_1_Query"), QStringLiteral("Width")), QStringLiteral("520"));
    h->click(16);
    dialogs = h->dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].widget->pos(), QPoint(130, 95));
    EXPECT_EQ(dialogs[0].widget->size(), QSize(520, 410));
    dialogs[0].answer(QDialog::Accepted);
    h->idle();
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


// Sixty certificates of one counterparty, one of them damaged (the first, the middle or the last
// in the file). The register reads past it everywhere: paging tab 1 and tab 3 down and up, the
// locator of tab 3 and "Найти" reach the records after it; the damage is told once in the window,
// truly (message 93, never "Access Denied"), and paging past it again tells nothing more.
TEST_F(Register, ADamagedCertificateIsToldOnceAndReadPast) {
    constexpr int kCerts = 60;
    for (int pos : {1, kCerts / 2, kCerts}) {
        SCOPED_TRACE(pos);
        TearDown();
        SetUp();
        std::vector<std::string> opis;
        for (int i = 1; i <= kCerts; ++i) opis.push_back(QStringLiteral("Описание %1").arg(i).toStdString());
        std::vector<Cert> certs;
        for (int i = 1; i <= kCerts; ++i) certs.push_back({i, "А", 80000 + i, 0, opis[i - 1].c_str()});
        data({"А"}, certs);
        {
            std::fstream f(dir + "/FORMA1.DAT", std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(std::streamoff(4096 + std::size_t(pos - 1) * (4827 + 8) + 2000));
            f.write(std::string(100, 'Z').data(), 100);
        }
        QStringList told;
        auto answer = [&] {
            while (!h->dialogs().empty()) {
                told << h->dialogs().front().text;
                h->answer(vx::eng::btn::Ok);
                h->idle();
            }
        };
        std::set<int> readable;
        for (int i = 1; i <= kCerts; ++i)
            if (i != pos) readable.insert(i);
        // Every row reached by paging down from the top, then back up.
        auto pageThrough = [&] {
            std::set<int> seen;
            h->select(10);
            answer();
            h->press(Qt::Key_Home, Qt::ControlModifier);
            answer();
            for (int i = 0; i < 2 * kCerts; ++i) {
                for (int n : numbers()) seen.insert(n);
                const std::vector<int> before = numbers();
                h->press(Qt::Key_PageDown);
                answer();
                if (numbers() == before) break;
            }
            for (int i = 0; i < 2 * kCerts; ++i) {
                for (int n : numbers()) seen.insert(n);
                const std::vector<int> before = numbers();
                h->press(Qt::Key_PageUp);
                answer();
                if (numbers() == before) break;
            }
            EXPECT_EQ(numbers().front(), *readable.begin());
            return seen;
        };
        const int t = open();
        answer();
        EXPECT_EQ(pageThrough(), readable) << "tab 1";
        h->tabTo(11, 3);
        answer();
        EXPECT_EQ(pageThrough(), readable) << "tab 3";
        ASSERT_EQ(told.size(), 1) << told.join(QStringLiteral(" / ")).toStdString();
        EXPECT_TRUE(told[0].contains(QStringLiteral("FORMA1: Data File Damaged (record %1 damaged)").arg(pos))) << told[0].toStdString();
        EXPECT_TRUE(told[0].contains(QString::fromUtf8("Остальные записи доступны."))) << told[0].toStdString();
        // The locator: the first readable certificate at or after the typed number.
        h->select(10);
        h->keys(QString::number(pos));
        answer();
        EXPECT_EQ(NFORM.get().toInt(), pos < kCerts ? pos + 1 : kCerts - 1);
        // "Найти" finds a certificate after the damaged one.
        const int after = pos < kCerts ? pos + 1 : kCerts - 1;
        h->type(21, QStringLiteral("описание %1").arg(after));
        h->click(22);
        answer();
        EXPECT_EQ(numbers().front(), after);
        EXPECT_EQ(told.size(), 1) << told.join(QStringLiteral(" / ")).toStdString();
        h->target(t);
        h->win().close();
    }
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

// The register resized from its smallest size to the largest (maximised as well): every visible
// control stays inside the window, controls that lay apart as opened never overlap, what lay
// inside a sheet or group stays inside it, and no caption or text is cut.
TEST_F(Register, NoControlsOverlapAtAnySizeFromTheSmallestToMaximised) {
    data({"Альфа"}, {{5, "Альфа", 80000, 0, "a"}}, {{5, "Мурка"}});
    const int t = open();
    vx::eng::Window& win = h->win();
    const vx::eng::test::ControlsApart layout(win);
    ASSERT_FALSE(layout.empty());
    struct Size {
        int w, h;  // dialog units; 0: maximised
    };
    const Size sizes[] = {{500, 250}, {500, 342}, {640, 250}, {520, 280}, {541, 322}, {580, 300}, {610, 330}, {640, 342}, {0, 0}};
    for (const Size& s : sizes) {
        SCOPED_TRACE(s.w ? std::to_string(s.w) + " x " + std::to_string(s.h) : std::string("maximised"));
        if (s.w) {
            win.setMaximized(false);
            win.setSize(s.w, s.h);
        } else {
            win.setMaximized(true);
        }
        h->idle();
        if (s.w) {
            EXPECT_EQ(win.width(), s.w);
            EXPECT_EQ(win.height(), s.h);
        }
        for (const std::string& fault : layout.faults()) ADD_FAILURE() << fault;
        for (const std::string& cut : vx::eng::test::cutTexts(win)) ADD_FAILURE() << cut;
    }
    h->target(t);
    h->win().close();
    ASSERT_TRUE(h->waitEnd(t));
}
