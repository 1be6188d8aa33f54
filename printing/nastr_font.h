#pragma once
// The print layout's font as the layout editor sets it: the caption that names it, the rule that
// gives a chosen typeface its Cyrillic name, and the font dialog over the five font globals.

#include <QString>

#include <string>
#include <string_view>

#include "shell/records.h"

namespace vexlo::printing {

// "Шрифт: [<typeface> Размер: <size>]" for the layout's typeface (clipped) and size.
QString fontCaption(const LAS_RECORD& las);

// The typeface the layout stores for a name chosen in the font dialog (code page 1251): the name
// as chosen when, clipped, it ends in "Cyr" (or "CYR", as the layouts' own typefaces do), else the
// clipped name with " Cyr" added; cut to the 31 characters of LAS:TYPEFACE.
std::string cyrillicTypeface(std::string_view chosen);

// The font dialog under `title`, starting from the globals TYPEFACE, FONTSIZE, FONTCOLOR,
// FONTSTYLE and CHARSET (the last choice of this run; before the first, from the layout's own
// font: the dialog shows the installed face that stands in for its typeface, and what the user
// leaves untouched comes back as it was, name and style included). When the user confirms, the
// choice goes into those globals and into the layout's five font fields (the typeface by the
// Cyrillic name rule) and the result is true. A cancelled dialog changes nothing.
bool chooseLayoutFont(const QString& title, LAS_RECORD& las);

}  // namespace vexlo::printing
