// REP_DATA: the dialog "За период" of the period report. The user sets the period D1..D2 (typed
// or from the calendars "Дата [с]" and "Дата [по]") and the status COMMENT (typed or chosen);
// "Печать" stores what is typed and starts REP_INPUT1 on a thread of its own, and the dialog stays
// open for the next report. The dialog opens no data file and checks nothing: the values go to
// the report as they are, through the process-wide D1, D2 and COMMENT, which the spreadsheet
// export and the period deletion share.

#include <QString>

#include <array>

#include "framework/classlib/calendar.h"
#include "framework/classlib/procframe.h"
#include "framework/engine/threads.h"
#include "framework/engine/window.h"
#include "shell/globals.h"
#include "shell/program.h"
#include "shell/procedures.h"
#include "shell/runtime.h"

namespace {

// Controls of the window, by declaration order.
enum : int {
    D1_PROMPT = 1,
    D1_ENTRY = 2,
    CALENDAR = 3,
    D2_PROMPT = 4,
    D2_ENTRY = 5,
    CALENDAR_2 = 6,
    COMMENT_PROMPT = 7,
    COMMENT_COMBO = 8,
    OKBUTTON = 9,
    CANCELBUTTON = 10,
};

class ThisWindow final : public vx::ProcedureFrame {
public:
    ThisWindow() {
        Name = QStringLiteral("Rep_data");
        Layout = QStringLiteral(":/layouts/rep_data.lay");
        FirstFieldNumber = D1_PROMPT;
    }

    int TakeAccepted() override {
        const int level = vx::ProcedureFrame::TakeAccepted();
        switch (Win().field()) {
        case CALENDAR:
            vx::AskDateInto(calendars_[0], *this, QString::fromUtf8("Дата [с]"), D1, D1_ENTRY);
            break;
        case CALENDAR_2:
            vx::AskDateInto(calendars_[1], *this, QString::fromUtf8("Дата [по]"), D2, D2_ENTRY);
            break;
        case OKBUTTON:
            Update();
            if (Win().valueRefused()) break;  // the user is told first; no report on another period
            vx::eng::START(REP_INPUT1, vexlo::kStartStack);
            Reset(false);
            break;
        default:
            break;
        }
        return level;
    }

private:
    std::array<vx::CalendarClass, 2> calendars_;
};

}  // namespace

void REP_DATA() {
    ThisWindow thisWindow;
    vx::eng::GLOBALRESPONSE = static_cast<std::uint8_t>(thisWindow.Run());
}
