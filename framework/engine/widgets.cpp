#include "widgets.h"

#include <QPainter>

#include "fonts.h"
#include "framework/types/codepage.h"

namespace vx::eng::detail {

void DecSpin::stepBy(int steps) {
    if (!value || !setValue) return;
    Decimal v = value();
    for (int i = 0; i < std::abs(steps); ++i) v = steps > 0 ? v + step : v - step;
    if (low && v < *low) v = *low;
    if (high && v > *high) v = *high;
    setValue(v);
    if (stepped) stepped();
}

QAbstractSpinBox::StepEnabled DecSpin::stepEnabled() const {
    if (isReadOnly()) return StepNone;
    StepEnabled r = StepNone;
    Decimal v = value ? value() : Decimal();
    if (!high || v < *high) r |= StepUpEnabled;
    if (!low || v > *low) r |= StepDownEnabled;
    return r;
}

namespace {
Align alignOf(QChar c) {
    switch (c.toUpper().unicode()) {
    case 'R': return Align::Right;
    case 'C': return Align::Center;
    case 'D': return Align::Decimal;
    default: return Align::Left;
    }
}
}  // namespace

Qt::Alignment qtAlign(Align a) {
    switch (a) {
    case Align::Right: case Align::Decimal: return Qt::AlignRight | Qt::AlignVCenter;
    case Align::Center: return Qt::AlignHCenter | Qt::AlignVCenter;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

// Grammar of one column: width, alignment [(offset)], then any of: '~header~' [alignment
// [(offset)]], '@picture@', '#n#' (field number), modifier letters ('|' right border, '_', 'M'
// resizable, 'F', '*' colours, 'Y' style, '?', 'I', 'T' and others, some with '(n)').
std::vector<ListColumn> parseListFormat(const QString& f) {
    std::vector<ListColumn> cols;
    int i = 0;
    const int n = f.size();
    int nextField = 1;
    auto readParen = [&]() -> int {
        if (i < n && f[i] == QLatin1Char('(')) {
            int st = ++i;
            while (i < n && f[i] != QLatin1Char(')')) ++i;
            int v = f.mid(st, i - st).toInt();
            if (i < n) ++i;
            return v;
        }
        return 0;
    };
    while (i < n) {
        if (!f[i].isDigit()) { ++i; continue; }
        ListColumn c;
        int st = i;
        while (i < n && f[i].isDigit()) ++i;
        c.width = f.mid(st, i - st).toInt();
        if (i < n && QStringLiteral("LRCDlrcd").contains(f[i])) {
            c.align = alignOf(f[i++]);
            c.offset = readParen();
        }
        bool colors = false, style = false;
        int explicitField = 0;
        while (i < n && !f[i].isDigit()) {
            QChar ch = f[i];
            if (ch == QLatin1Char('~')) {
                int hs = ++i;
                while (i < n && f[i] != QLatin1Char('~')) ++i;
                c.header = f.mid(hs, i - hs);
                if (i < n) ++i;
                c.headerAlign = c.align;
                if (i < n && QStringLiteral("LRCDlrcd").contains(f[i])) {
                    c.headerAlign = alignOf(f[i++]);
                    readParen();
                }
            } else if (ch == QLatin1Char('@')) {
                int ps = i++;
                while (i < n && f[i] != QLatin1Char('@')) ++i;
                QString p = f.mid(ps, i - ps);
                if (i < n) ++i;
                c.pic = pic::parse(cp::toCp1251(p));
            } else if (ch == QLatin1Char('#')) {
                int fs = ++i;
                while (i < n && f[i] != QLatin1Char('#')) ++i;
                explicitField = f.mid(fs, i - fs).toInt();
                if (i < n) ++i;
            } else {
                ++i;
                if (ch == QLatin1Char('*')) colors = true;
                else if (ch == QLatin1Char('Y')) style = true;
                else if (ch == QLatin1Char('|')) c.rightBorder = true;
                else if (ch == QLatin1Char('M')) c.resizable = true;
                if (i < n && f[i] == QLatin1Char('(')) readParen();
            }
        }
        if (explicitField > 0) nextField = explicitField;
        c.field = nextField++;
        if (colors) { c.colorField = nextField; nextField += 4; }
        if (style) c.styleField = nextField++;
        cols.push_back(std::move(c));
    }
    return cols;
}

int ListModel::rowCount(const QModelIndex& p) const {
    if (p.isValid()) return 0;
    return source ? source->rowCount() : static_cast<int>(items.size());
}

int ListModel::columnCount(const QModelIndex& p) const {
    if (p.isValid()) return 0;
    return std::max<int>(1, static_cast<int>(cols.size()));
}

QString ListModel::cellText(int row, int col) const {
    if (!source) return row < items.size() && col == 0 ? items[row] : QString();
    if (col >= static_cast<int>(cols.size())) {
        VarRef v = source->field(row, col + 1);
        return v.valid() ? cp::fromCp1251(v.text()) : QString();
    }
    const ListColumn& c = cols[col];
    VarRef v = source->field(row, c.field);
    if (!v.valid()) return {};
    return cp::fromCp1251(c.pic ? pic::format(*c.pic, v) : v.text());
}

int ListModel::cellLong(int row, int field) const {
    if (!source || field <= 0) return -1;
    VarRef v = source->field(row, field);
    if (!v.valid()) return -1;
    return static_cast<int>(v.number().toInt());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole) return cellText(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && index.column() < static_cast<int>(cols.size()))
        return QVariant::fromValue(qtAlign(cols[index.column()].align));
    return {};
}

QVariant ListModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o != Qt::Horizontal || section >= static_cast<int>(cols.size())) return {};
    if (role == Qt::DisplayRole) return cols[section].header;
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(qtAlign(cols[section].headerAlign));
    return {};
}

void ListDelegate::paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& idx) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, idx);
    const int col = idx.column();
    const ListColumn* c = col < static_cast<int>(model->cols.size()) ? &model->cols[col] : nullptr;
    bool selected = opt.state & QStyle::State_Selected;
    if (selected && ctl->column > 0 && ctl->column != col + 1) selected = false;
    int fg = listFg, bg = listBg;
    QFont font = opt.font;
    if (selected) {
        fg = selFg >= 0 ? selFg : bgrOf(opt.palette.highlightedText().color());
        bg = selBg >= 0 ? selBg : bgrOf(opt.palette.highlight().color());
    }
    if (c && c->styleField && styles) {
        int s = model->cellLong(idx.row(), c->styleField);
        auto it = styles->find(s);
        if (it != styles->end()) {
            const ListStyle& st = it->second;
            font = fontOf(st.font, font);
            int sfg = selected ? st.selFg : st.fg;
            int sbg = selected ? st.selBg : st.bg;
            if (sfg < 0 && st.font.color >= 0) sfg = st.font.color;
            if (sfg >= 0) fg = sfg;
            if (sbg >= 0) bg = sbg;
        }
    }
    if (c && c->colorField) {
        int cf = model->cellLong(idx.row(), c->colorField + (selected ? 2 : 0));
        int cb = model->cellLong(idx.row(), c->colorField + (selected ? 3 : 1));
        if (cf >= 0) fg = cf;
        if (cb >= 0) bg = cb;
    }
    p->save();
    if (bg >= 0) p->fillRect(opt.rect, colorOf(bg));
    p->setPen(fg >= 0 ? colorOf(fg) : opt.palette.text().color());
    p->setFont(font);
    // The column's offset pads its aligned side; a decimal column puts the decimal point `offset`
    // dialog units from the cell's right edge.
    int left = 2, right = 2;
    if (c) {
        const int off = static_cast<int>(c->offset * duX + 0.5);
        if (c->align == Align::Right) right += off;
        else if (c->align == Align::Decimal) {
            const int point = opt.text.lastIndexOf(QLatin1Char('.'));
            const int tail = point < 0 || (c->pic && c->pic->kind == pic::Kind::Number && c->pic->places == 0)
                                 ? 0
                                 : QFontMetrics(font).horizontalAdvance(opt.text.mid(point));
            right += std::max(0, off - tail);
        } else left += off;
    }
    QRect r = opt.rect.adjusted(left, 0, -right, 0);
    p->drawText(r, static_cast<int>(opt.displayAlignment), opt.text);
    p->restore();
}

QSize ListDelegate::sizeHint(const QStyleOptionViewItem& opt, const QModelIndex& idx) const {
    QSize s = QStyledItemDelegate::sizeHint(opt, idx);
    if (ctl->lineHeight > 0) s.setHeight(std::max(1, static_cast<int>(ctl->lineHeight * duY + 0.5)));
    return s;
}

}  // namespace vx::eng::detail
