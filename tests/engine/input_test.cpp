// What the user's input reaches and what it may change: focus moves that Qt makes by itself,
// typed characters outside Latin, read-only drop lists, image pictures set at run time, the menu
// bar's captions and a window's own status message.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QMainWindow>
#include <QMenuBar>
#include <QTest>
#include <QWheelEvent>

#include <functional>
#include <vector>

#include "framework/engine/harness.h"
#include "framework/engine/layout.h"
#include "testvars.h"

using namespace vx::eng;
using enginetest::cp;
using enginetest::T;

namespace {

struct Ev {
    int event, field, keycode, keychar;
    bool operator==(const Ev&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Ev& e) {
    return o << "{" << std::hex << e.event << "," << std::dec << e.field << "," << std::hex << e.keycode << ","
             << e.keychar << std::dec << "}";
}

// Controls: 1 entry, 2 sheet, 3 tab, 4 entry on tab 1, 5 tab, 6 entry on tab 2, 7 button,
// 8 drop list, 9 image, 10 entry.
const char* kSheetDialog = R"(
window kind=dialog text="Ввод" at=10,10,300,200 status=-1
  entry use=T:NAME at=4,4,100,10 pic=@s20
  sheet name=?SHEET at=4,20,200,60
    tab name=?TAB1 text="Первая"
      entry use=T:ONTAB1 at=10,40,60,10 pic=@s10
    end
    tab name=?TAB2 text="Вторая"
      entry use=T:ONTAB2 at=10,40,60,10 pic=@s10
    end
  end
  button name=?ACT text="Действие" at=220,4,50,14
  list use=T:STATUS at=4,90,80,10 drop=5 from="Выдано|Испорчено|Образец"
  image name=?PIC at=100,90,30,30 file="blank.jpg"
  entry name=?LAST use=T:COUNT at=4,130,40,10 pic=@n_5
end
)";

class Input : public ::testing::Test {
protected:
    void SetUp() override { enginetest::resetVars(); }

    int open(const char* layout, std::function<void(Window&)> onEvent = {}) {
        auto desc = parseLayout(QString::fromUtf8(layout), QStringLiteral("input_test"));
        return h.start([this, desc, onEvent] {
            Window w(desc);
            while (w.accept()) {
                log.push_back({w.event(), w.field(), w.keycode(), w.keychar()});
                if (onEvent) onEvent(w);
            }
        }, 256 * 1024);
    }
    std::vector<int> selected() const {
        std::vector<int> r;
        for (const Ev& e : log)
            if (e.event == ev::Selected) r.push_back(e.field);
        return r;
    }
    std::vector<Ev> take(int event) const {
        std::vector<Ev> r;
        for (const Ev& e : log)
            if (e.event == event) r.push_back(e);
        return r;
    }
    // The control whose widget has Qt's focus.
    int qtFocus() {
        QWidget* f = QApplication::focusWidget();
        for (int feq : h.win().controls()) {
            Control* c = h.control(feq);
            if (c && c->widget && f && (c->widget == f || c->widget->isAncestorOf(f))) return feq;
        }
        return 0;
    }

    std::vector<Ev> log;  // before the harness: threads it unwinds still log
    test::Harness h;
};

bool uniform(const QImage& img) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != img.pixel(0, 0)) return false;
    return true;
}

}  // namespace

// ---------------------------------------------------------------- Selected

TEST_F(Input, FocusMovesQtMakesByItselfRaiseNoSelected) {
    // The program hides or disables the focused control, or SELECTs one on the other tab page.
    struct Case {
        const char* what;
        std::function<void(Window&)> act;
        std::vector<int> selected;  // Selected events expected
    };
    const std::vector<Case> cases = {
        {"hide", [](Window& w) { w.setProp(4, Prop::Hide, true); }, {}},
        {"disable", [](Window& w) { w.setProp(4, Prop::Disable, true); }, {}},
        {"select on the other tab", [](Window& w) { w.select(6); }, {6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log.clear();
        bool acted = false;
        const int t = open(kSheetDialog, [&](Window& w) {
            if (w.event() == ev::User && !acted) acted = true, c.act(w);
        });
        h.select(4);
        ASSERT_EQ(h.focus(), 4);
        log.clear();
        POST(ev::User, 0, t);
        h.idle();
        EXPECT_EQ(selected(), c.selected);
        EXPECT_EQ(h.focus(), qtFocus());  // FOCUS() names the control Qt gave the focus to
        h.win().close();
        ASSERT_TRUE(h.waitEnd(t));
    }
}

TEST_F(Input, TurningATabPageWithTheMouseRaisesNoSelected) {
    open(kSheetDialog);
    h.select(4);
    h.type(4, QStringLiteral("абв"));
    log.clear();
    h.tabTo(2, 2);  // hides the focused entry: Qt passes the focus on
    EXPECT_TRUE(selected().empty());
    EXPECT_EQ(h.focus(), qtFocus());
    EXPECT_NE(h.focus(), 4);
    // The edit of the entry that lost the focus is finished all the same.
    EXPECT_EQ(take(ev::Accepted), (std::vector<Ev>{{ev::Accepted, 4, 0, 0}}));
    EXPECT_EQ(T().ONTAB1.str(), cp("абв"));
    // The user's own moves still are Selected events.
    h.select(6);
    h.backtab();
    h.tab();
    EXPECT_EQ(selected(), (std::vector<int>{6, 1, 6}));
}

// ---------------------------------------------------------------- typed characters

TEST_F(Input, TypedCharactersHaveACodeAndTheirCharacter) {
    open(kSheetDialog, [](Window& w) {
        if (w.event() == ev::OpenWindow)
            for (int b : {0xD4, 0xF4, 0xA8, 0xB8, int('"'), int('A')}) w.alert(10, b == 'A' ? 'A' : key::typedChar(b));
    });
    h.select(10);
    log.clear();
    h.keys(QStringLiteral("Ффё\"a"));
    h.keys(QStringLiteral("Ё"));
    EXPECT_EQ(take(ev::AlertKey), (std::vector<Ev>{{ev::AlertKey, 10, key::Char | 0xD4, 0xD4},
                                                   {ev::AlertKey, 10, key::Char | 0xF4, 0xF4},
                                                   {ev::AlertKey, 10, key::Char | 0xB8, 0xB8},
                                                   {ev::AlertKey, 10, key::Char | '"', '"'},
                                                   {ev::AlertKey, 10, 'A', 'a'},
                                                   {ev::AlertKey, 10, key::Char | 0xA8, 0xA8}}));
    // Keys that type nothing keep their codes and have no character; a character code page 1251
    // cannot hold has no code.
    log.clear();
    h.win().alert(10, key::F2);
    h.press(Qt::Key_F2);
    h.keys(QStringLiteral("€ä"));
    EXPECT_EQ(take(ev::AlertKey), (std::vector<Ev>{{ev::AlertKey, 10, key::F2, 0}}));
}

// ---------------------------------------------------------------- read-only drop lists

TEST_F(Input, AReadOnlyDropListKeepsItsValueAgainstMouseKeysAndWheel) {
    T().STATUS.set(cp("Испорчено"));
    open(kSheetDialog);
    Window& w = h.win();
    auto* cb = qobject_cast<QComboBox*>(w.control(8)->widget.data());
    ASSERT_NE(cb, nullptr);
    h.chooseRow(8, 3);  // while it may change, the user's choice goes through
    EXPECT_EQ(T().STATUS.str(), cp("Образец"));
    w.setProp(8, Prop::ReadOnly, true);
    log.clear();
    h.chooseRow(8, 1);
    h.select(8);
    for (int k : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Home, Qt::Key_End, Qt::Key_PageUp, Qt::Key_F4})
        QTest::keyClick(cb, static_cast<Qt::Key>(k));
    QTest::keyClick(cb, Qt::Key_Down, Qt::AltModifier);
    h.keys(QStringLiteral("В"));  // keyboard search
    QWheelEvent wheel(QPointF(5, 5), cb->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(cb, &wheel);
    h.idle();
    EXPECT_FALSE(cb->view()->isVisible());
    EXPECT_EQ(h.value(8), QStringLiteral("Образец"));
    EXPECT_EQ(T().STATUS.str(), cp("Образец"));
    EXPECT_TRUE(take(ev::NewSelection).empty());
    EXPECT_TRUE(take(ev::Accepted).empty());
    // It still looks as usual and takes the focus; the program still sets its value.
    EXPECT_TRUE(cb->isEnabled());
    EXPECT_EQ(h.focus(), 8);
    T().STATUS.set(cp("Выдано"));
    w.display(8);
    EXPECT_EQ(h.value(8), QStringLiteral("Выдано"));
    w.setProp(8, Prop::ReadOnly, false);
    h.chooseRow(8, 2);
    EXPECT_EQ(T().STATUS.str(), cp("Испорчено"));
}

// ---------------------------------------------------------------- images

TEST_F(Input, AnImagesTextIsItsPicture) {
    open(kSheetDialog);
    Window& w = h.win();
    QWidget* pic = w.control(9)->widget;
    EXPECT_EQ(w.propText(9, Prop::Text), QStringLiteral("blank.jpg"));
    const QImage shown = pic->grab().toImage();
    EXPECT_FALSE(uniform(shown));
    w.setProp(9, Prop::Text, QString());
    EXPECT_TRUE(uniform(pic->grab().toImage()));
    EXPECT_TRUE(w.propText(9, Prop::Text).isEmpty());
    EXPECT_TRUE(pic->isVisible());
    w.setProp(9, Prop::Text, QStringLiteral("blank.jpg"));
    EXPECT_EQ(pic->grab().toImage(), shown);
}

// ---------------------------------------------------------------- the menu bar

TEST_F(Input, MenusOnTheMenuBarShowTheirNamesAndSubmenusTheirIcons) {
    const char* layout = R"(
window kind=frame text="Рамка" at=0,0,400,200 status=-1,100
  menubar name=?MENUBAR
    menu name=?FILEMENU text="...Печать..." icon="blue.ico"
      menu name=?SUB text="Ещё" icon="blue.ico"
        item name=?DEEP text="Глубже" icon="blue.ico"
      end
      item name=?ITEM text="Пункт" icon="blue.ico"
    end
    item name=?BARITEM text="На панели" icon="blue.ico"
  end
end
)";
    open(layout);
    Window& w = h.win();
    QMenuBar* bar = w.mainWindow()->menuBar();
    const QFontMetrics fm(bar->font());
    for (const char* name : {"?FILEMENU", "?BARITEM"}) {
        QAction* a = w.action(w.feq(name));
        ASSERT_NE(a, nullptr) << name;
        EXPECT_GE(bar->actionGeometry(a).width(), fm.horizontalAdvance(a->text())) << name;
        EXPECT_EQ(w.propText(w.feq(name), Prop::Icon), QStringLiteral("blue.ico")) << name;
    }
    for (const char* name : {"?SUB", "?DEEP", "?ITEM"}) EXPECT_FALSE(w.action(w.feq(name))->icon().isNull()) << name;
    h.win().close();
}

// ---------------------------------------------------------------- a window's own message

TEST_F(Input, AWindowsMessageStandsInTheFramesStatusBarWhileItIsActive) {
    const char* frameLayout = R"(
window kind=frame text="Рамка" at=0,0,400,200 status=-1,100
end
)";
    const char* withMsg = R"(
window kind=dialog text="О программе" at=10,10,100,60 msg="Щёлкните, чтобы продолжить"
  entry use=T:COUNT at=4,20,40,10 pic=@n_5
  entry use=T:NAME at=4,4,60,10 pic=@s20 msg="Имя"
end
)";
    const char* ownBar = R"(
window kind=dialog text="Своя строка" at=10,10,100,60 msg="Своё сообщение" status=-1
  entry use=T:COUNT at=4,20,40,10 pic=@n_5
end
)";
    const int frame = open(frameLayout);
    Window* fw = Window::frame();
    ASSERT_NE(fw, nullptr);
    const int about = open(withMsg);
    h.target(about);
    h.activate();
    const QString msg = QStringLiteral("Щёлкните, чтобы продолжить");
    EXPECT_EQ(fw->statusText(1), msg);
    // A focused control's own message stands there instead; one without returns the window's.
    h.select(2);
    EXPECT_EQ(fw->statusText(1), QStringLiteral("Имя"));
    h.tab();
    EXPECT_EQ(fw->statusText(1), msg);
    // Another window active: the message goes; back again: it comes back.
    h.target(frame);
    h.activate();
    EXPECT_TRUE(fw->statusText(1).isEmpty());
    h.target(about);
    h.activate();
    EXPECT_EQ(fw->statusText(1), msg);
    h.win().close();
    ASSERT_TRUE(h.waitEnd(about));
    EXPECT_TRUE(fw->statusText(1).isEmpty());
    // A window with a status bar of its own shows its message there.
    const int own = open(ownBar);
    h.target(own);
    h.activate();
    EXPECT_EQ(h.win().statusText(1), QStringLiteral("Своё сообщение"));
    EXPECT_TRUE(fw->statusText(1).isEmpty());
    h.win().close();
    ASSERT_TRUE(h.waitEnd(own));
    h.target(frame);
    h.win().close();
    ASSERT_TRUE(h.waitEnd(frame));
}
