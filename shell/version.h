#pragma once
// The program's version and the main frame's title, which carries it.

#include <QString>

namespace vexlo {

// "1.0.0": the project's version.
QString versionText();

// The displayed name of the program: the national veterinary service, the task and the version.
QString frameTitle();

}  // namespace vexlo
