// ZAST: the About window. It shows a small page about the program and closes itself at a left
// click, a left double click or a right click anywhere on it, or when the focus moves elsewhere
// (a click into another window, a switch to another program).

#include <memory>

#include "framework/classlib/procframe.h"
#include "framework/engine/window.h"
#include "shell/procedures.h"

namespace {

namespace ev = vx::eng::ev;
namespace key = vx::eng::key;

const QString kStatusMessage = QStringLiteral("Продолжение работы с программой - левая кнопка мыши");

class ThisWindow final : public vx::ProcedureFrame {
public:
    ThisWindow() {
        Name = QStringLiteral("Zast");
        Layout = QStringLiteral(":/layouts/zast.lay");
    }

    int TakeWindowEvent() override {
        const int level = ProcedureFrame::TakeWindowEvent();
        vx::eng::Window& w = Win();
        const int e = w.event();
        const int k = w.keycode();
        if ((e == ev::AlertKey && (k == key::MouseLeft || k == key::MouseLeft2 || k == key::MouseRight)) ||
            e == ev::LoseFocus)
            w.post(ev::CloseWindow);
        return level;
    }

    int Kill() override {
        // The frame's status line showed this window's message while it was open.
        if (vx::eng::Window* frame = vx::eng::Window::frame(); frame && frame->statusText(1) == kStatusMessage)
            frame->setStatusText(1, QString());
        return ProcedureFrame::Kill();
    }

protected:
    void AfterOpen() override {
        // The window has no status bar of its own: its message goes to the frame's.
        if (vx::eng::Window* frame = vx::eng::Window::frame()) frame->setStatusText(1, kStatusMessage);
    }
    // After the position is restored: the three mouse keys that close the window.
    void AfterRestore() override {
        vx::eng::Window& w = Win();
        w.alert(key::MouseLeft);
        w.alert(key::MouseLeft2);
        w.alert(key::MouseRight);
    }
};

}  // namespace

void ZAST() {
    auto thisWindow = std::make_unique<ThisWindow>();
    vx::eng::GLOBALRESPONSE = static_cast<std::uint8_t>(thisWindow->Run());
}
