#pragma once
// AUTOSIZECOLUMNCLASSTYPE: fits the columns of a list to their contents. ResizeAll fits every
// column of every list registered; it handles none of the window's events itself. Nothing
// is stored.

#include <vector>

#include "framework/classlib/windowmanager.h"

namespace vx {

class AutoSizeColumnClass {
public:
    void Init() { lists_.clear(); }
    void Kill() { lists_.clear(); wm_ = nullptr; }
    void AddListBox(WindowManager& wm, int list, const eng::ListSource* queue);
    void ResizeAll();
    // True when the event was handled (nothing of the window's own events is).
    bool TakeEvents() { return false; }

private:
    WindowManager* wm_ = nullptr;
    std::vector<int> lists_;
};

}  // namespace vx

using AUTOSIZECOLUMNCLASSTYPE = vx::AutoSizeColumnClass;
