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

protected:
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
