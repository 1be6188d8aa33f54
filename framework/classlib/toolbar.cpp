#include "toolbar.h"

#include <algorithm>

namespace vx {

namespace ev = eng::ev;

void ToolbarClass::Init(WindowManager& wm) {
    wm_ = &wm;
    targets_.clear();
    current_ = nullptr;
}

void ToolbarClass::Kill() {
    if (wm_) wm_->RemoveItem(*this);
    targets_.clear();
    current_ = nullptr;
    wm_ = nullptr;
}

void ToolbarClass::AddTarget(ToolbarTarget& target) {
    if (std::find(targets_.begin(), targets_.end(), &target) == targets_.end()) targets_.push_back(&target);
}

void ToolbarClass::RemoveTarget(ToolbarTarget& target) {
    std::erase(targets_, &target);
    if (current_ == &target) current_ = nullptr;
}

ToolbarTarget* ToolbarClass::Target() const {
    if (current_) return current_;
    return targets_.empty() ? nullptr : targets_.front();
}

int ToolbarClass::TakeEvent(WindowManager& wm) {
    if (!wm.WindowPtr()) return Level::Benign;
    eng::Window& w = wm.Win();
    const int feq = w.field();
    if (w.event() == ev::Selected && feq) {
        for (ToolbarTarget* t : targets_)
            if (t->ToolbarControl() == feq) current_ = t;
        return Level::Benign;
    }
    if (w.event() == ev::Accepted && Nav::is(feq)) {
        if (ToolbarTarget* t = Target()) t->TakeToolbar(wm, feq);
        return Level::Notify;
    }
    return Level::Benign;
}

bool ToolbarUpdateClass::TakeToolbar(WindowManager& wm, int button) {
    if (!wm.WindowPtr()) return false;
    eng::Window& w = wm.Win();
    switch (button) {
    case Nav::History:
        if (!wm.IsHistoryField(w.focus())) return false;
        wm.RestoreField(w.focus());
        return true;
    case Nav::Select:
        if (!wm.OkControl) return false;
        w.post(ev::Accepted, wm.OkControl);
        return true;
    default:
        return false;
    }
}

}  // namespace vx
