// The program: process start, the main procedure on thread 1, process end.

#include <QApplication>

#include "framework/engine/probe.h"
#include "framework/engine/window.h"
#include "shell/display.h"
#include "shell/program.h"
#include "shell/version.h"

int main(int argc, char** argv) {
    // Without a display the program ends here, with exit code 0 and one line on standard error.
    const std::unique_ptr<QApplication> app = vexlo::openDisplay(argc, argv);
    if (!app) return 0;
    QApplication::setApplicationName(QStringLiteral("vexlo"));
    QApplication::setApplicationVersion(vexlo::versionText());
    vexlo::shellStart(1);
    vx::eng::startProbe();  // only with VEXLO_PROBE set (tests that drive the program from outside)
    // runMain runs _main as thread 1 and the main loop until every thread has ended, then
    // unwinds what is left before the frame and the application go.
    return vx::eng::runMain(vexlo::_main, vexlo::kStartStack);
}
