// The window's place, size and state, in dialog units.
#include "window_impl.h"

namespace vx::eng {

// The window's first place: where the layout puts it (both coordinates given), then shown in
// the layout's state.
void WindowImpl::place() {
    const WinDesc& wd = *desc;
    if (wd.x >= 0 && wd.y >= 0) holder->move(px(wd.x, true), px(wd.y, false));
    if (wd.maximize) holder->showMaximized();
    else if (wd.iconize) holder->showMinimized();
    else holder->show();
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
double Window::duX() const { return d_->du.x; }
double Window::duY() const { return d_->du.y; }

}  // namespace vx::eng
