#pragma once
// CALENDARCLASS: the calendar dialog behind every date button.
//
//   vx::CalendarClass cal;
//   cal.SelectOnClose = true;
//   cal.Ask(u"Дата выдачи"_s, FRM->DATAVV);
//   if (cal.Response == vx::Response::Completed) FRM->DATAVV = cal.SelectedDate;
//
// Ask(title, date) shows a month calendar under the title, starting at the date (a day number;
// 0 starts at today) and waits for the user without blocking other logical threads: the dialog
// is shown through the engine's blocking-call mechanism (eng::runDialog), so only the calling
// thread's windows are disabled meanwhile. Afterwards Response is 1 (completed) when a date was
// chosen, with SelectedDate holding it, else 2 (cancelled) and SelectedDate is left as it was.
// The dialog's "Выбрать" button or Enter chooses the highlighted day; with SelectOnClose a
// double click (or Enter) on a day chooses it and closes the dialog. "Отмена", Esc or closing
// the dialog's window is not a choice.
//
// Colours are 0x00BBGGRR: weekend days (Saturday and Sunday), the other days, and the days in
// Holidays. FirstWeekday is 1 Monday ... 7 Sunday. The standard settings are Monday first,
// weekends 0x0000FF (red), other days 0 (black), holidays 0x008000 (green).

#include <QString>

#include <cstdint>
#include <set>

#include "framework/types/values.h"

class QDialog;
class QWidget;

namespace vx {

class CalendarClass {
public:
    int FirstWeekday = 1;
    int WeekendColor = 0x0000FF;
    int WeekdayColor = 0x000000;
    int HolidayColor = 0x008000;
    std::set<std::int32_t> Holidays;  // day numbers shown in HolidayColor
    bool SelectOnClose = false;

    int Response = 0;                 // 1 completed, 2 cancelled (0 before the first Ask)
    std::int32_t SelectedDate = 0;    // the chosen day number

    // Shows the calendar and waits for the user's answer; returns Response.
    int Ask(const QString& title, std::int32_t date);

    // The dialog as Ask builds it (for the engine's CALENDAR hook and for tests); the caller
    // owns it. The chosen date is read back with DateOf.
    QDialog* Build(const QString& title, std::int32_t date, QWidget* parent = nullptr) const;
    static std::int32_t DateOf(const QDialog* dialog);
};

class WindowManager;

// The date button of a window: what is typed in the window counts first; a chosen date goes into
// `date` and is shown in the window's control `entry`; the window is reset either way.
void AskDateInto(CalendarClass& cal, WindowManager& wm, const QString& title, LONG& date, int entry);

// Makes the engine's CALENDAR call show this class's dialog with the standard settings.
void InstallCalendarHook();

}  // namespace vx

using CALENDARCLASS = vx::CalendarClass;
