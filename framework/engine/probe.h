#pragma once
// The window probe: a read-only picture of what is on the screen, for tests that drive the
// program from outside (tests/display). When the environment variable VEXLO_PROBE names a
// directory, the program keeps the file "windows.json" there up to date: every visible top-level
// and MDI window with its frame and client rectangles in screen pixels, and its visible controls
// (the engine's control names, types, texts, rectangles, state, the visible rows of lists). The
// file is replaced atomically, and only when something changed. Beside it, "presses" holds the
// number of mouse presses the program has read, written as each is read. Without the variable
// nothing runs.

#include <QByteArray>

namespace vx::eng {

// Starts the probe when VEXLO_PROBE is set (call once, after the QApplication exists).
void startProbe();
// The current picture as JSON (what the probe writes).
QByteArray probeSnapshot();

}  // namespace vx::eng
