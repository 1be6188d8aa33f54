#pragma once
// INICLASS: the program's INI file ("vexlo.INI", kept where the private-profile layer keeps a
// file named without a directory) and what the procedures keep in it.
//
// A window's place lives in the section named after its procedure:
//   "Maximize", "Minimize"  "Yes" or "No"
//   "XPos", "YPos"          the position, only while the window is neither maximised nor minimised
//   "Width", "Height"       the size, only for a resizable window in the normal state
// Keys that do not apply are removed, so the file holds a normal position only from a closing
// in the normal state. Update writes the whole section in one rewrite.
// Fetch changes nothing unless "Maximize" reads "Yes" or "No"; then it restores normal state,
// the position, the size (resizable windows, when stored), then the saved maximised and
// minimised states. Values that are not numbers, or lie outside what a screen can show, are
// left out: a hand-edited or damaged file never moves a window off every screen.
//
// The INI manager also keeps its own list of named groups of entries (the "sectors") in the
// section "Sectors" under the key "__Dont_Touch_Me__": Init loads it, Kill writes it back.
// The names are stored separated by ','; a name itself never holds ',' or a line break.

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace vx {
namespace eng {
class Window;
}

// A window's place, as Update stores it and Fetch applies it.
struct WindowPlace {
    bool maximized = false, minimized = false, resizable = false;
    int x = 0, y = 0, width = 0, height = 0;
};

class IniClass {
public:
    void Init(const QString& fileName);
    void Kill();
    const QString& FileName() const { return file_; }

    void Fetch(const QString& section, eng::Window& window);
    void Update(const QString& section, eng::Window& window);
    // The same over a plain description (the print preview keeps its own window).
    std::optional<WindowPlace> FetchPlace(const QString& section, bool resizable) const;
    bool UpdatePlace(const QString& section, const WindowPlace& place);

    // Single entries (values are shown text; the file holds code page 1251).
    QString Fetch(const QString& section, const QString& key, const QString& defaultValue = {}) const;
    std::optional<QString> TryFetch(const QString& section, const QString& key) const;
    bool Update(const QString& section, const QString& key, const std::optional<QString>& value);
    bool Update(const QString& section, const std::vector<std::pair<QString, std::optional<QString>>>& entries);
    bool DeleteSection(const QString& section);

    // The sectors list.
    const QStringList& Sectors() const { return sectors_; }
    void AddSector(const QString& name);
    void RemoveSector(const QString& name);

private:
    QString file_;
    QStringList sectors_;
    bool sectorsStored_ = false;
    bool inited_ = false;
};

}  // namespace vx
