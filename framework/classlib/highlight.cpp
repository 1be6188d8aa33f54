#include "highlight.h"

#include "windowmanager.h"

namespace vx {

using eng::CType;
using eng::Prop;

bool FocusHighlight::Highlightable(const eng::Window& w, int feq) {
    switch (static_cast<CType>(w.propInt(feq, Prop::Type))) {
    case CType::Entry: case CType::Spin: case CType::Radio: case CType::Check: case CType::DropCombo:
    case CType::DropList: case CType::Text:
        return true;
    case CType::List: case CType::Combo:
        return w.propInt(feq, Prop::Drop) > 0;
    default:
        return false;
    }
}

bool FocusHighlight::OnToolbar(const eng::Window& w, int feq) {
    if (Nav::is(feq)) return true;
    const eng::Control* c = w.control(feq);
    if (!c || !c->desc) return false;
    if (c->type == CType::Toolbar) return true;
    const auto& all = w.desc().controls;
    for (int p = c->desc->parent; p >= 0 && p < static_cast<int>(all.size()); p = all[p].parent)
        if (all[p].type == CType::Toolbar) return true;
    return false;
}

void FocusHighlight::restore(eng::Window& w) {
    if (!control_ || !w.control(control_)) return;
    w.setProp(control_, Prop::Background, color_);
    w.setProp(control_, Prop::FontStyle, style_);
}

void FocusHighlight::apply(eng::Window& w, int feq) {
    control_ = feq;
    style_ = w.propInt(feq, Prop::FontStyle);
    color_ = w.propInt(feq, Prop::Background);
    w.setProp(feq, Prop::FontStyle, kBold);
    w.setProp(feq, Prop::Background, w.prop(feq, Prop::Req).toBool() ? kRequiredColor : kColor);
}

void FocusHighlight::Select(eng::Window& w, int feq) {
    if (SkipToolbar && OnToolbar(w, feq)) return;
    restore(w);
    if (!w.control(feq)) return;
    if (w.prop(feq, Prop::Hide).toBool() || w.prop(feq, Prop::Disable).toBool()) {
        control_ = 0;
        return;
    }
    if (!Highlightable(w, feq)) return;
    apply(w, feq);
}

void FocusHighlight::Reapply(eng::Window& w) {
    if (!control_) return;
    if (SkipToolbar && OnToolbar(w, control_)) return;
    if (!w.control(control_)) {
        control_ = 0;
        return;
    }
    restore(w);
    if (w.prop(control_, Prop::Hide).toBool() || w.prop(control_, Prop::Disable).toBool()) {
        control_ = 0;
        return;
    }
    if (Highlightable(w, control_)) apply(w, control_);
}

}  // namespace vx
