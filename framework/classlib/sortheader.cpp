#include "sortheader.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QTreeView>

namespace vx {

namespace ev = eng::ev;

void SortHeaderClass::Init(BrowseClass& browse, const QString&, const QString&) {
    browse_ = &browse;
    column_ = 0;
    descending_ = false;
}

void SortHeaderClass::Kill() {
    ClearSort();
    browse_ = nullptr;
}

std::string SortHeaderClass::OrderText() const {
    if (!browse_ || !column_) return {};
    const FieldDesc* f = browse_->FileFieldOf(browse_->ColumnField(column_));
    if (!f) return {};
    return std::string(descending_ ? "-" : "+") + f->name;
}

bool SortHeaderClass::TakeEvents() {
    if (!browse_ || !browse_->Manager() || !browse_->Manager()->WindowPtr()) return false;
    eng::Window& w = browse_->Manager()->Win();
    if (w.event() != ev::HeaderPressed || w.field() != browse_->ListControl()) return false;
    const int col = w.keycode();
    if (!browse_->FileFieldOf(browse_->ColumnField(col))) return true;  // a column of no field: nothing to sort
    if (col != column_) {
        column_ = col;
        descending_ = false;
    } else if (!descending_) {
        descending_ = true;
    } else {
        column_ = 0;
        descending_ = false;
    }
    const std::string text = OrderText();
    if (!text.empty()) browse_->SortLoadedRows(text);
    showArrow();
    QueueResorted(text);
    return true;
}

void SortHeaderClass::QueueResorted(const std::string& orderText) {
    if (!browse_) return;
    if (orderText.empty()) {
        browse_->RestoreSort();
        browse_->ResetSort(true);
    } else {
        browse_->ReplaceSort(orderText);
    }
}

void SortHeaderClass::ClearSort() {
    if (!column_) return;
    column_ = 0;
    descending_ = false;
    showArrow();
}

void SortHeaderClass::showArrow() {
    if (!browse_ || !browse_->Manager() || !browse_->Manager()->WindowPtr()) return;
    eng::Control* c = browse_->Manager()->Win().control(browse_->ListControl());
    auto* tv = c ? qobject_cast<QTreeView*>(c->widget.data()) : nullptr;
    if (!tv) return;
    QHeaderView* h = tv->header();
    h->setSortIndicatorShown(column_ > 0);
    if (column_ > 0) h->setSortIndicator(column_ - 1, descending_ ? Qt::DescendingOrder : Qt::AscendingOrder);
}

}  // namespace vx
