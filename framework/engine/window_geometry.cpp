// The window's place, size and state, in dialog units.
#include "window_impl.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QTimer>

namespace vx::eng {

// The window's first place, before it is shown. A top-level window always gets its position
// here, before the window system knows it: it is then created with the frame's position as its
// reference point (the window manager puts the title bar's corner there), the same position that
// x() and y() read back and the INI file keeps. A window placed only after it is shown would be
// put there by its inner corner while the window manager's frame is still unknown, and so crept
// up by one title bar at each reopening. A coordinate the layout leaves out centres the window
// on the screen along that axis ("at=,0": centred across, at the top). A window that is not
// resizable keeps its size: the user cannot drag its edges, and it has no maximise button.
void WindowImpl::place() {
    const WinDesc& wd = *desc;
    if (holder->isWindow()) {
        QRect avail(0, 0, 1024, 768);
        if (QScreen* sc = QGuiApplication::primaryScreen()) avail = sc->availableGeometry();
        const QSize sz = holder->size();
        const int x = wd.x >= 0 ? px(wd.x, true) : avail.x() + std::max(0, (avail.width() - sz.width()) / 2);
        const int y = wd.y >= 0 ? px(wd.y, false) : avail.y() + std::max(0, (avail.height() - sz.height()) / 2);
        holder->move(x, y);
    } else if (wd.x >= 0 || wd.y >= 0) {
        holder->move(wd.x >= 0 ? px(wd.x, true) : holder->x(), wd.y >= 0 ? px(wd.y, false) : holder->y());
    } else if (sub && sub->mdiArea()) {
        // Where the MDI area put it, but within the area as far as it fits (its placer may
        // leave a new window half outside, with its buttons out of reach).
        const QSize area = sub->mdiArea()->viewport()->size();
        const int x = std::max(0, std::min(sub->x(), area.width() - sub->width()));
        const int y = std::max(0, std::min(sub->y(), area.height() - sub->height()));
        if (QPoint(x, y) != sub->pos()) sub->move(x, y);
    }
    if (!wd.resize && wd.kind != WinKind::Frame && !wd.maximize) {
        holder->setFixedSize(holder->size());
        if (sub) sub->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    }
    if (wd.maximize) holder->showMaximized();
    else if (wd.iconize) holder->showMinimized();
    else holder->show();
}

// The window manager's frame around a top-level window, as the window system reports it now
// (none offscreen, or before the window manager has framed it).
static QMargins frameMargins(const QWidget* w) {
    QWindow* h = w->windowHandle();
    return h ? h->frameMargins() : QMargins();
}

int Window::x() const {
    QWidget* h = d_->holder;
    if (!h) return 0;
    return static_cast<int>((h->isWindow() ? h->geometry().x() - frameMargins(h).left() : h->x()) / d_->du.x + 0.5);
}
int Window::y() const {
    QWidget* h = d_->holder;
    if (!h) return 0;
    return static_cast<int>((h->isWindow() ? h->geometry().y() - frameMargins(h).top() : h->y()) / d_->du.y + 0.5);
}
int Window::width() const {
    QWidget* c = d_->content;
    return c ? static_cast<int>(c->width() / d_->du.x + 0.5) : 0;
}
int Window::height() const {
    QWidget* c = d_->content;
    return c ? static_cast<int>(c->height() / d_->du.y + 0.5) : 0;
}
// A top-level window's position is its frame's (title bar included), as x() and y() read it.
// While a shown window is not yet framed by the window manager, a move would place its inner
// corner there: the position waits until the frame is known (settlePlace).
void Window::setPosition(int x, int y) {
    WindowImpl& d = *d_;
    if (!d.holder) return;
    const QPoint p(d.px(x, true), d.px(y, false));
    if (!d.holder->isWindow() || !d.holder->isVisible()) {
        d.holder->move(p);
        return;
    }
    d.pendingFramePos = p;
    d.pendingUntil = QDeadlineTimer(1500);
    if (!d.settleTimer) {
        d.settleTimer = new QTimer(&d);
        d.settleTimer->setInterval(20);
        QObject::connect(d.settleTimer, &QTimer::timeout, &d, [&d] { d.settlePlace(); });
    }
    d.settlePlace();
    if (d.pendingFramePos) d.settleTimer->start();
}

void WindowImpl::settlePlace() {
    if (!pendingFramePos || !holder) return;
    const QMargins m = frameMargins(holder);
    if (m.isNull() && !pendingUntil.hasExpired()) return;  // not framed yet
    // Framed (or no window manager frames it): the frame goes where it was asked to be.
    const QPoint want = *pendingFramePos;
    const QSize size = pendingSize.value_or(holder->size());
    pendingFramePos.reset();
    pendingSize.reset();
    if (settleTimer) settleTimer->stop();
    if (holder->minimumSize() == holder->maximumSize()) holder->setFixedSize(size);
    if (holder->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)) return;
    if (m.isNull()) {
        holder->move(want);
        holder->resize(size);
    } else if (holder->geometry() != QRect(want + QPoint(m.left(), m.top()), size)) {
        holder->setGeometry(QRect(want + QPoint(m.left(), m.top()), size));
    }
}

void Window::setSize(int w, int h) {
    WindowImpl& d = *d_;
    if (!d.holder || !d.content) return;
    const QSize extra = d.holder->size() - d.content->size();
    const QSize want(d.px(w, true) + extra.width(), d.px(h, false) + extra.height());
    if (d.pendingFramePos) d.pendingSize = want;  // goes with the position (settlePlace)
    // The program may size a window that the user cannot.
    else if (!resizable() && d.holder->minimumSize() == d.holder->maximumSize()) d.holder->setFixedSize(want);
    else d.holder->resize(want);
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
double Window::duX() const { return d_->du.x; }
double Window::duY() const { return d_->du.y; }

}  // namespace vx::eng
