#include "framework/platform/fonts.h"

#include <QFontDatabase>
#include <QHash>
#include <QStringList>

namespace vx::platform {
namespace {

struct Pair {
    const char* windows;
    const char* liberation;
};

constexpr Pair kMetricTwins[] = {
    {"Arial", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},
    {"MS Sans Serif", "Liberation Sans"},
};

QString stripSuffix(const QString& typeface) {
    QString t = typeface.trimmed();
    for (const char* suffix : {" CYR", " CE"}) {
        if (t.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) {
            t.chop(int(qstrlen(suffix)));
            return t.trimmed();
        }
    }
    return t;
}

const char* twinOf(const QString& base) {
    for (const Pair& p : kMetricTwins)
        if (base.compare(QLatin1String(p.windows), Qt::CaseInsensitive) == 0) return p.liberation;
    return nullptr;
}

bool installed(const QString& family) {
    static QHash<QString, bool> cache;
    auto it = cache.constFind(family);
    if (it != cache.constEnd()) return *it;
    const bool has = QFontDatabase::families().contains(family, Qt::CaseInsensitive);
    cache.insert(family, has);
    return has;
}

void addSubstitute(const QString& name, const QStringList& targets) {
    QStringList present = QFont::substitutes(name);
    QStringList missing;
    for (const QString& t : targets)
        if (!present.contains(t, Qt::CaseInsensitive)) missing << t;
    if (!missing.isEmpty()) QFont::insertSubstitutions(name, missing);
}

}  // namespace

QString printFamily(const QString& typeface) {
    const QString base = stripSuffix(typeface);
    if (base.isEmpty()) return {};
    if (const char* twin = twinOf(base)) {
        if (installed(base)) return base;
        return QString::fromLatin1(twin);
    }
    return base;
}

void substituteTypeface(const QString& typeface) {
    const QString name = typeface.trimmed();
    if (name.isEmpty()) return;
    const QString base = stripSuffix(name);
    QStringList targets;
    if (base.compare(name, Qt::CaseInsensitive) != 0) targets << base;
    if (const char* twin = twinOf(base)) targets << QString::fromLatin1(twin);
    if (!targets.isEmpty()) addSubstitute(name, targets);
}

void installFontSubstitutions() {
    for (const Pair& p : kMetricTwins) {
        const QString w = QString::fromLatin1(p.windows);
        substituteTypeface(w + QLatin1String(" CYR"));
        substituteTypeface(w + QLatin1String(" Cyr"));
        substituteTypeface(w + QLatin1String(" CE"));
        substituteTypeface(w);
    }
}

}  // namespace vx::platform
