// After a typed value is refused, the window never holds two truths: the field shows again what
// its variable holds, and no action (a press that reads the values, Enter on the default button,
// the close box) runs on a value the screen does not show. One table over every kind of typed
// field and the ways a user hands a value in.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>

#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "framework/engine/harness.h"
#include "framework/engine/layout.h"
#include "framework/engine/vars.h"
#include "framework/types/codepage.h"
#include "framework/types/date.h"
#include "framework/types/picture.h"

using namespace vx::eng;

namespace {

#pragma pack(push, 1)
struct Rec {
    vx::DEC<4, 0> NUM;
    vx::LONG DATE;
    vx::DEC<6, 2> PRICE;
    vx::STRING<20> NAME;
    vx::DEC<3, 1> SIZE;
    vx::STRING<9> STATUS;
    vx::STRING<30> NOTE;
    vx::STRING<27> TESTED;  // a date kept as the digits of its day number, typed with every key
};
#pragma pack(pop)

const std::array<vx::FieldDesc, 8> kFields{{
    {"R:NUM", vx::FieldType::Dec, offsetof(Rec, NUM), 4, 0},
    {"R:DATE", vx::FieldType::Long, offsetof(Rec, DATE), 4, 0},
    {"R:PRICE", vx::FieldType::Dec, offsetof(Rec, PRICE), 6, 2},
    {"R:NAME", vx::FieldType::String, offsetof(Rec, NAME), 20, 0},
    {"R:SIZE", vx::FieldType::Dec, offsetof(Rec, SIZE), 3, 1},
    {"R:STATUS", vx::FieldType::String, offsetof(Rec, STATUS), 9, 0},
    {"R:NOTE", vx::FieldType::String, offsetof(Rec, NOTE), 30, 0},
    {"R:TESTED", vx::FieldType::String, offsetof(Rec, TESTED), 27, 0},
}};
const vx::RecordDesc kDesc{"REFUSE", "R", sizeof(Rec), kFields};
Rec REC;

// 1-8 the fields (with their prompts between), then the two buttons.
const char* kLayout = R"(
window kind=dialog text="Отказ" at=10,10,330,150
  prompt name=?R:NUM:PROMPT text="№" at=4,4
  entry use=R:NUM at=60,4,60,10 pic=@n_8b
  prompt text="Дата выдачи:" at=4,18
  entry use=R:DATE at=60,18,60,10 pic=@d6.b
  entry use=R:PRICE at=60,32,60,10 pic=@n_10.2b tip="Стоимость услуги","[можно изменить в настройках]"
  prompt name=?R:NAME:PROMPT text="Контрагент [физическое/юридическое лицо]" at=4,46
  entry use=R:NAME at=60,46,100,10 pic=@s20
  spin use=R:SIZE at=60,60,40,10 pic=@n-5.1 range=-50,50 step=0.1 tip="[Сместить влево/вправо]"
  combo use=R:STATUS at=60,74,60,10 pic=@s9 drop=3 from="Выдано|Испорчено|Образец" tip="[Статус]"
  text use=R:NOTE at=180,4,120,30 tip="[Примечание]"
  string name=?HEAD text="Дата исследования" at=180,40
  entry use=R:TESTED at=180,52,60,10 pic=@d6.b imm caption=?HEAD
  button name=?ACT text="Удалить" at=150,120,50,14
  button name=?OK default text="Сохранить" at=210,120,50,14
end
)";

Rec original() {
    Rec r;
    kDesc.clear(&r);
    r.NUM = 60;
    r.DATE = vx::date::fromYmd(2025, 4, 1);
    r.PRICE = vx::Decimal::fromParts(15000, 2);
    r.NAME = vx::cp::toCp1251(QStringLiteral("Ромашка"));
    r.SIZE = vx::Decimal::fromParts(15, 1);
    r.STATUS = vx::cp::toCp1251(QStringLiteral("Выдано"));
    r.NOTE = vx::cp::toCp1251(QStringLiteral("Заметка"));
    r.TESTED = std::to_string(vx::date::fromYmd(2025, 3, 1));
    return r;
}

bool same(const Rec& a, const Rec& b) { return std::memcmp(&a, &b, sizeof(Rec)) == 0; }

// How the user hands the typed value in, and then does the same again once told.
enum class Way { Press, Enter, TabThenPress, CloseBox };

class Refusal : public ::testing::Test {
protected:
    void SetUp() override { vars::addRecord(kDesc, [] { return static_cast<void*>(&REC); }, true); }
    void TearDown() override {
        for (const vx::FieldDesc& f : kFields) vars::remove(f.name);
    }

    int open() {
        auto desc = parseLayout(QString::fromUtf8(kLayout), QStringLiteral("refusal_test"));
        return h.start([this, desc] {
            Window w(desc);
            while (w.accept()) {
                const int act = w.feq("?ACT"), ok = w.feq("?OK");
                if (w.event() == ev::Accepted && w.field() == act) {
                    w.update();  // what is still being typed counts
                    if (!w.valueRefused()) acted.push_back(REC);
                }
                if (w.event() == ev::Accepted && w.field() == ok) w.acceptAll();
                if (w.event() == ev::Completed) acted.push_back(REC);
                if (w.event() == ev::CloseWindow) {
                    w.update();  // a close that saves
                    if (w.valueRefused()) {
                        w.cycle();
                        continue;
                    }
                    acted.push_back(REC);
                }
            }
        }, 256 * 1024);
    }

    void handIn(Way way) {
        switch (way) {
        case Way::Press: h.click("?ACT"); break;
        case Way::Enter: h.press(Qt::Key_Return); break;
        case Way::TabThenPress: h.tab(); break;  // the press comes once the user has been told
        case Way::CloseBox: {
            QCloseEvent e;
            QApplication::sendEvent(h.win().outer(), &e);
            h.idle();
            break;
        }
        }
    }

    std::vector<Rec> acted;
    test::Harness h;
};

}  // namespace

TEST_F(Refusal, ARefusedValueIsPutBackAndNothingActsOnAValueNotShown) {
    struct Case {
        const char* field;
        const char* shown;  // what the field shows before and, again, after the refusal
        const char* typed;
        const char* name;   // how the message names the field
        const char* said;   // what it says the field takes
    };
    const Case cases[] = {
        {"?R:NUM", "60", "6l", "№", "без дробной части"},
        {"?R:DATE", "01.04.2025", "31.02.2025", "Дата выдачи", "ДД.ММ.ГГГГ"},
        {"?R:PRICE", "150.00", "12.345", "Стоимость услуги можно изменить в настройках", "не более 2 знаков после точки"},
        {"?R:NAME", "Ромашка", "Zakład ę 中 ✓", "Контрагент физическое/юридическое лицо", "Знаки ł ę 中 ✓ в этом поле не сохраняются"},
        {"?R:SIZE", "1.5", "250", "Сместить влево/вправо", "от -50 до 50"},
        {"?R:STATUS", "Выдано", "Прод✓", "Статус", "Знак ✓ в этом поле не сохраняется"},
        {"?R:NOTE", "Заметка", "Текст — ✓", "Примечание", "Знаки — ✓ в этом"},
        {"?R:TESTED", "01.03.2025", "01.04.202x", "Дата исследования", "ДД.ММ.ГГГГ"},
    };
    for (Way way : {Way::Press, Way::Enter, Way::TabThenPress, Way::CloseBox}) {
        for (const Case& c : cases) {
            if (way == Way::Enter && std::string(c.field) == "?R:NOTE") continue;  // Enter is a new line there
            SCOPED_TRACE(std::string(c.field) + " way " + std::to_string(static_cast<int>(way)));
            REC = original();
            acted.clear();
            const int t = open();
            const int feq = h.feq(c.field);
            ASSERT_EQ(h.value(feq), QString::fromUtf8(c.shown));
            h.type(feq, QString::fromUtf8(c.typed));
            handIn(way);
            // Told once, with the field by its caption and what it takes; nothing has acted,
            // and the field shows again what its variable holds.
            const auto open = h.dialogs();
            ASSERT_EQ(open.size(), 1u);
            EXPECT_EQ(open[0].title, QStringLiteral("Неверное значение"));
            EXPECT_TRUE(open[0].text.contains(QStringLiteral("«") + QString::fromUtf8(c.typed).trimmed() + QStringLiteral("»")))
                << open[0].text.toStdString();
            EXPECT_TRUE(open[0].text.contains(QStringLiteral("поля «") + QString::fromUtf8(c.name) + QStringLiteral("»")))
                << open[0].text.toStdString();
            EXPECT_TRUE(open[0].text.contains(QString::fromUtf8(c.said))) << open[0].text.toStdString();
            EXPECT_TRUE(acted.empty());
            EXPECT_TRUE(same(REC, original()));
            EXPECT_EQ(h.value(feq), QString::fromUtf8(c.shown));
            ASSERT_TRUE(h.answer(btn::Ok));
            EXPECT_EQ(h.focus(), feq);
            EXPECT_EQ(h.value(feq), QString::fromUtf8(c.shown));
            EXPECT_TRUE(h.dialogs().empty());
            // The same again: it acts on what the screen shows.
            if (way == Way::TabThenPress) h.click("?ACT");
            else handIn(way);
            EXPECT_TRUE(h.dialogs().empty());
            ASSERT_EQ(acted.size(), 1u);
            EXPECT_TRUE(same(acted[0], original()));
            if (way != Way::CloseBox) h.win().close();
            ASSERT_TRUE(h.waitEnd(t));
        }
    }
}

// Typing stops at the width the variable keeps; a stored text longer than what can be typed (a
// date cell holding words) is still shown whole.
TEST_F(Refusal, TypingStopsAtTheStoredWidth) {
    REC = original();
    REC.TESTED = vx::cp::toCp1251(QStringLiteral("не проводилось"));
    const int t = open();
    h.type("?R:NAME", QString(30, QChar(0x042F)));
    EXPECT_EQ(h.value("?R:NAME"), QString(20, QChar(0x042F)));
    h.type("?R:NUM", QStringLiteral("1234567890"));
    EXPECT_EQ(h.value("?R:NUM"), QStringLiteral("12345678"));
    h.type("?R:NUM", QStringLiteral("123"));
    h.type("?R:STATUS", QStringLiteral("Испорчено навсегда"));
    EXPECT_EQ(h.value("?R:STATUS"), QStringLiteral("Испорчено"));
    EXPECT_EQ(h.value("?R:TESTED"), QStringLiteral("не проводилось"));
    EXPECT_TRUE(h.dialogs().empty());
    h.win().close();
    ASSERT_TRUE(h.waitEnd(t));
}
