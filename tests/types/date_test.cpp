#include <gtest/gtest.h>

#include <array>

#include "framework/types/date.h"

namespace date = vx::date;

TEST(Date, DayNumbersOfKnownDates) {
    struct Case { int y, m, d; std::int32_t day; int dow; };
    const std::array<Case, 8> cases{{
        {1800, 12, 29, 1, 1},   // Monday
        {1801, 1, 1, 4, 4},     // Thursday
        {1801, 12, 31, 368, 4},
        {1900, 2, 28, 36221, 3},
        {1900, 3, 1, 36222, 4},  // 1900 is not a leap year
        {2000, 2, 29, 72746, 2}, // 2000 is
        {2024, 2, 1, 81484, 4},
        {2099, 12, 31, 109211, 4},
    }};
    for (auto& c : cases) {
        EXPECT_EQ(date::fromYmd(c.y, c.m, c.d), c.day) << c.y << "-" << c.m << "-" << c.d;
        auto back = date::toYmd(c.day);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->year, c.y);
        EXPECT_EQ(back->month, c.m);
        EXPECT_EQ(back->day, c.d);
        EXPECT_EQ(date::dayOfWeek(c.day), c.dow) << c.day;
    }
}

TEST(Date, InvalidDatesAndNoDate) {
    EXPECT_EQ(date::fromYmd(1900, 2, 29), 0);
    EXPECT_EQ(date::fromYmd(2023, 2, 29), 0);
    EXPECT_EQ(date::fromYmd(2024, 13, 1), 0);
    EXPECT_EQ(date::fromYmd(2024, 4, 31), 0);
    EXPECT_EQ(date::fromYmd(1800, 12, 28), 0);  // would be day 0, which means no date
    EXPECT_FALSE(date::toYmd(0));
    EXPECT_FALSE(date::toYmd(-5));
    EXPECT_FALSE(date::toYmd(date::maxDay() + 1));
    EXPECT_EQ(date::toYmd(date::maxDay())->year, 9999);
}

TEST(Date, EveryDayRoundTripsAcrossTheRange) {
    std::int32_t prev = 0;
    for (int y = 1801; y <= 2100; ++y)
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= date::daysInMonth(y, m); ++d) {
                std::int32_t n = date::fromYmd(y, m, d);
                ASSERT_EQ(n, prev == 0 ? 4 : prev + 1);
                prev = n;
            }
}

TEST(Date, TodayAndTwoDigitYears) {
    auto t = date::toYmd(date::today());
    ASSERT_TRUE(t);
    EXPECT_EQ(t->year, date::currentYear());
    EXPECT_EQ(date::expandYear(24, 2026), 2024);
    EXPECT_EQ(date::expandYear(45, 2026), 2045);
    EXPECT_EQ(date::expandYear(46, 2026), 1946);
    EXPECT_EQ(date::expandYear(0, 2026), 2000);
    EXPECT_EQ(date::expandYear(5, 2095), 2105);
}
