// Input: keys, the mouse, focus moves and Tab order, alert keys, the accept-all pass, the engine's own handling of events.
#include "window_impl.h"

#include <QAbstractSpinBox>

namespace vx::eng {

namespace {

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

// Program-wide filter: Tab order, alert keys and mouse codes, focus moves, tooltips.
class EngineFilter : public QObject {
public:
    bool eventFilter(QObject* o, QEvent* e) override {
        switch (e->type()) {
        case QEvent::KeyPress: {
            if (cycleMdi(o, static_cast<QKeyEvent*>(e))) return true;
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
    // Ctrl+Tab and Ctrl+F6 (with Shift: backwards) make the next MDI window of the frame the
    // active one. A window that waits for another (a form over it on its thread) is passed over:
    // it takes no input, and as the active window it would hide the one it waits for, with the
    // focus nowhere. Qt's own cycling knows nothing of that wait, so these keys never reach it.
    static bool cycleMdi(QObject* o, const QKeyEvent* e) {
        const auto m = e->modifiers();
        if (!(m & Qt::ControlModifier) || (m & Qt::AltModifier)) return false;
        const int k = e->key();
        if (k != Qt::Key_Tab && k != Qt::Key_Backtab && k != Qt::Key_F6) return false;
        if (!g_frame || !o->isWidgetType()) return false;
        WindowImpl& f = g_frame->impl();
        if (!f.mdi || !f.mw || static_cast<QWidget*>(o)->window() != f.mw.data()) return false;
        const bool forward = k != Qt::Key_Backtab && !(m & Qt::ShiftModifier);
        auto takesInput = [](QMdiSubWindow* s) {
            if (!s->isVisible()) return false;
            for (WindowImpl* w : allWindows())
                if (w->sub == s) return !w->closed && !w->blocked;
            return true;
        };
        const QList<QMdiSubWindow*> subs = f.mdi->subWindowList(QMdiArea::CreationOrder);
        const int n = static_cast<int>(subs.size());
        if (n == 0) return true;
        int at = static_cast<int>(subs.indexOf(f.mdi->activeSubWindow()));
        if (at < 0) at = forward ? n - 1 : 0;
        for (int step = 1; step <= n; ++step) {
            QMdiSubWindow* s = subs[((at + (forward ? step : -step)) % n + n) % n];
            if (!takesInput(s)) continue;
            if (s != f.mdi->activeSubWindow()) f.mdi->setActiveSubWindow(s);
            break;
        }
        return true;
    }
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

}  // namespace

// Installing it again puts it before the filters installed since (an MDI area's own, which
// takes Ctrl+Tab for itself).
void wnd::installEngineFilter() {
    static EngineFilter* filter = nullptr;
    if (!filter) filter = new EngineFilter;
    qApp->installEventFilter(filter);
}

bool WindowImpl::complete(Control& c) {
    if (!c.changed || suppress) return true;
    if (updateOne(c)) {
        c.changed = false;
        displayOne(c);
        enqueue(ev::Accepted, c.feq);
        return true;
    }
    refuse(c);
    return false;
}

void WindowImpl::passNext() {
    while (passActive && passPos < pass.size()) {
        Control* c = ctl(pass[passPos++]);
        if (!c) continue;
        if (c->changed && !updateOne(*c)) {
            passActive = false;
            moveFocus(c->feq, Qt::OtherFocusReason, true);
            refuse(*c);
            return;
        }
        if (!c->changed) updateOne(*c);  // untouched: a text its picture cannot read stays as it is
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
        // A character the field cannot keep never reaches the variable, not even as a '?'.
        if (cp::unstorable(typed, c.oem).isEmpty()) {
            std::string in = cp::toCp1251(typed);
            if (c.pic) pic::deformat(*c.pic, in, c.var);
            else c.var.setText(in);
        }
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
    if ((code == key::Ctrl + key::PgDn || code == key::Ctrl + key::PgUp) && c && c->type != CType::List &&
        turnSheet(indexOf(c), code == key::Ctrl + key::PgDn))
        return true;
    if (c && c->imm && (c->type == CType::Entry || c->type == CType::Text) && !c->readOnly &&
        (code & ~key::Shift) != key::Tab) {
        immEvent(*c, code, ch);
        if (code != key::Enter) return false;  // Enter still presses the default button
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
    if (code == key::Enter) return pressDefault(c);
    return false;
}

// Ctrl+PgDn and Ctrl+PgUp with the focus on a sheet's page turn it to the next or the previous
// tab that is shown (round from the last to the first), as a click on that tab does, and the
// focus goes to the first control of the new page in Tab order. False when the control is on no
// sheet.
bool WindowImpl::turnSheet(int i, bool forward) {
    int tab = 0;
    const int sheet = sheetOf(i, &tab);
    if (sheet < 0 || !ctls[sheet].widget) return false;
    auto* tw = static_cast<QTabWidget*>(ctls[sheet].widget.data());
    const int n = tw->count();
    int next = -1;
    for (int step = 1; step < n && next < 0; ++step) {
        const int t = ((tw->currentIndex() + (forward ? step : -step)) % n + n) % n;
        if (tw->isTabVisible(t) && tw->isTabEnabled(t)) next = t;
    }
    if (next < 0) return true;
    tw->setCurrentIndex(next);  // as a click on the tab: the page shows, NewSelection of the sheet
    auto onPage = [&](int feq) {
        const Control* k = ctl(feq);
        int t = 0;
        return k && sheetOf(indexOf(k), &t) == sheet && t == next + 1;
    };
    for (int feq : self->tabOrder())
        if (onPage(feq)) {
            moveFocus(feq, Qt::TabFocusReason, true);
            return true;
        }
    // A page whose controls are all out of the Tab order: its first one that can take the focus.
    for (int j = 0; j < static_cast<int>(ctls.size()); ++j) {
        const Control& k = ctls[j];
        if (k.feq > 0 && k.widget && focusable(k.type) && effectiveVisible(j) && effectiveEnabled(j) && onPage(k.feq)) {
            moveFocus(k.feq, Qt::TabFocusReason, true);
            return true;
        }
    }
    return true;
}

// Enter presses the focused push button, else the window's default button (a multi-line text
// keeps its Enter for a new line). The edit of the focused control is finished first, as when
// the focus leaves it.
bool WindowImpl::pressDefault(Control* c) {
    if (c && c->type == CType::Text) return false;
    Control* b = nullptr;
    if (c && c->type == CType::Button && qobject_cast<QPushButton*>(c->widget.data())) b = c;
    else
        for (Control& k : ctls)
            if (k.desc && k.desc->isDefault) b = &k;
    if (!b || !b->widget || !b->widget->isVisible() || !b->widget->isEnabled()) return false;
    if (focusFeq && focusFeq != b->feq)
        if (Control* f = ctl(focusFeq); f && !complete(*f)) return true;  // refused: no press
    if (!refusedFeq) enqueue(ev::Accepted, b->feq, key::Enter);
    return true;
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
    case QEvent::StatusTip:
        // The frame's status zones show the messages themselves (the focused control's, the
        // highlighted menu's or item's); Qt's passing hover text would cover them.
        return desc->kind == WinKind::Frame;  // (not mw: this may come while the frame is destroyed)
    case QEvent::Close:
        if (!closed) {
            e->ignore();
            if (!blocked) requestClose();
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

// The user asks the window to close (its close box, the window manager's close key, a standard
// close action). A request is honoured once: while an earlier one waits in the queue or is being
// answered (the window's steps ask a question, or the frame waits for the other threads' windows
// to close), a further one is dropped. Otherwise a close the user has just turned down would run
// again by itself and ask the same question once more.
bool WindowImpl::closeAsked() const {
    if (closed || !thread) return true;
    const bool answering = haveCur && (cur.event == ev::CloseWindow || cur.event == ev::CloseDown);
    return answering || detail::hasQueued(thread, self, ev::CloseWindow);
}

void WindowImpl::requestClose() {
    if (!closeAsked()) enqueue(ev::CloseWindow);
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
    if (a != "cut" && a != "copy" && a != "paste") return;
    // The focused control's text: an entry's, a text box's, and the edit line of a spin or of an
    // editable drop list (a read-only one gives its text to copy and takes nothing).
    QWidget* fw = QApplication::focusWidget();
    QLineEdit* le = qobject_cast<QLineEdit*>(fw);
    if (!le)
        if (auto* sp = qobject_cast<QAbstractSpinBox*>(fw)) le = sp->findChild<QLineEdit*>();
    if (!le)
        if (auto* cb = qobject_cast<QComboBox*>(fw); cb && cb->isEditable()) le = cb->lineEdit();
    if (le) {
        if (a == "copy") le->copy();
        else if (le->isReadOnly()) return;
        else if (a == "cut") le->cut();
        else le->paste();  // like typing: the edit line reports it as edited
        return;
    }
    if (auto* te = qobject_cast<QPlainTextEdit*>(fw)) {
        if (a == "cut") te->cut();
        else if (a == "copy") te->copy();
        else te->paste();
    }
}

void WindowImpl::defaultAction() {
    const EventRec e = cur;
    switch (e.event) {
    case ev::CloseWindow:
    case ev::CloseDown:  // the program closes: a window that does not handle it closes too
        closeNow();
        break;
    case ev::OpenWindow:
        if (!focusFeq) {
            auto order = self->tabOrder();
            if (!order.empty()) moveFocus(order.front(), Qt::OtherFocusReason, true);
        }
        break;
    case ev::Rejected:
        if (Control* c = ctl(e.control)) explainRefusal(*c);
        break;
    case ev::Accepted:
        if (Control* c = ctl(e.control); c && c->desc) {
            const std::string& a = c->desc->stdAction;
            if (refusedFeq) break;  // a typed value was just refused: the user is told first
            if (a == "close") requestClose();
            else if (a == "printsetup") PRINTERDIALOG(QString());
        }
        break;
    default:
        break;
    }
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

}  // namespace vx::eng
