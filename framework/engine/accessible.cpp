// Screen readers: every window of the program is a window to them, named by its title. Qt gives
// the window role to its main windows, dialogs and MDI sub-windows only; a plain widget made a
// window (the engine's own windows, the About window, the help viewer, the print preview) would
// otherwise be read as an anonymous client area.
//
// Only plain widgets are ours to answer for: a control (a button, a label, an entry...) keeps the
// interface Qt gives it, with its own role and name, even while it is a window for a moment. A
// message box creates its buttons without a parent and only then lays them out, and Qt keeps the
// first interface it got for an object, so an answer by "is it a window now" would read every
// such button as a nameless window for good. For the same reason the role is decided when it is
// asked for: a plain widget built as a window and then put into an MDI sub-window is a window no
// longer. The panels and boxes of a window (plain frames) are panels to a screen reader: Qt reads
// a plain frame as a border, which AT-SPI calls a frame, its word for a window.

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFrame>
#include <QMetaObject>
#include <QWidget>

#include <cstring>

namespace vx::eng::detail {

namespace {

class PlainWidget : public QAccessibleWidget {
public:
    PlainWidget(QWidget* w, QAccessible::Role inside) : QAccessibleWidget(w, inside), inside_(inside) {}
    QAccessible::Role role() const override {
        const QWidget* w = widget();
        if (!w->isWindow()) return inside_;
        const Qt::WindowType t = w->windowType();
        return t == Qt::Window || t == Qt::Dialog || t == Qt::Tool ? QAccessible::Window : inside_;
    }

private:
    QAccessible::Role inside_;
};

// Qt's own classes have plain names; the program's are in its namespaces.
bool qtClass(const QMetaObject* mo) {
    const char* n = mo->className();
    return n[0] == 'Q' && !std::strchr(n, ':');
}

QAccessibleInterface* windowFactory(const QString& className, QObject* object) {
    auto* w = qobject_cast<QWidget*>(object);
    // Asked once per class of the object's chain: answer only for its own class.
    if (!w || className != QLatin1String(object->metaObject()->className())) return nullptr;
    const QMetaObject* mo = object->metaObject();
    while (mo && !qtClass(mo)) mo = mo->superClass();
    if (mo == &QWidget::staticMetaObject) return new PlainWidget(w, QAccessible::Client);
    // A panel or a box is a plain frame, which Qt reads as a border: that is a window to AT-SPI.
    if (mo == &QFrame::staticMetaObject) return new PlainWidget(w, QAccessible::Pane);
    return nullptr;  // a control or a Qt window: Qt's own
}

}  // namespace

void installAccessibility() {
    static bool done = false;
    if (done) return;
    done = true;
    QAccessible::installFactory(windowFactory);
}

}  // namespace vx::eng::detail
