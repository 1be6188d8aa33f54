#include "date.h"

#include <QDate>

namespace vx::date {
namespace {

// Days from 1 March of year 0 (proleptic Gregorian), after H. Hinnant's civil-date algorithms.
constexpr long long civilDays(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe);
}

Ymd civilFromDays(long long z) {
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

constexpr long long kEpoch = civilDays(1801, 1, 1) - 4;  // so that 1.1.1801 is day 4

}  // namespace

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && isLeap(year) ? 29 : kDays[month - 1];
}

std::int32_t maxDay() { return static_cast<std::int32_t>(civilDays(9999, 12, 31) - kEpoch); }

std::int32_t fromYmd(int year, int month, int day) {
    if (year < 1800 || year > 9999 || day < 1 || day > daysInMonth(year, month)) return 0;
    long long n = civilDays(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpoch;
    if (n < 1 || n > maxDay()) return 0;
    return static_cast<std::int32_t>(n);
}

std::optional<Ymd> toYmd(std::int32_t day) {
    if (day < 1 || day > maxDay()) return std::nullopt;
    return civilFromDays(day + kEpoch);
}

std::int32_t today() {
    QDate d = QDate::currentDate();
    return fromYmd(d.year(), d.month(), d.day());
}

int currentYear() { return QDate::currentDate().year(); }

int dayOfWeek(std::int32_t day) { return ((day % 7) + 7) % 7; }

int expandYear(int yy, int current) {
    int y = current - current % 100 + yy;
    if (y > current + 19) y -= 100;
    else if (y < current - 80) y += 100;
    return y;
}

}  // namespace vx::date
