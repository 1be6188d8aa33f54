// The application frame with MDI children on their own threads: the active thread, forwarding a
// posted event, window focus events, geometry, status messages, tooltips and the dialog hooks.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QHelpEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QFrame>
#include <QAbstractButton>
#include <QToolTip>

#include <vector>

#include "framework/engine/harness.h"
#include "testvars.h"

using namespace vx::eng;

namespace {

struct Log {
    std::vector<std::pair<int, int>> events;  // (thread, event)
    int count(int thread, int event) const {
        int n = 0;
        for (auto& e : events)
            if (e.first == thread && e.second == event) ++n;
        return n;
    }
};

class Frame : public ::testing::Test {
protected:
    void SetUp() override { enginetest::resetVars(); }
    int open(const QString& layout) {
        return h.start([this, layout] {
            Window w(layout);
            while (w.accept()) log.events.push_back({THREAD(), w.event()});
        });
    }
    test::Harness h;
    Log log;
};

}  // namespace

TEST_F(Frame, ChildrenLiveInTheFrameAndTheActiveThreadFollowsTheFocus) {
    int frame = open(":/test/frame.lay");
    int a = open(":/test/form.lay");
    int b = open(":/test/form.lay");
    Window* fw = Window::frame();
    ASSERT_NE(fw, nullptr);
    EXPECT_EQ(fw->mdiArea()->subWindowList().size(), 2);
    h.target(a);
    h.activate();
    EXPECT_EQ(activeThread(), a);
    const int lost = log.count(a, ev::LoseFocus), gained = log.count(a, ev::GainFocus);
    h.target(b);
    h.activate();
    EXPECT_EQ(activeThread(), b);
    EXPECT_EQ(log.count(a, ev::LoseFocus), lost + 1);
    EXPECT_EQ(log.count(a, ev::GainFocus), gained);
    // The frame forwards a navigation button to the active child's thread.
    POST(ev::Accepted, 3006, activeThread());
    h.idle();
    EXPECT_EQ(log.count(b, ev::Accepted), 1);
    EXPECT_EQ(log.count(a, ev::Accepted), 0);
    EXPECT_EQ(log.count(frame, ev::Accepted), 0);
    // Closing the frame's thread's window ends it; the children are unwound at shutdown.
    POST(ev::CloseWindow, 0, frame);
    EXPECT_TRUE(h.waitEnd(frame));
}

TEST_F(Frame, OpenWindowComesFirstAndGeometryIsInDialogUnits) {
    int t = open(":/test/dialog.lay");
    ASSERT_FALSE(log.events.empty());
    EXPECT_EQ(log.events.front().second, ev::OpenWindow);
    Window& w = h.win();
    w.setPosition(20, 0);
    w.setSize(250, 150);
    h.idle();
    EXPECT_EQ(w.x(), 20);
    EXPECT_EQ(w.y(), 0);
    EXPECT_EQ(w.width(), 250);
    EXPECT_EQ(w.height(), 150);
    EXPECT_GE(log.count(t, ev::Moved), 1);
    EXPECT_GE(log.count(t, ev::Sized), 1);
    w.setMaximized(true);
    h.idle();
    EXPECT_TRUE(w.maximized());
    w.setMaximized(false);
    h.idle();
    EXPECT_FALSE(w.maximized());
}

TEST_F(Frame, TheFocusedControlsMessageGoesToTheStatusBar) {
    open(":/test/dialog.lay");
    h.select("?T:NAME");
    EXPECT_EQ(h.win().statusText(1), QStringLiteral("Введите имя"));
    h.tab();
    EXPECT_EQ(h.win().statusText(1), QString());
}

TEST_F(Frame, TheTooltipSwitchActsOnEveryWindow) {
    open(":/test/dialog.lay");
    QWidget* entry = h.win().control(2)->widget;
    auto tipShown = [&] {
        QToolTip::hideText();
        QHelpEvent e(QEvent::ToolTip, QPoint(2, 2), entry->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(entry, &e);
        return QToolTip::text() == entry->toolTip();
    };
    setTipsEnabled(false);
    EXPECT_FALSE(tipShown());
    setTipsEnabled(true);
    EXPECT_TRUE(tipsEnabled());
    setTipDisplayTime(6000);
    EXPECT_TRUE(tipShown());
    setTipDisplayTime(0);
}

TEST_F(Frame, DialogHooksCanBeReplacedAndDialogsBlockOnlyTheirThread) {
    auto saved = dialogHooks();
    dialogHooks().file = [](const QString& title, std::string& path, const QString&, int) {
        path = title.toStdString() + ".xls";
        return true;
    };
    std::string path;
    std::optional<std::int32_t> date;
    int a = h.start([&] {
        Window w(":/test/form.lay");
        while (w.accept())
            if (w.event() == ev::User) {
                FILEDIALOG("Forma_2", path, "All Files|*.*");
                date = CALENDAR("Дата выдачи", 4);
            }
    });
    POST(ev::User, 0, a);
    h.idle();
    EXPECT_EQ(path, "Forma_2.xls");
    auto open = h.dialogs();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].thread, a);
    EXPECT_EQ(open[0].title, QStringLiteral("Дата выдачи"));
    EXPECT_FALSE(Window::innermost(a)->widget()->isEnabled());
    h.answer(QDialog::Accepted);
    ASSERT_TRUE(date.has_value());
    EXPECT_EQ(*date, 4);  // 1 January 1801, as it was offered
    dialogHooks() = saved;
}

TEST_F(Frame, ClosingTheFrameFirstLeavesChildThreadsSafe) {
    int frame = open(":/test/frame.lay");
    int child = open(":/test/dialog.lay");
    int mdiChild = open(":/test/form.lay");
    POST(ev::CloseWindow, 0, frame);
    EXPECT_TRUE(h.waitEnd(frame));
    // The MDI child's widgets went with the frame; its thread still takes events safely.
    POST(ev::User, 0, mdiChild);
    POST(ev::User, 0, child);
    h.idle();
    EXPECT_EQ(log.count(mdiChild, ev::User), 1);
    EXPECT_EQ(log.count(child, ev::User), 1);
    EXPECT_EQ(Window::innermost(mdiChild)->widget(), nullptr);
    Window::innermost(mdiChild)->display();
    Window::innermost(mdiChild)->setProp(1, Prop::Text, QStringLiteral("x"));
    POST(ev::CloseWindow, 0, mdiChild);
    EXPECT_TRUE(h.waitEnd(mdiChild));
}

TEST_F(Frame, SwitchingToAnotherWindowDoesNotAcceptAnEdit) {
    enginetest::resetVars();
    int a = open(":/test/dialog.lay");
    int b = open(":/test/form.lay");
    h.target(a);
    h.type("?T:NAME", QStringLiteral("Иван"));
    h.target(b);
    h.activate();
    h.target(a);
    h.activate();
    EXPECT_EQ(log.count(a, ev::Accepted), 0);
    EXPECT_EQ(enginetest::T().NAME.str(), "");
    h.press(Qt::Key_Return);
    EXPECT_EQ(log.count(a, ev::Accepted), 1);
    EXPECT_EQ(enginetest::T().NAME.str(), enginetest::cp("Иван"));
}

TEST_F(Frame, ATopLevelWindowLosesTheFocusToAnotherAndSeesClicksAnywhere) {
    int a = h.start([this] {
        Window w(":/test/dialog.lay");
        w.alert(key::MouseLeft);
        w.alert(key::MouseRight);
        while (w.accept()) {
            log.events.push_back({THREAD(), w.event()});
            if (w.event() == ev::AlertKey && w.field() == 0) log.events.push_back({THREAD(), 1000 + w.keycode()});
        }
    });
    int b = open(":/test/form.lay");
    h.target(a);
    h.activate();
    const int lost = log.count(a, ev::LoseFocus);
    h.target(b);
    h.activate();
    EXPECT_EQ(log.count(a, ev::LoseFocus), lost + 1);
    h.target(a);
    h.clickWindow(Qt::LeftButton);
    h.clickWindow(Qt::RightButton);
    EXPECT_EQ(log.count(a, 1000 + key::MouseLeft), 1);
    EXPECT_EQ(log.count(a, 1000 + key::MouseRight), 1);
}

TEST_F(Frame, TheHarnessTypesIntoAnMdiChildOfTheFrame) {
    open(":/test/frame.lay");
    int child = open(":/test/form.lay");
    h.target(child);
    h.fill("?T:NAME", QStringLiteral("Контрагент"));
    EXPECT_EQ(enginetest::T().NAME.str(), enginetest::cp("Контрагент"));
    EXPECT_EQ(log.count(child, ev::Accepted), 1);
    EXPECT_EQ(activeThread(), child);
    h.click("?CANCEL");
    EXPECT_TRUE(h.waitEnd(child));
}

// Screen readers see every window, the frame, an MDI child, a dialog and a plain widget shown as
// a window (as the help viewer and the print preview are), as a window named by its title.
TEST_F(Frame, EveryWindowHasTheWindowRoleAndItsTitle) {
    int frame = open(":/test/frame.lay");
    open(":/test/form.lay");
    open(":/test/dialog.lay");
    QWidget plain(nullptr, Qt::Window);
    plain.setWindowTitle(QStringLiteral("Справка"));
    plain.show();
    h.idle();
    std::vector<QWidget*> windows{Window::frame()->outer(), &plain};
    for (QMdiSubWindow* s : Window::frame()->mdiArea()->subWindowList()) windows.push_back(s);
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->windowTitle() == QStringLiteral("Проверка")) windows.push_back(top);
    ASSERT_EQ(windows.size(), 4u);
    for (QWidget* w : windows) {
        SCOPED_TRACE(w->windowTitle().toStdString());
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->role(), QAccessible::Window);
        EXPECT_EQ(a->text(QAccessible::Name), w->windowTitle());
        EXPECT_FALSE(w->windowTitle().isEmpty());
    }
    POST(ev::CloseWindow, 0, frame);
    EXPECT_TRUE(h.waitEnd(frame));
}

// With a screen reader listening (Qt then asks for an object's interface as soon as anything about
// it changes, and keeps the first answer), every button is a push button named by its text, or by
// its tip when it shows only a picture: the frame's toolbar buttons, an MDI child's buttons and the
// buttons a message box makes without a parent. Only real windows have the window role: the
// plain widget an MDI child is built in is one no longer once it is inside its sub-window.
TEST_F(Frame, AScreenReaderSeesEveryButtonAsAPushButtonWithItsName) {
    QAccessible::setActive(true);
    const auto oldHandler = QAccessible::installUpdateHandler([](QAccessibleEvent*) {});
    struct Off {
        QAccessible::UpdateHandler h;
        ~Off() {
            QAccessible::installUpdateHandler(h);
            QAccessible::setActive(false);
        }
    } off{oldHandler};
    const int frame = open(":/test/frame.lay");
    const int child = open(":/test/form.lay");
    const int asker = h.start([] { MESSAGE(QStringLiteral("Точно?"), QStringLiteral("Вопрос"), Icon::Question, btn::Yes | btn::No, btn::No); });
    h.idle();
    auto role = [](QObject* o) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
        return a ? a->role() : QAccessible::NoRole;
    };
    auto name = [](QObject* o) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
        return a ? a->text(QAccessible::Name) : QStringLiteral("(none)");
    };
    QMessageBox* box = nullptr;
    for (QWidget* top : QApplication::allWidgets())
        if (auto* m = qobject_cast<QMessageBox*>(top); m && m->isVisible()) box = m;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(name(box), QStringLiteral("Вопрос"));
    std::vector<QString> names;
    for (QAbstractButton* b : box->buttons()) {
        EXPECT_EQ(role(b), QAccessible::Button) << name(b).toStdString();
        names.push_back(name(b));
    }
    EXPECT_EQ(names, (std::vector<QString>{QStringLiteral("Yes"), QStringLiteral("No")}));

    struct Case {
        int thread;
        const char* control;
        const char* name;
    };
    for (const Case& c : {Case{child, "?OK", "OK"}, Case{child, "?CANCEL", "Отмена"},
                          Case{frame, "?BUTTON15", "Точная настройка"}, Case{frame, "?TOOLBAR:TOP", "Go to the First Page"}}) {
        SCOPED_TRACE(c.control);
        h.target(c.thread);
        QWidget* w = h.control(h.feq(c.control))->widget;
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(role(w), QAccessible::Button);
        EXPECT_EQ(name(w), QString::fromUtf8(c.name));
    }
    h.target(child);
    QMdiSubWindow* sub = Window::frame()->mdiArea()->subWindowList().front();
    EXPECT_EQ(role(sub), QAccessible::Window);
    EXPECT_EQ(name(sub), QStringLiteral("Форма"));
    EXPECT_NE(role(sub->widget()), QAccessible::Window);
    // A panel (a plain frame) is a panel, not the border that AT-SPI would read as a window.
    QWidget host;
    EXPECT_EQ(role(new QFrame(&host)), QAccessible::Pane);

    ASSERT_TRUE(h.answer(btn::No, asker));
    EXPECT_TRUE(h.waitEnd(asker));
    POST(ev::CloseWindow, 0, frame);
    EXPECT_TRUE(h.waitEnd(frame));
}
