#include "window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <map>

#include "fonts.h"
#include "framework/types/codepage.h"
#include "message.h"
#include "pictures.h"
#include "vars.h"
#include "widgets.h"

namespace vx::eng {

using detail::ThreadState;

// ---------------------------------------------------------------- Queue

Queue::Queue(std::vector<Field> fields) : fields_(std::move(fields)) {
    for (const Field& f : fields_) {
        offsets_.push_back(rowSize_);
        rowSize_ += f.size;
    }
}

VarRef Queue::field(int row, int field) const {
    if (row < 0 || row >= rowCount() || field < 1 || field > fieldCount()) return {};
    const Field& f = fields_[field - 1];
    auto* base = reinterpret_cast<unsigned char*>(const_cast<char*>(rows_[row].data()));
    return VarRef{f.type, base + offsets_[field - 1], f.size, f.places};
}

int Queue::add() {
    rows_.emplace_back(static_cast<std::size_t>(rowSize_), '\0');
    int r = rowCount() - 1;
    for (int i = 1; i <= fieldCount(); ++i) field(r, i).clear();
    return r;
}

void Queue::remove(int row) {
    if (row >= 0 && row < rowCount()) rows_.erase(rows_.begin() + row);
}

// ---------------------------------------------------------------- program-wide state

namespace {

bool g_tips = true;
int g_tipTime = 0;
int g_charset = 0;
Window* g_frame = nullptr;

class ContentWidget;

bool focusable(CType t) {
    switch (t) {
    case CType::Entry: case CType::Text: case CType::Button: case CType::Check: case CType::Radio:
    case CType::Spin: case CType::List: case CType::DropList: case CType::Combo: case CType::DropCombo:
        return true;
    default:
        return false;
    }
}

// The character a key types, as a code page 1251 byte; 0 when it types none, or several, or one
// that code page 1251 cannot hold.
int keycharOf(const QKeyEvent* e) {
    const QString t = e->text();
    if (t.size() != 1) return 0;
    const QChar ch = t.at(0);
    if (ch.unicode() < 0x20 || ch.unicode() == 0x7F) return 0;
    const std::string b = cp::toCp1251(t);
    if (b.size() != 1 || cp::fromCp1251(b) != t) return 0;
    return static_cast<unsigned char>(b[0]);
}

int keycodeOf(const QKeyEvent* e) {
    int k = 0;
    const int q = e->key();
    const auto m = e->modifiers();
    if (q >= Qt::Key_F1 && q <= Qt::Key_F24) k = key::F1 + (q - Qt::Key_F1);
    else if (q >= Qt::Key_A && q <= Qt::Key_Z) k = 'A' + (q - Qt::Key_A);
    else if (q >= Qt::Key_0 && q <= Qt::Key_9) k = '0' + (q - Qt::Key_0);
    else {
        switch (q) {
        case Qt::Key_Return: case Qt::Key_Enter: k = key::Enter; break;
        case Qt::Key_Escape: k = key::Esc; break;
        case Qt::Key_Tab: case Qt::Key_Backtab: k = key::Tab; break;
        case Qt::Key_Backspace: k = key::Backspace; break;
        case Qt::Key_Space: k = key::Space; break;
        case Qt::Key_PageUp: k = key::PgUp; break;
        case Qt::Key_PageDown: k = key::PgDn; break;
        case Qt::Key_Home: k = key::Home; break;
        case Qt::Key_End: k = key::End; break;
        case Qt::Key_Left: k = key::Left; break;
        case Qt::Key_Right: k = key::Right; break;
        case Qt::Key_Up: k = key::Up; break;
        case Qt::Key_Down: k = key::Down; break;
        case Qt::Key_Insert: k = key::Insert; break;
        case Qt::Key_Delete: k = key::Delete; break;
        default: {
            // A character without a key of its own: its code carries the character.
            const int ch = keycharOf(e);
            return ch && !(m & (Qt::ControlModifier | Qt::AltModifier)) ? key::typedChar(static_cast<unsigned char>(ch)) : 0;
        }
        }
    }
    if (m & Qt::ShiftModifier) k |= key::Shift;
    if (m & Qt::ControlModifier) k |= key::Ctrl;
    if (m & Qt::AltModifier) k |= key::Alt;
    return k;
}

int mouseCode(const QMouseEvent* e, bool dbl) {
    int k = 0;
    switch (e->button()) {
    case Qt::LeftButton: k = dbl ? key::MouseLeft2 : key::MouseLeft; break;
    case Qt::RightButton: k = dbl ? key::MouseRight2 : key::MouseRight; break;
    case Qt::MiddleButton: k = key::MouseCenter; break;
    default: return 0;
    }
    const auto m = e->modifiers();
    if (m & Qt::ShiftModifier) k |= key::Shift;
    if (m & Qt::ControlModifier) k |= key::Ctrl;
    if (m & Qt::AltModifier) k |= key::Alt;
    return k;
}

QString text1251(const VarRef& v) { return cp::fromCp1251(v.text()); }

}  // namespace

// ---------------------------------------------------------------- WindowImpl

struct WindowImpl : QObject {
    Window* self = nullptr;
    std::shared_ptr<const WinDesc> desc;
    ThreadState* thread = nullptr;
    QPointer<QWidget> outer, content, holder;  // holder: the top-level widget (outer for frames)
    QPointer<QMdiSubWindow> sub;
    QPointer<QMainWindow> mw;
    QPointer<QMdiArea> mdi;
    QPointer<QStatusBar> status;
    std::vector<QPointer<QLabel>> zones;
    QPointer<QToolBar> toolbar;
    QPointer<QWidget> toolHolder;
    std::vector<Control> ctls;
    std::map<int, int> byFeq;
    QHash<QString, int> byName;
    std::map<int, QPointer<QAction>> actions;
    std::map<int, std::map<int, ListStyle>> listStyles;
    QFont font;
    DialogUnits du;
    EventRec cur;
    bool haveCur = false, cycled = false, closed = false, blocked = false, timerQueued = false;
    bool opened = false;  // OpenWindow is queued: window events may follow
    bool movedQueued = false, sizedQueued = false;  // a drag queues one Moved/Sized at a time
    std::vector<int> pass;  // the accept-all pass: controls still to visit
    std::size_t passPos = 0;
    bool passActive = false, passTaken = false;
    void passNext();
    int focusFeq = 0;
    std::vector<int> alerts;
    QTimer* timer = nullptr;
    int suppress = 0;
    QString title;

    struct Suppress {
        WindowImpl* d;
        explicit Suppress(WindowImpl* d) : d(d) { ++d->suppress; }
        ~Suppress() { --d->suppress; }
    };

    bool innermost() const {
        if (!thread) return true;
        auto& st = detail::windowStack(thread);
        return !st.empty() && st.back() == self;
    }
    void enqueue(int event, int control = 0, int keycode = 0, int keychar = 0) {
        if (closed || !thread) return;
        detail::enqueue(thread, EventRec{event, control, keycode, self, 0, keychar});
    }
    Control* ctl(int feq) {
        auto it = byFeq.find(feq);
        return it == byFeq.end() ? nullptr : &ctls[it->second];
    }
    int indexOf(const Control* c) const { return static_cast<int>(c - ctls.data()); }

    int px(double du, bool xAxis) const { return static_cast<int>(du * (xAxis ? this->du.x : this->du.y) + 0.5); }

    void build();
    void buildControl(int i);
    QWidget* parentWidgetFor(int i);
    void applyFont(Control& c);
    void applyColors(Control& c);
    void applyState(Control& c);
    void applyVisibility();
    void applyAlignment(Control& c);
    void restack();
    bool effectiveVisible(int i) const;
    bool effectiveEnabled(int i) const;
    int sheetOf(int i, int* tabIndex) const;
    void raiseTabOf(int i);
    void displayOne(Control& c);
    bool updateOne(Control& c);
    void complete(Control& c);  // a user edit of c is finished: accept or reject it
    void immEdited(Control& c);
    void immEvent(Control& c, int code, int ch = 0);
    void moveFocus(int feq, Qt::FocusReason reason, bool selected);
    void showMsg(const QString& m);
    QLabel* msgZone() const;
    void activeMsg(bool active);
    void setBlocked(bool on);
    void closeNow();
    void defaultAction();
    void onFocusIn(Control& c, Qt::FocusReason reason);
    bool onKey(Control* c, QKeyEvent* e);
    void onMouse(Control* c, QMouseEvent* e, bool dbl);
    bool eventFilter(QObject* o, QEvent* e) override;
    void stdAction(Control& c);
    // One Timer event at a time: a tick while one is still waiting is dropped.
    void timerTick() {
        if (timerQueued) return;
        timerQueued = true;
        enqueue(ev::Timer);
    }
};

namespace {

QHash<QObject*, std::pair<WindowImpl*, int>>& widgetMap() {
    static QHash<QObject*, std::pair<WindowImpl*, int>> m;
    return m;
}

std::vector<WindowImpl*>& allWindows() {
    static std::vector<WindowImpl*> w;
    return w;
}

// The control a widget belongs to (the widget itself or an ancestor inside the window).
std::pair<WindowImpl*, Control*> controlOf(QObject* o) {
    auto& m = widgetMap();
    for (QObject* p = o; p; p = p->parent()) {
        auto it = m.constFind(p);
        if (it != m.constEnd()) {
            // An entry is trusted only while its window and widget still exist: a widget deleted
            // with a foreign parent (an MDI child when the frame goes) may leave a stale address.
            WindowImpl* d = it->first;
            const auto& all = allWindows();
            if (d->closed || std::find(all.begin(), all.end(), d) == all.end()) return {nullptr, nullptr};
            if (it->second < 0) {
                if (p == d->content.data() || p == d->holder.data() || p == d->toolHolder.data()) return {d, nullptr};
                return {nullptr, nullptr};
            }
            if (it->second >= static_cast<int>(d->ctls.size()) || d->ctls[it->second].widget.data() != p)
                return {nullptr, nullptr};
            return {d, &d->ctls[it->second]};
        }
        if (p->isWidgetType() && static_cast<QWidget*>(p)->isWindow()) break;
    }
    return {nullptr, nullptr};
}

// Program-wide filter: Tab order, alert keys and mouse codes, focus moves, tooltips.
class EngineFilter : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override {
        switch (e->type()) {
        case QEvent::KeyPress: {
            if (propagated(o, e, lastKey_, lastKeyTarget_)) return false;
            auto [d, c] = controlOf(o);
            if (!d) return false;
            return d->onKey(c, static_cast<QKeyEvent*>(e));
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            {
                // Qt re-creates a mouse event for each parent it is handed on to: compare contents.
                auto* me = static_cast<QMouseEvent*>(e);
                MouseKey k{e->type(), me->timestamp(), me->globalPosition().toPoint(), me->button()};
                const bool again = k == lastMouseKey_ && lastMouseTarget_ && o != lastMouseTarget_ &&
                                   isAncestor(o, lastMouseTarget_);
                lastMouseKey_ = k;
                if (again) return false;
                lastMouseTarget_ = o;
            }
            auto [d, c] = controlOf(o);
            if (d) d->onMouse(c, static_cast<QMouseEvent*>(e), e->type() == QEvent::MouseButtonDblClick);
            return false;
        }
        case QEvent::Wheel: {
            auto [d, c] = controlOf(o);
            if (d && c && c->type == CType::List && c->imm && !d->blocked) {
                int dy = static_cast<QWheelEvent*>(e)->angleDelta().y();
                if (dy) d->enqueue(dy > 0 ? ev::ScrollUp : ev::ScrollDown, c->feq);
                return true;
            }
            return false;
        }
        case QEvent::FocusIn: {
            auto [d, c] = controlOf(o);
            if (d && c) d->onFocusIn(*c, static_cast<QFocusEvent*>(e)->reason());
            return false;
        }
        case QEvent::ToolTip: {
            if (!g_tips) return true;
            if (g_tipTime > 0 && o->isWidgetType()) {
                auto* w = static_cast<QWidget*>(o);
                if (!w->toolTip().isEmpty()) {
                    auto* he = static_cast<QHelpEvent*>(e);
                    QToolTip::showText(he->globalPos(), w->toolTip(), w, QRect(), g_tipTime);
                    return true;
                }
            }
            return false;
        }
        default:
            return false;
        }
    }

private:
    // Qt hands an ignored key or mouse event on to the parent widgets; only its first delivery counts.
    static bool isAncestor(QObject* o, QObject* of) {
        for (QObject* p = of->parent(); p; p = p->parent())
            if (p == o) return true;
        return false;
    }
    static bool propagated(QObject* o, const QEvent* e, const QEvent*& last, QPointer<QObject>& lastTarget) {
        const bool again = e == last && lastTarget && o != lastTarget && isAncestor(o, lastTarget);
        last = e;
        if (!again) lastTarget = o;
        return again;
    }
    struct MouseKey {
        QEvent::Type type = QEvent::None;
        quint64 ts = 0;
        QPoint global;
        Qt::MouseButton button = Qt::NoButton;
        bool operator==(const MouseKey&) const = default;
    };
    const QEvent* lastKey_ = nullptr;
    MouseKey lastMouseKey_;
    QPointer<QObject> lastKeyTarget_, lastMouseTarget_;
};

EngineFilter* g_filter = nullptr;

class Line : public QWidget {
public:
    Line(QWidget* p, int color, bool fromBottom) : QWidget(p), color_(color), up_(fromBottom) {}
    int color_;
    bool up_;
    int width_ = 1;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(QPen(color_ >= 0 ? colorOf(color_) : palette().windowText().color(), width_));
        if (width() <= 1) p.drawLine(0, 0, 0, height());
        else if (height() <= 1) p.drawLine(0, 0, width(), 0);
        else if (up_) p.drawLine(0, height() - 1, width() - 1, 0);
        else p.drawLine(0, 0, width() - 1, height() - 1);
    }
};

// A tab bar whose tabs may each have a background colour (kept as the tab's data).
class ColorTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        for (int i = 0; i < count(); ++i) {
            if (!isTabVisible(i)) continue;
            QStyleOptionTab opt;
            initStyleOption(&opt, i);
            QColor col = tabData(i).value<QColor>();
            if (col.isValid()) {
                p.drawControl(QStyle::CE_TabBarTabShape, opt);
                p.fillRect(opt.rect.adjusted(2, 2, -2, 0), col);
                p.drawControl(QStyle::CE_TabBarTabLabel, opt);
            } else {
                p.drawControl(QStyle::CE_TabBarTab, opt);
            }
        }
    }
};

class Sheet : public QTabWidget {
public:
    explicit Sheet(QWidget* parent) : QTabWidget(parent) { setTabBar(new ColorTabBar(this)); }
};

// A drop list or combo. While read-only it looks as usual and takes the focus, but neither the
// mouse, the keyboard nor the wheel changes what it shows: its list does not open, the keys that
// step or search through its items and the wheel are left to its parent.
class DropBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    bool readOnly = false;
    void setReadOnly(bool on) {
        readOnly = on;
        if (QLineEdit* le = lineEdit()) le->setReadOnly(on);
        if (on) hidePopup();
    }
    void showPopup() override {
        if (!readOnly) QComboBox::showPopup();
    }

protected:
    void keyPressEvent(QKeyEvent* e) override {
        if (readOnly) e->ignore();
        else QComboBox::keyPressEvent(e);
    }
    void wheelEvent(QWheelEvent* e) override {
        if (readOnly) e->ignore();
        else QComboBox::wheelEvent(e);
    }
};

class ImageBox : public QWidget {
public:
    using QWidget::QWidget;
    QImage img;

protected:
    void paintEvent(QPaintEvent*) override {
        if (img.isNull()) return;
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(rect(), img);
    }
};

// A group box in the classic look: the frame's top line runs through the middle of the caption,
// with a gap for the caption, so the caption takes no room above the frame.
class GroupFrame : public QGroupBox {
public:
    using QGroupBox::QGroupBox;
    // The caption's box and the height of the frame's top line, in widget pixels.
    QRect captionRect() const {
        if (title().isEmpty()) return {};
        const QFontMetrics fm(font());
        const int x0 = fm.averageCharWidth();
        return QRect(x0, 0, std::min(fm.horizontalAdvance(title()), std::max(0, width() - 2 * x0)), fm.height());
    }
    int lineY() const { return title().isEmpty() ? 0 : QFontMetrics(font()).height() / 2; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QPalette& pal = palette();
        const int top = lineY(), right = width() - 2, bottom = height() - 2;
        const QRect cap = captionRect();
        auto frame = [&](int d, const QColor& col) {
            p.setPen(col);
            p.drawLine(d, top + d, d, bottom + d);
            p.drawLine(d, bottom + d, right + d, bottom + d);
            p.drawLine(right + d, top + d, right + d, bottom + d);
            if (cap.isNull()) {
                p.drawLine(d, top + d, right + d, top + d);
            } else {
                p.drawLine(d, top + d, std::max(d, cap.left() - 2), top + d);
                p.drawLine(std::min(right + d, cap.right() + 3), top + d, right + d, top + d);
            }
        };
        frame(1, pal.color(QPalette::Light));  // etched: a light line under a dark one
        frame(0, pal.color(QPalette::Mid));
        if (!cap.isNull()) {
            p.setPen(pal.color(QPalette::WindowText));
            p.setFont(font());
            p.drawText(cap, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, title());
        }
    }
};

Qt::Alignment qtAlign(Align a) {
    switch (a) {
    case Align::Right: case Align::Decimal: return Qt::AlignRight | Qt::AlignVCenter;
    case Align::Center: return Qt::AlignHCenter | Qt::AlignVCenter;
    default: return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

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

std::optional<Decimal> dec(const std::string& s) {
    if (s.empty()) return std::nullopt;
    return Decimal::parse(s);
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
    c.widget->setStatusTip(c.msg);
    if (auto* le = qobject_cast<QLineEdit*>(c.widget.data())) le->setReadOnly(c.readOnly);
    else if (auto* te = qobject_cast<QPlainTextEdit*>(c.widget.data())) te->setReadOnly(c.readOnly);
    else if (auto* sp = qobject_cast<QAbstractSpinBox*>(c.widget.data())) sp->setReadOnly(c.readOnly);
    else if (auto* db = dynamic_cast<DropBox*>(c.widget.data())) db->setReadOnly(c.readOnly);
    // Controls take the focus by the engine's own Tab order; Qt's must not interfere.
    if (focusable(c.type)) c.widget->setFocusPolicy(parentWidgetFor(indexOf(&c)) == toolHolder ? Qt::NoFocus : Qt::StrongFocus);
}

void WindowImpl::buildControl(int i) {
    const CtlDesc& d = desc->controls[i];
    Control& c = ctls[i];
    c.window = self;
    c.desc = &d;
    c.feq = d.feq;
    c.type = d.type;
    c.hide = d.hide;
    c.disable = d.disable;
    c.readOnly = d.readOnly;
    c.req = d.req;
    c.skip = d.skip;
    c.imm = d.imm;
    c.font = d.font;
    c.bg = d.bg;
    c.tip = d.tip;
    c.msg = d.msg;
    c.text = d.text;
    c.drop = d.drop;
    c.parentIndex = d.parent;
    c.rangeLow = d.rangeLow;
    c.rangeHigh = d.rangeHigh;
    c.step = d.step;
    c.alerts = d.alerts;
    if (!d.picture.empty()) c.pic = pic::parse(d.picture);
    if (!d.use.empty() && d.use[0] != '?') c.var = vars::find(d.use);
    if (d.type == CType::Tab) {
        int k = 0;
        for (int j = d.parent + 1; j <= i; ++j)
            if (desc->controls[j].parent == d.parent && desc->controls[j].type == CType::Tab) ++k;
        c.tabIndex = k;
    }
    if (d.keyword == "separator") {
        if (d.parent >= 0) {
            if (auto it = actions.find(ctls[d.parent].feq); it != actions.end() && it->second && it->second->menu())
                it->second->menu()->addSeparator();
        }
        return;
    }
    QWidget* parent = parentWidgetFor(i);
    QWidget* w = nullptr;
    auto geom = [&](QWidget* wd) {
        QSize hint = wd->sizeHint();
        int wpx = d.w >= 0 ? px(d.w, true) : hint.width();
        int hpx = d.h >= 0 ? px(d.h, false) : hint.height();
        wd->setGeometry(px(d.x, true), px(d.y, false), std::max(0, wpx), std::max(0, hpx));
    };
    const int feq = d.feq;
    switch (d.type) {
    case CType::MenuBar:
        break;
    case CType::Menu: {
        QMenu* parentMenu = nullptr;
        if (d.parent >= 0)
            if (auto it = actions.find(ctls[d.parent].feq); it != actions.end() && it->second) parentMenu = it->second->menu();
        QMenu* m = new QMenu(d.text, parentMenu ? static_cast<QWidget*>(parentMenu) : static_cast<QWidget*>(mw ? mw->menuBar() : content.data()));
        // A menu bar would show an icon in place of the menu's name: there the menu shows its
        // name only; inside a menu the icon stands beside the name.
        if (!d.icon.isEmpty() && parentMenu) m->setIcon(loadIcon(d.icon));
        if (parentMenu) parentMenu->addMenu(m);
        else if (mw) mw->menuBar()->addMenu(m);
        actions[feq] = m->menuAction();
        break;
    }
    case CType::Item: {
        QMenu* parentMenu = nullptr;
        if (d.parent >= 0)
            if (auto it = actions.find(ctls[d.parent].feq); it != actions.end() && it->second) parentMenu = it->second->menu();
        QAction* a = new QAction(d.text, parentMenu ? static_cast<QObject*>(parentMenu) : static_cast<QObject*>(this));
        if (!d.icon.isEmpty() && parentMenu) a->setIcon(loadIcon(d.icon));  // on the bar: its name only
        if (parentMenu) parentMenu->addAction(a);
        else if (mw) mw->menuBar()->addAction(a);
        connect(a, &QAction::triggered, this, [this, feq] {
            if (Control* k = ctl(feq)) stdAction(*k), enqueue(ev::Accepted, feq);
        });
        connect(a, &QAction::hovered, this, [this, feq] {
            if (Control* k = ctl(feq)) showMsg(k->msg);
        });
        actions[feq] = a;
        break;
    }
    case CType::Toolbar: {
        if (!mw) break;
        toolbar = new QToolBar(mw);
        toolbar->setMovable(false);
        toolHolder = new QWidget(toolbar);
        toolbar->addWidget(toolHolder);
        mw->addToolBar(toolbar);
        widgetMap().insert(toolHolder, {this, -1});
        // Size the holder to its controls.
        int maxX = 0, maxY = 0;
        for (int j = i + 1; j < static_cast<int>(desc->controls.size()); ++j) {
            bool inside = false;
            for (int p = desc->controls[j].parent; p >= 0; p = desc->controls[p].parent)
                if (p == i) inside = true;
            if (!inside) continue;
            const CtlDesc& cd = desc->controls[j];
            maxX = std::max(maxX, cd.x + std::max(cd.w, 60));
            maxY = std::max(maxY, cd.y + std::max(cd.h, 10));
        }
        toolHolder->setFixedSize(px(maxX, true), px(maxY + 2, false));
        break;
    }
    case CType::Prompt:
    case CType::String: {
        auto* l = new QLabel(parent);
        l->setText(d.text);
        l->setAlignment(qtAlign(d.align));
        l->setAttribute(Qt::WA_TransparentForMouseEvents, !d.use.empty() ? false : true);
        w = l;
        break;
    }
    case CType::Entry: {
        auto* e = new QLineEdit(parent);
        e->setFrame(!d.flat);
        e->setAlignment(qtAlign(d.align == Align::Default && c.pic && c.pic->align == pic::Align::Right ? Align::Right : d.align));
        connect(e, &QLineEdit::textEdited, this, [this, feq] {
            if (suppress) return;
            Control* k = ctl(feq);
            if (!k) return;
            k->changed = true;
            if (k->imm) immEdited(*k);
        });
        // An edit is finished by Enter or when the focus moves to another control of the window
        // (moveFocus, onFocusIn); a switch to another window does not finish it.
        connect(e, &QLineEdit::returnPressed, this, [this, feq] {
            if (Control* k = ctl(feq)) complete(*k);
        });
        if (d.align == Align::Decimal)
            connect(e, &QLineEdit::textChanged, this, [this, feq] {
                if (Control* k = ctl(feq)) applyAlignment(*k);
            });
        w = e;
        break;
    }
    case CType::Text: {
        auto* t = new QPlainTextEdit(parent);
        t->setTabChangesFocus(true);
        connect(t, &QPlainTextEdit::textChanged, this, [this, feq] {
            if (suppress) return;
            Control* k = ctl(feq);
            if (!k) return;
            k->changed = true;
            if (k->imm) immEdited(*k);
        });
        w = t;
        break;
    }
    case CType::Button: {
        QAbstractButton* b;
        if (parent == toolHolder) {
            auto* tb = new QToolButton(parent);
            tb->setAutoRaise(true);
            b = tb;
        } else {
            auto* pb = new QPushButton(parent);
            pb->setFlat(d.flat);
            pb->setAutoDefault(false);
            b = pb;
        }
        b->setText(d.text);
        if (!d.icon.isEmpty()) {
            b->setIcon(loadIcon(d.icon));
            if (d.w > 0 && d.h > 0) b->setIconSize(QSize(std::max(8, px(d.w, true) - 6), std::max(8, px(d.h, false) - 6)));
        }
        connect(b, &QAbstractButton::clicked, this, [this, feq] {
            if (suppress) return;
            if (!ctl(feq)) return;
            if (focusFeq && focusFeq != feq)
                if (Control* f = ctl(focusFeq)) complete(*f);
            enqueue(ev::Accepted, feq, key::MouseLeft);
        });
        w = b;
        break;
    }
    case CType::Check: {
        // A check box with an icon is a toggle button showing the picture.
        QAbstractButton* cb;
        if (!d.icon.isEmpty()) {
            auto* tb = new QToolButton(parent);
            tb->setCheckable(true);
            tb->setText(d.text);
            tb->setIcon(loadIcon(d.icon));
            tb->setToolButtonStyle(d.text.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
            if (d.w > 0 && d.h > 0) tb->setIconSize(QSize(std::max(8, px(d.w, true) - 6), std::max(8, px(d.h, false) - 6)));
            cb = tb;
        } else {
            cb = new QCheckBox(d.text, parent);
        }
        connect(cb, &QAbstractButton::clicked, this, [this, feq](bool on) {
            if (suppress) return;
            Control* k = ctl(feq);
            if (!k) return;
            if (k->var.valid()) k->var.setText(cp::toCp1251(on ? k->desc->valueOn : k->desc->valueOff));
            enqueue(ev::Accepted, feq);
        });
        w = cb;
        break;
    }
    case CType::Option: {
        auto* g = new QGroupBox(d.text, parent);
        g->setFlat(true);
        g->setAttribute(Qt::WA_TransparentForMouseEvents);
        if (d.text.isEmpty()) g->setStyleSheet(QStringLiteral("QGroupBox{border:0}"));
        w = g;
        break;
    }
    case CType::Radio: {
        auto* r = new QRadioButton(d.text, parent);
        r->setAutoExclusive(false);
        connect(r, &QRadioButton::clicked, this, [this, feq] {
            if (suppress) return;
            Control* k = ctl(feq);
            if (!k) return;
            int opt = k->parentIndex;
            if (opt >= 0 && ctls[opt].type == CType::Option) {
                Control& o = ctls[opt];
                QString v = k->desc->hasValue ? k->desc->value : k->desc->text;
                if (o.var.valid()) o.var.setText(cp::toCp1251(v));
                displayOne(o);
                enqueue(ev::Accepted, o.feq);
            } else {
                enqueue(ev::Accepted, feq);
            }
        });
        w = r;
        break;
    }
    case CType::Spin: {
        auto* s = new detail::DecSpin(parent);
        s->setFrame(!d.flat);
        s->setKeyboardTracking(true);
        if (auto lo = dec(d.rangeLow)) s->low = lo;
        if (auto hi = dec(d.rangeHigh)) s->high = hi;
        if (auto st = dec(d.step)) s->step = *st;
        s->setAlignment(qtAlign(d.align == Align::Default ? Align::Right : d.align));
        QLineEdit* le = s->findChild<QLineEdit*>();
        s->value = [le] { return Decimal::parse(cp::toCp1251(le->text()).c_str()).value_or(Decimal()); };
        s->setValue = [this, feq, le](const Decimal& v) {
            Control* k = ctl(feq);
            if (!k) return;
            std::string t;
            if (k->var.valid()) {
                k->var.setNumber(v);
                t = k->pic ? pic::format(*k->pic, k->var) : k->var.text();
            } else {
                t = v.toString();
            }
            Suppress sp(this);
            le->setText(cp::fromCp1251(t));
        };
        s->stepped = [this, feq] {
            if (Control* k = ctl(feq)) k->changed = false;
            enqueue(ev::NewSelection, feq);
        };
        connect(le, &QLineEdit::textEdited, this, [this, feq] {
            if (Control* k = ctl(feq)) k->changed = true;
        });
        connect(le, &QLineEdit::returnPressed, this, [this, feq] {
            if (Control* k = ctl(feq)) complete(*k);
        });
        if (d.align == Align::Decimal)
            connect(le, &QLineEdit::textChanged, this, [this, feq] {
                if (Control* k = ctl(feq)) applyAlignment(*k);
            });
        w = s;
        break;
    }
    case CType::List: {
        auto* v = new QTreeView(parent);
        v->setRootIsDecorated(false);
        v->setUniformRowHeights(true);
        v->setItemsExpandable(false);
        v->setSelectionMode(QAbstractItemView::SingleSelection);
        v->setSelectionBehavior(QAbstractItemView::SelectRows);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setAllColumnsShowFocus(true);
        auto* m = new detail::ListModel(v, detail::parseListFormat(d.format));
        if (!d.from.isEmpty()) m->items = d.from.split(QLatin1Char('|'));
        v->setModel(m);
        v->header()->setVisible(std::any_of(m->cols.begin(), m->cols.end(), [](auto& col) { return !col.header.isEmpty(); }));
        v->header()->setSectionsClickable(true);
        v->header()->setStretchLastSection(true);
        for (int k = 0; k < static_cast<int>(m->cols.size()); ++k) v->setColumnWidth(k, px(m->cols[k].width, true));
        auto* dl = new detail::ListDelegate(v, &c);
        dl->model = m;
        dl->styles = &listStyles[feq];
        dl->listFg = d.font.color;
        dl->listBg = d.bg;
        dl->selFg = d.selFg;
        dl->selBg = d.selBg;
        dl->duY = du.y;
        dl->duX = du.x;
        v->setItemDelegate(dl);
        c.impl = dl;
        connect(v->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this, feq] {
            if (!suppress) enqueue(ev::NewSelection, feq);
        });
        connect(v, &QAbstractItemView::pressed, this, [this, feq](const QModelIndex& idx) {
            if (Control* k = ctl(feq)) k->mouseDownColumn = idx.column() + 1;
        });
        connect(v, &QAbstractItemView::doubleClicked, this, [this, feq] { enqueue(ev::Accepted, feq, key::MouseLeft2); });
        connect(v->header(), &QHeaderView::sectionClicked, this, [this, feq](int s) { enqueue(ev::HeaderPressed, feq, s + 1); });
        w = v;
        break;
    }
    case CType::DropList:
    case CType::Combo:
    case CType::DropCombo: {
        auto* cb = new DropBox(parent);
        cb->setEditable(d.type != CType::DropList);
        cb->setFrame(!d.flat);
        if (!d.from.isEmpty()) cb->addItems(d.from.split(QLatin1Char('|')));
        if (d.drop > 0) cb->setMaxVisibleItems(d.drop);
        connect(cb, QOverload<int>::of(&QComboBox::activated), this, [this, feq] {
            if (suppress) return;
            Control* k = ctl(feq);
            if (!k) return;
            updateOne(*k);
            k->changed = false;
            enqueue(ev::NewSelection, feq);
            enqueue(ev::Accepted, feq);
        });
        if (cb->lineEdit()) {
            connect(cb->lineEdit(), &QLineEdit::textEdited, this, [this, feq] {
                if (Control* k = ctl(feq)) k->changed = true;
            });
            connect(cb->lineEdit(), &QLineEdit::returnPressed, this, [this, feq] {
                if (Control* k = ctl(feq)) complete(*k);
            });
        }
        w = cb;
        break;
    }
    case CType::Sheet: {
        auto* tw = new Sheet(parent);
        connect(tw, &QTabWidget::currentChanged, this, [this, feq, i](int) {
            if (suppress) return;
            applyVisibility();
            // The page shows the current tab's colour.
            for (int j = i + 1; j < static_cast<int>(ctls.size()); ++j)
                if (desc->controls[j].parent == i && ctls[j].type == CType::Tab) {
                    auto* twp = static_cast<QTabWidget*>(ctls[i].widget.data());
                    if (ctls[j].tabIndex == twp->currentIndex() + 1 && ctls[j].bg >= 0) {
                        QPalette pal = twp->palette();
                        pal.setColor(QPalette::Window, colorOf(ctls[j].bg));
                        if (QWidget* page = twp->currentWidget()) {
                            page->setAutoFillBackground(true);
                            page->setPalette(pal);
                        }
                    }
                }
            enqueue(ev::NewSelection, feq);
        });
        w = tw;
        break;
    }
    case CType::Tab: {
        int sheet = d.parent;
        if (sheet >= 0 && ctls[sheet].widget) {
            auto* tw = static_cast<QTabWidget*>(ctls[sheet].widget.data());
            auto* page = new QWidget;
            if (d.bg >= 0) {
                QPalette pal = page->palette();
                pal.setColor(QPalette::Window, colorOf(d.bg));
                page->setPalette(pal);
                page->setAutoFillBackground(true);
            }
            Suppress sp(this);
            int at = tw->addTab(page, d.text);
            if (d.bg >= 0) tw->tabBar()->setTabData(at, colorOf(d.bg));
        }
        break;
    }
    case CType::Group: {
        auto* g = new GroupFrame(d.text, parent);
        g->setAttribute(Qt::WA_TransparentForMouseEvents);
        w = g;
        break;
    }
    case CType::Region: {
        auto* r = new QWidget(parent);
        w = r;
        break;
    }
    case CType::Panel:
    case CType::Box: {
        auto* f = new QFrame(parent);
        f->setFrameShape(d.type == CType::Box ? QFrame::Box : QFrame::StyledPanel);
        f->setAttribute(Qt::WA_TransparentForMouseEvents);
        w = f;
        break;
    }
    case CType::Line: {
        auto* l = new Line(parent, d.font.color, d.extra.count("up") > 0);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        int x0 = px(d.x, true), y0 = px(d.y, false);
        int wpx = std::max(1, px(std::max(d.w, 0), true)), hpx = std::max(1, px(std::max(d.h, 0), false));
        l->setGeometry(x0, y0, wpx, hpx);
        w = l;
        break;
    }
    case CType::Image: {
        auto* im = new ImageBox(parent);
        c.text = d.file.isEmpty() ? d.icon : d.file;  // the picture file is the image's text
        im->img = loadPicture(c.text);
        w = im;
        break;
    }
    default:
        break;
    }
    if (!w) return;
    c.widget = w;
    widgetMap().insert(w, {this, i});
    applyFont(c);
    if (d.type != CType::Line) geom(w);
    applyState(c);
    applyAlignment(c);
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

void WindowImpl::build() {
    const WinDesc& wd = *desc;
    installFontSubstitutions();
    font = fontOf(wd.font, QApplication::font());
    du = DialogUnits::of(font);
    title = wd.text;
    const QSize clientPx(px(wd.w, true), px(wd.h, false));

    auto makeStatus = [&](QStatusBar* sb) {
        status = sb;
        for (std::size_t z = 0; z < wd.statusZones.size(); ++z) {
            auto* l = new QLabel(sb);
            zones.push_back(l);
            int wz = wd.statusZones[z];
            if (wz < 0) sb->addWidget(l, 1);
            else {
                l->setFixedWidth(px(wz, true));
                sb->addPermanentWidget(l);
            }
        }
    };

    if (wd.kind == WinKind::Frame) {
        mw = new QMainWindow;
        mw->setAttribute(Qt::WA_DeleteOnClose, false);
        mw->setFont(font);
        mdi = new QMdiArea(mw);
        mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        mw->setCentralWidget(mdi);
        content = mdi;
        outer = holder = mw;
        if (!wd.statusZones.empty()) makeStatus(mw->statusBar());
        mw->resize(clientPx.width(), clientPx.height() + 60);
        if (!g_frame) g_frame = self;
    } else {
        auto* box = new QWidget;
        box->setFont(font);
        auto* lay = new QVBoxLayout(box);
        lay->setContentsMargins(0, 0, 0, 0);
        lay->setSpacing(0);
        content = new QWidget(box);
        content->setFont(font);
        lay->addWidget(content, 1);
        if (!wd.statusZones.empty()) {
            auto* sb = new QStatusBar(box);
            sb->setSizeGripEnabled(wd.resize);
            lay->addWidget(sb);
            makeStatus(sb);
            sb->setFixedHeight(sb->sizeHint().height());
        }
        if (wd.bg >= 0) {
            QPalette pal = content->palette();
            pal.setColor(QPalette::Window, colorOf(wd.bg));
            content->setPalette(pal);
            content->setAutoFillBackground(true);
        }
        const int statusH = status ? status->sizeHint().height() : 0;
        box->resize(clientPx.width(), clientPx.height() + statusH);
        lay->activate();
        if (content->height() != clientPx.height())
            box->resize(clientPx.width(), box->height() + clientPx.height() - content->height());
        outer = box;
        if (wd.kind == WinKind::MdiChild && g_frame && g_frame->impl().mdi) {
            sub = new QMdiSubWindow;
            sub->setWidget(box);
            sub->setAttribute(Qt::WA_DeleteOnClose, false);
            g_frame->impl().mdi->addSubWindow(sub);
            sub->resize(sub->sizeHint().expandedTo(QSize(clientPx.width() + 8, clientPx.height() + statusH + 30)));
            holder = sub;
            connect(sub, &QMdiSubWindow::windowStateChanged, this,
                    [this](Qt::WindowStates oldS, Qt::WindowStates newS) {
                        if (!opened) return;
                        if ((oldS & Qt::WindowActive) && !(newS & Qt::WindowActive)) enqueue(ev::LoseFocus), activeMsg(false);
                        if (!(oldS & Qt::WindowActive) && (newS & Qt::WindowActive)) enqueue(ev::GainFocus), activeMsg(true);
                    });
        } else {
            box->setWindowFlag(Qt::Window);
            holder = box;
        }
        if (wd.minW > 0) holder->setMinimumSize(px(wd.minW, true), px(wd.minH, false));
        if (wd.maxW > 0) holder->setMaximumSize(px(wd.maxW, true) + (sub ? 8 : 0), px(wd.maxH, false) + statusH + (sub ? 30 : 0));
    }
    holder->setWindowTitle(title);
    if (!wd.icon.isEmpty()) holder->setWindowIcon(loadIcon(wd.icon));
    holder->installEventFilter(this);
    widgetMap().insert(content, {this, -1});
    if (holder != content) widgetMap().insert(holder, {this, -1});

    ctls.resize(wd.controls.size());
    for (int i = 0; i < static_cast<int>(wd.controls.size()); ++i) {
        if (wd.controls[i].feq != 0) byFeq[wd.controls[i].feq] = i;
        if (!wd.controls[i].name.empty()) byName.insert(QString::fromStdString(wd.controls[i].name).toUpper(), i);
        if (!wd.controls[i].use.empty() && wd.controls[i].use[0] != '?')
            byName.insert(QString::fromStdString(wd.controls[i].use).toUpper(), i);
    }
    alerts = wd.alerts;
    for (int i = 0; i < static_cast<int>(wd.controls.size()); ++i) buildControl(i);
    restack();
    applyVisibility();
    for (Control& c : ctls) displayOne(c);
    if (!zones.empty() && zones[0] && !wd.msg.isEmpty()) zones[0]->setText(wd.msg);  // its own status bar

    if (wd.x >= 0 && wd.y >= 0) holder->move(px(wd.x, true), px(wd.y, false));
    if (wd.maximize) holder->showMaximized();
    else if (wd.iconize) holder->showMinimized();
    else holder->show();
}

void WindowImpl::displayOne(Control& c) {
    Suppress sp(this);
    c.changed = false;
    if (!c.widget) return;
    auto textOf = [&]() -> QString {
        if (!c.var.valid()) return c.text;
        return cp::fromCp1251(c.pic ? pic::format(*c.pic, c.var) : c.var.text());
    };
    switch (c.type) {
    case CType::Entry:
        if (c.var.valid()) {
            // Unchanged text is left alone: the cursor stays, and a full redisplay stays cheap.
            auto* le = static_cast<QLineEdit*>(c.widget.data());
            QString t = textOf();
            if (le->text() != t) le->setText(t);
        }
        static_cast<QLineEdit*>(c.widget.data())->setModified(false);
        break;
    case CType::Text:
        if (c.var.valid()) static_cast<QPlainTextEdit*>(c.widget.data())->setPlainText(textOf());
        break;
    case CType::Spin:
        if (c.var.valid()) {
            auto* le = static_cast<QAbstractSpinBox*>(c.widget.data())->findChild<QLineEdit*>();
            QString t = textOf();
            if (le->text() != t) le->setText(t);
        }
        break;
    case CType::String:
    case CType::Prompt: {
        auto* l = static_cast<QLabel*>(c.widget.data());
        QString t = textOf();
        if (l->text() != t) l->setText(t);
        if (c.desc && c.desc->align == Align::Decimal) applyAlignment(c);
        break;
    }
    case CType::Check:
        if (c.var.valid()) {
            auto* cb = static_cast<QAbstractButton*>(c.widget.data());
            std::string on = cp::toCp1251(c.desc->valueOn);
            bool checked;
            if (c.var.isText()) checked = c.var.text() == on;
            else {
                auto n = Decimal::parse(on);
                checked = n ? c.var.number() == *n : !c.var.number().isZero();
            }
            cb->setChecked(checked);
        }
        break;
    case CType::Option:
        if (c.var.valid()) {
            QString v = text1251(c.var).trimmed();
            int me = indexOf(&c);
            for (int j = me + 1; j < static_cast<int>(ctls.size()); ++j) {
                if (desc->controls[j].parent != me || ctls[j].type != CType::Radio || !ctls[j].widget) continue;
                QString rv = ctls[j].desc->hasValue ? ctls[j].desc->value : ctls[j].desc->text;
                static_cast<QRadioButton*>(ctls[j].widget.data())->setChecked(rv.trimmed() == v);
            }
        }
        break;
    case CType::DropList:
    case CType::Combo:
    case CType::DropCombo:
        if (c.var.valid()) {
            auto* cb = static_cast<QComboBox*>(c.widget.data());
            QString v = textOf();
            int idx = -1;
            for (int k = 0; k < cb->count(); ++k)
                if (cb->itemText(k).trimmed() == v.trimmed()) { idx = k; break; }
            if (idx < 0 && v.trimmed().isEmpty()) {
                for (int k = 0; k < cb->count(); ++k)
                    if (cb->itemText(k).isEmpty()) { idx = k; break; }
            }
            cb->setCurrentIndex(idx);
            if (cb->isEditable()) cb->setEditText(v);
        }
        break;
    case CType::Group:
        if (static_cast<QGroupBox*>(c.widget.data())->title() != c.text) static_cast<QGroupBox*>(c.widget.data())->setTitle(c.text);
        break;
    case CType::Button:
        if (static_cast<QAbstractButton*>(c.widget.data())->text() != c.text) static_cast<QAbstractButton*>(c.widget.data())->setText(c.text);
        break;
    default:
        break;
    }
}

bool WindowImpl::updateOne(Control& c) {
    if (!c.widget) return true;
    QString typed;
    switch (c.type) {
    case CType::Entry: typed = static_cast<QLineEdit*>(c.widget.data())->text(); break;
    case CType::Text: typed = static_cast<QPlainTextEdit*>(c.widget.data())->toPlainText(); break;
    case CType::Spin: typed = static_cast<QAbstractSpinBox*>(c.widget.data())->findChild<QLineEdit*>()->text(); break;
    case CType::DropList: {
        auto* cb = static_cast<QComboBox*>(c.widget.data());
        typed = cb->currentIndex() >= 0 ? cb->currentText() : QString();
        break;
    }
    case CType::Combo:
    case CType::DropCombo: typed = static_cast<QComboBox*>(c.widget.data())->currentText(); break;
    case CType::Check:
        if (c.var.valid())
            c.var.setText(cp::toCp1251(static_cast<QAbstractButton*>(c.widget.data())->isChecked() ? c.desc->valueOn : c.desc->valueOff));
        return true;
    default:
        return true;
    }
    if (!c.var.valid()) return true;
    std::string in = cp::toCp1251(typed);
    if (c.pic) return pic::deformat(*c.pic, in, c.var);
    c.var.setText(in);
    return true;
}

void WindowImpl::complete(Control& c) {
    if (!c.changed || suppress) return;
    c.changed = false;
    if (updateOne(c)) {
        displayOne(c);
        enqueue(ev::Accepted, c.feq);
    } else {
        enqueue(ev::Rejected, c.feq);
    }
}

void WindowImpl::passNext() {
    while (passActive && passPos < pass.size()) {
        Control* c = ctl(pass[passPos++]);
        if (!c) continue;
        if (!updateOne(*c)) {
            passActive = false;
            moveFocus(c->feq, Qt::OtherFocusReason, true);
            enqueue(ev::Rejected, c->feq);
            return;
        }
        const bool empty = c->var.isText() ? c->var.text().empty() : c->var.number().isZero();
        if (c->req && empty) {
            passActive = false;
            moveFocus(c->feq, Qt::OtherFocusReason, true);
            return;
        }
        c->changed = false;
        if (closed || !thread) return;
        detail::enqueue(thread, EventRec{ev::Accepted, c->feq, 0, self, 1});
        return;
    }
    if (passActive) {
        passActive = false;
        enqueue(ev::Completed);
    }
}

// An immediate entry keeps its variable up to date with every edit (a value its picture cannot
// take yet, such as a half-typed number, leaves the variable as it was).
void WindowImpl::immEdited(Control& c) {
    if (c.var.valid()) {
        QString typed = c.type == CType::Entry ? static_cast<QLineEdit*>(c.widget.data())->text()
                                               : static_cast<QPlainTextEdit*>(c.widget.data())->toPlainText();
        std::string in = cp::toCp1251(typed);
        if (c.pic) pic::deformat(*c.pic, in, c.var);
        else c.var.setText(in);
    }
    if (!c.keyPending) enqueue(ev::NewSelection, c.feq);  // a paste by the mouse
}

// Every key and left click in an immediate entry is a NewSelection event with its key code,
// raised after the widget has handled it (the variable then holds the text so far).
void WindowImpl::immEvent(Control& c, int code, int ch) {
    c.keyPending = true;
    const int feq = c.feq;
    QMetaObject::invokeMethod(
        this,
        [this, feq, code, ch] {
            if (Control* k = ctl(feq)) {
                k->keyPending = false;
                enqueue(ev::NewSelection, feq, code, ch);
            }
        },
        Qt::QueuedConnection);
}

void WindowImpl::raiseTabOf(int i) {
    int tab = 0;
    int sheet = sheetOf(i, &tab);
    if (sheet < 0 || !ctls[sheet].widget) return;
    auto* tw = static_cast<QTabWidget*>(ctls[sheet].widget.data());
    if (tw->currentIndex() + 1 != tab) {
        {
            Suppress sp(this);
            tw->setCurrentIndex(tab - 1);
        }
        applyVisibility();
    }
    raiseTabOf(sheet);
}

void WindowImpl::moveFocus(int feq, Qt::FocusReason reason, bool selected) {
    Control* c = ctl(feq);
    if (!c || !c->widget) return;
    if (focusFeq && focusFeq != feq)
        if (Control* old = ctl(focusFeq)) complete(*old);
    raiseTabOf(indexOf(c));
    const bool moved = focusFeq != feq;
    focusFeq = feq;
    showMsg(c->msg);
    c->widget->setFocus(reason);
    if (selected && (moved || reason == Qt::OtherFocusReason)) enqueue(ev::Selected, feq);
}

// Qt moved the focus onto a control. Only the user's own move is a Selected event: a click, or a
// shortcut (the engine moves the focus itself for Tab, Backtab and SELECT, see moveFocus). Qt
// also passes the focus on by itself, and says Tab for it, when the focused control is hidden or
// disabled (a tab page turning hides its controls); it restores the focus when a window is
// activated again or a popup or dialog closes. Those moves are followed, so that FOCUS() names
// the control that has the focus, but raise no Selected: some controls act when they get the
// focus, and a move the user did not make must not run them.
void WindowImpl::onFocusIn(Control& c, Qt::FocusReason reason) {
    if (c.feq == focusFeq || !focusable(c.type)) return;
    const bool byUser = !suppress && (reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason);
    if (focusFeq)
        if (Control* old = ctl(focusFeq)) complete(*old);  // finishes its edit (nothing under suppress)
    focusFeq = c.feq;
    showMsg(c.msg);
    if (byUser) enqueue(ev::Selected, c.feq);
}

bool WindowImpl::onKey(Control* c, QKeyEvent* e) {
    if (closed || blocked) return false;
    const int code = keycodeOf(e);
    if (code == 0) return false;
    const int ch = keycharOf(e);
    const int target = c ? c->feq : focusFeq;
    if (target) {
        if (Control* t = ctl(target); t && std::count(t->alerts.begin(), t->alerts.end(), code)) {
            complete(*t);
            enqueue(ev::AlertKey, target, code, ch);
            return true;
        }
    }
    if (std::count(alerts.begin(), alerts.end(), code)) {
        enqueue(ev::AlertKey, 0, code, ch);
        return true;
    }
    if (c && c->imm && (c->type == CType::Entry || c->type == CType::Text) && !c->readOnly &&
        (code & ~key::Shift) != key::Tab) {
        immEvent(*c, code, ch);
        return false;
    }
    if (c && c->type == CType::List && c->imm) {
        int e2 = 0;
        switch (code) {
        case key::Up: e2 = ev::ScrollUp; break;
        case key::Down: e2 = ev::ScrollDown; break;
        case key::PgUp: e2 = ev::PageUp; break;
        case key::PgDn: e2 = ev::PageDown; break;
        case key::Home: case key::Ctrl + key::Home: case key::Ctrl + key::PgUp: e2 = ev::ScrollTop; break;
        case key::End: case key::Ctrl + key::End: case key::Ctrl + key::PgDn: e2 = ev::ScrollBottom; break;
        default: break;
        }
        if (e2) {
            enqueue(e2, c->feq, code);
            return true;
        }
    }
    if ((code & ~key::Shift) == key::Tab) {
        self->focusNext(!(code & key::Shift) && e->key() != Qt::Key_Backtab);
        return true;
    }
    return false;
}

void WindowImpl::onMouse(Control* c, QMouseEvent* e, bool dbl) {
    if (closed || blocked) return;
    const int code = mouseCode(e, dbl);
    if (!code) return;
    if (c && std::count(c->alerts.begin(), c->alerts.end(), code)) {
        if (c->type == CType::List) {
            auto* v = static_cast<QTreeView*>(c->widget.data());
            QPoint p = v->viewport()->mapFromGlobal(e->globalPosition().toPoint());
            int col = v->columnAt(p.x());
            if (col >= 0) c->mouseDownColumn = col + 1;
        }
        enqueue(ev::AlertKey, c->feq, code);
        return;
    }
    if (std::count(alerts.begin(), alerts.end(), code)) {
        enqueue(ev::AlertKey, 0, code);
        return;
    }
    if (c && c->imm && code == key::MouseLeft && (c->type == CType::Entry || c->type == CType::Text)) immEvent(*c, code);
}

bool WindowImpl::eventFilter(QObject* o, QEvent* e) {
    if (o != holder || !opened) return false;
    switch (e->type()) {
    case QEvent::Close:
        if (!closed) {
            e->ignore();
            if (!blocked) enqueue(ev::CloseWindow);
            return true;
        }
        return false;
    case QEvent::Move:
        if (!movedQueued) enqueue(ev::Moved), movedQueued = true;
        return false;
    case QEvent::Resize:
        if (!sizedQueued) enqueue(ev::Sized), sizedQueued = true;
        return false;
    case QEvent::WindowActivate:
        if (!sub) enqueue(ev::GainFocus), activeMsg(true);
        return false;
    case QEvent::WindowDeactivate:
        if (!sub) enqueue(ev::LoseFocus), activeMsg(false);
        return false;
    case QEvent::WindowStateChange: {
        auto st = static_cast<QWidget*>(o)->windowState();
        if (st & Qt::WindowMaximized) enqueue(ev::Maximized);
        else if (st & Qt::WindowMinimized) enqueue(ev::Iconized);
        else enqueue(ev::Restored);
        return false;
    }
    default:
        return false;
    }
}

// Status zone 1 shows the focused control's message, else the window's own. A window without a
// status bar of its own uses the application frame's.
QLabel* WindowImpl::msgZone() const {
    if (!zones.empty()) return zones[0];
    if (g_frame && g_frame->impl().self != self) {
        auto& f = g_frame->impl();
        if (!f.zones.empty()) return f.zones[0];
    }
    return nullptr;
}

void WindowImpl::showMsg(const QString& m) {
    if (QLabel* z = msgZone()) z->setText(m.isEmpty() ? desc->msg : m);
}

// A window with a message of its own shows it while it is the active window; when it stops being
// active (or closes) the frame's zone loses it, unless something else has been shown there since.
void WindowImpl::activeMsg(bool active) {
    if (desc->msg.isEmpty()) return;
    QLabel* z = msgZone();
    if (!z) return;
    if (active) {
        const Control* f = ctl(focusFeq);
        showMsg(f ? f->msg : QString());
    } else if (zones.empty() && z->text() == desc->msg) {
        z->clear();
    }
}

void WindowImpl::setBlocked(bool on) {
    blocked = on;
    if (mw) {
        mw->menuBar()->setEnabled(!on);
        if (toolbar) toolbar->setEnabled(!on);
    } else if (content) {
        content->setEnabled(!on);
        // Disabling took the focus away from the window's controls: it goes back to the control
        // that had it (Qt would otherwise give it to the first control when the window is active
        // again).
        if (!on)
            if (Control* f = ctl(focusFeq); f && f->widget && f->widget->isEnabled()) {
                Suppress sp(this);
                f->widget->setFocus(Qt::OtherFocusReason);
            }
    }
}

void WindowImpl::stdAction(Control& c) {
    if (!c.desc) return;
    const std::string& a = c.desc->stdAction;
    if (a.empty()) return;
    QWidget* fw = QApplication::focusWidget();
    if (a == "cut") {
        if (auto* le = qobject_cast<QLineEdit*>(fw)) le->cut();
        else if (auto* te = qobject_cast<QPlainTextEdit*>(fw)) te->cut();
    } else if (a == "copy") {
        if (auto* le = qobject_cast<QLineEdit*>(fw)) le->copy();
        else if (auto* te = qobject_cast<QPlainTextEdit*>(fw)) te->copy();
    } else if (a == "paste") {
        if (auto* le = qobject_cast<QLineEdit*>(fw)) le->paste();
        else if (auto* te = qobject_cast<QPlainTextEdit*>(fw)) te->paste();
    }
}

void WindowImpl::defaultAction() {
    const EventRec e = cur;
    switch (e.event) {
    case ev::CloseWindow:
        closeNow();
        break;
    case ev::OpenWindow:
        if (!focusFeq) {
            auto order = self->tabOrder();
            if (!order.empty()) moveFocus(order.front(), Qt::OtherFocusReason, true);
        }
        break;
    case ev::Accepted:
        if (Control* c = ctl(e.control); c && c->desc) {
            const std::string& a = c->desc->stdAction;
            if (a == "close") enqueue(ev::CloseWindow);
            else if (a == "printsetup") PRINTERDIALOG(QString());
        }
        break;
    default:
        break;
    }
}

void WindowImpl::closeNow() {
    if (closed) return;
    activeMsg(false);
    closed = true;
    if (timer) timer->stop();
    if (thread) {
        detail::dropEvents(thread, self);
        auto& st = detail::windowStack(thread);
        const bool wasTop = !st.empty() && st.back() == self;
        std::erase(st, self);
        if (wasTop && !st.empty()) {
            WindowImpl& below = st.back()->impl();
            below.setBlocked(false);
            if (below.sub && below.sub->mdiArea()) below.sub->mdiArea()->setActiveSubWindow(below.sub);
            else if (below.holder) below.holder->activateWindow();
        }
    }
    for (auto it = widgetMap().begin(); it != widgetMap().end();)
        it = it.value().first == this ? widgetMap().erase(it) : std::next(it);
    if (g_frame == self) g_frame = nullptr;
    if (sub) {
        if (QMdiArea* a = sub->mdiArea()) a->removeSubWindow(sub);
        delete sub.data();
    }
    if (outer) delete outer.data();
    ctls.clear();
    byFeq.clear();
}

// ---------------------------------------------------------------- Window

Window::Window(const QString& layoutPath) : Window(loadLayout(layoutPath)) {}

Window::Window(std::shared_ptr<const WinDesc> desc) : d_(std::make_unique<WindowImpl>()) {
    d_->self = this;
    d_->desc = std::move(desc);
    d_->thread = detail::currentState();
    allWindows().push_back(d_.get());
    if (d_->thread) {
        auto& st = detail::windowStack(d_->thread);
        if (!st.empty()) st.back()->impl().setBlocked(true);
        st.push_back(this);
    }
    d_->build();
    d_->enqueue(ev::OpenWindow);
    d_->opened = true;
}

Window::~Window() {
    d_->closeNow();
    std::erase(allWindows(), d_.get());
}

bool Window::accept() {
    WindowImpl& d = *d_;
    if (d.closed) return false;
    if (d.haveCur && !d.cycled) {
        d.defaultAction();
        if (d.closed) return false;
    }
    if (d.passTaken) {  // the pass goes on once the procedure has handled its Accepted event
        d.passTaken = false;
        d.passNext();
    }
    d.haveCur = false;
    d.cycled = false;
    if (!d.thread) throw std::logic_error("ACCEPT outside a logical thread");
    detail::waitUntil([&d] { return d.closed || detail::hasEvent(d.thread, d.self, d.innermost()); });
    if (d.closed) return false;
    if (!detail::takeEvent(d.thread, this, d.innermost(), d.cur)) return !d.closed;
    if (d.cur.event == ev::Timer) d.timerQueued = false;
    if (d.cur.event == ev::Moved) d.movedQueued = false;
    if (d.cur.event == ev::Sized) d.sizedQueued = false;
    if (d.cur.tag == 1 && d.passActive) d.passTaken = true;
    d.haveCur = true;
    return true;
}

int Window::event() const { return d_->haveCur ? d_->cur.event : 0; }
int Window::field() const { return d_->haveCur ? d_->cur.control : 0; }
int Window::keycode() const { return d_->haveCur ? d_->cur.keycode : 0; }
int Window::keychar() const { return d_->haveCur ? d_->cur.keychar : 0; }
void Window::cycle() { d_->cycled = true; }
void Window::post(int event, int control) {
    if (!d_->thread) return;
    detail::enqueue(d_->thread, EventRec{event, control, 0, this});
}
void Window::close() { post(ev::CloseWindow); }
bool Window::isOpen() const { return !d_->closed; }
int Window::thread() const { return detail::threadNumber(d_->thread); }
const WinDesc& Window::desc() const { return *d_->desc; }

int Window::feq(std::string_view name) const {
    QString k = QString::fromUtf8(name.data(), static_cast<int>(name.size())).toUpper();
    auto it = d_->byName.constFind(k);
    if (it == d_->byName.constEnd() && !k.startsWith(QLatin1Char('?'))) it = d_->byName.constFind(QLatin1Char('?') + k);
    if (it == d_->byName.constEnd()) return 0;
    return d_->desc->controls[*it].feq;
}

Control* Window::control(int feq) { return d_->ctl(feq); }
const Control* Window::control(int feq) const { return d_->ctl(feq); }

std::vector<int> Window::controls() const {
    std::vector<int> r;
    for (const CtlDesc& c : d_->desc->controls)
        if (c.feq != 0) r.push_back(c.feq);
    return r;
}

int Window::focus() const { return d_->focusFeq; }

void Window::select(int feq) {
    // A control that cannot take the focus (a prompt, a picture, a hidden or disabled control)
    // passes it on to the next one that can, in control-number order; SKIP does not matter here.
    auto canTake = [this](int f) {
        Control* c = d_->ctl(f);
        if (!c || !c->widget || !focusable(c->type) || f <= 0) return false;
        const int i = d_->indexOf(c);
        if (!d_->effectiveEnabled(i) || d_->parentWidgetFor(i) == d_->toolHolder) return false;
        for (int p = i; p >= 0; p = d_->desc->controls[p].parent)
            if (d_->ctls[p].hide) return false;
        return true;
    };
    if (!d_->ctl(feq)) return;
    int target = 0;
    if (canTake(feq)) {
        target = feq;
    } else {
        std::vector<int> all;
        for (const Control& c : d_->ctls)
            if (canTake(c.feq)) all.push_back(c.feq);
        std::sort(all.begin(), all.end());
        auto it = std::upper_bound(all.begin(), all.end(), feq);
        if (it != all.end()) target = *it;
        else if (!all.empty()) target = all.front();
    }
    if (target) d_->moveFocus(target, Qt::OtherFocusReason, true);
}

void Window::acceptAll() {
    WindowImpl& d = *d_;
    d.pass.clear();
    for (const Control& c : d.ctls) {
        if (c.feq <= 0 || !c.var.valid()) continue;
        if (focusable(c.type) || c.type == CType::Option) d.pass.push_back(c.feq);
    }
    d.passPos = 0;
    d.passActive = true;
    d.passTaken = false;
    d.passNext();
}

void Window::stopAcceptAll() {
    d_->passActive = false;
    d_->passTaken = false;
}

bool Window::acceptingAll() const { return d_->passActive; }

void Window::block(bool on) { d_->setBlocked(on); }
bool Window::isBlocked() const { return d_->blocked; }

std::vector<int> Window::tabOrder() const {
    std::vector<std::pair<int, int>> v;
    for (int i = 0; i < static_cast<int>(d_->ctls.size()); ++i) {
        const Control& c = d_->ctls[i];
        if (c.feq <= 0 || !c.widget || !focusable(c.type) || c.skip) continue;
        if (!d_->effectiveEnabled(i) || !d_->effectiveVisible(i)) continue;
        // Hidden controls and controls on a tab that is not current are out.
        bool hidden = false;
        for (int p = i; p >= 0; p = d_->desc->controls[p].parent)
            if (d_->ctls[p].hide) hidden = true;
        if (hidden) continue;
        if (d_->parentWidgetFor(i) == d_->toolHolder) continue;
        v.push_back({c.feq, i});
    }
    std::sort(v.begin(), v.end());
    std::vector<int> r;
    for (auto& p : v) r.push_back(p.first);
    return r;
}

void Window::focusNext(bool forward) {
    auto order = tabOrder();
    if (order.empty()) return;
    int cur = d_->focusFeq;
    auto it = std::find(order.begin(), order.end(), cur);
    int next;
    if (it == order.end()) {
        auto up = std::upper_bound(order.begin(), order.end(), cur);
        if (forward) next = up == order.end() ? order.front() : *up;
        else next = up == order.begin() ? order.back() : *(up - 1);
    } else if (forward) {
        next = (it + 1 == order.end()) ? order.front() : *(it + 1);
    } else {
        next = it == order.begin() ? order.back() : *(it - 1);
    }
    d_->moveFocus(next, forward ? Qt::TabFocusReason : Qt::BacktabFocusReason, true);
}

void Window::display(int feq) {
    if (feq) {
        if (Control* c = d_->ctl(feq)) d_->displayOne(*c);
        return;
    }
    for (Control& c : d_->ctls) d_->displayOne(c);
}

bool Window::update(int feq) {
    if (feq) {
        Control* c = d_->ctl(feq);
        return c ? d_->updateOne(*c) : true;
    }
    bool ok = true;
    for (Control& c : d_->ctls) ok = d_->updateOne(c) && ok;
    return ok;
}

void Window::change(int feq, std::string_view text1251) {
    Control* c = d_->ctl(feq);
    if (!c) return;
    if (c->var.valid()) {
        if (c->pic && c->type != CType::Check) {
            if (!pic::deformat(*c->pic, text1251, c->var)) return;
        } else {
            c->var.setText(text1251);
        }
        d_->displayOne(*c);
    } else {
        setProp(feq, Prop::Value, cp::fromCp1251(text1251));
    }
}

std::string Window::contents(int feq) const {
    return cp::toCp1251(prop(feq, Prop::Value).toString());
}

QVariant Window::prop(int feq, Prop p) const {
    WindowImpl& d = *d_;
    if (feq == 0) {
        switch (p) {
        case Prop::Text: return title();
        case Prop::X: return x();
        case Prop::Y: return y();
        case Prop::Width: return width();
        case Prop::Height: return height();
        case Prop::FontName: return d.font.family();
        case Prop::FontSize: return d.font.pointSize();
        case Prop::FontStyle: return styleOf(d.font);
        case Prop::Background: return d.desc->bg;
        default: return {};
        }
    }
    const Control* c = d.ctl(feq);
    if (!c) return {};
    QWidget* w = c->widget;
    switch (p) {
    case Prop::Text:
        if (c->type == CType::Entry || c->type == CType::Spin || c->type == CType::Combo ||
            c->type == CType::DropCombo || c->type == CType::DropList || c->type == CType::Text)
            return prop(feq, Prop::Value);
        if (c->var.valid() && (c->type == CType::String || c->type == CType::Prompt))
            return static_cast<QLabel*>(w)->text();
        return c->text;
    case Prop::Value:
        if (!w) return c->text;
        switch (c->type) {
        case CType::Entry: return static_cast<QLineEdit*>(w)->text();
        case CType::Text: return static_cast<QPlainTextEdit*>(w)->toPlainText();
        case CType::Spin: return static_cast<QAbstractSpinBox*>(w)->findChild<QLineEdit*>()->text();
        case CType::DropList: case CType::Combo: case CType::DropCombo: return static_cast<QComboBox*>(w)->currentText();
        case CType::Check: return static_cast<QAbstractButton*>(w)->isChecked() ? c->desc->valueOn : c->desc->valueOff;
        case CType::Prompt: case CType::String: return static_cast<QLabel*>(w)->text();
        case CType::Option: return c->var.valid() ? text1251(c->var) : QString();
        default: return c->text;
        }
    case Prop::FontName: return c->font.face.isEmpty() ? d.font.family() : c->font.face;
    case Prop::FontSize: return c->font.size > 0 ? c->font.size : d.font.pointSize();
    case Prop::FontColor: return c->font.color;
    case Prop::FontStyle: return c->font.style >= 0 ? c->font.style : styleOf(d.font);
    case Prop::Background: return c->bg;
    case Prop::Hide: return c->hide;
    case Prop::Disable: return c->disable;
    case Prop::ReadOnly: return c->readOnly;
    case Prop::Req: return c->req;
    case Prop::Skip: return c->skip;
    case Prop::Imm: return c->imm;
    case Prop::Type: return static_cast<int>(c->type);
    case Prop::Drop: return c->drop;
    case Prop::LineHeight: return c->lineHeight;
    case Prop::Column: return c->column;
    case Prop::MouseDownColumn: return c->mouseDownColumn;
    case Prop::Selected:
        if (c->type == CType::List && w) {
            auto idx = static_cast<QTreeView*>(w)->currentIndex();
            return idx.isValid() ? idx.row() + 1 : 0;
        }
        if (c->type == CType::Sheet && w) return static_cast<QTabWidget*>(w)->currentIndex() + 1;
        if ((c->type == CType::DropList || c->type == CType::Combo || c->type == CType::DropCombo) && w)
            return static_cast<QComboBox*>(w)->currentIndex() + 1;
        return 0;
    case Prop::Items:
        if (c->type == CType::List && w) return static_cast<QTreeView*>(w)->model()->rowCount();
        if (auto* cb = qobject_cast<QComboBox*>(w)) return cb->count();
        return 0;
    case Prop::PageRows:
        if (auto* tv = qobject_cast<QTreeView*>(w)) {
            int rowH = tv->sizeHintForRow(0);
            if (rowH <= 0) {
                QStyleOptionViewItem opt;
                opt.font = tv->font();
                rowH = tv->itemDelegate()->sizeHint(opt, QModelIndex()).height();
            }
            return rowH > 0 ? std::max(1, tv->viewport()->height() / rowH) : 1;
        }
        return 0;
    case Prop::Tip: return c->tip;
    case Prop::Msg: return c->msg;
    case Prop::Picture: return c->pic ? QString::fromStdString(c->pic->text) : QString();
    case Prop::X: return w ? static_cast<int>(w->x() / d.du.x + 0.5) : c->desc->x;
    case Prop::Y: return w ? static_cast<int>(w->y() / d.du.y + 0.5) : c->desc->y;
    case Prop::Width: return w ? static_cast<int>(w->width() / d.du.x + 0.5) : c->desc->w;
    case Prop::Height: return w ? static_cast<int>(w->height() / d.du.y + 0.5) : c->desc->h;
    case Prop::Icon: return c->desc->icon;
    case Prop::RangeLow: return QString::fromStdString(c->rangeLow);
    case Prop::RangeHigh: return QString::fromStdString(c->rangeHigh);
    case Prop::Step: return QString::fromStdString(c->step);
    case Prop::Use: return QString::fromStdString(c->desc->use);
    case Prop::Feq: return c->feq;
    }
    return {};
}

void Window::setProp(int feq, Prop p, const QVariant& v) {
    WindowImpl& d = *d_;
    if (feq == 0) {
        switch (p) {
        case Prop::Text: setTitle(v.toString()); break;
        case Prop::X: setPosition(v.toInt(), y()); break;
        case Prop::Y: setPosition(x(), v.toInt()); break;
        case Prop::Width: setSize(v.toInt(), height()); break;
        case Prop::Height: setSize(width(), v.toInt()); break;
        default: break;
        }
        return;
    }
    Control* c = d.ctl(feq);
    if (!c) return;
    QWidget* w = c->widget;
    WindowImpl::Suppress sp(&d);
    switch (p) {
    case Prop::Text:
        if (c->type == CType::Entry || c->type == CType::Spin || c->type == CType::Combo ||
            c->type == CType::DropCombo || c->type == CType::Text) {
            setProp(feq, Prop::Value, v);
            return;
        }
        c->text = v.toString();
        if (c->type == CType::Tab) {
            int sheet = c->parentIndex;
            if (sheet >= 0 && d.ctls[sheet].widget)
                static_cast<QTabWidget*>(d.ctls[sheet].widget.data())->setTabText(c->tabIndex - 1, c->text);
        } else if (auto* cb = qobject_cast<QAbstractButton*>(w)) {
            cb->setText(c->text);
        } else if (auto* l = qobject_cast<QLabel*>(w)) {
            l->setText(c->text);
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            g->setTitle(c->text);
        } else if (auto* im = dynamic_cast<ImageBox*>(w)) {
            // An image's text is its picture file: a new name shows that picture, blank none.
            im->img = c->text.trimmed().isEmpty() ? QImage() : loadPicture(c->text.trimmed());
            im->update();
        } else {
            d.applyState(*c);
        }
        break;
    case Prop::Value:
        if (!w) break;
        switch (c->type) {
        case CType::Entry: static_cast<QLineEdit*>(w)->setText(v.toString()); break;
        case CType::Text: static_cast<QPlainTextEdit*>(w)->setPlainText(v.toString()); break;
        case CType::Spin: static_cast<QAbstractSpinBox*>(w)->findChild<QLineEdit*>()->setText(v.toString()); break;
        case CType::Combo: case CType::DropCombo: static_cast<QComboBox*>(w)->setEditText(v.toString()); break;
        case CType::Prompt: case CType::String: static_cast<QLabel*>(w)->setText(v.toString()); break;
        default: break;
        }
        break;
    case Prop::FontName: c->font.face = v.toString(); d.applyFont(*c); break;
    case Prop::FontSize: c->font.size = v.toInt(); d.applyFont(*c); break;
    case Prop::FontColor: c->font.color = v.toInt(); d.applyFont(*c); break;
    case Prop::FontStyle: c->font.style = v.toInt(); d.applyFont(*c); break;
    case Prop::Background:
        c->bg = v.toInt();
        if (c->type == CType::Tab) {
            int sheet = c->parentIndex;
            if (sheet >= 0 && d.ctls[sheet].widget) {
                QTabBar* bar = static_cast<QTabWidget*>(d.ctls[sheet].widget.data())->tabBar();
                bar->setTabData(c->tabIndex - 1, colorOf(c->bg));
                bar->update();
            }
        } else {
            d.applyColors(*c);
        }
        break;
    case Prop::Hide:
        c->hide = v.toBool();
        d.applyVisibility();
        if (c->hide && d.focusFeq == feq) d.focusFeq = 0;
        break;
    case Prop::Disable:
        c->disable = v.toBool();
        d.applyState(*c);
        for (int j = 0; j < static_cast<int>(d.ctls.size()); ++j)
            if (d.ctls[j].widget && j != d.indexOf(c)) {
                for (int q = d.desc->controls[j].parent; q >= 0; q = d.desc->controls[q].parent)
                    if (q == d.indexOf(c)) { d.ctls[j].widget->setEnabled(d.effectiveEnabled(j)); break; }
            }
        break;
    case Prop::ReadOnly: c->readOnly = v.toBool(); d.applyState(*c); break;
    case Prop::Req: c->req = v.toBool(); break;
    case Prop::Skip: c->skip = v.toBool(); break;
    case Prop::Imm: c->imm = v.toBool(); break;
    case Prop::Drop:
        c->drop = v.toInt();
        if (auto* cb = qobject_cast<QComboBox*>(w)) cb->setMaxVisibleItems(std::max(1, c->drop));
        break;
    case Prop::LineHeight:
        c->lineHeight = v.toInt();
        if (auto* tv = qobject_cast<QTreeView*>(w)) tv->doItemsLayout();
        break;
    case Prop::Column:
        c->column = v.toInt();
        if (w) w->update();
        if (auto* tv = qobject_cast<QTreeView*>(w)) tv->viewport()->update();
        break;
    case Prop::MouseDownColumn: c->mouseDownColumn = v.toInt(); break;
    case Prop::Selected:
        if (c->type == CType::List && w) {
            auto* tv = static_cast<QTreeView*>(w);
            int r = v.toInt() - 1;
            if (r >= 0 && r < tv->model()->rowCount()) tv->setCurrentIndex(tv->model()->index(r, 0));
            else tv->setCurrentIndex(QModelIndex());
        } else if (c->type == CType::Sheet && w) {
            static_cast<QTabWidget*>(w)->setCurrentIndex(v.toInt() - 1);
            d.applyVisibility();
        } else if (auto* cb = qobject_cast<QComboBox*>(w)) {
            cb->setCurrentIndex(v.toInt() - 1);
        }
        break;
    case Prop::Tip: c->tip = v.toString(); d.applyState(*c); break;
    case Prop::Msg: c->msg = v.toString(); d.applyState(*c); break;
    case Prop::Picture: c->pic = pic::parse(v.toString().toStdString()); d.displayOne(*c); break;
    case Prop::X: if (w) w->move(d.px(v.toInt(), true), w->y()); break;
    case Prop::Y: if (w) w->move(w->x(), d.px(v.toInt(), false)); break;
    case Prop::Width: if (w) w->resize(d.px(v.toInt(), true), w->height()); break;
    case Prop::Height: if (w) w->resize(w->width(), d.px(v.toInt(), false)); break;
    case Prop::Icon:
        if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setIcon(loadIcon(v.toString()));
        break;
    case Prop::RangeLow:
    case Prop::RangeHigh:
    case Prop::Step: {
        std::string s = v.toString().toStdString();
        if (p == Prop::RangeLow) c->rangeLow = s;
        else if (p == Prop::RangeHigh) c->rangeHigh = s;
        else c->step = s;
        if (auto* sp2 = dynamic_cast<detail::DecSpin*>(w)) {
            sp2->low = dec(c->rangeLow);
            sp2->high = dec(c->rangeHigh);
            sp2->step = dec(c->step).value_or(Decimal(1));
        }
        break;
    }
    case Prop::Use: c->var = vars::find(v.toString().toStdString()); d.displayOne(*c); break;
    default: break;
    }
    // A new text or font moves the decimal point of a decimal-aligned control.
    if (c->desc && c->desc->align == Align::Decimal) d.applyAlignment(*c);
}

namespace {
// A drop list or combo fed by a source shows the first column of each row.
void fillCombo(Control& c) {
    auto* cb = qobject_cast<QComboBox*>(c.widget.data());
    if (!cb || !c.source) return;
    auto cols = detail::parseListFormat(c.desc->format);
    const int field = cols.empty() ? 1 : cols[0].field;
    const std::optional<pic::Picture> pc = cols.empty() ? std::nullopt : cols[0].pic;
    const int cur = cb->currentIndex();
    cb->clear();
    for (int r = 0; r < c.source->rowCount(); ++r) {
        VarRef v = c.source->field(r, field);
        cb->addItem(v.valid() ? cp::fromCp1251(pc ? pic::format(*pc, v) : v.text()) : QString());
    }
    if (cur >= 0 && cur < cb->count()) cb->setCurrentIndex(cur);
}
}  // namespace

void Window::setListSource(int feq, ListSource* src) {
    Control* c = d_->ctl(feq);
    if (!c || !c->widget) return;
    c->source = src;
    if (qobject_cast<QComboBox*>(c->widget.data())) {
        WindowImpl::Suppress sp(d_.get());
        fillCombo(*c);
        d_->displayOne(*c);
        return;
    }
    if (auto* tv = qobject_cast<QTreeView*>(c->widget.data())) {
        auto* m = static_cast<detail::ListModel*>(tv->model());
        m->source = src;
        WindowImpl::Suppress sp(d_.get());
        m->reload();
    }
}

void Window::refreshList(int feq) {
    Control* c = d_->ctl(feq);
    if (!c || !c->widget) return;
    if (qobject_cast<QComboBox*>(c->widget.data())) {
        WindowImpl::Suppress sp(d_.get());
        fillCombo(*c);
        return;
    }
    if (auto* tv = qobject_cast<QTreeView*>(c->widget.data())) {
        WindowImpl::Suppress sp(d_.get());
        int row = tv->currentIndex().row();
        static_cast<detail::ListModel*>(tv->model())->reload();
        if (row >= 0 && row < tv->model()->rowCount()) tv->setCurrentIndex(tv->model()->index(row, 0));
    }
}

void Window::setListStyle(int feq, int style, const ListStyle& s) {
    d_->listStyles[feq][style] = s;
    if (Control* c = d_->ctl(feq); c && c->widget) c->widget->update();
}

void Window::setTimer(int hundredths) {
    WindowImpl& d = *d_;
    if (!d.timer) {
        d.timer = new QTimer(&d);
        QObject::connect(d.timer, &QTimer::timeout, &d, [&d] { d.timerTick(); });
    }
    if (hundredths <= 0) d.timer->stop();
    else d.timer->start(hundredths * 10);
}

int Window::timer() const {
    const QTimer* t = d_->timer;
    return t && t->isActive() ? t->interval() / 10 : 0;
}

bool detail::tickTimer(Window& w) {
    QTimer* t = w.impl().timer;
    if (w.impl().closed || !t || !t->isActive()) return false;
    w.impl().timerTick();
    return true;
}

void Window::alert(int keycode) {
    if (!std::count(d_->alerts.begin(), d_->alerts.end(), keycode)) d_->alerts.push_back(keycode);
}
void Window::alert(int feq, int keycode) {
    if (Control* c = d_->ctl(feq); c && !std::count(c->alerts.begin(), c->alerts.end(), keycode))
        c->alerts.push_back(keycode);
}
void Window::clearAlerts() {
    d_->alerts.clear();
    for (Control& c : d_->ctls) c.alerts.clear();
}

int Window::x() const {
    QWidget* h = d_->holder;
    return h ? static_cast<int>(h->x() / d_->du.x + 0.5) : 0;
}
int Window::y() const {
    QWidget* h = d_->holder;
    return h ? static_cast<int>(h->y() / d_->du.y + 0.5) : 0;
}
int Window::width() const {
    QWidget* c = d_->content;
    return c ? static_cast<int>(c->width() / d_->du.x + 0.5) : 0;
}
int Window::height() const {
    QWidget* c = d_->content;
    return c ? static_cast<int>(c->height() / d_->du.y + 0.5) : 0;
}
void Window::setPosition(int x, int y) {
    if (d_->holder) d_->holder->move(d_->px(x, true), d_->px(y, false));
}
void Window::setSize(int w, int h) {
    WindowImpl& d = *d_;
    if (!d.holder || !d.content) return;
    QSize extra = d.holder->size() - d.content->size();
    d.holder->resize(d.px(w, true) + extra.width(), d.px(h, false) + extra.height());
}
bool Window::maximized() const { return d_->holder && (d_->holder->windowState() & Qt::WindowMaximized); }
bool Window::minimized() const { return d_->holder && (d_->holder->windowState() & Qt::WindowMinimized); }
void Window::setMaximized(bool on) {
    if (!d_->holder) return;
    if (on) d_->holder->showMaximized();
    else if (maximized()) d_->holder->showNormal();
}
void Window::setMinimized(bool on) {
    if (!d_->holder) return;
    if (on) d_->holder->showMinimized();
    else if (minimized()) d_->holder->showNormal();
}
bool Window::resizable() const { return d_->desc->resize; }

void Window::setStatusText(int zone, const QString& text) {
    if (zone >= 1 && zone <= static_cast<int>(d_->zones.size()) && d_->zones[zone - 1]) d_->zones[zone - 1]->setText(text);
}
QString Window::statusText(int zone) const {
    if (zone >= 1 && zone <= static_cast<int>(d_->zones.size()) && d_->zones[zone - 1]) return d_->zones[zone - 1]->text();
    return {};
}
QString Window::title() const { return d_->title; }
void Window::setTitle(const QString& t) {
    d_->title = t;
    if (d_->holder) d_->holder->setWindowTitle(t);
}
double Window::duX() const { return d_->du.x; }
double Window::duY() const { return d_->du.y; }
QWidget* Window::widget() const { return d_->content; }
QWidget* Window::outer() const { return d_->holder; }
QMainWindow* Window::mainWindow() const { return d_->mw; }
QAction* Window::action(int feq) const {
    auto it = d_->actions.find(feq);
    return it == d_->actions.end() ? nullptr : it->second.data();
}
QMdiArea* Window::mdiArea() const { return d_->mdi; }

Window* Window::current() { return innermost(THREAD()); }

Window* Window::innermost(int thread) {
    ThreadState* t = detail::stateOf(thread);
    if (!t) return nullptr;
    auto& st = detail::windowStack(t);
    return st.empty() ? nullptr : st.back();
}

Window* Window::frame() { return g_frame; }

std::vector<Window*> Window::all() {
    std::vector<Window*> r;
    for (WindowImpl* w : allWindows())
        if (!w->closed) r.push_back(w->self);
    return r;
}

// ---------------------------------------------------------------- program-wide

int activeThread() {
    if (g_frame && g_frame->impl().mdi) {
        if (QMdiSubWindow* s = g_frame->impl().mdi->activeSubWindow())
            for (WindowImpl* w : allWindows())
                if (w->sub == s && !w->closed) return detail::threadNumber(w->thread);
    }
    if (QWidget* aw = QApplication::activeWindow())
        for (WindowImpl* w : allWindows())
            if (w->holder == aw && !w->closed) return detail::threadNumber(w->thread);
    return g_frame ? g_frame->thread() : 0;
}

void setTipsEnabled(bool on) { g_tips = on; if (!on) QToolTip::hideText(); }
bool tipsEnabled() { return g_tips; }
void setTipDisplayTime(int ms) { g_tipTime = ms; }
void setCharSet(int charset) { g_charset = charset; }
int charSet() { return g_charset; }

void initEngine() {
    static bool done = false;
    if (done) return;
    done = true;
    installFontSubstitutions();
    // The first font parse is the deepest stack use of all; do it here, on the main stack.
    for (const char* face : {"Arial CYR", "Times New Roman CYR", "Courier New CYR"}) {
        QFont f(QString::fromLatin1(face), 8);
        DialogUnits::of(f);
        QFont b = f;
        b.setBold(true);
        DialogUnits::of(b);
    }
    DialogUnits::of(QApplication::font());
    g_filter = new EngineFilter;
    qApp->installEventFilter(g_filter);
    detail::installAccessibility();
    vars::add("GLOBALREQUEST", VarResolver([] { return VarRef{FieldType::Byte, GLOBALREQUEST.ptr(), 1, 0}; }));
    vars::add("GLOBALRESPONSE", VarResolver([] { return VarRef{FieldType::Byte, GLOBALRESPONSE.ptr(), 1, 0}; }));
    vars::add("VCRREQUEST", VarResolver([] {
                  return VarRef{FieldType::Long, reinterpret_cast<unsigned char*>(VCRREQUEST.ptr()), 4, 0};
              }));
}

int runMain(Procedure proc, std::size_t stackBytes) {
    initEngine();
    START(
        [proc = std::move(proc)] {
            proc();
            QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        },
        stackBytes);
    int rc = QApplication::exec();
    shutdownEngine();
    return rc;
}

void shutdownEngine() {
    detail::shutdownThreads();
    for (WindowImpl* w : std::vector<WindowImpl*>(allWindows())) w->closeNow();
}

}  // namespace vx::eng
