#pragma once
// The focus highlight every window procedure runs from its TakeSelected step (before the base
// step) and its resizer after every re-lay. One object per procedure run: it remembers the
// highlighted control and that control's own font style and background colour.
//
// Select(window, control), on a Selected event:
//   1. the control that carries the highlight gets its saved colour and style back;
//   2. a hidden or disabled newly selected control: nothing carries the highlight any more;
//   3. a control of a kind other than entry, spin, radio, check, combo, list, drop combo,
//      drop list, text (types 8, 16, 21, 12, 15, 14, 34, 33, 17) is not highlighted, and the
//      highlighted-control number keeps its old value (restored once more, harmlessly, at the
//      next focus change); so is a list or combo without a drop-down (drop count 0);
//   4. otherwise it becomes the highlighted control: its style and colour are saved, its font
//      becomes bold (700) and its background 0xDFDFFF when it is required, else 0xF2FFFF.
// Reapply(window), after a resize: the same for the control that carries the highlight.
// With SkipToolbar (the main frame) the toolbar, every control on it and the navigation buttons
// 3001-3012 are left alone entirely: neither restored nor highlighted.

#include "framework/engine/window.h"

namespace vx {

class FocusHighlight {
public:
    static constexpr int kRequiredColor = 0xDFDFFF;
    static constexpr int kColor = 0xF2FFFF;
    static constexpr int kBold = 700;

    void Select(eng::Window& w, int feq);
    void Reapply(eng::Window& w);
    void Clear() { control_ = style_ = color_ = 0; }

    bool SkipToolbar = false;

    int Control() const { return control_; }
    int SavedStyle() const { return style_; }
    int SavedColor() const { return color_; }

    // True for the kinds of control that can carry the highlight (lists and combos only with
    // a drop-down).
    static bool Highlightable(const eng::Window& w, int feq);
    static bool OnToolbar(const eng::Window& w, int feq);

private:
    void restore(eng::Window& w);
    void apply(eng::Window& w, int feq);

    int control_ = 0;
    int style_ = 0;
    int color_ = 0;
};

}  // namespace vx
