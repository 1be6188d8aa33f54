#pragma once
// Fonts, colours and dialog units.

#include <QColor>
#include <QFont>
#include <QString>

#include "layout.h"

namespace vx::eng {

// Maps the typefaces the layouts name ("Arial CYR", "Times New Roman CYR", "Courier New CYR")
// to metric-compatible installed fonts (framework/platform/fonts.h). Idempotent; runs before the
// first window.
void installFontSubstitutions();

// 0x00BBGGRR -> QColor; -1 gives an invalid colour.
QColor colorOf(int bgr);
int bgrOf(const QColor& c);

// Applies a font description over a base font (unset parts inherited).
QFont fontOf(const FontDesc& f, const QFont& base);
// Style number of a font: weight + 0x1000 italic + 0x2000 underline + 0x4000 strike-out.
int styleOf(const QFont& f);

// Dialog units of a font: x = average character width / 4, y = character height / 8 (pixels).
struct DialogUnits {
    double x = 1.5, y = 1.625;
    static DialogUnits of(const QFont& f);
};

}  // namespace vx::eng
