#include "resizer.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

namespace vx {

using eng::CType;
using eng::Prop;

namespace {

int scale(int v, int now, int then) {
    if (then <= 0) return v;
    return static_cast<int>(std::lround(static_cast<double>(v) * now / then));
}

// One axis of a control: its original start and length, the window's original and current
// extent, and the rules.
void axis(int start, int len, int then, int now, int pos, int size, bool grows, int& outStart, int& outLen) {
    // Length first: it decides where a far-fixed control starts.
    switch (size) {
    case 1: outLen = len; break;                                    // locked
    case 3: outLen = std::max(1, len + (now - then)); break;        // grows with the window
    default: outLen = grows ? std::max(1, scale(len, now, then)) : len; break;
    }
    switch (pos) {
    case PositionStrategy::Lock: outStart = start; break;
    case PositionStrategy::Far: outStart = start + len + (now - then) - outLen; break;
    case PositionStrategy::Nearest:
        outStart = start <= then - (start + len) ? start : start + len + (now - then) - outLen;
        break;
    case PositionStrategy::Centre: outStart = scale(start + len / 2, now, then) - outLen / 2; break;
    default: outStart = scale(start, now, then); break;
    }
}

}  // namespace

void WindowResizeClass::Init(WindowManager& wm, int strategy, bool setMinimum, bool setMaximum) {
    wm_ = &wm;
    strategy_ = strategy;
    items_.clear();
    eng::Window& w = wm.Win();
    origW_ = w.width();
    origH_ = w.height();
    for (int feq : w.controls()) {
        const eng::Control* c = w.control(feq);
        if (!c || !c->widget || feq <= 0 || FocusHighlight::OnToolbar(w, feq)) continue;
        if (c->type == CType::Tab || c->type == CType::Menu || c->type == CType::Item || c->type == CType::MenuBar)
            continue;
        Item it;
        it.x = w.propInt(feq, Prop::X);
        it.y = w.propInt(feq, Prop::Y);
        it.w = w.propInt(feq, Prop::Width);
        it.h = w.propInt(feq, Prop::Height);
        items_[feq] = it;
    }
    if (QWidget* o = w.outer()) {
        if (setMinimum) o->setMinimumSize(o->size());
        if (setMaximum) o->setMaximumSize(o->size());
    }
    SetParentDefaults();
}

void WindowResizeClass::Kill() {
    items_.clear();
    if (wm_) wm_->RemoveItem(*this);
    wm_ = nullptr;
}

void WindowResizeClass::SetParentDefaults() {
    if (!wm_ || !wm_->WindowPtr()) return;
    eng::Window& w = wm_->Win();
    for (auto& [feq, it] : items_) {
        it.positional = 0;
        it.resize = 0;
        const auto type = static_cast<CType>(w.propInt(feq, Prop::Type));
        switch (strategy_) {
        case AppStrategy::Resize:
            switch (type) {
            case CType::List: case CType::Text: case CType::Sheet: case CType::Group: case CType::Panel:
            case CType::Box: case CType::Region: case CType::Image:
                it.growW = it.growH = true;
                break;
            case CType::Entry: case CType::Combo: case CType::DropCombo: case CType::DropList: case CType::Spin:
                it.growW = true;
                it.growH = false;
                break;
            default: it.growW = it.growH = false; break;
            }
            break;
        case AppStrategy::Surface: it.growW = it.growH = true; break;
        default: it.growW = it.growH = false; break;
        }
    }
}

void WindowResizeClass::SetStrategy(int feq, int positional, int resize) {
    auto it = items_.find(feq);
    if (it == items_.end()) return;
    it->second.positional = positional;
    it->second.resize = resize;
}

void WindowResizeClass::SetMinSize(int w, int h) {
    if (!wm_ || !wm_->WindowPtr()) return;
    eng::Window& win = wm_->Win();
    if (QWidget* o = win.outer()) {
        const QSize extra = o->size() - win.widget()->size();
        o->setMinimumSize(static_cast<int>(w * win.duX()) + extra.width(), static_cast<int>(h * win.duY()) + extra.height());
    }
}

void WindowResizeClass::SetMaxSize(int w, int h) {
    if (!wm_ || !wm_->WindowPtr()) return;
    eng::Window& win = wm_->Win();
    if (QWidget* o = win.outer()) {
        const QSize extra = o->size() - win.widget()->size();
        o->setMaximumSize(static_cast<int>(w * win.duX()) + extra.width(), static_cast<int>(h * win.duY()) + extra.height());
    }
}

int WindowResizeClass::Resize() {
    if (!wm_ || !wm_->WindowPtr()) return Level::Benign;
    eng::Window& w = wm_->Win();
    const bool moves = strategy_ == AppStrategy::Resize || strategy_ == AppStrategy::Spread || strategy_ == AppStrategy::Surface;
    const int nowW = w.width(), nowH = w.height();
    for (const auto& [feq, it] : items_) {
        if (!w.control(feq)) continue;
        int hpos = (it.positional >> 8) & 0xFF, vpos = it.positional & 0xFF;
        int wsize = it.resize, hsize = it.resize;
        if (it.resize == ResizeStrategy::LockWidth) wsize = ResizeStrategy::Lock, hsize = ResizeStrategy::Default;
        if (it.resize == ResizeStrategy::LockHeight) hsize = ResizeStrategy::Lock, wsize = ResizeStrategy::Default;
        if (!moves) {
            if (hpos == PositionStrategy::Default) hpos = PositionStrategy::Lock;
            if (vpos == PositionStrategy::Default) vpos = PositionStrategy::Lock;
        }
        int x, y, cw, ch;
        axis(it.x, it.w, origW_, nowW, hpos, wsize, moves && it.growW, x, cw);
        axis(it.y, it.h, origH_, nowH, vpos, hsize, moves && it.growH, y, ch);
        if (w.propInt(feq, Prop::X) != x) w.setProp(feq, Prop::X, x);
        if (w.propInt(feq, Prop::Y) != y) w.setProp(feq, Prop::Y, y);
        if (w.propInt(feq, Prop::Width) != cw) w.setProp(feq, Prop::Width, cw);
        if (w.propInt(feq, Prop::Height) != ch) w.setProp(feq, Prop::Height, ch);
    }
    if (Highlight) Highlight->Reapply(w);
    return Level::Benign;
}

int WindowResizeClass::TakeEvent(WindowManager& wm) {
    if (wm.WindowPtr() && wm.Win().event() == kResizeEvent) {
        Resize();
        return Level::Benign;
    }
    return Level::Benign;
}

}  // namespace vx
