#pragma once
// Widgets of our own behind some control types (internal to the engine).

#include <QAbstractSpinBox>
#include <QAbstractTableModel>
#include <QStyledItemDelegate>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "framework/types/decimal.h"
#include "framework/types/picture.h"
#include "layout.h"
#include "window.h"

namespace vx::eng::detail {

// The Qt alignment of a control's or a column's text alignment, centred vertically.
Qt::Alignment qtAlign(Align a);

// A spin box over exact decimals: steps such as 0.1 without binary rounding; stepping stays in
// the range, a value typed or stored outside it is shown as it is.
class DecSpin : public QAbstractSpinBox {
public:
    explicit DecSpin(QWidget* parent) : QAbstractSpinBox(parent) {}
    std::optional<Decimal> low, high;
    Decimal step = Decimal(1);
    std::function<Decimal()> value;              // the current value (from the text)
    std::function<void(const Decimal&)> setValue;  // shows a new value
    std::function<void()> stepped;                 // after a user step
    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;
};

// One column of a list format.
struct ListColumn {
    int width = 0;           // dialog units
    Align align = Align::Left;
    int offset = 0;
    QString header;
    Align headerAlign = Align::Left;
    std::optional<pic::Picture> pic;
    int field = 0;           // 1-based value field
    int colorField = 0;      // first of the four colour fields, 0 = none
    int styleField = 0;      // the style field, 0 = none
    bool rightBorder = false, resizable = false;
};
std::vector<ListColumn> parseListFormat(const QString& format);

class ListModel : public QAbstractTableModel {
public:
    ListModel(QObject* parent, std::vector<ListColumn> cols) : QAbstractTableModel(parent), cols(std::move(cols)) {}
    std::vector<ListColumn> cols;
    ListSource* source = nullptr;
    QStringList items;  // FROM items when there is no source
    int rowCount(const QModelIndex& = {}) const override;
    int columnCount(const QModelIndex& = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    QString cellText(int row, int col) const;
    int cellLong(int row, int field) const;
    void reload() { beginResetModel(); endResetModel(); }
};

class ListDelegate : public QStyledItemDelegate {
public:
    ListDelegate(QObject* parent, Control* ctl) : QStyledItemDelegate(parent), ctl(ctl) {}
    Control* ctl;
    ListModel* model = nullptr;
    std::map<int, ListStyle>* styles = nullptr;
    int listFg = -1, listBg = -1, selFg = -1, selBg = -1;
    double duY = 1.6;
    double duX = 1.5;   // the window's dialog units, pixels
    void paint(QPainter* p, const QStyleOptionViewItem& opt, const QModelIndex& idx) const override;
    QSize sizeHint(const QStyleOptionViewItem& opt, const QModelIndex& idx) const override;
};

}  // namespace vx::eng::detail
