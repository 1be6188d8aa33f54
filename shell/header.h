#pragma once
// The issuing body's header lines Z1 to Z6. They start as the process initialiser leaves them
// (built-in defaults for Z1 to Z4, Z5 and Z6 blank); at program start the INI file can replace
// each of them: section "Header", keys "Z1" to "Z6". A key that is missing keeps the line as it
// is; a key that is present (even empty) gives its value, cut to the line's 50 characters.

#include <QString>

namespace vexlo {

// Reads the header lines from the INI file named as the INI manager names it ("vexlo.INI").
void loadHeaderLines(const QString& iniFile);

}  // namespace vexlo
