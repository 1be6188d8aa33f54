#pragma once
// The process-wide service objects and the part of process start that every entry point shares:
// the program itself (shell/main.cpp) and the tests that drive its procedures headless.

#include "framework/classlib/fuzzy.h"
#include "framework/classlib/inimanager.h"
#include "shell/dictionary.h"

extern vx::IniClass INIMGR;
extern vx::FuzzyClass FUZZYMATCHER;

namespace vexlo {

// Registers every global and every per-thread record buffer with the window engine's variable
// registry (controls and the evaluator bind by name), installs the dictionary's thread hooks,
// shows GLOBALERRORS' messages through the window engine, queues the INI file notices for a
// message box once the frame is up (shell/notices.h) and gives the procedure frame its error
// and INI managers. Call once, after the QApplication and vx::eng::initEngine(), before the first
// START. firstThread is the thread that builds its own managers (the program's thread 1 runs
// DCTINIT in _main); tests that START procedures directly pass 0, so every thread builds its own.
void processStart(int firstThread = 1);

}  // namespace vexlo
