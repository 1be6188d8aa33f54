// How the built controls look: fonts, colours, states, visibility, alignment, stacking.
#include "window_impl.h"

namespace vx::eng {

namespace {

// Containers and backgrounds: they lie beneath the interactive controls.
bool isBackground(CType t) {
    switch (t) {
    case CType::Sheet: case CType::Group: case CType::Option: case CType::Region: case CType::Panel:
    case CType::Box: case CType::Image:
        return true;
    default:
        return false;
    }
}

}  // namespace

QWidget* WindowImpl::parentWidgetFor(int i) {
    for (int p = desc->controls[i].parent; p >= 0; p = desc->controls[p].parent) {
        CType t = desc->controls[p].type;
        if (t == CType::Toolbar) return toolHolder;
    }
    return content;
}

int WindowImpl::sheetOf(int i, int* tabIndex) const {
    for (int p = desc->controls[i].parent; p >= 0; p = desc->controls[p].parent) {
        if (desc->controls[p].type != CType::Tab) continue;
        int sheet = desc->controls[p].parent;
        if (sheet >= 0 && desc->controls[sheet].type == CType::Sheet) {
            if (tabIndex) *tabIndex = ctls[p].tabIndex;
            return sheet;
        }
    }
    return -1;
}

bool WindowImpl::effectiveVisible(int i) const {
    for (int p = i; p >= 0; p = desc->controls[p].parent) {
        const Control& c = ctls[p];
        if (c.hide) return false;
        if (c.type == CType::Tab) {
            int sheet = desc->controls[p].parent;
            if (sheet >= 0 && ctls[sheet].widget) {
                auto* tw = static_cast<QTabWidget*>(ctls[sheet].widget.data());
                if (tw->currentIndex() + 1 != c.tabIndex) return false;
            }
        }
    }
    return true;
}

bool WindowImpl::effectiveEnabled(int i) const {
    for (int p = i; p >= 0; p = desc->controls[p].parent)
        if (ctls[p].disable) return false;
    return true;
}

void WindowImpl::applyVisibility() {
    for (int i = 0; i < static_cast<int>(ctls.size()); ++i) {
        Control& c = ctls[i];
        if (c.type == CType::Tab) {
            int sheet = desc->controls[i].parent;
            if (sheet >= 0 && ctls[sheet].widget)
                static_cast<QTabWidget*>(ctls[sheet].widget.data())->setTabVisible(c.tabIndex - 1, !c.hide);
            continue;
        }
        if (auto it = actions.find(c.feq); it != actions.end() && it->second) {
            it->second->setVisible(!c.hide);
            continue;
        }
        if (c.widget) {
            bool v = effectiveVisible(i);
            if (c.widget->isVisibleTo(c.widget->parentWidget()) != v) c.widget->setVisible(v);
        }
    }
}

void WindowImpl::applyFont(Control& c) {
    if (auto it = actions.find(c.feq); it != actions.end() && it->second) return;
    if (!c.widget) return;
    QFont f = fontOf(c.font, font);
    c.widget->setFont(f);
    applyColors(c);
    fitLine(c);
}

void WindowImpl::fitLine(Control& c) {
    auto it = lineBoxes.find(c.feq);
    if (it == lineBoxes.end() || !c.widget) return;
    const QRect box = it->second;
    // A line edit keeps a pixel above and below its line, where tall capitals and tails reach. The
    // box grows downwards: its top stays where the layout put it, so that what stands above the
    // line (a caption, the line before) stays uncovered, and the text sits nearer its rule.
    const int h = std::max(box.height(), QFontMetrics(c.widget->font()).height() + 2);
    const QRect g(box.x(), box.y(), box.width(), h);
    if (c.widget->geometry() != g) c.widget->setGeometry(g);
}

void WindowImpl::applyColors(Control& c) {
    if (!c.widget) return;
    QPalette pal = c.widget->palette();
    QColor fg = colorOf(c.font.color);
    QColor bg = colorOf(c.bg);
    if (fg.isValid()) {
        pal.setColor(QPalette::WindowText, fg);
        pal.setColor(QPalette::Text, fg);
        pal.setColor(QPalette::ButtonText, fg);
    }
    if (bg.isValid()) {
        pal.setColor(QPalette::Base, bg);
        pal.setColor(QPalette::Window, bg);
        pal.setColor(QPalette::Button, bg);
    }
    // A transparent entry shows what lies beneath it; only a colour set at run time (a focus
    // highlight) fills it. Going back to the layout's colour makes it transparent again.
    if (c.type == CType::Entry && c.desc && c.desc->trn && (!bg.isValid() || c.bg == c.desc->bg))
        pal.setColor(QPalette::Base, Qt::transparent);
    c.widget->setPalette(pal);
    bool fill = bg.isValid() && !(c.desc && c.desc->trn);
    if (c.type == CType::Prompt || c.type == CType::String || c.type == CType::Panel ||
        c.type == CType::Check || c.type == CType::Radio || c.type == CType::Group)
        c.widget->setAutoFillBackground(fill);
    if (auto* sp = qobject_cast<QAbstractSpinBox*>(c.widget.data())) {
        if (auto* le = sp->findChild<QLineEdit*>()) le->setPalette(pal);
    }
}

// A button that shows only a picture is named by its tip for a screen reader (its text names
// every other button).
void WindowImpl::nameForReaders(Control& c) {
    auto* b = qobject_cast<QAbstractButton*>(c.widget.data());
    if (!b) return;
    b->setAccessibleName(b->text().isEmpty() ? c.tip.simplified() : QString());
}

void WindowImpl::applyState(Control& c) {
    if (auto it = actions.find(c.feq); it != actions.end() && it->second) {
        it->second->setEnabled(!c.disable);
        it->second->setVisible(!c.hide);
        it->second->setText(c.text);
        it->second->setStatusTip(c.msg);
        it->second->setToolTip(c.tip);
        return;
    }
    if (!c.widget) return;
    c.widget->setEnabled(!c.disable);
    c.widget->setToolTip(c.tip);
    nameForReaders(c);
    c.widget->setStatusTip(c.msg);
    if (auto* le = qobject_cast<QLineEdit*>(c.widget.data())) le->setReadOnly(c.readOnly);
    else if (auto* te = qobject_cast<QPlainTextEdit*>(c.widget.data())) te->setReadOnly(c.readOnly);
    else if (auto* sp = qobject_cast<QAbstractSpinBox*>(c.widget.data())) sp->setReadOnly(c.readOnly);
    else if (auto* db = dynamic_cast<DropBox*>(c.widget.data())) db->setReadOnly(c.readOnly);
    // Controls take the focus by the engine's own Tab order; Qt's must not interfere.
    if (focusable(c.type)) c.widget->setFocusPolicy(parentWidgetFor(indexOf(&c)) == toolHolder ? Qt::NoFocus : Qt::StrongFocus);
}

// The alignment offset pads the aligned side (dialog units); a decimal alignment puts the decimal
// point `offset` dialog units from the right edge (a number without places: its end).
void WindowImpl::applyAlignment(Control& c) {
    if (!c.widget || !c.desc) return;
    const Align a = c.desc->align;
    const int off = c.desc->alignOffset;
    if (a == Align::Default || a == Align::Center || (off == 0 && a != Align::Decimal)) return;
    QLineEdit* le = nullptr;
    QLabel* label = nullptr;
    if (c.type == CType::Entry) le = static_cast<QLineEdit*>(c.widget.data());
    else if (c.type == CType::Spin) le = c.widget->findChild<QLineEdit*>();
    else if (c.type == CType::Prompt || c.type == CType::String) label = static_cast<QLabel*>(c.widget.data());
    if (!le && !label) return;
    const int pad = px(off, true);
    const QString t = le ? le->text() : label->text();
    int left = 0, right = 0;
    if (a == Align::Left) left = pad;
    else if (a == Align::Right) right = pad;
    else {
        int point = -1;
        if (!(c.pic && c.pic->kind == pic::Kind::Number && c.pic->places == 0)) point = t.lastIndexOf(QLatin1Char('.'));
        const int tail = point < 0 ? 0 : QFontMetrics(c.widget->font()).horizontalAdvance(t.mid(point));
        right = std::max(0, pad - tail);
    }
    // The padding never hides characters: a text too wide for the field with its offset moves
    // toward the other side instead of being cut (a year "24" in a narrow decimal-aligned field).
    const int room = std::max(0, c.widget->width() - QFontMetrics(c.widget->font()).horizontalAdvance(t) - (le ? 6 : 0));
    left = std::min(left, room);
    right = std::min(right, room);
    if (le) {
        if (le->textMargins() != QMargins(left, 0, right, 0)) le->setTextMargins(left, 0, right, 0);
    } else if (label->contentsMargins() != QMargins(left, 0, right, 0)) {
        label->setContentsMargins(left, 0, right, 0);
    }
}

// Qt stacks siblings in creation order; sheets, groups, panels, boxes and pictures are lowered
// beneath the other controls (keeping their own order), so that a list declared before the sheet
// it sits on stays visible and takes its clicks. Control numbers do not change.
void WindowImpl::restack() {
    for (int i = static_cast<int>(ctls.size()) - 1; i >= 0; --i) {
        Control& c = ctls[i];
        if (c.widget && isBackground(c.type) && c.widget->parentWidget() == content.data()) c.widget->lower();
    }
}

}  // namespace vx::eng
