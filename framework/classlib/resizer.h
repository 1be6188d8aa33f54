#pragma once
// WINDOWRESIZECLASS: re-lays a resizable window's controls when the window's size changes.
//
// Init(strategy, setMinimum, setMaximum) records the window's client size and every control's
// position and size as opened (dialog units, window-relative); with setMinimum the opened size
// becomes the window's minimum size, with setMaximum its maximum. Then SetParentDefaults finds
// every control's parent (below) and gives it the window strategy's default.
//
// Window strategies (the first value of Init):
//   0 Resize   lists, text boxes, sheets, groups, panels, boxes, regions and images stretch in
//              both directions, entries, combos and spins in width; other controls keep their size
//   1 Spread   no control changes its size; the room between them follows the window
//   2 Surface  positions and sizes of every control follow the window proportionally
//   other      nothing moves
//
// How Resize and Spread re-lay (Surface scales everything and needs no more). Every control
// belongs to the smallest sheet, group, option, panel, region or picture that holds it as opened,
// else to the window, and is laid out inside its parent's new rectangle; what lies on a picture
// (the lines of a blank) keeps its place on it proportionally, as the picture is drawn. Along
// each axis the parent's extent is cut at the controls' edges into spans; a span under a control
// that keeps its size is never squeezed, and the change of the parent's size goes to the spans
// under stretching controls (when the window shrinks, to the empty room between controls too;
// when nothing stretches, to the empty room alone). Across the parent one horizontal cut serves
// every control; downwards every column of controls that overlap across has a cut of its own, so
// the list on the left and the sheet on the right share out their heights independently. The
// band above a sheet's or group's first control (its tabs, its caption) keeps its height. A
// container stretches on an axis only when something inside it can stretch there. The spans keep
// their order, so controls that lay apart as opened never overlap, at whatever size the window
// has room for its fixed-size controls.
//
// Per-control strategies (SetStrategy(control, positional, resize)) refine this. The positional
// strategy holds the horizontal rule in its high byte and the vertical rule in its low byte
// (0x1010: both axes locked; 0x0002: horizontal by default, vertical fixed to the far edge):
//   0x00 default  a control that keeps its size sits at the start of its room
//   0x01 nearest  the empty room between it and the nearer edge of its parent keeps its size
//   0x02 far      the empty room between it and the parent's right (bottom) edge keeps its size,
//                 and a control that keeps its size sits at the end of its room
//   0x04 centre   a control that keeps its size sits in the middle of its room
//   0x10 lock     the empty room between the parent's left (top) edge and it keeps its size
// The resize strategy:
//   0 default     the window strategy's rule
//   1 lock        keeps its size
//   2 lock width  keeps its width, the height follows the default rule
//   3 grow        stretches in both directions (a container: as far as its contents can)
//   4 lock height keeps its height, the width follows the default rule
//
// Resize() re-lays every recorded control for the current client size; the window manager
// posts kResizeEvent on every Sized event and the resizer runs Resize on it. A procedure
// overrides Resize to re-apply its focus highlight after the base step (Highlight, when set,
// is re-applied by the base step itself).

#include <map>

#include "framework/classlib/highlight.h"
#include "framework/classlib/windowmanager.h"

namespace vx {

namespace AppStrategy {
constexpr int Resize = 0, Spread = 1, Surface = 2, NoResize = 3;
}
namespace ResizeStrategy {
constexpr int Default = 0, Lock = 1, LockWidth = 2, Grow = 3, LockHeight = 4;
}
namespace PositionStrategy {
constexpr int Default = 0, Nearest = 1, Far = 2, Centre = 4, Lock = 0x10;
}

class WindowResizeClass : public WindowComponent {
public:
    void Init(WindowManager& wm, int strategy = AppStrategy::Resize, bool setMinimum = false, bool setMaximum = false);
    void Kill();
    virtual void SetParentDefaults();
    void SetStrategy(int feq, int positional, int resize);
    // Re-lays the controls for the window's current size; returns a level (0).
    virtual int Resize();

    int TakeEvent(WindowManager& wm) override;

    // The window's minimum and maximum client size in dialog units (0: none).
    void SetMinSize(int w, int h);
    void SetMaxSize(int w, int h);

    FocusHighlight* Highlight = nullptr;  // re-applied after every re-lay
    int Strategy() const { return strategy_; }
    int OriginalWidth() const { return origW_; }
    int OriginalHeight() const { return origH_; }

protected:
    WindowManager* wm_ = nullptr;

private:
    struct Item {
        int x = 0, y = 0, w = 0, h = 0;
        int positional = 0, resize = 0;
        bool growW = false, growH = false;  // the window strategy's default for this control
        bool container = false;
        bool picture = false;               // an image: what lies on it follows it proportionally
        int parent = 0;                     // 0: the window
    };
    struct Box {
        int x = 0, y = 0, w = 0, h = 0;
    };
    bool stretches(int feq, bool horizontal) const;
    void layChildren(int parent, const Box& was, const Box& now, std::map<int, Box>& out) const;
    std::map<int, Item> items_;
    int strategy_ = 0;
    int origW_ = 0, origH_ = 0;
};

}  // namespace vx
