#pragma once
// Whether the texts of a window's controls are shown whole. A text is cut when its ink, drawn by
// the control itself in its own box, covers less than the same text drawn by the same control in a
// box made larger on every side: the control's own painting decides, whatever its kind. A fixed
// text (a caption) is also cut when a neighbour covers part of its ink: the window as drawn, with
// the caption and without it, must differ at every pixel of the caption's own ink.
//
// Each text is put into the widget for the measurement only (signals blocked) and the widget's own
// text, size and current item are put back afterwards.

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QString>
#include <QWidget>

#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "framework/engine/window.h"

namespace vx::eng::test {

// Ink of a text in a widget: the box of the pixels that differ between the widget showing the
// text and showing nothing, at the widget's current size.
inline QRect inkOf(QWidget* w, const std::function<void(bool withText)>& show) {
    show(false);
    const QImage empty = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    show(true);
    const QImage full = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QRect box;
    for (int y = 0; y < std::min(empty.height(), full.height()); ++y)
        for (int x = 0; x < std::min(empty.width(), full.width()); ++x)
            if (empty.pixel(x, y) != full.pixel(x, y)) box |= QRect(x, y, 1, 1);
    return box;
}

// The pixels of a fixed text's ink that the window does not show: drawn by the label alone, then
// as the window draws that place with everything around it, with the text and without it.
inline QString coveredBy(QLabel* l) {
    QWidget* top = l->window();
    const QString own = l->text();
    const auto grabs = [&](QWidget* w, const QRect& r) {
        l->setText(QString());
        const QImage empty = w->grab(r).toImage().convertToFormat(QImage::Format_RGB32);
        l->setText(own);
        const QImage full = w->grab(r).toImage().convertToFormat(QImage::Format_RGB32);
        return std::pair<QImage, QImage>(empty, full);
    };
    const auto [alone0, alone1] = grabs(l, l->rect());
    const QRect place(l->mapTo(top, QPoint(0, 0)), l->size());
    const auto [shown0, shown1] = grabs(top, place);
    std::vector<QWidget*> above;
    bool past = false;
    for (QObject* o : l->parentWidget()->children()) {
        auto* k = qobject_cast<QWidget*>(o);
        if (past && k && k->isVisible()) above.push_back(k);
        past = past || o == l;
    }
    int ink = 0, hidden = 0;
    for (int y = 0; y < std::min(alone0.height(), shown0.height()); ++y)
        for (int x = 0; x < std::min(alone0.width(), shown0.width()); ++x) {
            if (alone0.pixel(x, y) == alone1.pixel(x, y)) continue;
            ++ink;
            // Unchanged where the window shows it, under a neighbour stacked above the caption
            // (not merely ink of the caption's colour over a picture of the same colour).
            if (shown0.pixel(x, y) != shown1.pixel(x, y)) continue;
            const QPoint at = l->mapTo(l->parentWidget(), QPoint(x, y));
            for (QWidget* k : above)
                if (k->geometry().contains(at)) {
                    ++hidden;
                    break;
                }
        }
    if (hidden == 0) return {};
    return QStringLiteral("%1 of its %2 ink pixels covered by a neighbour").arg(hidden).arg(ink);
}

// The ink's width and height in the widget's own box and in a box `grow` pixels larger on every
// side; `show` puts the text in (true) or takes it out (false). Empty when nothing is cut.
inline QString cutBy(QWidget* w, int grow, const std::function<void(bool)>& show, bool heightOnly = false) {
    const QSize own = w->size();
    const QRect in = inkOf(w, show);
    w->resize(own + QSize(2 * grow, 2 * grow));
    const QRect out = inkOf(w, show);
    w->resize(own);
    if (out.isEmpty()) return {};
    if (in.height() < out.height() || (!heightOnly && in.width() < out.width()))
        return QStringLiteral("ink %1x%2 of %3x%4 in a box of %5x%6")
            .arg(in.width()).arg(in.height()).arg(out.width()).arg(out.height()).arg(own.width()).arg(own.height());
    return {};
}

// A short text with the tallest Cyrillic letter and a deep tail, for controls whose text is typed
// (short, so that it fits the narrowest line and no scrolling changes what is seen).
inline QString tallText() { return QString::fromUtf8("Йр"); }

// The texts of one control that are cut, each as "<name> \"<text>\": <how>". Entries and spins
// are measured with tallText() (what the user types may be as long as it likes: only the height
// counts); fixed texts, check boxes, buttons, group captions with their own text; drop lists with
// every item.
inline std::vector<std::string> cutTexts(Window& win, int feq) {
    std::vector<std::string> cut;
    Control* c = win.control(feq);
    if (!c || !c->widget || !c->widget->isVisible()) return cut;
    QWidget* w = c->widget;
    const int grow = 2 * QFontMetrics(w->font()).height();
    const auto note = [&](const QString& text, const QString& how) {
        if (!how.isEmpty())
            cut.push_back(c->desc->name + " \"" + text.toStdString() + "\": " + how.toStdString());
    };
    const QSignalBlocker block(w);
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        const QString own = e->text();
        // What the line can show: digits for a number or a date, else letters. Only the height
        // counts: a long typed text scrolls in its line.
        const bool digits = c->pic && c->pic->kind != vx::pic::Kind::String;
        const QString probe = digits ? QStringLiteral("-0123") : tallText();
        const QString how = cutBy(w, grow, [&](bool on) { e->setText(on ? probe : QString()); }, true);
        e->setText(own);
        note(probe, how);
    } else if (auto* s = qobject_cast<QAbstractSpinBox*>(w)) {
        // The line inside the spin: the arrows change with the value.
        QLineEdit* le = s->findChild<QLineEdit*>();
        const QString own = le->text();
        const QSignalBlocker b2(le);
        note(QStringLiteral("10"), cutBy(le, grow, [&](bool on) { le->setText(on ? QStringLiteral("10") : QString()); }));
        le->setText(own);
    } else if (auto* cb = qobject_cast<QComboBox*>(w)) {
        const int own = cb->currentIndex();
        for (int i = 0; i < cb->count(); ++i) {
            if (cb->itemText(i).isEmpty()) continue;
            note(cb->itemText(i), cutBy(w, grow, [&](bool on) { cb->setCurrentIndex(on ? i : -1); }));
        }
        cb->setCurrentIndex(own);
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        const QString own = l->text();
        if (!own.isEmpty()) note(own, cutBy(w, grow, [&](bool on) { l->setText(on ? own : QString()); }));
        l->setText(own);
        if (!own.isEmpty()) note(own, coveredBy(l));
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        const QString own = b->text();
        if (!own.isEmpty()) note(own, cutBy(w, grow, [&](bool on) { b->setText(on ? own : QString()); }));
        b->setText(own);
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
        const QString own = g->title();
        // A blank caption keeps the frame's top line where a caption puts it.
        if (!own.isEmpty()) note(own, cutBy(w, grow, [&](bool on) { g->setTitle(on ? own : QStringLiteral(" ")); }));
        g->setTitle(own);
    }
    return cut;
}

// Every cut text of the window's visible controls.
inline std::vector<std::string> cutTexts(Window& win) {
    std::vector<std::string> cut;
    for (int feq : win.controls())
        for (std::string& s : cutTexts(win, feq)) cut.push_back(std::move(s));
    return cut;
}

}  // namespace vx::eng::test
