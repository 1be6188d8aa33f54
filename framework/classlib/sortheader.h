#pragma once
// SORTHEADERCLASSTYPE: a click on a list's column header sorts the list by that column. The first
// click on a column sorts ascending, the next descending, the third drops the header sort. The
// loaded rows are re-sorted at once; then QueueResorted gets the order text of the column
// ("+FRM:NOMSV", "-FRM:NOMSV", or blank when the sort is dropped). Its default makes the browse
// follow: blank restores the browse's own order and reloads, otherwise the order text replaces
// the current order's. The header shows the direction with an arrow after the column's title.
// The INI storage of the sort is off when Init is given empty names (the only use here).

#include <QString>

#include <string>

#include "framework/classlib/browse.h"

namespace vx {

class SortHeaderClass {
public:
    virtual ~SortHeaderClass() = default;
    void Init(BrowseClass& browse, const QString& iniFamily = {}, const QString& iniName = {});
    void Kill();
    // The window's alerts (none of its own).
    void SetAlerts() {}
    // True when the event was a header click of the browse's list (and was handled).
    bool TakeEvents();
    // Forgets the header sort (the browse's order is left alone).
    void ClearSort();
    virtual void QueueResorted(const std::string& orderText);
    int SortColumn() const { return column_; }
    bool Descending() const { return descending_; }
    // The order text of the current header sort, blank when none.
    std::string OrderText() const;

protected:
    BrowseClass* browse_ = nullptr;

private:
    void showArrow();
    int column_ = 0;
    bool descending_ = false;
};

}  // namespace vx

using SORTHEADERCLASSTYPE = vx::SortHeaderClass;
