#include "fonts.h"

#include <QFontMetricsF>
#include <QHash>

#include "framework/platform/fonts.h"

namespace vx::eng {

void installFontSubstitutions() { vx::platform::installFontSubstitutions(); }

QColor colorOf(int bgr) {
    if (bgr < 0) return {};
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

int bgrOf(const QColor& c) {
    if (!c.isValid()) return -1;
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

QFont fontOf(const FontDesc& f, const QFont& base) {
    QFont r = base;
    if (!f.face.isEmpty()) r.setFamily(f.face);
    if (f.size > 0) r.setPointSize(f.size);
    if (f.style >= 0) {
        int w = f.style & 0xFFF;
        r.setWeight(static_cast<QFont::Weight>(w == 0 ? 400 : std::clamp(w, 100, 900)));
        r.setItalic(f.style & 0x1000);
        r.setUnderline(f.style & 0x2000);
        r.setStrikeOut(f.style & 0x4000);
    }
    return r;
}

int styleOf(const QFont& f) {
    int s = f.weight();
    if (f.italic()) s |= 0x1000;
    if (f.underline()) s |= 0x2000;
    if (f.strikeOut()) s |= 0x4000;
    return s;
}

DialogUnits DialogUnits::of(const QFont& f) {
    static QHash<QString, DialogUnits> cache;
    const QString key = f.key();
    auto it = cache.constFind(key);
    if (it != cache.constEnd()) return *it;
    QFontMetricsF m(f);
    // The average width of the Latin letters, as the dialog-unit base is defined.
    const double avg =
        m.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
    DialogUnits du{std::max(1.0, avg) / 4.0, std::max(1.0, m.height()) / 8.0};
    cache.insert(key, du);
    return du;
}

}  // namespace vx::eng
