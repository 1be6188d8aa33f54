#include "shell/program.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "framework/classlib/reportmanager.h"
#include "framework/engine/pictures.h"
#include "framework/engine/window.h"
#include "framework/platform/dragfullwindows.h"
#include "shell/globals.h"
#include "shell/header.h"
#include "shell/procedures.h"
#include "shell/runtime.h"

namespace vexlo {

namespace {

MenuTargets defaultTargets() { return {BROWSEFORMA_1, REP_DATA, PERIOD, BROWSENASTR, ZAST}; }

// Switches the drag-full-windows setting off for the program's run when it was on, and on again
// when the run ends, however it ends: a fatal message unwinds thread 1 instead of returning, and
// the user's desktop must not keep the program's setting. Then the INI manager and the fuzzy
// matcher are killed, in that order.
class RunGuard {
public:
    RunGuard() {
        namespace p = vx::platform;
        int current = 0;
        p::systemParametersInfo(p::SPI_GETDRAGFULLWINDOWS, 0, &current, 0);
        LCURRENTFDSETTING = current;
        if (LCURRENTFDSETTING == 1) {
            int adj = LADJFDSETTING;
            p::systemParametersInfo(p::SPI_SETDRAGFULLWINDOWS, 0, &adj, p::SPIF_UPDATEINIFILE | p::SPIF_SENDCHANGE);
        }
    }
    ~RunGuard() {
        namespace p = vx::platform;
        if (LCURRENTFDSETTING == 1) {
            int adj = LADJFDSETTING;
            p::systemParametersInfo(p::SPI_SETDRAGFULLWINDOWS, 1, &adj, p::SPIF_UPDATEINIFILE | p::SPIF_SENDCHANGE);
        }
        INIMGR.Kill();
        FUZZYMATCHER.Kill();
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;
};

}  // namespace

MenuTargets& menuTargets() {
    static MenuTargets t = defaultTargets();
    return t;
}

void resetMenuTargets() { menuTargets() = defaultTargets(); }

// Qt's own texts (standard buttons, the printer, font and file dialogs) in Russian, from Qt's
// translations (Debian qt6-translations-l10n); without them those dialogs stay English.
void installQtTranslations() {
    static QTranslator* tr = nullptr;
    if (tr) return;
    tr = new QTranslator(qApp);
    if (tr->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(tr);
}

void shellStart(int firstThread) {
    installQtTranslations();
    vx::eng::initEngine();
    processStart(firstThread);
    // "...Выбрать принтер...": the report engine's printer choice, kept for every later print.
    vx::InstallPrinterDialog();
}

void _main() {
    GLOBALERRORS.Init(*GLOBALERRORSTATUS);
    FUZZYMATCHER.Init();
    FUZZYMATCHER.SetOption(vx::FuzzyClass::CaseInsensitive, true);
    FUZZYMATCHER.SetOption(vx::FuzzyClass::WordOnly, false);
    INIMGR.Init(QStringLiteral("vexlo.INI"));
    loadHeaderLines(INIMGR.FileName());
    DCTINIT();
    ensureFirstPrintLayout();
    QApplication::setWindowIcon(vx::eng::loadIcon(QStringLiteral("vexlo.ico")));
    RunGuard guard;
    MAIN();
}

}  // namespace vexlo
