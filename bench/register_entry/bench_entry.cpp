// The certificate entry window's figures, headless over real data files in a temporary working
// directory: opening the window (232 controls, the blank pictures, the print layout's font on
// the 104 printed lines), and one keystroke in a line with the characters-left counter on (the
// counter redraws the whole window) against one in a line without it. Best and median of
// several runs, in milliseconds. Prints "name: value unit" lines.

#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "framework/classlib/windowmanager.h"
#include "framework/engine/harness.h"
#include "framework/types/codepage.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/runtime.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void run(vx::eng::test::Harness& h, const std::function<void()>& fn) {
    const int t = h.start([fn] { fn(); });
    h.waitEnd(t);
}

int openInsert(vx::eng::test::Harness& h) {
    return h.start([] {
        RELATE_FORMA1->Open();
        ACCESS_FORMA1->PrimeRecord();
        FRM->F2 = vx::cp::toCp1251(QString::fromUtf8("ООО Ромашка"));
        vx::eng::GLOBALREQUEST = vx::Request::Insert;
        UPDATEFORMA_1();
        RELATE_FORMA1->Close();
    });
}

}  // namespace

int main() {
    char tmpl[] = "/tmp/vx_bench_entry_XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const fs::path dir = tmpl, old = fs::current_path();
    fs::current_path(dir);
    setenv("VEXLO_INI_DIR", tmpl, 1);
    {
        vx::eng::test::Harness h;
        vexlo::processStart(0);
        INIMGR.Init(QStringLiteral("vexlo.INI"));
        GLOBALERRORS.SetDisplay([](const vx::ShownMessage&) { return true; });
        run(h, [] {
            RELATE_LAST->Open();
            ACCESS_LAST->PrimeRecord();
            LAS->NFORM = 1;
            LAS->TYPEFACE = "Times New Roman CYR";
            LAS->FONTSIZE = 10;
            LAS->FONTSTYLE = 700;
            ACCESS_LAST->Insert();
            RELATE_LAST->Close();
        });

        // Opening: from the start of the procedure until the window waits for the user.
        std::vector<double> open;
        for (int i = 0; i < 12; ++i) {
            const auto t0 = Clock::now();
            const int t = openInsert(h);
            open.push_back(ms(Clock::now() - t0));
            h.click("?CANCEL");
            h.waitEnd(t);
        }
        open.erase(open.begin());  // the first run also loads the layout, pictures and fonts

        // Keystrokes: one character typed and handled, with the whole window redrawn.
        const int t = openInsert(h);
        auto perKey = [&h](const char* line, int keys) {
            h.select(line);
            std::vector<double> runs;
            for (int r = 0; r < 5; ++r) {
                const auto t0 = Clock::now();
                for (int k = 0; k < keys; ++k) h.keys(QStringLiteral("a"));
                runs.push_back(ms(Clock::now() - t0) / keys);
                h.type(line, QString());
                h.press(Qt::Key_Delete);
            }
            return runs;
        };
        const auto counted = perKey("?FRM:F3", 40);
        const auto plain = perKey("?FRM:OPIS", 20);
        h.click("?CANCEL");
        h.waitEnd(t);

        std::printf("entry_open_best: %.2f ms\n", *std::min_element(open.begin(), open.end()));
        std::printf("entry_open_median: %.2f ms\n", median(open));
        std::printf("entry_keystroke_counter_best: %.3f ms\n", *std::min_element(counted.begin(), counted.end()));
        std::printf("entry_keystroke_counter_median: %.3f ms\n", median(counted));
        std::printf("entry_keystroke_plain_median: %.3f ms\n", median(plain));
        std::printf("entry_keystroke_counter_vs_plain: %.2f\n", median(counted) / std::max(1e-6, median(plain)));
    }
    fs::current_path(old);
    fs::remove_all(dir);
    return 0;
}
