// Window-engine figures: opening and closing a window of 232 controls built from its layout file
// (on a logical thread, through its accept loop), events per second through POST to a thread's
// handler, and the cost of one fiber switch. Best of several runs. Prints "name: value unit".

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "framework/engine/harness.h"
#include "framework/engine/vars.h"
#include "framework/types/codepage.h"
#include "framework/types/refs.h"

using namespace vx::eng;
using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// One open and close: the procedure opens the window, takes its OpenWindow event, closes.
double openClose(test::Harness& h) {
    auto t0 = Clock::now();
    int t = h.start([] {
        Window w(":/test/bench232.lay");
        while (w.accept())
            if (w.event() == ev::OpenWindow) w.close();
    });
    h.waitEnd(t);
    return ms(Clock::now() - t0);
}

}  // namespace

// The variables the benchmark layout binds: B:S<n> texts, B:N<n> sizes, B:AX, B:AY.
struct BenchVars {
    vx::STRING<40> s[240];
    vx::DEC<2, 0> n[240];
    vx::DEC<3, 1> ax, ay;
};

int main() {
    test::Harness h;
    static BenchVars bv;
    for (int i = 0; i < 240; ++i) {
        bv.s[i].set(vx::cp::toCp1251(QStringLiteral("Строка бланка %1").arg(i)));
        bv.n[i] = 8;
        vars::add("B:S" + std::to_string(i), vx::ref(bv.s[i]));
        vars::add("B:N" + std::to_string(i), vx::ref(bv.n[i]));
    }
    vars::add("B:AX", vx::ref(bv.ax));
    vars::add("B:AY", vx::ref(bv.ay));

    const double cold = openClose(h);  // parses the layout and loads its pictures the first time
    double best = 1e9;
    for (int i = 0; i < 15; ++i) best = std::min(best, openClose(h));
    std::printf("engine_open_close_232_cold: %.2f ms\n", cold);
    std::printf("engine_open_close_232: %.2f ms\n", best);
    std::printf("engine_open_close_232_vs_goal_50ms: %.3f\n", best / 50.0);

    // DISPLAY of the whole 232-control window, as a keystroke handler that redraws it does.
    {
        double bestDisplay = 1e9;
        int t = h.start([&] {
            Window w(":/test/bench232.lay");
            while (w.accept())
                if (w.event() == ev::OpenWindow) {
                    for (int i = 0; i < 20; ++i) {
                        bv.s[4 + 2 * (i % 40)].set(std::to_string(i));  // one line changed, as after a keystroke
                        auto t0 = Clock::now();
                        w.display();
                        bestDisplay = std::min(bestDisplay, ms(Clock::now() - t0));
                    }
                    w.close();
                }
        });
        h.waitEnd(t);
        std::printf("engine_display_232: %.3f ms\n", bestDisplay);
    }

    // Events through POST -> the thread's accept loop -> its handler.
    constexpr int kEvents = 200000;
    int handled = 0;
    int receiver = h.start([&] {
        Window w(":/test/form.lay");
        while (w.accept())
            if (w.event() == ev::User) ++handled;
    });
    double bestRate = 0;
    for (int round = 0; round < 3; ++round) {
        handled = 0;
        auto t0 = Clock::now();
        for (int i = 0; i < kEvents; ++i) POST(ev::User, 0, receiver);
        h.waitFor([&] { return handled == kEvents; });
        bestRate = std::max(bestRate, kEvents / std::chrono::duration<double>(Clock::now() - t0).count());
    }
    std::printf("engine_post_events: %.0f events/s\n", bestRate);
    // One event posted at a time, the thread resumed for each.
    constexpr int kSingles = 20000;
    handled = 0;
    auto t1 = Clock::now();
    for (int i = 0; i < kSingles; ++i) {
        POST(ev::User, 0, receiver);
        detail::runReady();
    }
    h.waitFor([&] { return handled == kSingles; });
    std::printf("engine_post_resume_each: %.0f events/s\n", kSingles / std::chrono::duration<double>(Clock::now() - t1).count());
    POST(ev::CloseWindow, 0, receiver);
    h.waitEnd(receiver);

    // A fiber switch: two resumes and two yields per round trip.
    constexpr int kSwitches = 1000000;
    bool go = true;
    int turns = 0;
    int t = START([&] {
        while (turns < kSwitches) {
            ++turns;
            bool flip = false;
            detail::waitUntil([&] { return std::exchange(flip, true); });
        }
    });
    (void)go;
    auto t2 = Clock::now();
    while (threadAlive(t)) detail::runReady();
    const double ns = std::chrono::duration<double, std::nano>(Clock::now() - t2).count() / (2.0 * kSwitches);
    std::printf("engine_fiber_switch: %.1f ns\n", ns);
    return 0;
}
