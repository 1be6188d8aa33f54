// Logical threads: START, per-thread data and hooks, POST, nested forms, blocking message boxes,
// failures and shutdown.

#include <gtest/gtest.h>

#include <QWidget>

#include <map>
#include <string>
#include <vector>

#include "framework/engine/harness.h"
#include "testvars.h"

using namespace vx::eng;
using enginetest::resetVars;

namespace {

struct Rec {
    int id = 0;
};
PerThread<Rec> REC;

// Thread hooks log "start A", "start B", "end B", "end A" per thread; the per-thread object made
// by hook A must outlive hook B's end.
std::vector<std::string>& hookLog() {
    static std::vector<std::string> l;
    return l;
}
struct Tracked {
    ~Tracked() { hookLog().push_back("destroy " + std::to_string(THREAD())); }
};
PerThread<Tracked> TRACKED;
const bool hooksInstalled = [] {
    addThreadHooks([] { hookLog().push_back("start A " + std::to_string(THREAD())); TRACKED.create(); },
                   [] { hookLog().push_back("end A " + std::to_string(THREAD())); });
    addThreadHooks([] { hookLog().push_back("start B " + std::to_string(THREAD())); },
                   [] { hookLog().push_back("end B " + std::to_string(THREAD())); });
    return true;
}();

class Threads : public ::testing::Test {
protected:
    void SetUp() override { resetVars(); }
    test::Harness h;
};

// A form called directly: its own accept loop on the caller's thread; OK answers `result`.
int runForm(int result) {
    Window w(":/test/form.lay");
    int answer = 0;
    while (w.accept()) {
        if (w.event() == ev::Accepted && w.field() == w.feq("?OK")) {
            answer = result;
            w.close();
        }
    }
    return answer;
}

}  // namespace

TEST_F(Threads, StartReturnsAtOnceAndTheThreadEndsWithItsProcedure) {
    bool ran = false;
    int t = START([&] { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_TRUE(threadAlive(t));
    h.idle();
    EXPECT_TRUE(ran);
    EXPECT_FALSE(threadAlive(t));
}

TEST_F(Threads, PerThreadDataStaysApartAndHandOverVariablesStartAtZero) {
    bool go = false;
    std::map<int, int> seen, request;
    auto proc = [&] {
        request[THREAD()] = GLOBALREQUEST;
        REC->id = THREAD() * 100;
        GLOBALREQUEST = static_cast<std::uint8_t>(THREAD());
        detail::waitUntil([&] { return go; });
        seen[THREAD()] = REC->id * 1000 + GLOBALREQUEST;
    };
    REC->id = 7;  // the main stack's own copy
    int a = START(proc);
    int b = START(proc);
    h.idle();
    go = true;
    detail::schedule();
    h.idle();
    EXPECT_EQ(request[a], 0);
    EXPECT_EQ(request[b], 0);
    EXPECT_EQ(seen[a], a * 100 * 1000 + a);
    EXPECT_EQ(seen[b], b * 100 * 1000 + b);
    EXPECT_EQ(REC->id, 7);
}

TEST_F(Threads, HooksRunInOrderAtStartAndInReverseAtEnd) {
    hookLog().clear();
    int t = START([] { hookLog().push_back("proc " + std::to_string(THREAD())); });
    h.idle();
    const std::string n = std::to_string(t);
    EXPECT_EQ(hookLog(), (std::vector<std::string>{"start A " + n, "start B " + n, "proc " + n, "end B " + n,
                                                   "end A " + n, "destroy " + n}));
}

TEST_F(Threads, PostReachesAnotherThreadsWindow) {
    std::vector<std::pair<int, int>> got;
    int receiver = h.start([&] {
        Window w(":/test/form.lay");
        while (w.accept())
            if (w.event() >= ev::User) got.push_back({w.event(), w.field()});
    });
    POST(ev::User + 1, 7, receiver);  // from the main stack
    START([&] { POST(ev::User + 2, 0, receiver); });  // from another thread
    h.idle();
    EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{ev::User + 1, 7}, {ev::User + 2, 0}}));
    POST(ev::CloseWindow, 0, receiver);
    EXPECT_TRUE(h.waitEnd(receiver));
}

// Two threads each inside a nested form; the forms are closed in either order, and each caller
// goes on after its call with its own result.
class NestedForms : public Threads, public ::testing::WithParamInterface<bool> {};

TEST_P(NestedForms, EachCallerGetsItsOwnResult) {
    std::map<int, int> result;
    std::map<int, bool> after;
    auto caller = [&] {
        Window w(":/test/dialog.lay");
        while (w.accept()) {
            if (w.event() == ev::User) {
                result[THREAD()] = runForm(THREAD() * 10);
                after[THREAD()] = true;
                w.close();
            }
        }
    };
    int a = h.start(caller);
    int b = h.start(caller);
    POST(ev::User, 0, a);
    POST(ev::User, 0, b);
    h.idle();
    ASSERT_EQ(Window::innermost(a)->desc().name, "FORM");
    ASSERT_EQ(Window::innermost(b)->desc().name, "FORM");

    const bool aFirst = GetParam();
    const int first = aFirst ? a : b, second = aFirst ? b : a;
    h.target(first);
    h.click("?OK");
    EXPECT_EQ(result[first], first * 10);
    EXPECT_TRUE(after[first]);
    EXPECT_FALSE(after[second]);
    ASSERT_NE(Window::innermost(second), nullptr);
    EXPECT_EQ(Window::innermost(second)->desc().name, "FORM");
    h.target(second);
    h.click("?OK");
    EXPECT_EQ(result[second], second * 10);
    EXPECT_TRUE(h.waitEnd(a));
    EXPECT_TRUE(h.waitEnd(b));
}
INSTANTIATE_TEST_SUITE_P(EitherOrder, NestedForms, ::testing::Bool());

TEST_F(Threads, AFormDisablesOnlyItsCallersWindow) {
    auto caller = [&] {
        Window w(":/test/dialog.lay");
        while (w.accept())
            if (w.event() == ev::User) runForm(1);
    };
    int a = h.start(caller);
    int b = h.start(caller);
    POST(ev::User, 0, a);
    h.idle();
    Window* formA = Window::innermost(a);
    ASSERT_EQ(formA->desc().name, "FORM");
    EXPECT_TRUE(formA->widget()->isEnabled());
    EXPECT_TRUE(Window::innermost(b)->widget()->isEnabled());
    h.target(a);
    h.click("?CANCEL");
    EXPECT_TRUE(Window::innermost(a)->widget()->isEnabled());
    EXPECT_EQ(Window::innermost(a)->desc().name, "TESTWIN");
}

TEST_F(Threads, AMessageBoxBlocksOnlyItsOwnThread) {
    int answer = 0;
    int posted = 0;
    int a = h.start([&] {
        Window w(":/test/dialog.lay");
        while (w.accept())
            if (w.event() == ev::User) answer = MESSAGE("Удалить?|Точно?", "Вопрос", Icon::Question, btn::Yes | btn::No, btn::No);
    });
    int b = h.start([&] {
        Window w(":/test/dialog.lay");
        while (w.accept())
            if (w.event() == ev::User) ++posted;
    });
    POST(ev::User, 0, a);
    h.idle();
    auto open = h.dialogs();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].thread, a);
    EXPECT_EQ(open[0].text, QStringLiteral("Удалить?\nТочно?"));
    EXPECT_FALSE(Window::innermost(a)->widget()->isEnabled());
    // The other thread goes on handling its events meanwhile.
    POST(ev::User, 0, b);
    POST(ev::User, 0, b);
    h.idle();
    EXPECT_EQ(posted, 2);
    EXPECT_TRUE(Window::innermost(b)->widget()->isEnabled());
    EXPECT_EQ(answer, 0);
    EXPECT_TRUE(h.answer(btn::Yes, a));
    EXPECT_EQ(answer, btn::Yes);
    EXPECT_TRUE(Window::innermost(a)->widget()->isEnabled());
    EXPECT_TRUE(h.dialogs().empty());
}

TEST_F(Threads, AnExceptionEndsOnlyItsThreadAndIsReported) {
    std::vector<std::string> reported;
    detail::setErrorReporter([&](int, const std::string& what) { reported.push_back(what); });
    bool go = false, stillCaught = false, done = false;
    int bad = START([] { throw std::runtime_error("broken"); });
    // A thread that waits inside a catch block keeps its own exception state across the switch.
    START([&] {
        try {
            throw std::logic_error("inner");
        } catch (const std::exception&) {
            detail::waitUntil([&] { return go; });
            stillCaught = std::current_exception() != nullptr;
        }
        done = true;
    });
    h.idle();
    EXPECT_EQ(std::current_exception(), nullptr);  // the main stack handles no exception
    go = true;
    detail::schedule();
    h.idle();
    detail::setErrorReporter(nullptr);
    EXPECT_FALSE(threadAlive(bad));
    EXPECT_EQ(reported, std::vector<std::string>{"broken"});
    EXPECT_TRUE(stillCaught);
    EXPECT_TRUE(done);
    EXPECT_EQ(std::current_exception(), nullptr);
}

TEST_F(Threads, ShutdownUnwindsWaitingThreads) {
    bool destroyed = false;
    struct Guard {
        bool* flag;
        ~Guard() { *flag = true; }
    };
    int t = START([&] {
        Guard g{&destroyed};
        Window w(":/test/form.lay");
        while (w.accept()) {
        }
    });
    h.idle();
    ASSERT_TRUE(threadAlive(t));
    detail::shutdownThreads();
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(threadAlive(t));
}

TEST_F(Threads, WaitingOutsideAThreadIsAnError) {
    EXPECT_THROW(detail::waitUntil([] { return false; }), std::logic_error);
}

TEST_F(Threads, RunMainReturnsWhenThreadOneEndsAndUnwindsTheOthers) {
    bool otherUnwound = false;
    struct Guard {
        bool* flag;
        ~Guard() { *flag = true; }
    };
    int rc = runMain([&] {
        START([&] {
            Guard g{&otherUnwound};
            Window w(":/test/form.lay");
            while (w.accept()) {
            }
        });
        Window w(":/test/form.lay");
        while (w.accept())
            if (w.event() == ev::OpenWindow) w.close();
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(otherUnwound);
    EXPECT_TRUE(threads().empty());
}

TEST_F(Threads, AMessageBoxClosedWithoutAButtonAnswersItsEscapeButton) {
    struct Case {
        int buttons, def, expect;
    };
    const Case cases[] = {
        {btn::Yes | btn::No, btn::Yes, btn::No},
        {btn::Ok | btn::Cancel, btn::Ok, btn::Cancel},
        {btn::Ok, 0, btn::Ok},
    };
    for (const Case& c : cases) {
        int answer = 0;
        START([&] { answer = MESSAGE("?", "t", Icon::Exclamation, c.buttons, c.def); });
        h.idle();
        auto open = h.dialogs();
        ASSERT_EQ(open.size(), 1u);
        open[0].widget->close();
        h.idle();
        EXPECT_EQ(answer, c.expect) << c.buttons;
    }
}
