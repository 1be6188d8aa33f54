#pragma once
// Shared by the procedure tests: the program's start, once per test binary, and for each test a
// working directory of its own (data files and the INI file in a temporary directory) with the
// INI manager, the globals and the data dictionary set up fresh in it.

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include "framework/engine/harness.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/runtime.h"

namespace vexlo::test {

inline void startProgramOnce() {
    static bool once = [] {
        vx::eng::test::Harness warm;  // the QApplication and the engine
        vexlo::processStart(0);
        return true;
    }();
    (void)once;
}

class ProgramDir {
public:
    // Makes the directory current and sets up the INI manager, the globals and the dictionary.
    bool enter() {
        if (!dir_.isValid()) return false;
        old_ = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        qputenv("VEXLO_INI_DIR", dir_.path().toLocal8Bit());
        INIMGR.Init(QStringLiteral("vexlo.INI"));
        vexlo::initGlobals();
        DCTINIT();
        return true;
    }
    // Undoes enter(); the test closes its own files first.
    void leave() {
        DCTKILL();
        INIMGR.Kill();
        QDir::setCurrent(old_);
    }
    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    QString old_;
};

}  // namespace vexlo::test
