#pragma once
// Drives procedures headless for tests: starts them on logical threads, finds their controls,
// types, presses keys, clicks, tabs, reads values and properties, answers message boxes and waits
// for threads to end. Input takes the user's road: key and mouse events to the real widgets,
// message boxes answered by a click on their button. After each step it lets Qt's event loop run
// until nothing is left to do; it never runs the engine's scheduler itself, so a thread that the
// engine forgets to wake stays asleep here too.
//
//   vx::eng::test::Harness h;
//   int t = h.start(UPDATEFORMA_1);
//   h.fill("?FRM:NOMSV", "15");
//   h.click("?OK");
//   ASSERT_TRUE(h.waitEnd(t));

#include <QString>
#include <QVariant>

#include <functional>
#include <string>
#include <vector>

#include "message.h"
#include "threads.h"
#include "window.h"

namespace vx::eng::test {

class Harness {
public:
    // Creates the QApplication (offscreen platform unless QT_QPA_PLATFORM says otherwise) on first
    // use and initialises the engine.
    Harness();
    // Unwinds the threads still alive, so each test starts clean.
    ~Harness();

    // Starts a procedure on a new thread and runs until idle; the thread becomes the target of
    // the calls below.
    int start(Procedure proc, std::size_t stackBytes = 25000);
    // Runs Qt's event loop until nothing is left to do (the scheduler runs when the engine queued it).
    void idle();
    // Idle until the condition holds or nothing more can happen; returns the condition.
    bool waitFor(const std::function<bool()>& cond);
    bool waitEnd(int thread);

    // Which thread's innermost window the calls act on (default: the last started).
    void target(int thread) { thread_ = thread; }
    int target() const { return thread_; }
    Window* window() const;
    Window& win() const;  // throws when there is none

    int feq(const std::string& name) const;  // throws for an unknown name
    Control* control(int feq) const;

    void select(int feq);                    // a mouse click into the control
    void select(const std::string& name) { select(feq(name)); }
    void type(int feq, const QString& text);  // focus it, select all, type the text (UTF-8)
    void type(const std::string& name, const QString& text) { type(feq(name), text); }
    void fill(int feq, const QString& text);  // type, then Tab
    void fill(const std::string& name, const QString& text) { fill(feq(name), text); }
    void keys(const QString& text);          // types into the focused control
    void press(int qtKey, Qt::KeyboardModifiers mods = Qt::NoModifier);  // to the focused control
    void tab() { press(Qt::Key_Tab); }
    void backtab() { press(Qt::Key_Backtab, Qt::ShiftModifier); }
    void click(int feq, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers mods = Qt::NoModifier);
    void click(const std::string& name) { click(feq(name)); }
    void doubleClick(int feq);
    void clickWindow(Qt::MouseButton b = Qt::LeftButton, bool dbl = false);  // on the window's client area
    void trigger(int feq);                   // a menu item or toolbar control
    void chooseRow(int feq, int row);        // lists and drop lists: the user picks row (1-based)
    void step(int feq, int steps);           // spin arrows
    void tabTo(int sheetFeq, int tab);       // the user clicks a tab (1-based)
    void activate();                         // makes the target window the active one
    // The target window's timer ticks once, now (no waiting); false when its timer is off.
    bool tickTimer();

    int focus() const;
    QString value(int feq) const;           // the control's text as shown
    QString value(const std::string& name) const { return value(feq(name)); }
    QVariant prop(int feq, Prop p) const;

    std::vector<OpenDialog> dialogs() const;  // open message boxes and dialogs, oldest first
    // Answers the oldest open message box (of `thread`, 0 = any) by a click on a button (btn::);
    // a dialog by its accepting or rejecting button (QDialog::Accepted / Rejected); false if none.
    bool answer(int button, int thread = 0);

private:
    QWidget* focusTarget(int feq) const;
    int thread_ = 0;
};

}  // namespace vx::eng::test
