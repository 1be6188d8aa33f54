#include "harness.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QLineEdit>
#include <QMenu>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>

namespace vx::eng::test {

namespace {
// Types text key by key; any character, not only ASCII.
void typeText(QWidget* w, const QString& text) {
    for (QChar ch : text) {
        Qt::Key k = static_cast<Qt::Key>(ch.toUpper().unicode());
        if (ch == QLatin1Char(' ')) k = Qt::Key_Space;
        QTest::sendKeyEvent(QTest::Click, w, k, QString(ch), Qt::NoModifier);
    }
}

QApplication* app() {
    if (auto* a = qobject_cast<QApplication*>(QCoreApplication::instance())) return a;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "vexlo-test";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
}
// Counts the events Qt delivers, so that the harness knows when nothing is left to do. Timer
// ticks themselves do not count (a blinking cursor would never let it rest); what they cause does.
class EventCounter : public QObject {
public:
    std::uint64_t count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() != QEvent::Timer) ++count;
        return false;
    }
};

EventCounter& counter() {
    static EventCounter* c = [] {
        auto* k = new EventCounter;
        qApp->installEventFilter(k);
        return k;
    }();
    return *c;
}

}  // namespace

Harness::Harness() {
    app();
    initEngine();
}

Harness::~Harness() {
    idle();
    detail::shutdownThreads();
    idle();
}

int Harness::start(Procedure proc, std::size_t stackBytes) {
    thread_ = START(std::move(proc), stackBytes);
    idle();
    return thread_;
}

void Harness::idle() {
    // Only Qt's own event loop runs here: the engine's scheduler runs when the engine has queued
    // it, as in the program. Passes go on until three in a row deliver nothing, for at most a
    // few seconds.
    EventCounter& c = counter();
    QElapsedTimer clock;
    clock.start();
    int quiet = 0;
    while (quiet < 3 && clock.elapsed() < 5000) {
        const std::uint64_t before = c.count;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        quiet = c.count == before ? quiet + 1 : 0;
    }
}

bool Harness::waitFor(const std::function<bool()>& cond) {
    for (int i = 0; i < 100 && !cond(); ++i) idle();
    return cond();
}

bool Harness::waitEnd(int thread) {
    return waitFor([thread] { return !threadAlive(thread); });
}

Window* Harness::window() const { return Window::innermost(thread_); }

Window& Harness::win() const {
    Window* w = window();
    if (!w) throw std::runtime_error("thread " + std::to_string(thread_) + " has no window");
    return *w;
}

int Harness::feq(const std::string& name) const {
    int f = win().feq(name);
    if (!f) throw std::runtime_error("no control " + name);
    return f;
}

Control* Harness::control(int feq) const { return win().control(feq); }

bool Harness::tickTimer() {
    const bool on = detail::tickTimer(win());
    idle();
    return on;
}

void Harness::activate() {
    Window& w = win();
    QWidget* o = w.outer();
    if (!o) return;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(o)) {
        if (QMdiArea* a = sub->mdiArea()) {
            QApplication::setActiveWindow(a->window());
            a->setActiveSubWindow(sub);
        }
    } else {
        QApplication::setActiveWindow(o->window());
    }
    idle();
}

QWidget* Harness::focusTarget(int feq) const {
    Control* c = control(feq);
    if (!c || !c->widget) return nullptr;
    QWidget* w = c->widget;
    if (auto* sp = qobject_cast<QAbstractSpinBox*>(w)) return sp->findChild<QLineEdit*>();
    if (auto* cb = qobject_cast<QComboBox*>(w); cb && cb->lineEdit()) return cb->lineEdit();
    if (auto* tv = qobject_cast<QTreeView*>(w)) return tv->viewport();
    if (auto* te = qobject_cast<QPlainTextEdit*>(w)) return te->viewport();
    return w;
}

void Harness::select(int feq) {
    activate();
    Control* c = control(feq);
    if (!c || !c->widget) throw std::runtime_error("control " + std::to_string(feq) + " has no widget");
    QWidget* t = focusTarget(feq);
    QTest::mousePress(t, Qt::LeftButton, {}, QPoint(2, std::max(1, t->height() / 2)));
    QTest::mouseRelease(t, Qt::LeftButton, {}, QPoint(2, std::max(1, t->height() / 2)));
    if (win().focus() != feq) win().select(feq);  // a click Qt did not turn into focus
    idle();
}

void Harness::type(int feq, const QString& text) {
    if (win().focus() != feq) select(feq);
    QWidget* t = focusTarget(feq);
    if (auto* le = qobject_cast<QLineEdit*>(t)) le->selectAll();
    else if (auto* te = qobject_cast<QPlainTextEdit*>(control(feq)->widget.data())) te->selectAll(), t = te;
    typeText(t, text);
    idle();
}

void Harness::fill(int feq, const QString& text) {
    type(feq, text);
    tab();
}

void Harness::keys(const QString& text) {
    int f = focus();
    QWidget* t = f ? focusTarget(f) : win().widget();
    if (auto* te = f ? qobject_cast<QPlainTextEdit*>(control(f)->widget.data()) : nullptr) t = te;
    typeText(t, text);
    idle();
}

void Harness::press(int qtKey, Qt::KeyboardModifiers mods) {
    activate();
    int f = focus();
    QWidget* t = f ? focusTarget(f) : win().widget();
    if (f)
        if (auto* te = qobject_cast<QPlainTextEdit*>(control(f)->widget.data())) t = te;
    QTest::keyClick(t, static_cast<Qt::Key>(qtKey), mods);
    idle();
}

void Harness::click(int feq, Qt::MouseButton b, Qt::KeyboardModifiers mods) {
    activate();
    Control* c = control(feq);
    if (!c) throw std::runtime_error("no control " + std::to_string(feq));
    if (!c->widget) {
        trigger(feq);
        return;
    }
    QWidget* t = focusTarget(feq);
    QTest::mouseClick(t, b, mods, t->rect().center());
    idle();
}

void Harness::doubleClick(int feq) {
    activate();
    QWidget* t = focusTarget(feq);
    QTest::mouseDClick(t, Qt::LeftButton, {}, t->rect().center());
    idle();
}

void Harness::clickWindow(Qt::MouseButton b, bool dbl) {
    activate();
    QWidget* t = win().widget();
    QPoint p(1, 1);
    if (QWidget* child = t->childAt(p)) t = child;
    if (dbl) QTest::mouseDClick(t, b, {}, QPoint(1, 1));
    else QTest::mouseClick(t, b, {}, QPoint(1, 1));
    idle();
}

void Harness::trigger(int feq) {
    Window& w = win();
    Control* c = w.control(feq);
    if (c && c->widget) {
        click(feq);
        return;
    }
    if (QAction* a = w.action(feq); a && !a->menu()) {
        a->trigger();
        idle();
        return;
    }
    throw std::runtime_error("control " + std::to_string(feq) + " cannot be triggered");
}

void Harness::chooseRow(int feq, int row) {
    activate();
    Control* c = control(feq);
    if (auto* tv = qobject_cast<QTreeView*>(c->widget.data())) {
        if (win().focus() != feq) select(feq);
        QModelIndex idx = tv->model()->index(row - 1, 0);
        QRect r = tv->visualRect(idx);
        QTest::mouseClick(tv->viewport(), Qt::LeftButton, {}, r.center());
    } else if (auto* cb = qobject_cast<QComboBox*>(c->widget.data())) {
        // As the user does it: open the list, move to the row, press Enter. A list that does not
        // open (disabled, read-only) stays as it is.
        if (win().focus() != feq) select(feq);
        if (cb->isEnabled()) cb->showPopup();
        QAbstractItemView* v = cb->view();
        if (v && v->isVisible()) {
            v->setCurrentIndex(cb->model()->index(row - 1, cb->modelColumn()));
            QTest::keyClick(v, Qt::Key_Return);
        }
    }
    idle();
}

void Harness::step(int feq, int steps) {
    if (win().focus() != feq) select(feq);
    auto* sp = qobject_cast<QAbstractSpinBox*>(control(feq)->widget.data());
    if (!sp) throw std::runtime_error("not a spin");
    for (int i = 0; i < std::abs(steps); ++i) QTest::keyClick(focusTarget(feq), steps > 0 ? Qt::Key_Up : Qt::Key_Down);
    idle();
}

void Harness::tabTo(int sheetFeq, int tab) {
    activate();
    auto* tw = qobject_cast<QTabWidget*>(control(sheetFeq)->widget.data());
    if (!tw) throw std::runtime_error("not a sheet");
    QTabBar* bar = tw->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab - 1).center());
    idle();
}

int Harness::focus() const { return window() ? window()->focus() : 0; }

QString Harness::value(int feq) const { return win().prop(feq, Prop::Value).toString(); }

QVariant Harness::prop(int feq, Prop p) const { return win().prop(feq, p); }

std::vector<OpenDialog> Harness::dialogs() const { return openDialogs(); }

// As the user answers: a message box by a click on its button; a dialog by a click on its
// accepting or rejecting button, else by Enter or Esc.
bool Harness::answer(int button, int thread) {
    for (const OpenDialog& d : openDialogs()) {
        if (thread && d.thread != thread) continue;
        QWidget* w = d.widget;
        if (!w) return false;
        QAbstractButton* b = nullptr;
        if (qobject_cast<QMessageBox*>(w)) {
            b = d.button ? d.button(button) : nullptr;
            if (!b) throw std::runtime_error("the message box offers no such button");
        } else {
            const bool accept = button == QDialog::Accepted;
            for (QDialogButtonBox* bb : w->findChildren<QDialogButtonBox*>()) {
                if (!bb->isVisible()) continue;
                for (QAbstractButton* k : bb->buttons()) {
                    const auto role = bb->buttonRole(k);
                    if (!k->isVisible() || !k->isEnabled()) continue;
                    if (accept ? (role == QDialogButtonBox::AcceptRole || role == QDialogButtonBox::YesRole)
                               : role == QDialogButtonBox::RejectRole) {
                        b = k;
                        break;
                    }
                }
                if (b) break;
            }
            if (!b) {
                QTest::keyClick(w, accept ? Qt::Key_Return : Qt::Key_Escape);
                idle();
                return true;
            }
        }
        QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
        idle();
        return true;
    }
    return false;
}

}  // namespace vx::eng::test
