// Keys as the user presses them: Enter and the window's default button; typed values that a
// spin's range or a control's picture refuses, and the message that says why.

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>

#include <functional>
#include <vector>

#include "framework/engine/harness.h"
#include "framework/engine/layout.h"
#include "framework/engine/vars.h"
#include "testvars.h"

using namespace vx::eng;
using enginetest::T;

namespace {

struct Ev {
    int event, field, keycode;
    bool operator==(const Ev&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Ev& e) {
    return o << "{" << std::hex << e.event << std::dec << "," << e.field << "," << std::hex << e.keycode << std::dec << "}";
}

vx::DEC<5, 1> AXIS, WIDE;

// 1 prompt, 2 entry, 3 text, 4 spin, 5 entry, 6 button, 7 the default button, 8 prompt.
const char* kLayout = R"(
window kind=dialog text="Ввод" at=10,10,300,120
  prompt name=?T:NAME:PROMPT text="&Имя:" at=4,4
  entry use=T:NAME at=40,4,100,10 pic=@s20
  text use=T:ONTAB1 at=40,18,100,20
  spin use=K:AXIS at=40,42,40,10 pic=@n-10.1 range=5,100 step=0.1 tip="[Субъект РФ]  X строка 1"
  entry use=K:WIDE at=40,56,40,10 pic=@n-6.1
  button name=?OTHER text="Другая" at=150,80,50,14
  button name=?OK default text="Печать" at=210,80,50,14
  prompt name=?K:WIDE:PROMPT text="Ширина" at=4,56
end
)";

class Keys : public ::testing::Test {
protected:
    void SetUp() override {
        enginetest::resetVars();
        AXIS = 50;
        WIDE = 0;
        vars::add("K:AXIS", vx::ref(AXIS));
        vars::add("K:WIDE", vx::ref(WIDE));
    }

    int open(std::function<void(Window&)> onEvent = {}) {
        auto desc = parseLayout(QString::fromUtf8(kLayout), QStringLiteral("keys_test"));
        return h.start([this, desc, onEvent] {
            Window w(desc);
            while (w.accept()) {
                log.push_back({w.event(), w.field(), w.keycode()});
                if (onEvent) onEvent(w);
            }
        }, 256 * 1024);
    }
    std::vector<Ev> take(int event) const {
        std::vector<Ev> r;
        for (const Ev& e : log)
            if (e.event == event) r.push_back(e);
        return r;
    }

    std::vector<Ev> log;
    test::Harness h;
};

}  // namespace

// ---------------------------------------------------------------- the default button

TEST_F(Keys, EnterPressesTheDefaultButtonOrTheFocusedOne) {
    struct Case {
        const char* what;
        int focus;                    // where Enter is pressed
        bool disableDefault;
        std::vector<Ev> accepted;     // Accepted events after Enter
    };
    const Case cases[] = {
        {"in an edited entry: the edit ends, then the default button", 2, false,
         {{ev::Accepted, 2, 0}, {ev::Accepted, 7, key::Enter}}},
        {"on another push button: that button", 6, false, {{ev::Accepted, 6, key::Enter}}},
        {"in a multi-line text: a new line, no press", 3, false, {}},
        {"the default button disabled: no press", 2, true, {{ev::Accepted, 2, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int t = open();
        auto* ok = qobject_cast<QPushButton*>(h.control(7)->widget.data());
        ASSERT_NE(ok, nullptr);
        EXPECT_TRUE(ok->isDefault());
        EXPECT_FALSE(qobject_cast<QPushButton*>(h.control(6)->widget.data())->isDefault());
        if (c.disableDefault) h.win().setProp(7, Prop::Disable, true);
        if (c.focus == 6) h.select(6);
        else h.type(c.focus, QStringLiteral("Пётр"));
        log.clear();
        h.press(Qt::Key_Return);
        EXPECT_EQ(take(ev::Accepted), c.accepted);
        if (c.focus == 2) {
            EXPECT_EQ(T().NAME.str(), enginetest::cp("Пётр"));
        }
        if (c.focus == 3) {
            EXPECT_EQ(static_cast<QPlainTextEdit*>(h.control(3)->widget.data())->toPlainText(), QStringLiteral("Пётр\n"));
        }
        h.win().close();
        ASSERT_TRUE(h.waitEnd(t));
        log.clear();
    }
}

TEST_F(Keys, OnlyOneButtonMayBeTheDefault) {
    EXPECT_THROW(parseLayout(QStringLiteral("window kind=dialog at=0,0,10,10\n  entry use=T:NAME default\nend\n"), "x"),
                 LayoutError);
    EXPECT_THROW(parseLayout(QStringLiteral("window kind=dialog at=0,0,10,10\n  button text=\"a\" default\n"
                                            "  button text=\"b\" default\nend\n"),
                             "x"),
                 LayoutError);
}

// ---------------------------------------------------------------- typed values

TEST_F(Keys, ATypedValueOutsideTheRangeOrPictureIsRefusedAndTheUserToldWhy) {
    // How the value is handed in: Enter (the default button), a click on the button, or the
    // procedure's accept-all pass while the value is still being typed.
    enum class Way { Enter, Click, Pass };
    struct Case {
        const char* what;
        int feq;
        const char* typed;
        Way way;
        std::vector<const char*> said;  // in the message; empty: the value is taken
    };
    const Case cases[] = {
        {"below the spin's range", 4, "3", Way::Enter, {"«3»", "«Субъект РФ X строка 1»", "от 5 до 100"}},
        {"above the spin's range", 4, "250", Way::Click, {"«250»", "от 5 до 100"}},
        {"more decimals than the picture", 4, "12.37", Way::Pass, {"«12.37»", "не более 1 знака после точки"}},
        {"wider than the picture", 5, "99999", Way::Enter, {"«99999»", "«Ширина»", "не длиннее 6 знаков"}},
        {"not a number", 5, "1a", Way::Click, {"«1a»", "«Ширина»"}},
        {"within the range", 4, "62.5", Way::Enter, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log.clear();
        AXIS = 50;
        WIDE = 0;
        bool passed = false;
        const int t = open([&](Window& w) {
            if (w.event() == ev::User) w.acceptAll();
            if (w.event() == ev::Completed) passed = true;
        });
        h.type(c.feq, QString::fromUtf8(c.typed));
        log.clear();
        switch (c.way) {
        case Way::Enter: h.press(Qt::Key_Return); break;
        case Way::Click: h.click("?OK"); break;
        case Way::Pass: POST(ev::User, 0, t); h.idle(); break;
        }
        const auto open = h.dialogs();
        if (c.said.empty()) {
            EXPECT_TRUE(open.empty());
            EXPECT_EQ(AXIS.get(), vx::Decimal::fromParts(625, 1));
            EXPECT_EQ(take(ev::Accepted).back(), (Ev{ev::Accepted, 7, key::Enter}));
        } else {
            ASSERT_EQ(open.size(), 1u);
            for (const char* s : c.said) EXPECT_TRUE(open[0].text.contains(QString::fromUtf8(s))) << open[0].text.toStdString();
            EXPECT_EQ(open[0].title, QStringLiteral("Неверное значение"));
            // The press does not happen, nothing is stored, the pass does not complete.
            for (const Ev& e : take(ev::Accepted)) EXPECT_NE(e.field, 7);
            EXPECT_FALSE(passed);
            EXPECT_EQ(AXIS.get(), vx::Decimal(50));
            EXPECT_EQ(WIDE.get(), vx::Decimal(0));
            // Answered with a click: the field has the focus again, ready to be typed over.
            ASSERT_TRUE(h.answer(btn::Ok));
            EXPECT_TRUE(h.dialogs().empty());
            EXPECT_EQ(h.focus(), c.feq);
            EXPECT_TRUE(h.win().widget()->isEnabled());
        }
        h.win().close();
        ASSERT_TRUE(h.waitEnd(t));
    }
}

TEST_F(Keys, AStoredValueOutsideTheRangeIsKeptWhenNotRetyped) {
    AXIS = 150;  // stored before the range was narrowed
    bool passed = false;
    const int t = open([&](Window& w) {
        if (w.event() == ev::User) w.acceptAll();
        if (w.event() == ev::Completed) passed = true;
    });
    POST(ev::User, 0, t);
    h.idle();
    EXPECT_TRUE(passed);
    EXPECT_TRUE(h.dialogs().empty());
    EXPECT_EQ(AXIS.get(), vx::Decimal(150));
    h.win().close();
    ASSERT_TRUE(h.waitEnd(t));
}
