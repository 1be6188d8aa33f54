// The program: process start, the main procedure on thread 1, process end.

#include <QApplication>

#include "framework/engine/probe.h"
#include "framework/engine/window.h"
#include "shell/program.h"
#include "shell/version.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vexlo"));
    QApplication::setApplicationVersion(vexlo::versionText());
    vexlo::shellStart(1);
    vx::eng::startProbe();  // only with VEXLO_PROBE set (tests that drive the program from outside)
    // runMain runs _main as thread 1 and the main loop until every thread has ended, then
    // unwinds what is left before the frame and the application go.
    return vx::eng::runMain(vexlo::_main, vexlo::kStartStack);
}
