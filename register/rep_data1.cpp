// REP_DATA1: the spreadsheet export of the register. The dialog asks for the period D1..D2 and the
// workbook NAMEFILE (typed, or chosen with "..."); "Экспортировать" or the close box keep the
// name, "Выйти" blanks it. Then the period's certificates go into the workbook (rep_data1_export).
//
// "Выйти" acts when it is pressed, not when the focus reaches it: tabbing across it must not throw
// away the period and the file just entered.

#include <QString>

#include <array>
#include <string>

#include "framework/classlib/calendar.h"
#include "framework/classlib/procframe.h"
#include "framework/engine/message.h"
#include "framework/engine/window.h"
#include "register/rep_data1_dialog.h"
#include "register/rep_data1_export.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/runtime.h"

namespace {

namespace ev = vx::eng::ev;

// Controls of the window, by declaration order.
enum : int {
    D1_PROMPT = 1, D1_ENTRY = 2, CALENDAR = 3, D2_PROMPT = 4, D2_ENTRY = 5, CALENDAR_2 = 6,
    NAMEFILE_PROMPT = 7, NAMEFILE_ENTRY = 8, LOOKUPFILE = 9, OKBUTTON = 10, CANCELBUTTON = 11,
    BUTTON5 = 12,
};

class ThisWindow final : public vx::ProcedureFrame {
public:
    ThisWindow() {
        Name = QStringLiteral("Rep_data1");
        Layout = QStringLiteral(":/layouts/rep_data1.lay");
        FirstFieldNumber = D1_PROMPT;
        UseResizer(vx::AppStrategy::Resize, false, false);
        for (vx::CalendarClass& c : calendars_) c.FirstWeekday = 7;
    }

    int TakeWindowEvent() override {
        const int level = vx::ProcedureFrame::TakeWindowEvent();
        if (Win().event() == ev::OpenWindow) {
            NAMEFILE = std::string_view();
            Win().display();
        }
        return level;
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
        case LOOKUPFILE: {
            Update();
            if (Win().valueRefused()) break;
            // Starts at "*.xls"; a cancelled selection gives a blank name.
            std::string path = "*.xls";
            if (!vx::eng::FILEDIALOG(QString(), path, QStringLiteral("All Files|*.*"), 0x10)) path.clear();
            NAMEFILE = path;
            Win().display();
            break;
        }
        case OKBUTTON:
            Update();  // a name or a date still being typed counts
            break;
        case CANCELBUTTON:
            NAMEFILE = std::string_view();
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

void REP_DATA1_DIALOG() {
    ThisWindow thisWindow;
    thisWindow.Run();
}

void REP_DATA1() { vexlo::reg::ExcelExport(); }
