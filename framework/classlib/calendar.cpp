#include "calendar.h"

#include <QCalendarWidget>
#include <QDate>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextCharFormat>
#include <QVBoxLayout>

#include <memory>

#include "framework/classlib/windowmanager.h"
#include "framework/engine/fonts.h"
#include "framework/engine/message.h"
#include "framework/engine/window.h"
#include "framework/types/date.h"

namespace vx {

namespace {

QDate qdateOf(std::int32_t day) {
    auto ymd = date::toYmd(day);
    return ymd ? QDate(ymd->year, ymd->month, ymd->day) : QDate();
}

std::int32_t dayOf(const QDate& d) { return d.isValid() ? date::fromYmd(d.year(), d.month(), d.day()) : 0; }

QTextCharFormat colored(int bgr) {
    QTextCharFormat f;
    f.setForeground(eng::colorOf(bgr));
    return f;
}

}  // namespace

QDialog* CalendarClass::Build(const QString& title, std::int32_t start, QWidget* parent) const {
    auto* dlg = new QDialog(parent);
    dlg->setWindowTitle(title);
    auto* lay = new QVBoxLayout(dlg);
    auto* cal = new QCalendarWidget(dlg);
    cal->setObjectName(QStringLiteral("calendar"));
    cal->setMinimumDate(qdateOf(1));
    cal->setMaximumDate(qdateOf(date::maxDay()));
    const int first = FirstWeekday >= 1 && FirstWeekday <= 7 ? FirstWeekday : 1;
    cal->setFirstDayOfWeek(static_cast<Qt::DayOfWeek>(first));
    for (int d = Qt::Monday; d <= Qt::Sunday; ++d)
        cal->setWeekdayTextFormat(static_cast<Qt::DayOfWeek>(d),
                                  colored(d == Qt::Saturday || d == Qt::Sunday ? WeekendColor : WeekdayColor));
    for (std::int32_t h : Holidays)
        if (QDate q = qdateOf(h); q.isValid()) cal->setDateTextFormat(q, colored(HolidayColor));
    const QDate at = start > 0 ? qdateOf(start) : QDate();
    cal->setSelectedDate(at.isValid() ? at : QDate::currentDate());
    lay->addWidget(cal);
    auto* bb = new QDialogButtonBox(dlg);
    bb->addButton(QString::fromUtf8("Выбрать"), QDialogButtonBox::AcceptRole);
    bb->addButton(QString::fromUtf8("Отмена"), QDialogButtonBox::RejectRole);
    lay->addWidget(bb);
    QObject::connect(bb, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
    QObject::connect(bb, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
    if (SelectOnClose) QObject::connect(cal, &QCalendarWidget::activated, dlg, &QDialog::accept);
    return dlg;
}

std::int32_t CalendarClass::DateOf(const QDialog* dialog) {
    if (!dialog) return 0;
    auto* cal = dialog->findChild<QCalendarWidget*>(QStringLiteral("calendar"));
    return cal ? dayOf(cal->selectedDate()) : 0;
}

int CalendarClass::Ask(const QString& title, std::int32_t start) {
    eng::Window* w = eng::Window::current();
    std::unique_ptr<QDialog> dlg(Build(title, start, w ? w->outer() : nullptr));
    const bool chosen = eng::runDialog(dlg.get()) == QDialog::Accepted;
    const std::int32_t day = chosen ? DateOf(dlg.get()) : 0;
    if (chosen && day > 0) {
        SelectedDate = day;
        Response = 1;
    } else {
        Response = 2;
    }
    return Response;
}

void InstallCalendarHook() {
    eng::dialogHooks().calendar = [](const QString& title, std::int32_t start) -> std::optional<std::int32_t> {
        CalendarClass cal;
        cal.SelectOnClose = true;
        if (cal.Ask(title, start) != 1) return std::nullopt;
        return cal.SelectedDate;
    };
}

void AskDateInto(CalendarClass& cal, WindowManager& wm, const QString& title, LONG& date, int entry) {
    wm.Update();
    if (wm.Win().valueRefused()) return;  // a typed date the window refused: the user is told first
    cal.SelectOnClose = true;
    cal.Ask(title, std::int32_t(date));
    if (cal.Response == Response::Completed) {
        date = cal.SelectedDate;
        wm.Win().display(entry);
    }
    wm.Reset(true);
}

}  // namespace vx
