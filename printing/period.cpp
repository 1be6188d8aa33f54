// PERIOD: the dialog "За период" that deletes every certificate issued in D1..D2 (both included),
// with its animal rows (the relation of FORMA1 to ANIM deletes them with it). The certificates go
// through RELATE:FORMA1 without a question; a deletion the relation manager cannot carry out is
// reported by it. Certificates that could not be read are left in the file and counted in one
// message at the end; nothing else is shown; the dialog stays open.
//
// The deletion runs when "Удалить" is pressed (click, Space, or Enter on the button), never on the
// mere arrival of the focus: tabbing across the button must not empty the register.

#include <QString>

#include <array>
#include <vector>

#include "framework/classlib/calendar.h"
#include "framework/classlib/procframe.h"
#include "framework/engine/window.h"
#include "printing/period_delete.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/records.h"
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
    OKBUTTON = 7,
    CANCELBUTTON = 8,
};

class ThisWindow final : public vx::ProcedureFrame {
public:
    ThisWindow() {
        Name = QStringLiteral("Period");
        Layout = QStringLiteral(":/layouts/period.lay");
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
            Update();  // a date still being typed counts; one the window refuses voids the press
            if (Win().valueRefused()) break;
            vexlo::printing::deletePeriod(std::int32_t(D1), std::int32_t(D2));
            break;
        default:
            break;
        }
        return level;
    }

protected:
    void OpenFiles() override {
        RELATE_FORMA1->SetOpenRelated();
        RELATE_FORMA1->Open();
        FilesOpened = true;
    }
    void CloseFiles() override { RELATE_FORMA1->Close(); }

private:
    std::array<vx::CalendarClass, 2> calendars_;
};

}  // namespace

namespace vexlo::printing {

int deletePeriod(std::int32_t from, std::int32_t to) {
    // The positions first, then the deletions: a scan that deletes as it reads would depend on
    // how the driver reuses the freed slots.
    // A damaged certificate cannot be read, so neither its date nor whether it belongs to the
    // period is known: it is left in the file and the user is told how many were left.
    std::vector<std::uint32_t> positions;
    vx::FileManager::ReadOperation reading(*ACCESS_FORMA1, vx::FileManager::ReadOperation::Count);
    if (ACCESS_FORMA1->SetStart(0) == vx::Level::Benign) {
        while (ACCESS_FORMA1->TryNext() == 0) {
            const std::int32_t issued = std::int32_t(FRM->DATAVV);
            if (from <= issued && issued <= to) positions.push_back(ACCESS_FORMA1->Position());
        }
    }
    int deleted = 0;
    for (std::uint32_t pos : positions) {
        if (ACCESS_FORMA1->TryReget(pos) != 0) continue;  // gone meanwhile
        const std::int32_t issued = std::int32_t(FRM->DATAVV);
        if (issued < from || to < issued) continue;          // changed meanwhile
        // The first failure has been told (a full disk, a locked file): the rest would fail
        // the same way, one message each, so the deletion stops here.
        if (RELATE_FORMA1->Delete() != vx::Level::Benign) break;
        ++deleted;
    }
    const vx::FileManager::LeftOut left = reading.Passed();
    if (left.Count() > 0)
        ACCESS_FORMA1->TellLeftOut(left, QString::fromUtf8("Удалены не все свидетельства за период: удалено %1; "
                                                           "не удалось прочитать и оставлено в файле записей: %2.")
                                             .arg(deleted)
                                             .arg(left.Count()));
    return deleted;
}

}  // namespace vexlo::printing

void PERIOD() {
    ThisWindow thisWindow;
    vx::eng::GLOBALRESPONSE = static_cast<std::uint8_t>(thisWindow.Run());
}
