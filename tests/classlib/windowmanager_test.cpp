// The window manager: request modes of update forms, the cancel question, the history key, the
// required-field stop, the toolbar buttons, the dispatch order of TakeEvent and AddItem.

#include <QFont>
#include <QWidget>

#include <string>
#include <vector>

#include "wm_testutil.h"

using namespace vx;
using namespace wmtest;
namespace ev = vx::eng::ev;
using vx::eng::Prop;
using vx::eng::btn::No;
using vx::eng::btn::Ok;
using vx::eng::btn::Yes;

namespace {

class UpdateForms : public WmTest {};

TEST_F(UpdateForms, InsertWritesTheTypedRecordAndCompletes) {
    const int t = run(Request::Insert, make(0, ""));
    ASSERT_NE(h.window(), nullptr);
    EXPECT_EQ(h.focus(), NOMSV);  // the first field 1 is a prompt: the focus goes on to the entry
    h.fill(NOMSV, QStringLiteral("15"));
    h.fill(NAME, QString::fromUtf8("Иванов"));
    h.click(OK);
    ASSERT_TRUE(h.waitEnd(t));
    EXPECT_EQ(response, Response::Completed);
    EXPECT_EQ(file.name(15), "Иванов");
    EXPECT_TRUE(boxes().empty());
}

TEST_F(UpdateForms, ChangeWritesThroughUpdate) {
    file.rows.clear();
    *REC = make(7, "Старое");
    file.Update();
    const int t = run(Request::Change, make(7, "Старое"));
    h.fill(NAME, QString::fromUtf8("Новое"));
    h.click(OK);
    ASSERT_TRUE(h.waitEnd(t));
    EXPECT_EQ(response, Response::Completed);
    EXPECT_EQ(file.name(7), "Новое");
}

// Typing far more digits than any number holds into a price entry (two decimals) is refused like
// any other bad value: the program goes on, and the price stored stays a price.
TEST_F(UpdateForms, ALongTypedNumberIsRefusedNotFatal) {
    file.rows.clear();
    Rec start = make(30, "Цена");
    start.CENA = vx::Decimal::fromParts(150, 2);
    *REC = start;
    file.Update();
    const int t = run(Request::Change, start);
    h.type(CENA, QString(37, QChar('9')));  // key by key into the focused entry
    EXPECT_EQ(h.value(CENA), QString(10, QChar('9')));  // the entry stops at its picture's width
    h.press(Qt::Key_Tab);
    h.idle();
    ASSERT_TRUE(h.window() != nullptr && h.window()->isOpen());
    // Whatever the window says of the refused value is answered; then the form is left.
    auto answerAll = [&] {
        for (int guard = 0; guard < 3 && !boxes().empty(); ++guard) {
            auto b = boxes();
            h.answer((b[0].buttons & Ok) ? Ok : (b[0].buttons & Yes) ? Yes : b[0].buttons & -b[0].buttons);
            h.idle();
        }
    };
    answerAll();
    h.click(OK);
    h.idle();
    answerAll();
    if (h.window() && h.window()->isOpen()) {
        h.click(CANCEL);
        h.idle();
        answerAll();
    }
    ASSERT_TRUE(h.waitEnd(t));
    EXPECT_EQ(file.price(30), "1.50");
}

TEST_F(UpdateForms, DeleteHappensAtOnceWithoutAWindow) {
    *REC = make(9, "Удаляемый");
    file.Update();
    bool windowSeen = false;
    const int t = h.start([&] {
        *REC = make(9, "Удаляемый");
        eng::GLOBALREQUEST = Request::Delete;
        Form f(file);
        eng::GLOBALRESPONSE = static_cast<std::uint8_t>(f.Run());
        windowSeen = f.Opened();
        response = eng::GLOBALRESPONSE;
    });
    ASSERT_TRUE(h.waitEnd(t));
    EXPECT_FALSE(windowSeen);
    EXPECT_EQ(response, Response::Completed);
    EXPECT_EQ(file.rows.count(9), 0u);
    EXPECT_TRUE(boxes().empty());
    // A delete that fails leaves the response cancelled, still without a window.
    const int t2 = run(Request::Delete, make(10, "нет такого"));
    ASSERT_TRUE(h.waitEnd(t2));
    EXPECT_EQ(response, Response::Cancelled);
}

TEST_F(UpdateForms, ViewIsReadOnlyAndOkClosesWithoutWriting) {
    *REC = make(3, "Смотрим");
    file.Update();
    const int writes = file.writes;
    const int t = run(Request::View, make(3, "Смотрим"));
    ASSERT_NE(h.window(), nullptr);
    EXPECT_TRUE(h.prop(NOMSV, Prop::ReadOnly).toBool());
    EXPECT_TRUE(h.prop(NAME, Prop::ReadOnly).toBool());
    EXPECT_FALSE(h.prop(STATUS, Prop::ReadOnly).toBool());  // only the kinds asked for
    h.click(OK);
    ASSERT_TRUE(h.waitEnd(t));
    EXPECT_EQ(response, Response::Cancelled);
    EXPECT_EQ(file.writes, writes);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(UpdateForms, ARequiredFieldStopsTheSave) {
    const int t = run(Request::Insert, make(0, ""));
    h.fill(NAME, QString::fromUtf8("Без номера"));
    h.click(OK);
    EXPECT_TRUE(h.window() != nullptr && h.window()->isOpen());
    EXPECT_EQ(h.focus(), NOMSV);
    EXPECT_TRUE(file.rows.empty());
    EXPECT_TRUE(boxes().empty());
    // With the number the same OK saves.
    h.fill(NOMSV, QStringLiteral("4"));
    h.click(OK);
    ASSERT_TRUE(h.waitEnd(t));
    EXPECT_EQ(file.name(4), "Без номера");
}

TEST_F(UpdateForms, AFailedInsertKeepsTheWindowOpen) {
    *REC = make(5, "Есть");
    file.Update();
    const int t = run(Request::Insert, make(0, ""));
    h.fill(NOMSV, QStringLiteral("5"));
    h.fill(NAME, QString::fromUtf8("Второй"));
    h.click(OK);
    auto b = boxes();
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].title, QStringLiteral("Duplicate Key Error"));
    ASSERT_TRUE(h.answer(Ok));
    EXPECT_TRUE(h.window() != nullptr && h.window()->isOpen());
    EXPECT_EQ(h.value(NAME), QString::fromUtf8("Второй"));
    EXPECT_EQ(file.name(5), "Есть");
    h.click(CANCEL);  // changed: the question comes
    ASSERT_TRUE(h.answer(Yes));
    ASSERT_TRUE(h.waitEnd(t));
    EXPECT_EQ(response, Response::Cancelled);
}

TEST_F(UpdateForms, TheCancelQuestionComesOnlyAfterAChange) {
    struct Case {
        const char* what;
        bool change;
        CancelAction action;
        int closeBy;      // CANCEL or 0 for the close box
        int answer;       // 0: no question expected
    };
    const Case cases[] = {
        {"unchanged, cancel button", false, CancelAction::Confirm, CANCEL, 0},
        {"unchanged, close box", false, CancelAction::Confirm, 0, 0},
        {"changed, cancel button, Yes", true, CancelAction::Confirm, CANCEL, Yes},
        {"changed, close box, Yes", true, CancelAction::Confirm, 0, Yes},
        {"changed, plain cancel", true, CancelAction::Plain, CANCEL, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        *REC = make(20, "Имя");
        file.Update();
        const int t = run(Request::Change, make(20, "Имя"), c.action);
        if (c.change) h.type(NAME, QString::fromUtf8("Другое"));
        if (c.closeBy) h.click(c.closeBy);
        else h.window()->outer()->close();
        h.idle();
        auto b = boxes();
        if (c.answer) {
            ASSERT_EQ(b.size(), 1u);
            EXPECT_EQ(b[0].title, QStringLiteral("Changes will be lost!"));
            EXPECT_EQ(b[0].text, QStringLiteral("Are you sure you want to cancel?"));
            EXPECT_EQ(b[0].buttons, Yes | No);
            h.answer(c.answer);
        } else {
            EXPECT_TRUE(b.empty());
        }
        ASSERT_TRUE(h.waitEnd(t));
        EXPECT_EQ(response, Response::Cancelled);
        EXPECT_EQ(file.name(20), "Имя");
    }
}

TEST_F(UpdateForms, NoToTheCancelQuestionKeepsTheTypedText) {
    *REC = make(21, "Имя");
    file.Update();
    const int t = run(Request::Change, make(21, "Имя"));
    h.fill(NAME, QString::fromUtf8("Другое"));
    h.click(CANCEL);
    ASSERT_TRUE(h.answer(No));
    h.idle();
    ASSERT_TRUE(h.window() != nullptr && h.window()->isOpen());
    EXPECT_EQ(h.value(NAME), QString::fromUtf8("Другое"));
    EXPECT_EQ(h.focus(), NOMSV);  // the first field, passed on to the first control that takes it
    h.click(CANCEL);
    ASSERT_TRUE(h.answer(Yes));
    ASSERT_TRUE(h.waitEnd(t));
    EXPECT_EQ(file.name(21), "Имя");
}

TEST_F(UpdateForms, CtrlHPutsBackTheFieldOfTheLastWrittenRecord) {
    const int t = run(Request::Insert, make(0, ""));
    h.fill(NOMSV, QStringLiteral("30"));
    h.fill(NAME, QString::fromUtf8("Первый"));
    h.click(OK);
    ASSERT_TRUE(h.waitEnd(t));
    // The history record belongs to the thread: the next form runs on the same thread.
    const int t2 = h.start([&] {
        *REC = make(0, "");
        eng::GLOBALREQUEST = Request::Insert;
        {
            Form f(file);
            f.Run();
        }
        *REC = make(0, "");
        eng::GLOBALREQUEST = Request::Insert;
        Form g(file);
        form = &g;
        g.Run();
        form = nullptr;
    });
    ASSERT_NE(h.window(), nullptr);
    // First form on this thread: nothing written yet, Ctrl+H finds a blank history.
    h.type(NAME, QString::fromUtf8("Набрано"));
    h.press(Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(h.value(NAME), QString());
    h.fill(NOMSV, QStringLiteral("31"));
    h.fill(NAME, QString::fromUtf8("Второй"));
    h.click(OK);
    ASSERT_NE(h.window(), nullptr);
    h.type(NAME, QString::fromUtf8("Третий"));
    h.press(Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(h.value(NAME), QString::fromUtf8("Второй"));
    EXPECT_EQ(h.value(NOMSV), QString());  // only the focused field comes back
    // A control that is no history field keeps its value.
    h.chooseRow(STATUS, 2);
    h.press(Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(h.value(STATUS), QString::fromUtf8("Испорчено"));
    // The toolbar's history button does the same for the focused field.
    h.type(NAME, QString::fromUtf8("Четвёртый"));
    eng::POST(ev::Accepted, Nav::History, t2);
    h.idle();
    EXPECT_EQ(h.value(NAME), QString::fromUtf8("Второй"));
    h.click(CANCEL);
    h.answer(Yes);
    ASSERT_TRUE(h.waitEnd(t2));
}

TEST_F(UpdateForms, TheToolbarSelectButtonAcceptsTheForm) {
    const int t = run(Request::Insert, make(0, ""));
    h.fill(NOMSV, QStringLiteral("40"));
    eng::POST(ev::Accepted, Nav::Select, t);
    ASSERT_TRUE(h.waitEnd(t));
    EXPECT_EQ(response, Response::Completed);
    EXPECT_EQ(file.rows.count(40), 1u);
}

TEST_F(UpdateForms, TheProcedureNameIsPushedAndPopped) {
    errors.SetProcedureName(QStringLiteral("Caller"));
    QString inside;
    const int t = h.start([&] {
        eng::GLOBALREQUEST = Request::View;
        Form f(file);
        f.Init();
        inside = errors.GetProcedureName();
        f.Kill();
    });
    ASSERT_TRUE(h.waitEnd(t));
    EXPECT_EQ(inside, QStringLiteral("TestForm"));
    EXPECT_EQ(errors.GetProcedureName(), QStringLiteral("Caller"));
    errors.SetProcedureName();
}

// ---------------------------------------------------------------- dispatch

struct Log {
    std::vector<std::string> steps;
};

class Logged : public WindowComponent {
public:
    Logged(Log& log, std::string name, int answerOn = 0) : log_(log), name_(std::move(name)), answerOn_(answerOn) {}
    int TakeEvent(WindowManager& wm) override {
        if (wm.Win().event() != ev::Accepted) return 0;
        log_.steps.push_back(name_);
        return wm.Win().field() == answerOn_ ? Level::Notify : Level::Benign;
    }

private:
    Log& log_;
    std::string name_;
    int answerOn_;
};

class Dispatch : public WindowManager {
public:
    explicit Dispatch(Log& log) : log_(log) {}
    const int* cycleOn = nullptr;
    int Init() override {
        WindowManager::Init();
        Open(QStringLiteral(":/classlib/wmform.lay"));
        return 0;
    }
    int TakeWindowEvent() override {
        if (Win().event() == ev::Accepted) log_.steps.push_back("window");  // never: Accepted has a control
        return WindowManager::TakeWindowEvent();
    }
    int TakeAccepted() override {
        log_.steps.push_back("accepted");
        if (cycleOn && Win().field() == *cycleOn) return Cycle();
        return WindowManager::TakeAccepted();
    }
    int TakeFieldEvent() override {
        if (Win().event() == ev::Accepted) log_.steps.push_back("field");
        return WindowManager::TakeFieldEvent();
    }

private:
    Log& log_;
};

class DispatchTest : public WmTest {};

TEST_F(DispatchTest, StepsThenComponentsInTheOrderAddedFirstNonZeroWins) {
    Log log;
    Logged a(log, "a", OK), b(log, "b", CANCEL), c(log, "c");
    int cycle = CLOSE;
    const int t = h.start([&] {
        Dispatch d(log);
        d.AddItem(a);
        d.AddItem(b);
        d.AddItem(c);
        d.AddItem(a);  // a second add changes nothing
        d.cycleOn = &cycle;
        d.Run();
    });
    struct Case {
        int control;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {OK, {"accepted", "field", "a"}},                    // a answers 5
        {CANCEL, {"accepted", "field", "a", "b"}},           // b answers 5
        {PLAIN, {"accepted", "field", "a", "b", "c"}},       // nobody: all three
        {CLOSE, {"accepted"}},                               // the step cycles: nothing else,
    };                                                       // and the button's close is skipped
    for (const Case& k : cases) {
        log.steps.clear();
        h.window()->post(ev::Accepted, k.control);
        h.idle();
        EXPECT_EQ(log.steps, k.expected) << k.control;
    }
    EXPECT_TRUE(eng::threadAlive(t));
    // Without the cycle the standard close action of the button runs.
    cycle = 0;
    h.click(CLOSE);
    ASSERT_TRUE(h.waitEnd(t));
}

TEST_F(DispatchTest, TheBaseDispatcherRunsNothingAndCancels) {
    WindowManager wm;
    EXPECT_EQ(wm.Run(1, Request::Insert), Response::Cancelled);
}

TEST_F(DispatchTest, TheHistoryKeyIsAWindowAlert) {
    Log log;
    int restored = 0;
    class H : public Dispatch {
    public:
        H(Log& l, int& r) : Dispatch(l), r_(r) {}
        void RestoreField(int feq) override { r_ = feq; }
        int& r_;
    };
    const int t = h.start([&] {
        H d(log, restored);
        d.Init();
        d.HistoryKey = eng::key::CtrlH;
        d.SetAlerts();
        d.Ask();
        d.Kill();
    });
    h.select(NAME);
    h.press(Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(restored, NAME);
    h.window()->close();
    ASSERT_TRUE(h.waitEnd(t));
}

}  // namespace
