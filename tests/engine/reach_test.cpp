// Everything reached by keyboard alone: Ctrl+PgDn / Ctrl+PgUp turn a sheet's pages with the focus
// on the first control of the page shown; Ctrl+Tab / Ctrl+F6 go from MDI window to MDI window and
// pass over a window that waits for another (it would hide the one it waits for, with the focus
// nowhere).

#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTabWidget>
#include <QTest>

#include <functional>
#include <vector>

#include "framework/engine/harness.h"
#include "framework/engine/layout.h"
#include "testvars.h"

using namespace vx::eng;

namespace {

// 1 entry, 2 sheet, 3 tab, 4 entry, 5 tab, 6 button (skip), 7 entry, 8 hidden tab, 9 entry,
// 10 tab, 11 button (skip).
const char* kSheet = R"(
window kind=dialog text="Лист" at=10,10,300,150
  entry use=T:NAME at=4,4,100,10 pic=@s20
  sheet name=?SHEET at=4,20,290,120
    tab name=?TAB1 text="Первая"
      entry use=T:ONTAB1 at=10,40,60,10 pic=@s10 imm
    end
    tab name=?TAB2 text="Вторая"
      button name=?SKIPPED text="Пропуск" at=10,40,50,14 skip
      entry use=T:ONTAB2 at=10,60,60,10 pic=@s10
    end
    tab name=?TAB3 text="Скрытая" hide
      entry use=T:COUNT at=10,40,60,10 pic=@n_5
    end
    tab name=?TAB4 text="Четвёртая"
      button name=?ONLY text="Только" at=10,40,50,14 skip
    end
  end
end
)";

const char* kNested = R"(
window kind=mdi text="Вложенная" at=,,120,60
  entry use=T:ONTAB2 at=4,4,100,10 pic=@s10
end
)";

class Reach : public ::testing::Test {
protected:
    void SetUp() override { enginetest::resetVars(); }
    int open(std::shared_ptr<const WinDesc> desc) {
        return h.start([this, desc] {
            Window w(desc);
            while (w.accept()) log.push_back({w.event(), w.field()});
        });
    }
    int count(int event, int field) const {
        int n = 0;
        for (auto& e : log) n += e.first == event && e.second == field;
        return n;
    }
    test::Harness h;
    std::vector<std::pair<int, int>> log;
};

}  // namespace

TEST_F(Reach, CtrlPgDnAndCtrlPgUpTurnTheSheetAndTheFocusGoesToThePageShown) {
    open(parseLayout(QString::fromUtf8(kSheet), QStringLiteral("reach_sheet")));
    const int sheet = h.feq("?SHEET");
    auto* tw = static_cast<QTabWidget*>(h.control(sheet)->widget.data());
    const int onTab1 = h.feq("T:ONTAB1"), onTab2 = h.feq("T:ONTAB2"), only = h.feq("?ONLY");
    h.type(onTab1, QStringLiteral("первый"));

    struct Step {
        Qt::Key key;
        int page;   // 0-based page shown after the key
        int focus;  // the control that then has the focus
    };
    // Page 3 is hidden: passed over both ways; the last page's one control is out of the Tab
    // order and still gets the focus; from the last page the first comes next, and back.
    const Step steps[] = {{Qt::Key_PageDown, 1, onTab2}, {Qt::Key_PageDown, 3, only}, {Qt::Key_PageDown, 0, onTab1},
                          {Qt::Key_PageUp, 3, only},     {Qt::Key_PageUp, 1, onTab2}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.page);
        const int shown = count(ev::NewSelection, sheet);
        const int selected = count(ev::Selected, s.focus);
        h.press(s.key, Qt::ControlModifier);
        EXPECT_EQ(tw->currentIndex(), s.page);
        EXPECT_EQ(h.focus(), s.focus);
        EXPECT_EQ(QApplication::focusWidget(), h.control(s.focus)->widget.data());
        EXPECT_EQ(count(ev::NewSelection, sheet), shown + 1);     // as a click on the tab
        EXPECT_EQ(count(ev::Selected, s.focus), selected + 1);    // a real focus move
    }
    // What was typed before the page turned went into its variable.
    EXPECT_EQ(enginetest::T().ONTAB1.str(), enginetest::cp("первый"));
    EXPECT_EQ(count(ev::Accepted, onTab1), 1);

    // With the focus on no sheet the keys change nothing.
    h.select(h.feq("T:NAME"));
    h.press(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(tw->currentIndex(), 1);
    EXPECT_EQ(h.focus(), h.feq("T:NAME"));
}

TEST_F(Reach, CtrlTabAndCtrlF6PassOverAWindowThatWaitsForAnother) {
    open(loadLayout(QStringLiteral(":/test/frame.lay")));
    const int other = open(loadLayout(QStringLiteral(":/test/form.lay")));
    // A thread whose first window waits for the second it opened over it (a form over a list).
    const auto nested = parseLayout(QString::fromUtf8(kNested), QStringLiteral("reach_nested"));
    const int waiting = h.start([nested] {
        Window under(QStringLiteral(":/test/form.lay"));
        Window over(nested);
        while (over.accept()) {
        }
    });
    QMdiArea* area = Window::frame()->mdiArea();
    h.target(waiting);
    QMdiSubWindow* over = qobject_cast<QMdiSubWindow*>(h.win().outer());
    ASSERT_NE(over, nullptr);
    h.target(other);
    QMdiSubWindow* free = qobject_cast<QMdiSubWindow*>(h.win().outer());
    ASSERT_NE(free, nullptr);
    ASSERT_EQ(area->subWindowList().size(), 3);

    struct Step {
        int from;  // the thread whose window has the focus
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        QMdiSubWindow* active;
    };
    const Step steps[] = {{waiting, Qt::Key_Tab, Qt::ControlModifier, free},
                          {other, Qt::Key_Tab, Qt::ControlModifier, over},
                          {waiting, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, free},
                          {other, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, over},
                          {waiting, Qt::Key_F6, Qt::ControlModifier, free},
                          {other, Qt::Key_F6, Qt::ControlModifier | Qt::ShiftModifier, over}};
    for (const Step& s : steps) {
        SCOPED_TRACE(QKeySequence(s.key | s.mods).toString().toStdString());
        h.target(s.from);
        h.press(s.key, s.mods);
        EXPECT_EQ(area->activeSubWindow(), s.active);
        EXPECT_EQ(activeThread(), s.active == over ? waiting : other);
        EXPECT_TRUE(s.active->isAncestorOf(QApplication::focusWidget()));
    }
    // Even from the waiting window itself (a click made it the active one, its controls take no
    // input), Ctrl+Tab goes on to a window that takes input.
    QMdiSubWindow* under = nullptr;
    for (QMdiSubWindow* s : area->subWindowList())
        if (s != over && s != free) under = s;
    ASSERT_NE(under, nullptr);
    area->setActiveSubWindow(under);
    h.idle();
    QTest::keyClick(under, Qt::Key_Tab, Qt::ControlModifier);
    h.idle();
    EXPECT_NE(area->activeSubWindow(), under);
    EXPECT_NE(area->activeSubWindow(), nullptr);
    // With the other window closed, the keys leave the focus where it is.
    h.target(other);
    h.click("?CANCEL");
    ASSERT_TRUE(h.waitEnd(other));
    h.target(waiting);
    for (Qt::Key k : {Qt::Key_Tab, Qt::Key_F6}) {
        h.press(k, Qt::ControlModifier);
        EXPECT_EQ(area->activeSubWindow(), over);
        EXPECT_TRUE(over->isAncestorOf(QApplication::focusWidget()));
    }
}
