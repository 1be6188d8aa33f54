#include "inimanager.h"

#include "framework/engine/window.h"
#include "framework/platform/profile.h"
#include "framework/types/codepage.h"

namespace vx {

namespace {

const char kSectorsSection[] = "Sectors";
const char kSectorsKey[] = "__Dont_Touch_Me__";
constexpr int kMaxCoordinate = 32767;  // beyond any screen, in dialog units

std::string b(const QString& s) { return cp::toCp1251(s); }

// A whole decimal number within the screen range; nothing for anything else.
std::optional<int> number(const std::optional<QString>& text, int low) {
    if (!text) return std::nullopt;
    bool ok = false;
    const int v = text->trimmed().toInt(&ok);
    if (!ok || v < low || v > kMaxCoordinate) return std::nullopt;
    return v;
}

}  // namespace

void IniClass::Init(const QString& fileName) {
    file_ = fileName;
    inited_ = true;
    sectors_.clear();
    const std::optional<QString> stored = TryFetch(QString::fromLatin1(kSectorsSection), QString::fromLatin1(kSectorsKey));
    sectorsStored_ = stored.has_value();
    if (stored)
        for (const QString& name : stored->split(QLatin1Char(','), Qt::SkipEmptyParts))
            if (!name.trimmed().isEmpty()) AddSector(name.trimmed());
}

void IniClass::Kill() {
    if (!inited_) return;
    if (!sectors_.isEmpty() || sectorsStored_) {
        std::optional<QString> value;
        if (!sectors_.isEmpty()) value = sectors_.join(QLatin1Char(','));
        Update(QString::fromLatin1(kSectorsSection), QString::fromLatin1(kSectorsKey), value);
    }
    inited_ = false;
}

void IniClass::AddSector(const QString& name) {
    QString n = name;
    n.replace(QLatin1Char(','), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    n = n.trimmed();
    if (n.isEmpty()) return;
    for (const QString& s : sectors_)
        if (s.compare(n, Qt::CaseInsensitive) == 0) return;
    sectors_.push_back(n);
}

void IniClass::RemoveSector(const QString& name) {
    sectors_.removeIf([&](const QString& s) { return s.compare(name.trimmed(), Qt::CaseInsensitive) == 0; });
}

std::optional<QString> IniClass::TryFetch(const QString& section, const QString& key) const {
    if (file_.isEmpty()) return std::nullopt;
    // A value can never hold a line break, so it marks a missing key.
    static const std::string kMissing = "\n";
    const std::string v = platform::getProfileString(b(section), b(key), kMissing, b(file_));
    if (v == kMissing) return std::nullopt;
    return cp::fromCp1251(v);
}

QString IniClass::Fetch(const QString& section, const QString& key, const QString& defaultValue) const {
    return TryFetch(section, key).value_or(defaultValue);
}

bool IniClass::Update(const QString& section, const QString& key, const std::optional<QString>& value) {
    return Update(section, {{key, value}});
}

bool IniClass::Update(const QString& section, const std::vector<std::pair<QString, std::optional<QString>>>& entries) {
    if (file_.isEmpty()) return false;
    std::vector<platform::ProfileEntry> out;
    out.reserve(entries.size());
    for (const auto& [k, v] : entries) out.emplace_back(b(k), v ? std::optional<std::string>(b(*v)) : std::nullopt);
    return platform::writeProfileStrings(b(section), out, b(file_));
}

bool IniClass::DeleteSection(const QString& section) {
    if (file_.isEmpty()) return false;
    return platform::deleteProfileSection(b(section), b(file_));
}

std::optional<WindowPlace> IniClass::FetchPlace(const QString& section, bool resizable) const {
    auto yesNo = [&](const char* key) -> std::optional<bool> {
        const std::optional<QString> v = TryFetch(section, QString::fromLatin1(key));
        if (!v) return std::nullopt;
        const QString t = v->trimmed();
        if (t.compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0) return true;
        if (t.compare(QLatin1String("No"), Qt::CaseInsensitive) == 0) return false;
        return std::nullopt;
    };
    const std::optional<bool> max = yesNo("Maximize");
    if (!max) return std::nullopt;
    WindowPlace p;
    p.resizable = resizable;
    p.maximized = *max;
    p.minimized = yesNo("Minimize").value_or(false);
    p.width = p.height = 0;
    const auto x = number(TryFetch(section, QStringLiteral("XPos")), -kMaxCoordinate);
    const auto y = number(TryFetch(section, QStringLiteral("YPos")), -kMaxCoordinate);
    if (x && y) p.x = *x, p.y = *y;
    else p.x = p.y = kMaxCoordinate + 1;
    if (resizable) {
        const auto w = number(TryFetch(section, QStringLiteral("Width")), 1);
        const auto h = number(TryFetch(section, QStringLiteral("Height")), 1);
        if (w && h) p.width = *w, p.height = *h;
    }
    return p;
}

bool IniClass::UpdatePlace(const QString& section, const WindowPlace& p) {
    const bool normal = !p.maximized && !p.minimized;
    auto yn = [](bool on) { return std::optional<QString>(on ? QStringLiteral("Yes") : QStringLiteral("No")); };
    auto num = [normal](int v, bool applies) {
        return normal && applies ? std::optional<QString>(QString::number(v)) : std::nullopt;
    };
    return Update(section, {{QStringLiteral("Maximize"), yn(p.maximized)},
                            {QStringLiteral("Minimize"), yn(p.minimized)},
                            {QStringLiteral("XPos"), num(p.x, true)},
                            {QStringLiteral("YPos"), num(p.y, true)},
                            {QStringLiteral("Width"), num(p.width, p.resizable)},
                            {QStringLiteral("Height"), num(p.height, p.resizable)}});
}

void IniClass::Fetch(const QString& section, eng::Window& w) {
    const std::optional<WindowPlace> p = FetchPlace(section, w.resizable());
    if (!p) return;
    if (w.maximized() && !p->maximized) w.setMaximized(false);
    if (w.minimized()) w.setMinimized(false);
    if (p->x <= kMaxCoordinate) w.setPosition(p->x, p->y);
    if (w.resizable() && p->width > 0 && p->height > 0) w.setSize(p->width, p->height);
    if (p->maximized) w.setMaximized(true);
    if (p->minimized) w.setMinimized(true);
}

void IniClass::Update(const QString& section, eng::Window& w) {
    WindowPlace p;
    p.maximized = w.maximized();
    p.minimized = w.minimized();
    p.resizable = w.resizable();
    p.x = w.x();
    p.y = w.y();
    p.width = w.width();
    p.height = w.height();
    UpdatePlace(section, p);
}

}  // namespace vx
