// Every way a blocking call can end wakes its thread at once: the window is live again and the
// call has returned, with no other event needed to get the thread going.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCalendarWidget>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QTest>
#include <QWidget>

#include <functional>
#include <string>

#include "framework/engine/harness.h"
#include "testvars.h"

using namespace vx::eng;

namespace {

class Wakeup : public ::testing::Test {
protected:
    void SetUp() override { enginetest::resetVars(); }
    test::Harness h;
};

// How the user ends the open dialog.
enum class End { Button, Accept, Esc, CloseBox };

struct Case {
    const char* what;
    std::function<std::string()> call;  // the blocking call, on the window's thread; its answer
    End end;
    int button;           // for End::Button (btn::) or End::Accept (QDialog::Accepted)
    std::string expect;   // what the call answered
};

QWidget* openDialog() {
    auto open = openDialogs();
    return open.empty() ? nullptr : open.front().widget;
}

}  // namespace

TEST_F(Wakeup, EveryWayABlockingCallEndsWakesItsThreadAtOnce) {
    auto msg = [] {
        return std::to_string(MESSAGE("Сохранить?", "Вопрос", Icon::Question, btn::Yes | btn::No | btn::Cancel, btn::Yes));
    };
    auto font = [] {
        FontChoice f{QStringLiteral("Arial"), 10, 0};
        return std::string(FONTDIALOG(QStringLiteral("Шрифт"), f) ? "chosen" : "none");
    };
    auto calendar = [] {
        auto d = CALENDAR(QStringLiteral("Дата"), 80000);
        return d ? std::to_string(*d) : std::string("none");
    };
    auto file = [] {
        std::string path = "/nonexistent/x.txt";
        return std::string(FILEDIALOG(QStringLiteral("Файл"), path, QStringLiteral("Все|*.*")) ? "chosen" : "none");
    };
    const Case cases[] = {
        {"message box, a button clicked", msg, End::Button, btn::No, std::to_string(btn::No)},
        {"message box, Esc", msg, End::Esc, 0, std::to_string(btn::Cancel)},
        {"message box, the close box", msg, End::CloseBox, 0, std::to_string(btn::Cancel)},
        {"font dialog, OK", font, End::Accept, QDialog::Accepted, "chosen"},
        {"font dialog, Esc", font, End::Esc, 0, "none"},
        {"font dialog, the close box", font, End::CloseBox, 0, "none"},
        {"calendar, OK", calendar, End::Accept, QDialog::Accepted, "80000"},
        {"calendar, Esc", calendar, End::Esc, 0, "none"},
        {"file dialog, Cancel", file, End::Accept, QDialog::Rejected, "none"},
        {"file dialog, the close box", file, End::CloseBox, 0, "none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string answered = "still waiting";
        int t = h.start([&] {
            Window w(":/test/dialog.lay");
            while (w.accept())
                if (w.event() == ev::User) {
                    answered = c.call();
                    w.close();
                }
        });
        POST(ev::User, 0, t);
        h.idle();
        QWidget* dlg = openDialog();
        ASSERT_NE(dlg, nullptr);
        Window* w = Window::innermost(t);
        ASSERT_NE(w, nullptr);
        EXPECT_FALSE(w->widget()->isEnabled());
        switch (c.end) {
        case End::Button: case End::Accept: ASSERT_TRUE(h.answer(c.button, t)); break;
        case End::Esc: QTest::keyClick(dlg, Qt::Key_Escape); break;
        case End::CloseBox: dlg->close(); break;
        }
        h.idle();
        // The thread went on at once: the call returned, handled the window's close and ended.
        EXPECT_EQ(answered, c.expect);
        EXPECT_TRUE(openDialogs().empty());
        EXPECT_FALSE(threadAlive(t));
    }
}
