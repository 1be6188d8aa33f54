// MAIN: the application frame. Its menu and toolbar start every other window on a thread of its
// own, its navigation buttons act on the active child window, it switches tooltips and the blank
// pictures, offers the help file, and rebuilds the keys of FORMA1 and KAGENT when it first opens.
// The program ends when the frame closes.

#include "shell/main_frame.h"

#include <memory>

#include "framework/classlib/procframe.h"
#include "framework/engine/window.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/notices.h"
#include "shell/procedures.h"
#include "shell/program.h"
#include "shell/version.h"

namespace {

namespace ev = vx::eng::ev;
namespace feq = vexlo::mainframe;
using vx::eng::Prop;

// The two contact lines of whoever supports the program, in status zones 2 and 3.
const QString kSupportMail = QStringLiteral("Почта: служба поддержки");
const QString kSupportPhone = QStringLiteral("Тел.: служба поддержки");

const QString kTipsOn = QStringLiteral("включить подсказки [включены]");
const QString kTipsOff = QStringLiteral("включить подсказки [отключены]");

class ThisWindow final : public vx::ProcedureFrame {
public:
    ThisWindow() {
        Name = QStringLiteral("Main");
        Layout = QStringLiteral(":/layouts/main.lay");
        HelpFileName = QStringLiteral("instr.chm");
        HelpKeyCode = vx::eng::key::F12;
        UseResizer(0, false, false);
        Highlight.SkipToolbar = true;  // neither the toolbar nor its controls are highlighted
    }

    int TakeAccepted() override {
        vx::eng::Window& w = Win();
        const int f = w.field();
        if (vx::Nav::is(f)) {
            // A navigation button belongs to the active child window: it gets the button as its
            // own Accepted event, on its own thread. With the frame itself active, the frame's
            // toolbar object takes it (nothing is bound to it there).
            const int active = vx::eng::activeThread();
            if (active != 0 && active != w.thread()) {
                vx::eng::POST(ev::Accepted, f, active);
                return Cycle();
            }
        } else {
            vexlo::MenuTargets& go = vexlo::menuTargets();
            switch (f) {
            case feq::FORMA1: start(go.browseForma1); break;
            case feq::ФОРМА1ОТЧЕТОВЫДАННЫХДОКУМЕНТАХ: start(go.repData); break;
            case feq::ФОРМА1УДАЛИТЬЗАПЕРИОД: start(go.period); break;
            case feq::NSTRFRM: start(go.browseNastr); break;
            case feq::ПОМОЩЬПРАВИЛАЗАПОЛНЕНИя: showHelp(); break;
            case feq::ПОМОЩЬОПРОГРАММЕ: start(go.zast); break;
            default: break;
            }
        }
        const int level = ProcedureFrame::TakeAccepted();
        switch (f) {
        case feq::BUTTON15: start(vexlo::menuTargets().browseNastr); break;
        case feq::BUTTON15_2: showHelp(); break;
        case feq::SORT: applyTips(); break;
        default: break;
        }
        return level;
    }

    int TakeWindowEvent() override {
        vx::eng::Window& w = Win();
        const bool open = w.event() == ev::OpenWindow;
        if (open && !openedOnce_) {
            openedOnce_ = true;
            // Deferred redrawing and the frame's buffer need no equivalent: Qt paints every
            // window double-buffered. The keys of the two main files are rebuilt from their data
            // files; a file that is missing (first run) or in use stays as it is.
            FORMA1->build();
            KAGENT->build();
        }
        const int level = ProcedureFrame::TakeWindowEvent();
        if (open) {
            vx::eng::setCharSet(204);  // Cyrillic, for every font of the program
            vx::eng::setTipDisplayTime(6000);
            applyTips();
            vexlo::showStartupNotices();  // what start-up could not show before the frame was up
        }
        return level;
    }

protected:
    void AfterOpen() override {
        Win().setTitle(vexlo::frameTitle());
        Win().setStatusText(2, kSupportMail);
        Win().setStatusText(3, kSupportPhone);
    }

private:
    static void start(const vx::eng::Procedure& proc) {
        if (proc) vx::eng::START(proc, vexlo::kStartStack);
    }

    // The tooltips switch: the check box has stored its state in SORT.
    void applyTips() {
        const bool on = ::SORT == 1;
        Win().setProp(feq::SORT, Prop::Text, on ? kTipsOn : kTipsOff);
        vx::eng::setTipsEnabled(on);
    }

    // The help file's contents, then the contacts topic; from now on the help key shows that
    // topic too. When the contents could not be shown (the file is missing or damaged) the user
    // has been told once; the topic would only fail again with the same message.
    void showHelp() {
        Help->Init(*this, QStringLiteral("instr.chm"), vx::eng::key::F12);
        const bool shown = Help->ShowContents();
        Help->SetTopic(QStringLiteral("Контакты.htm"));
        if (shown) Help->ShowTopic(Help->Topic());
    }

    bool openedOnce_ = false;
};

}  // namespace

void MAIN() {
    auto thisWindow = std::make_unique<ThisWindow>();
    vx::eng::GLOBALRESPONSE = static_cast<std::uint8_t>(thisWindow->Run());
}
