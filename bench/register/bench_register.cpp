// The register over 10,000 certificates, 1,000 counterparties and 30,000 animal rows: opening
// with the first page, paging, a tab change, the fuzzy order (exact and with typing errors) and a
// locator jump.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "framework/engine/harness.h"
#include "framework/types/codepage.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/runtime.h"

namespace {
using Clock = std::chrono::steady_clock;
double ms(Clock::time_point a) { return std::chrono::duration<double, std::milli>(Clock::now() - a).count(); }
std::string w(const QString& s) { return vx::cp::toCp1251(s); }
}  // namespace

int main() {
    namespace fs = std::filesystem;
    char tmpl[] = "/tmp/vx_bench_reg_XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const fs::path dir = tmpl;
    fs::current_path(dir);
    setenv("VEXLO_INI_DIR", tmpl, 1);
    vx::store::setSync(false);
    vx::eng::test::Harness h;
    vexlo::processStart(0);
    INIMGR.Init(QStringLiteral("vexlo.INI"));
    FUZZYMATCHER.Init();
    const int loader = h.start([] {
        RELATE_ANIM->SetOpenRelated();
        RELATE_ANIM->Open();
        for (int i = 1; i <= 1000; ++i) {
            ACCESS_KAGENT->PrimeRecord();
            KAG->NAME = w(QStringLiteral("Контрагент %1").arg(i, 4, 10, QLatin1Char('0')));
            ACCESS_KAGENT->Insert();
        }
        for (int i = 1; i <= 10000; ++i) {
            ACCESS_FORMA1->PrimeRecord();
            FRM->NOMSV = i;
            FRM->DATAVV = 80000 + i % 365;
            FRM->F2 = w(QStringLiteral("Контрагент %1").arg(1 + i % 1000, 4, 10, QLatin1Char('0')));
            FRM->OPIS = w(QStringLiteral("Описание %1").arg(i));
            FRM->F32 = w(QStringLiteral("Пункт назначения %1").arg(i % 97));
            ACCESS_FORMA1->Insert();
        }
        for (int i = 1; i <= 30000; ++i) {
            ACCESS_ANIM->PrimeRecord();
            ANI->NFORM = 1 + i % 10000;
            ANI->KICHKA = w(QStringLiteral("Кличка %1").arg(i));
            ACCESS_ANIM->Insert();
        }
        RELATE_ANIM->Close();
    });
    h.waitEnd(loader);

    auto t0 = Clock::now();
    const int reg = h.start(BROWSEFORMA_1);
    h.idle();
    std::printf("register_open_first_page: %.2f ms\n", ms(t0));
    h.target(reg);
    h.tabTo(11, 3);
    h.select(10);
    t0 = Clock::now();
    for (int i = 0; i < 20; ++i) h.press(Qt::Key_PageDown);
    std::printf("register_page_down: %.3f ms\n", ms(t0) / 20);
    t0 = Clock::now();
    for (int i = 0; i < 20; ++i) h.press(Qt::Key_PageUp);
    std::printf("register_page_up: %.3f ms\n", ms(t0) / 20);
    t0 = Clock::now();
    for (int i = 0; i < 5; ++i) {
        h.tabTo(11, 2);
        h.tabTo(11, 3);
    }
    std::printf("register_tab_change: %.2f ms\n", ms(t0) / 10);
    h.type(21, QStringLiteral("Описание 777"));
    t0 = Clock::now();
    h.click(22);
    std::printf("register_fuzzy_reload: %.2f ms\n", ms(t0));
    // A query with typing errors (a missing and a swapped letter): the slower tier of the matcher.
    h.type(21, QStringLiteral("Опсиание 777"));
    t0 = Clock::now();
    h.click(22);
    std::printf("register_fuzzy_reload_typo: %.2f ms\n", ms(t0));
    h.click(23);
    h.tabTo(11, 3);
    h.select(10);
    t0 = Clock::now();
    for (int i = 0; i < 10; ++i) {
        h.press(Qt::Key_5);
        h.press(Qt::Key_0);
        h.press(Qt::Key_Backspace);
        h.press(Qt::Key_Backspace);
    }
    std::printf("register_locator_jump: %.3f ms\n", ms(t0) / 40);
    h.win().close();
    h.idle();
    fs::current_path("/");
    fs::remove_all(dir);
    return 0;
}
