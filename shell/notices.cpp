#include "shell/notices.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <cstdio>
#include <deque>
#include <mutex>

#include "framework/engine/message.h"
#include "framework/engine/threads.h"
#include "framework/engine/window.h"
#include "framework/platform/profile.h"

namespace vexlo {

namespace {

std::mutex g_mutex;
std::deque<QString> g_pending;  // guarded by g_mutex
int g_shower = 0;               // the thread showing the queue (GUI thread only)

bool takeNext(QString& text) {
    std::lock_guard<std::mutex> guard(g_mutex);
    if (g_pending.empty()) return false;
    text = g_pending.front();
    g_pending.pop_front();
    return true;
}

// One box at a time, on a thread of its own: the thread that read the file goes on at once.
void showQueued() {
    QString text;
    while (takeNext(text))
        vx::eng::MESSAGE(text, kProfileNoticeTitle, vx::eng::Icon::Exclamation, vx::eng::btn::Ok);
}

}  // namespace

void showStartupNotices() {
    if (!vx::eng::Window::frame()) return;  // the frame shows them when it opens
    {
        std::lock_guard<std::mutex> guard(g_mutex);
        if (g_pending.empty()) return;
    }
    if (g_shower && vx::eng::threadAlive(g_shower)) return;  // it takes the new ones too
    g_shower = vx::eng::START(showQueued);
}

void installProfileNotices() {
    // Called with the profile's own lock held, possibly on another OS thread: only queue here,
    // and look at the frame from the GUI thread's main loop.
    vx::platform::setProfileNoticeHandler([](const QString& text) {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) {
            std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
            return;
        }
        {
            std::lock_guard<std::mutex> guard(g_mutex);
            g_pending.push_back(text);
        }
        QMetaObject::invokeMethod(app, [] { showStartupNotices(); }, Qt::QueuedConnection);
    });
}

}  // namespace vexlo
