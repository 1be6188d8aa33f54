#pragma once
// Declarative window layouts (format: LAYOUTS.md). A layout is parsed once into a WinDesc that
// the engine builds widgets from; controls keep their declaration order, which numbers them.

#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "events.h"

namespace vx::eng {

struct FontDesc {
    QString face;      // empty: inherited
    int size = 0;      // points, 0: inherited
    int style = -1;    // weight + 0x1000 italic + 0x2000 underline + 0x4000 strike-out; -1 inherited
    int color = -1;    // 0x00BBGGRR, -1 inherited
};

enum class Align { Default, Left, Right, Center, Decimal };

struct CtlDesc {
    CType type = CType::None;
    std::string keyword;  // as written: "entry", "button", ...
    int feq = 0;
    int parent = -1;      // index into WinDesc::controls, -1 = the window
    std::string name;     // "?FRM:NOMSV"; the USE name with '?' when not given
    std::string use;      // bound variable, empty for none
    QString text;
    int x = 0, y = 0, w = -1, h = -1;  // dialog units; -1 = natural size
    bool hasAt = false;
    std::string picture;
    FontDesc font;
    int bg = -1, selFg = -1, selBg = -1;
    QString tip, msg, icon, file;
    bool req = false, readOnly = false, skip = false, hide = false, disable = false, imm = false,
         trn = false, flat = false, vertical = false, hscroll = false, vscroll = false;
    bool isDefault = false;  // a button: the window's default button (Enter presses it)
    Align align = Align::Default;
    int alignOffset = 0;
    std::string stdAction;   // "close", "printsetup", "cut", "copy", "paste", "help"
    std::string rangeLow, rangeHigh, step;  // spins, as decimal text
    int drop = 0;
    QString from;            // items separated by '|'
    QString format;          // list format string
    QString valueOn = QStringLiteral("1"), valueOff = QStringLiteral("0");  // check box values
    QString value;           // a radio's value (default: its text)
    bool hasValue = false;
    std::vector<int> alerts;               // alrt=: key codes that are AlertKey events on this control
    std::map<std::string, QString> extra;  // attributes kept for later layers (LAYOUTS.md names them)
};

enum class WinKind { Dialog, MdiChild, Frame };

struct WinDesc {
    WinKind kind = WinKind::Dialog;
    std::string name;     // "P1$QUICKWINDOW"
    QString text;         // title
    int x = -1, y = -1, w = 200, h = 100;  // dialog units; x,y -1 = centred/system
    FontDesc font;
    int bg = -1;
    QString icon, msg;
    std::vector<int> statusZones;  // widths in dialog units, -1 = the rest; empty = no status bar
    int minW = 0, minH = 0, maxW = 0, maxH = 0;
    bool resize = false, maximize = false, iconize = false, center = false;
    std::vector<int> alerts;        // alrt=: window-wide alert key codes
    std::vector<CtlDesc> controls;  // declaration order
    std::map<int, int> byFeq;       // feq -> index
    const CtlDesc* control(int feq) const;
};

struct LayoutError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Parses layout text (UTF-8). Throws LayoutError naming the source and line.
std::shared_ptr<const WinDesc> parseLayout(const QString& text, const QString& source = {});
// Loads a layout file or Qt resource (":/layouts/main.lay"); parsed layouts are cached.
std::shared_ptr<const WinDesc> loadLayout(const QString& path);

}  // namespace vx::eng
