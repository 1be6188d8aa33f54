#pragma once
// A press of a button that goes through Qt's event queue as the user's does while the program is
// busy: queued now, delivered only when the main loop next runs (QTest's clicks are delivered at
// once, which a thread that never lets the loop run would still see).

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

namespace vexlo::test {

enum class Release { OnTheButton, Beside, None };

// Queues a left press on `button` and, as asked, its release on it or beside it.
inline void queuePress(QWidget* button, Release release = Release::OnTheButton) {
    const QPointF at = button->rect().center();
    auto post = [button](QEvent::Type type, QPointF where, Qt::MouseButtons held) {
        QCoreApplication::postEvent(
            button, new QMouseEvent(type, where, button->mapToGlobal(where), Qt::LeftButton, held, Qt::NoModifier));
    };
    post(QEvent::MouseButtonPress, at, Qt::LeftButton);
    if (release == Release::None) return;
    const QPointF to = release == Release::OnTheButton ? at : QPointF(-20, -20);
    if (release == Release::Beside) post(QEvent::MouseMove, to, Qt::LeftButton);
    post(QEvent::MouseButtonRelease, to, Qt::NoButton);
}

}  // namespace vexlo::test
