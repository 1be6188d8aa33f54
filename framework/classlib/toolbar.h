#pragma once
// TOOLBARCLASS: turns the navigation buttons 3001-3012 into actions of the window's browse or
// form. The main frame posts an Accepted event for the button's number to the thread of the
// active child window; there the toolbar object (a component of the window manager) hands it to
// its current target and consumes it.
//
// A target is a browse (it implements ToolbarTarget) or a form (ToolbarUpdateClass). A browse
// target is tied to its list control: when that control gets the focus, it becomes the current
// target; before that the first target added is. A button the target does not take is consumed
// all the same (it names nothing in this window).

#include <vector>

#include "framework/classlib/windowmanager.h"

namespace vx {

// What a browse or a form does with a navigation button. The numbers are the Nav:: ones.
class ToolbarTarget {
public:
    virtual ~ToolbarTarget() = default;
    // Acts on the button; true when it did something.
    virtual bool TakeToolbar(WindowManager& wm, int button) = 0;
    // The control that makes this target current when it gets the focus (0: none).
    virtual int ToolbarControl() const { return 0; }
    // Whether the target offers the button now (the frame may show the buttons accordingly).
    virtual bool ToolbarOffers(int button) const { (void)button; return true; }
};

class ToolbarClass : public WindowComponent {
public:
    void Init(WindowManager& wm);
    void Kill();
    void AddTarget(ToolbarTarget& target);
    void RemoveTarget(ToolbarTarget& target);
    void SetTarget(ToolbarTarget* target) { current_ = target; }
    ToolbarTarget* Target() const;

    int TakeEvent(WindowManager& wm) override;

private:
    WindowManager* wm_ = nullptr;
    std::vector<ToolbarTarget*> targets_;
    ToolbarTarget* current_ = nullptr;
};

// TOOLBARUPDATECLASS: the form variant. History (3012) restores the focused field from the
// history record; Select (3004) accepts the form's OK control; the browse buttons have no
// meaning in a form. Add it to the window's toolbar object after the window is open.
class ToolbarUpdateClass : public ToolbarTarget {
public:
    bool TakeToolbar(WindowManager& wm, int button) override;
    bool ToolbarOffers(int button) const override { return button == Nav::History || button == Nav::Select; }
};

}  // namespace vx
