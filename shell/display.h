#pragma once
// The program's window system. Without a display to open its windows on the program does not
// start at all: it says so in one line on standard error and ends with exit code 0, before the
// main procedure runs (nothing is read or written).

#include <QApplication>

#include <memory>

namespace vexlo {

// The application object on the window system Qt chooses, or null when there is none; the line
// that says why has then been written.
std::unique_ptr<QApplication> openDisplay(int& argc, char** argv);

}  // namespace vexlo
