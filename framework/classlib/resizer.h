#pragma once
// WINDOWRESIZECLASS: re-lays a resizable window's controls when the window's size changes.
//
// Init(strategy, setMinimum, setMaximum) records the window's client size and every control's
// position and size as opened (dialog units, relative to the control's parent); with setMinimum
// the opened size becomes the window's minimum size, with setMaximum its maximum. Then
// SetParentDefaults gives every control the window strategy's default.
//
// Window strategies (the first value of Init):
//   0 Resize   positions follow the window proportionally; lists, text boxes, sheets, groups,
//              panels, boxes, regions and images also grow and shrink in both directions,
//              entries, combos and spins in width; other controls keep their size
//   1 Spread   positions follow proportionally, no control changes its size
//   2 Surface  positions and sizes of every control follow proportionally
//   other      nothing moves
//
// Per-control strategies (SetStrategy(control, positional, resize)) override the default.
// The positional strategy holds the horizontal rule in its high byte and the vertical rule in
// its low byte (0x1010: both axes locked; 0x0002: horizontal by default, vertical fixed to the
// far edge):
//   0x00 default  the window strategy's rule (proportional)
//   0x01 nearest  keeps its distance to the nearer edge (left or right, top or bottom) as opened
//   0x02 far      keeps its distance to the right (bottom) edge
//   0x04 centre   keeps its centre at the same fraction of the window
//   0x10 lock     never moves
// The resize strategy:
//   0 default     the window strategy's rule
//   1 lock        keeps its size
//   2 lock width  keeps its width, the height follows the default rule
//   3 grow        keeps its distances to the far edges: width and height change by exactly
//                 what the window's client width and height changed (never below 1 unit)
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
    };
    std::map<int, Item> items_;
    int strategy_ = 0;
    int origW_ = 0, origH_ = 0;
};

}  // namespace vx
