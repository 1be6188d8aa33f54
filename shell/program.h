#pragma once
// Program start and stop: the process start that the program (main.cpp) and the tests share,
// the main procedure _main that runs on thread 1, and the procedures the main frame starts.

#include "framework/engine/threads.h"

namespace vexlo {

// Process start after the QApplication exists: the engine, the globals and record buffers
// registered for binding, the dictionary's thread hooks, the error display, and the printer
// set-up dialog of the report engine behind PRINTERDIALOG ("...Выбрать принтер..."). firstThread
// as for processStart: the program passes 1, tests that START procedures directly pass 0.
void shellStart(int firstThread = 1);

// The main procedure, on thread 1:
//   GLOBALERRORS Init with the thread's error status; FUZZYMATCHER Init with case-insensitive
//   matching on and whole-word matching off; INIMGR Init("vexlo.INI") and the header lines from
//   its section "Header"; DCTINIT; the first print layout when there is none; the application
//   icon for every window; the desktop's drag-full-windows setting switched off while the
//   program runs when it was on; MAIN until the frame closes; the setting switched on again
//   (also when the program is ended by a fatal message and its threads are unwound); INIMGR and
//   FUZZYMATCHER Kill.
void _main();

// What the main frame's menu and toolbar start, each on a new thread with a 25000-byte stack.
// The program's own procedures by default; tests put procedures of their own in their place.
struct MenuTargets {
    vx::eng::Procedure browseForma1;  // "...Подготовка и печать 'Форма №1'..."
    vx::eng::Procedure repData;       // "...О документах за период..."
    vx::eng::Procedure period;        // "...Удалить за период..."
    vx::eng::Procedure browseNastr;   // "...Настройка формы..." and the toolbar button
    vx::eng::Procedure zast;          // "...О программе..."
};
MenuTargets& menuTargets();
// Puts the program's own procedures back.
void resetMenuTargets();

inline constexpr std::size_t kStartStack = 25000;

}  // namespace vexlo
