// Screen readers: every window of the program is a window to them, named by its title. Qt gives
// the window role to its main windows and MDI sub-windows only; a plain widget made a window
// (the engine's dialogs, the About window, the help viewer, the print preview) would otherwise
// be read as an anonymous client area.

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDialog>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QMenu>
#include <QWidget>

namespace vx::eng::detail {

namespace {

QAccessibleInterface* windowFactory(const QString& className, QObject* object) {
    auto* w = qobject_cast<QWidget*>(object);
    // Asked once per class of the object's chain: answer only for its own class.
    if (!w || className != QLatin1String(object->metaObject()->className())) return nullptr;
    if (!w->isWindow()) return nullptr;
    const Qt::WindowType t = w->windowType();
    if (t != Qt::Window && t != Qt::Dialog && t != Qt::Tool) return nullptr;
    // Qt's own interfaces give these their roles already (main window, dialog, sub-window).
    if (qobject_cast<QMainWindow*>(w) || qobject_cast<QDialog*>(w) || qobject_cast<QMdiSubWindow*>(w) ||
        qobject_cast<QMenu*>(w))
        return nullptr;
    return new QAccessibleWidget(w, QAccessible::Window);
}

}  // namespace

void installAccessibility() {
    static bool done = false;
    if (done) return;
    done = true;
    QAccessible::installFactory(windowFactory);
}

}  // namespace vx::eng::detail
