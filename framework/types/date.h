#pragma once
// Dates are LONG day numbers counted from 28 December 1800: day 4 is 1 January 1801, day 1 is
// 29 December 1800;
// 0 means "no date". Supported: day 1 (29.12.1800) to 31.12.9999.

#include <cstdint>
#include <optional>

namespace vx::date {

struct Ymd {
    int year;
    int month;  // 1..12
    int day;    // 1..31
};

bool isLeap(int year);
int daysInMonth(int year, int month);  // 0 for a month outside 1..12
// The day number of a calendar date; 0 when the date does not exist or lies outside the range.
std::int32_t fromYmd(int year, int month, int day);
// The calendar date of a day number; nullopt for 0 and for numbers outside the range.
std::optional<Ymd> toYmd(std::int32_t day);
std::int32_t maxDay();  // 31.12.9999
// Today's day number (local time).
std::int32_t today();
int currentYear();
// 0 = Sunday ... 6 = Saturday (1 January 1801 was a Thursday: day 4).
int dayOfWeek(std::int32_t day);
// Two-digit year typed by a user: the year ending in those digits that lies within the
// 80 years before and 19 years after `current` (current 2026: 07 -> 2007, 45 -> 2045, 46 -> 1946).
int expandYear(int twoDigits, int current);

}  // namespace vx::date
