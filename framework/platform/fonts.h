#pragma once
// Typefaces of windows and reports. Layouts name Windows typefaces ("Arial CYR", "Times New Roman CYR");
// here they print in the metric-compatible Liberation families (or the real font when installed), so
// that text occupies on paper the room the layouts were made for.

#include <QFont>
#include <QString>

namespace vx::platform {

// Maps the Cyrillic-suffixed Windows typefaces and their plain names to metric-compatible families
// through QFont::insertSubstitutions. Safe to call any number of times: an entry already present is
// not added again.
void installFontSubstitutions();

// Adds the substitution for one typeface (e.g. a print layout's), idempotently.
void substituteTypeface(const QString& typeface);

// The real family that text in `typeface` is drawn with: " CYR", " Cyr" and " CE" are dropped,
// Arial / Times New Roman / Courier New / MS Sans Serif fall back to Liberation Sans / Serif / Mono /
// Sans when the original is not installed. A blank typeface gives a blank result.
QString printFamily(const QString& typeface);

}  // namespace vx::platform
