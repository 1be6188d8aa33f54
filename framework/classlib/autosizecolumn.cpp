#include "autosizecolumn.h"

#include <QTreeView>

namespace vx {

void AutoSizeColumnClass::AddListBox(WindowManager& wm, int list, const eng::ListSource*) {
    wm_ = &wm;
    lists_.push_back(list);
}

void AutoSizeColumnClass::ResizeAll() {
    if (!wm_ || !wm_->WindowPtr()) return;
    for (int list : lists_) {
        eng::Control* c = wm_->Win().control(list);
        auto* tv = c ? qobject_cast<QTreeView*>(c->widget.data()) : nullptr;
        if (!tv || !tv->model()) continue;
        for (int col = 0; col < tv->model()->columnCount(); ++col) tv->resizeColumnToContents(col);
    }
}

}  // namespace vx
