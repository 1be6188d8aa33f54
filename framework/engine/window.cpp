// Windows: their life from opening to closing, the accept loop; program-wide setup.
#include "window_impl.h"

namespace vx::eng {

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

// ---------------------------------------------------------------- shared state

namespace wnd {

bool g_tips = true;
int g_tipTime = 0;
int g_charset = 0;
Window* g_frame = nullptr;

bool focusable(CType t) {
    switch (t) {
    case CType::Entry: case CType::Text: case CType::Button: case CType::Check: case CType::Radio:
    case CType::Spin: case CType::List: case CType::DropList: case CType::Combo: case CType::DropCombo:
        return true;
    default:
        return false;
    }
}

bool typedInto(CType t) {
    return t == CType::Entry || t == CType::Text || t == CType::Spin || t == CType::Combo || t == CType::DropCombo;
}

QString text1251(const VarRef& v) { return cp::fromCp1251(v.text()); }

std::optional<Decimal> dec(const std::string& s) {
    if (s.empty()) return std::nullopt;
    return Decimal::parse(s);
}

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

}  // namespace wnd

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
    if (d.cur.event == ev::Rejected && d.cur.control == d.refusedFeq) d.refusedFeq = 0;
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
    installEngineFilter();
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
