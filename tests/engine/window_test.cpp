// Windows built from layouts: controls, Tab order, Selected, binding, events, properties, alerts.

#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QApplication>
#include <QLineEdit>
#include <QTreeView>

#include <functional>
#include <vector>

#include "framework/engine/harness.h"
#include "framework/engine/vars.h"
#include "testvars.h"

using namespace vx::eng;
using enginetest::cp;
using enginetest::T;

namespace {

struct Ev {
    int event, field, keycode;
    bool operator==(const Ev&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Ev& e) {
    return o << "{" << std::hex << e.event << std::dec << "," << e.field << "," << e.keycode << "}";
}

class Windows : public ::testing::Test {
protected:
    void SetUp() override { enginetest::resetVars(); }

    // Opens a layout on a new thread and logs every event; `onEvent` may act on the window.
    int open(const QString& layout, std::function<void(Window&)> onEvent = {}) {
        return h.start([this, layout, onEvent] {
            Window w(layout);
            while (w.accept()) {
                log.push_back({w.event(), w.field(), w.keycode()});
                if (onEvent) onEvent(w);
            }
        });
    }
    std::vector<Ev> take(int event) {
        std::vector<Ev> r;
        for (const Ev& e : log)
            if (e.event == event) r.push_back(e);
        return r;
    }
    std::vector<int> selected() {
        std::vector<int> r;
        for (const Ev& e : log)
            if (e.event == ev::Selected) r.push_back(e.field);
        return r;
    }

    test::Harness h;
    std::vector<Ev> log;
};

}  // namespace

TEST_F(Windows, ALayoutBuildsTheDeclaredControls) {
    open(":/test/dialog.lay");
    Window& w = h.win();
    struct Row {
        const char* name;
        int feq;
        CType type;
        const char* text;
        int x, y;
    };
    const Row rows[] = {
        {"?T:NAME", 2, CType::Entry, "", 40, 4},      {"?T:STEP", 4, CType::Spin, "0.0", 40, 32},
        {"?T:FLAG", 5, CType::Check, "Флаг", 40, 46}, {"?T:STATUS", 6, CType::DropList, "", 40, 60},
        {"?SHEET", 10, CType::Sheet, "", 4, 110},     {"?TAB2", 13, CType::Tab, "Вторая", 0, 0},
        {"?CLOSE", 15, CType::Button, "Закрыть", 240, 4}, {"?GROUP", 16, CType::Group, "Группа", 190, 20},
        {"?T:CHOICE", 17, CType::Option, "", 195, 30},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(w.feq(r.name), r.feq);
        EXPECT_EQ(w.propInt(r.feq, Prop::Type), static_cast<int>(r.type));
        if (r.type == CType::Tab) continue;
        if (*r.text) {
            EXPECT_EQ(w.propText(r.feq, Prop::Text), QString::fromUtf8(r.text));
        }
        EXPECT_EQ(w.propInt(r.feq, Prop::X), r.x);
        EXPECT_EQ(w.propInt(r.feq, Prop::Y), r.y);
    }
    EXPECT_EQ(w.propText(1, Prop::Text), QStringLiteral("Имя:"));
    EXPECT_EQ(w.propInt(2, Prop::Width), 100);
    EXPECT_EQ(w.propInt(2, Prop::Height), 10);
    EXPECT_EQ(w.propText(2, Prop::Tip), QStringLiteral("Имя\nвторая строка"));
    EXPECT_EQ(w.feq("t:name"), 2);  // names ignore case, with or without '?'
    EXPECT_EQ(w.title(), QStringLiteral("Проверка"));
    EXPECT_EQ(w.width(), 300);
    EXPECT_EQ(w.height(), 200);
    // Dialog units follow the window font.
    EXPECT_GT(w.duX(), 1.0);
    EXPECT_GT(w.duY(), 1.0);
    EXPECT_EQ(w.control(2)->widget->x(), static_cast<int>(40 * w.duX() + 0.5));
}

TEST_F(Windows, TheFrameHasMenusToolbarAndStatusZones) {
    open(":/test/frame.lay");
    Window& w = h.win();
    EXPECT_EQ(Window::frame(), &w);
    EXPECT_EQ(w.propText(-3, Prop::Text), QStringLiteral("...Выбрать принтер..."));
    EXPECT_EQ(w.propText(3006, Prop::Tip), QStringLiteral("Go to the First Page"));
    w.setStatusText(2, QStringLiteral("зона 2"));
    EXPECT_EQ(w.statusText(2), QStringLiteral("зона 2"));
    // A menu item gives Accepted for its number; a toolbar button too.
    h.trigger(-3);
    h.click(3006);
    EXPECT_EQ(take(ev::Accepted), (std::vector<Ev>{{ev::Accepted, -3, 0}, {ev::Accepted, 3006, key::MouseLeft}}));
    // The standard close action of "...Выход..." closes the frame.
    int t = h.target();
    h.trigger(-4);
    EXPECT_TRUE(h.waitEnd(t));
    EXPECT_EQ(Window::frame(), nullptr);
}

TEST_F(Windows, TabFollowsControlNumbersOverVisibleEnabledNonSkipControls) {
    open(":/test/dialog.lay");
    Window& w = h.win();
    // 7 is skipped, 8 hidden, 9 disabled, 14 lies on the tab that is not current.
    const std::vector<int> order{2, 3, 4, 5, 6, 12, 15, 18, 19, 22};
    EXPECT_EQ(w.tabOrder(), order);
    h.select(2);
    log.clear();
    for (std::size_t i = 1; i < order.size(); ++i) h.tab();
    h.tab();  // wraps round
    std::vector<int> expect(order.begin() + 1, order.end());
    expect.push_back(2);
    EXPECT_EQ(selected(), expect);
    log.clear();
    h.backtab();
    h.backtab();
    EXPECT_EQ(selected(), (std::vector<int>{22, 19}));
    // Switching the tab, hiding, unhiding and SKIP change the order.
    h.tabTo(10, 2);
    w.setProp(3, Prop::Hide, true);
    w.setProp(7, Prop::Skip, false);
    EXPECT_EQ(w.tabOrder(), (std::vector<int>{2, 4, 5, 6, 7, 14, 15, 18, 19, 22}));
    // SELECT of a control on another tab raises that tab.
    log.clear();
    w.select(12);
    h.idle();
    EXPECT_EQ(w.propInt(10, Prop::Selected), 1);
    EXPECT_EQ(selected(), std::vector<int>{12});
}

TEST_F(Windows, SelectedComesOnlyFromARealFocusMove) {
    int a = open(":/test/dialog.lay", [](Window& w) {
        if (w.event() == ev::User) MESSAGE("x");
    });
    h.select(3);
    h.tab();
    EXPECT_EQ(h.focus(), 4);
    // Another thread's window takes the focus, then ours is activated again.
    int b = open(":/test/form.lay");
    h.target(b);
    h.activate();
    h.target(a);
    log.clear();
    h.activate();
    EXPECT_TRUE(selected().empty());
    EXPECT_EQ(h.focus(), 4);
    // Neither does closing a message box on this thread.
    POST(ev::User, 0, a);
    h.idle();
    ASSERT_EQ(h.dialogs().size(), 1u);
    h.answer(btn::Ok);
    h.activate();
    EXPECT_TRUE(selected().empty());
    EXPECT_EQ(h.focus(), 4);
    // A mouse click on another control is a real move.
    h.select(2);
    EXPECT_EQ(selected(), std::vector<int>{2});
}

TEST_F(Windows, EntriesAreBoundThroughTheRegistry) {
    T().NAME.set(cp("Иван"));
    T().COUNT = 12;
    open(":/test/dialog.lay");
    EXPECT_EQ(h.value("?T:NAME"), QStringLiteral("Иван"));
    EXPECT_EQ(h.value(3), QStringLiteral("12"));
    EXPECT_EQ(h.value("?SHOW"), QStringLiteral("12"));  // a string with USE shows its variable
    // Typing and leaving the field stores the value and raises Accepted.
    h.fill("?T:NAME", QStringLiteral("Пётр"));
    EXPECT_EQ(T().NAME.str(), cp("Пётр"));
    EXPECT_EQ(take(ev::Accepted), (std::vector<Ev>{{ev::Accepted, 2, 0}}));
    // A value the picture refuses is Rejected and the variable keeps its value.
    h.fill(3, QStringLiteral("12a"));
    EXPECT_EQ(T().COUNT.toInt(), 12);
    EXPECT_EQ(take(ev::Rejected), (std::vector<Ev>{{ev::Rejected, 3, 0}}));
    // The user is told why, and the field has the focus again.
    ASSERT_EQ(h.dialogs().size(), 1u);
    EXPECT_TRUE(h.dialogs()[0].text.contains(QStringLiteral("«12a»")));
    ASSERT_TRUE(h.answer(btn::Ok));
    EXPECT_EQ(h.focus(), 3);
    // Leaving a field without a change raises nothing.
    log.clear();
    h.select(2);
    h.tab();
    EXPECT_TRUE(take(ev::Accepted).empty());
    // DISPLAY, UPDATE and CHANGE from the procedure's side.
    Window& w = h.win();
    T().NAME.set(cp("Сидор"));
    EXPECT_EQ(h.value(2), QStringLiteral("Пётр"));
    w.display(2);
    EXPECT_EQ(h.value(2), QStringLiteral("Сидор"));
    w.control(2)->widget->setProperty("text", QStringLiteral("Фома"));
    EXPECT_TRUE(w.update(2));
    EXPECT_EQ(T().NAME.str(), cp("Фома"));
    w.change(3, "77");
    EXPECT_EQ(T().COUNT.toInt(), 77);
    EXPECT_EQ(h.value(3), QStringLiteral("77"));
    w.display();
    EXPECT_EQ(h.value("?SHOW"), QStringLiteral("77"));
}

TEST_F(Windows, ImmediateEntriesReportEveryKeystrokeWithItsCode) {
    std::vector<int> countSeen;
    open(":/test/dialog.lay", [&](Window& w) {
        if (w.event() == ev::NewSelection && w.field() == 3) countSeen.push_back(T().COUNT.toInt());
    });
    h.type(3, QString());
    h.press(Qt::Key_Backspace);  // the shown "0" goes
    log.clear();
    countSeen.clear();
    h.keys(QStringLiteral("1"));
    h.keys(QStringLiteral("2"));
    h.press(Qt::Key_Left);
    h.press(Qt::Key_Backspace);  // removes the 1
    h.press(Qt::Key_Delete);     // removes the 2
    EXPECT_EQ(take(ev::NewSelection), (std::vector<Ev>{{ev::NewSelection, 3, '1'},
                                                       {ev::NewSelection, 3, '2'},
                                                       {ev::NewSelection, 3, key::Left},
                                                       {ev::NewSelection, 3, key::Backspace},
                                                       {ev::NewSelection, 3, key::Delete}}));
    // The variable holds the text so far when each event is handled.
    EXPECT_EQ(countSeen, (std::vector<int>{1, 12, 12, 2, 0}));
    // A non-immediate entry raises nothing while typing.
    log.clear();
    h.type(2, QStringLiteral("ab"));
    EXPECT_TRUE(take(ev::NewSelection).empty());
}

TEST_F(Windows, SpinStepsExactDecimalsInRangeAndShowsOutsideValues) {
    T().STEP = vx::Decimal::fromParts(75, 1);  // 7.5, outside the range -5..5
    open(":/test/dialog.lay");
    EXPECT_EQ(h.value(4), QStringLiteral("7.5"));
    EXPECT_EQ(T().STEP.get(), vx::Decimal::fromParts(75, 1));
    T().STEP = 0;
    h.win().display(4);
    log.clear();
    h.step(4, 3);
    EXPECT_EQ(T().STEP.get(), vx::Decimal::fromParts(3, 1));
    EXPECT_EQ(h.value(4), QStringLiteral("0.3"));
    EXPECT_EQ(take(ev::NewSelection).size(), 3u);
    h.step(4, -60);
    EXPECT_EQ(T().STEP.get(), vx::Decimal(-5));  // stepping stops at the range
}

TEST_F(Windows, ChecksDropListsAndRadiosStoreTheirValues) {
    open(":/test/dialog.lay");
    h.click(5);
    EXPECT_EQ(T().FLAG, 1);
    h.click(5);
    EXPECT_EQ(T().FLAG, 0);
    h.chooseRow(6, 2);
    EXPECT_EQ(T().STATUS.str(), cp("Испорчено"));
    h.click(19);
    EXPECT_EQ(T().CHOICE.str(), "B");
    auto acc = take(ev::Accepted);
    EXPECT_EQ(acc, (std::vector<Ev>{{ev::Accepted, 5, 0}, {ev::Accepted, 5, 0}, {ev::Accepted, 6, 0}, {ev::Accepted, 17, 0}}));
    // DISPLAY shows a value set by the program.
    T().STATUS.set(cp("Образец"));
    T().CHOICE.set(cp("А"));
    h.win().display();
    EXPECT_EQ(h.value(6), QStringLiteral("Образец"));
    EXPECT_EQ(h.win().propInt(6, Prop::Selected), 3);
}

TEST_F(Windows, PropertiesByControlNumber) {
    open(":/test/dialog.lay");
    Window& w = h.win();
    struct P {
        Prop p;
        QVariant v;
    };
    const P props[] = {{Prop::FontStyle, 700 | 0x1000}, {Prop::FontColor, 0x0000FF}, {Prop::Background, 0xDFDFFF},
                       {Prop::FontSize, 11},            {Prop::FontName, QStringLiteral("Times New Roman CYR")},
                       {Prop::ReadOnly, true},          {Prop::Req, true}};
    for (const P& p : props) {
        w.setProp(2, p.p, p.v);
        EXPECT_EQ(w.prop(2, p.p), p.v) << static_cast<int>(p.p);
    }
    QFont f = w.control(2)->widget->font();
    EXPECT_TRUE(f.bold());
    EXPECT_TRUE(f.italic());
    EXPECT_EQ(f.pointSize(), 11);
    EXPECT_EQ(w.control(2)->widget->palette().base().color(), QColor(0xFF, 0xDF, 0xDF));
    EXPECT_TRUE(static_cast<QLineEdit*>(w.control(2)->widget.data())->isReadOnly());
    w.setProp(2, Prop::Hide, true);
    EXPECT_FALSE(w.control(2)->widget->isVisibleTo(w.widget()));
    w.setProp(2, Prop::Hide, false);
    w.setProp(16, Prop::Text, QStringLiteral("Arial 10"));  // a group's run-time caption
    EXPECT_EQ(w.propText(16, Prop::Text), QStringLiteral("Arial 10"));
    EXPECT_EQ(w.propInt(6, Prop::Drop), 5);
    w.setProp(0, Prop::Text, QStringLiteral("Новый заголовок"));
    EXPECT_EQ(w.title(), QStringLiteral("Новый заголовок"));
    w.setProp(9, Prop::Disable, false);
    EXPECT_TRUE(w.control(9)->widget->isEnabled());
}

TEST_F(Windows, AlertKeysAndMouseCodes) {
    open(":/test/dialog.lay", [](Window& w) {
        if (w.event() == ev::OpenWindow) {
            w.alert(key::F1);
            w.alert(key::MouseLeft);
            w.alert(2, key::CtrlH);
            w.alert(w.feq("?LIST"), key::CtrlMouseLeft);
        }
    });
    const int list = h.win().feq("?LIST");
    h.select(2);
    h.press(Qt::Key_F1);
    h.press(Qt::Key_H, Qt::ControlModifier);
    h.press(Qt::Key_F2);  // not alerted
    h.click(list, Qt::LeftButton, Qt::ControlModifier);
    h.click(list, Qt::RightButton);  // not alerted
    EXPECT_EQ(take(ev::AlertKey), (std::vector<Ev>{{ev::AlertKey, 0, key::MouseLeft},
                                                   {ev::AlertKey, 0, key::F1},
                                                   {ev::AlertKey, 2, key::CtrlH},
                                                   {ev::AlertKey, list, key::CtrlMouseLeft}}));
    EXPECT_EQ(key::CtrlMouseLeft, 0x201);
    EXPECT_EQ(key::F12, 123);
}

TEST_F(Windows, TheStandardCloseButtonClosesTheWindow) {
    int t = open(":/test/dialog.lay");
    h.click("?CLOSE");
    EXPECT_TRUE(h.waitEnd(t));
    EXPECT_EQ(take(ev::CloseWindow).size(), 1u);
    // A close request that the procedure cycles keeps the window open.
    log.clear();
    int u = open(":/test/dialog.lay", [](Window& w) {
        if (w.event() == ev::CloseWindow && w.field() == 0 && w.keycode() == 0) w.cycle();
    });
    POST(ev::CloseWindow, 0, u);
    h.idle();
    EXPECT_TRUE(threadAlive(u));
    h.win().outer()->close();  // the close box also asks, through CloseWindow
    h.idle();
    EXPECT_TRUE(threadAlive(u));
    EXPECT_EQ(take(ev::CloseWindow).size(), 2u);
}

TEST_F(Windows, ListsShowTheirQueueThroughTheFormat) {
    Queue q({{vx::FieldType::Dec, 4, 0}, {vx::FieldType::Long, 4, 0}, {vx::FieldType::Long, 4, 0},
             {vx::FieldType::Long, 4, 0}, {vx::FieldType::Long, 4, 0}, {vx::FieldType::Long, 4, 0},
             {vx::FieldType::String, 25, 0}});
    for (int i = 0; i < 3; ++i) {
        int r = q.add();
        q.field(r, 1).setNumber(vx::Decimal(100 + i));
        for (int k = 2; k <= 6; ++k) q.field(r, k).setNumber(vx::Decimal(-1));
        q.field(r, 7).setText(cp("Строка"));
    }
    q.field(1, 3).setNumber(vx::Decimal(0xEAFFED));
    int t = open(":/test/dialog.lay");
    (void)t;
    Window& w = h.win();
    const int list = w.feq("?LIST");
    w.setListSource(list, &q);
    auto* tv = static_cast<QTreeView*>(w.control(list)->widget.data());
    EXPECT_EQ(tv->model()->rowCount(), 3);
    EXPECT_EQ(tv->model()->data(tv->model()->index(1, 0)).toString(), QStringLiteral("101"));
    EXPECT_EQ(tv->model()->data(tv->model()->index(2, 1)).toString(), QStringLiteral("Строка"));
    EXPECT_EQ(tv->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("[№]"));
    w.setProp(list, Prop::Selected, 2);
    EXPECT_EQ(w.propInt(list, Prop::Selected), 2);
    log.clear();
    h.chooseRow(list, 3);
    EXPECT_EQ(w.propInt(list, Prop::Selected), 3);
    EXPECT_EQ(take(ev::NewSelection), (std::vector<Ev>{{ev::NewSelection, list, 0}}));
    const int rows13 = w.propInt(list, Prop::PageRows);
    EXPECT_GE(rows13, 2);
    w.setProp(list, Prop::LineHeight, 15);
    EXPECT_EQ(w.propInt(list, Prop::LineHeight), 15);
    w.setProp(list, Prop::LineHeight, 5);
    EXPECT_GT(w.propInt(list, Prop::PageRows), rows13);
}

TEST_F(Windows, ImmediateListsReportScrollKeysInsteadOfMoving) {
    open(":/test/dialog.lay");
    Window& w = h.win();
    const int list = w.feq("?LIST");
    Queue q({{vx::FieldType::Dec, 4, 0}});
    for (int i = 0; i < 3; ++i) q.field(q.add(), 1).setNumber(vx::Decimal(i));
    w.setListSource(list, &q);
    w.setProp(list, Prop::Imm, true);
    h.select(list);
    w.setProp(list, Prop::Selected, 1);
    log.clear();
    h.press(Qt::Key_Down);
    h.press(Qt::Key_PageDown);
    h.press(Qt::Key_End, Qt::ControlModifier);
    h.press(Qt::Key_Up);
    std::vector<int> got;
    for (const Ev& e : log) got.push_back(e.event);
    EXPECT_EQ(got, (std::vector<int>{ev::ScrollDown, ev::PageDown, ev::ScrollBottom, ev::ScrollUp}));
    EXPECT_EQ(w.propInt(list, Prop::Selected), 1);
}

TEST_F(Windows, ADropListCanTakeItsItemsFromAQueue) {
    open(":/test/dialog.lay");
    Window& w = h.win();
    Queue q({{vx::FieldType::String, 9, 0}});
    for (const char* s : {"Первый", "Второй"}) q.field(q.add(), 1).setText(cp(s));
    w.setListSource(6, &q);
    EXPECT_EQ(w.propInt(6, Prop::Items), 2);
    h.chooseRow(6, 2);
    EXPECT_EQ(T().STATUS.str(), cp("Второй"));
}

TEST_F(Windows, SelectingAControlThatCannotTakeTheFocusPassesItOn) {
    open(":/test/dialog.lay");
    Window& w = h.win();
    log.clear();
    w.select(1);  // a prompt
    h.idle();
    EXPECT_EQ(w.focus(), 2);
    w.select(7);  // skipped, but SELECT and the mouse still reach it
    h.idle();
    EXPECT_EQ(w.focus(), 7);
    w.select(8);  // hidden: the next is 9, disabled, then the sheet's entry 12
    h.idle();
    EXPECT_EQ(w.focus(), 12);
    EXPECT_EQ(selected(), (std::vector<int>{2, 7, 12}));
}

TEST_F(Windows, FontsNamedCyrMapToMetricCompatibleFaces) {
    open(":/test/dialog.lay");
    QFontInfo arial(QFont(QStringLiteral("Arial CYR"), 8));
    QFontInfo times(QFont(QStringLiteral("Times New Roman CYR"), 8));
    EXPECT_EQ(arial.family(), QStringLiteral("Liberation Sans"));
    EXPECT_EQ(times.family(), QStringLiteral("Liberation Serif"));
    EXPECT_EQ(QFontInfo(h.win().control(2)->widget->font()).family(), QStringLiteral("Liberation Sans"));
}

TEST_F(Windows, TheAcceptAllPassVisitsBoundControlsAndStopsAtAnEmptyRequiredOne) {
    open(":/test/dialog.lay", [](Window& w) {
        if (w.event() == ev::User) w.acceptAll();
    });
    Window& w = h.win();
    auto accepted = [&] {
        std::vector<int> r;
        for (const Ev& e : log)
            if (e.event == ev::Accepted) r.push_back(e.field);
        return r;
    };
    log.clear();
    POST(ev::User, 0, h.target());
    h.idle();
    EXPECT_EQ(accepted(), std::vector<int>{2});  // 3 is required and zero
    EXPECT_EQ(w.focus(), 3);
    EXPECT_TRUE(take(ev::Completed).empty());
    EXPECT_FALSE(w.acceptingAll());
    // With the value typed (not yet accepted by leaving the field) the pass takes it and completes.
    log.clear();
    h.type(3, QStringLiteral("5"));
    POST(ev::User, 0, h.target());
    h.idle();
    EXPECT_EQ(T().COUNT.toInt(), 5);
    EXPECT_EQ(accepted(), (std::vector<int>{2, 3, 4, 5, 6, 12, 14, 17}));
    EXPECT_EQ(take(ev::Completed).size(), 1u);
}

TEST_F(Windows, AlertKeysDeclaredInTheLayoutNeedNoCall) {
    auto d = parseLayout(QString::fromUtf8("window at=,,120,70 alrt=0x70\n"
                                           "  list name=?L at=4,4,100,40 from=\"a|b\" alrt=0x201,0x202\n"
                                           "  entry use=T:NAME at=4,50,60,10\n"),
                         QStringLiteral("alerts.lay"));
    h.start([this, d] {
        Window w(d);
        while (w.accept()) log.push_back({w.event(), w.field(), w.keycode()});
    });
    h.click(1, Qt::LeftButton, Qt::ControlModifier);
    h.click(1, Qt::RightButton, Qt::ControlModifier);
    h.click(1, Qt::LeftButton);  // not alerted
    h.select(2);
    h.press(Qt::Key_F1);
    EXPECT_EQ(take(ev::AlertKey), (std::vector<Ev>{{ev::AlertKey, 1, key::CtrlMouseLeft},
                                                   {ev::AlertKey, 1, key::CtrlMouseRight},
                                                   {ev::AlertKey, 0, key::F1}}));
    // They are ordinary alert keys: clearing the alerts clears them too.
    log.clear();
    h.win().clearAlerts();
    h.click(1, Qt::LeftButton, Qt::ControlModifier);
    h.press(Qt::Key_F1);
    EXPECT_TRUE(take(ev::AlertKey).empty());
}

// The harness makes the timer tick at once: one Timer event per tick, never two waiting at the
// same time, none once the procedure has turned it off.
TEST_F(Windows, TheTimerGivesOneEventPerTickUntilTurnedOff) {
    open(":/test/dialog.lay", [](Window& w) {
        // A long period, so that only the ticks the test makes arrive, however slow the machine.
        if (w.event() == ev::OpenWindow) w.setTimer(360000);
        if (w.event() == ev::User) w.setTimer(0);
    });
    Window& w = h.win();
    EXPECT_EQ(w.timer(), 360000);
    EXPECT_TRUE(take(ev::Timer).empty());
    EXPECT_TRUE(h.tickTimer());
    EXPECT_EQ(take(ev::Timer), (std::vector<Ev>{{ev::Timer, 0, 0}}));
    EXPECT_TRUE(h.tickTimer());
    EXPECT_EQ(take(ev::Timer).size(), 2u);
    // Ticks while the thread has not yet taken the first come out as one event.
    detail::tickTimer(w);
    detail::tickTimer(w);
    h.idle();
    EXPECT_EQ(take(ev::Timer).size(), 3u);
    POST(ev::User, 0, h.target());
    h.idle();
    EXPECT_EQ(w.timer(), 0);
    EXPECT_FALSE(h.tickTimer());
    EXPECT_EQ(take(ev::Timer).size(), 3u);
}
