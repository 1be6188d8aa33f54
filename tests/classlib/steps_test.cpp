#include "framework/classlib/steps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "classlib_testutil.h"

using namespace vx;
using vxtest::w;

namespace {

TEST(StepString, RunTimeLimitsFollowTheKeyOrder) {
    StepStringClass step;
    step.Init(5, 3);  // letters and other characters, limits at run time
    EXPECT_TRUE(step.SetLimitNeeded());
    std::vector<std::string> names;
    for (const char* n : {"Алексеев", "борисов", "Ежов", "Ёжиков", "Жуков", "иванов", "ИВАНОВА", "Петров П.П.",
                          "Петров-Водкин", "Сидоров", "Яковлев"})
        names.push_back(w(n));
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return cp::compareNoCase1251(a, b) < 0; });
    step.SetLimit(names.front(), names.back());
    EXPECT_FALSE(step.SetLimitNeeded());
    EXPECT_EQ(step.GetPercentile(names.front()), 0);
    EXPECT_EQ(step.GetPercentile(names.back()), 100);
    int last = -1;
    for (const std::string& n : names) {
        int p = step.GetPercentile(n);
        EXPECT_GE(p, last) << n;
        last = p;
    }
    // Outside the limits the estimate stays within 0 to 100.
    EXPECT_EQ(step.GetPercentile(w("Аааа")), 0);
    EXPECT_EQ(step.GetPercentile(w("Яяяя")), 100);
    // Case does not count unless asked for; trailing blanks never count.
    EXPECT_EQ(step.GetPercentile(w("ИВАНОВ")), step.GetPercentile(w("иванов   ")));
    // The way back: the text at a position estimates to that position.
    for (int p : {0, 10, 25, 50, 75, 90, 100}) EXPECT_NEAR(step.GetPercentile(step.GetValue(p)), p, 1) << p;
}

TEST(StepString, WholeAlphabetAndFirstLetter) {
    StepStringClass step;
    step.Init(1, 1);
    EXPECT_FALSE(step.SetLimitNeeded());
    EXPECT_LT(step.GetPercentile("A"), step.GetPercentile("Z"));
    EXPECT_LT(step.GetPercentile("Z"), step.GetPercentile(w("А")));
    EXPECT_GT(step.GetPercentile(w("Я")), step.GetPercentile(w("Ю")));
    EXPECT_EQ(step.GetPercentile(""), 0);
    // Characters that do not count are skipped: digits with letters only.
    EXPECT_EQ(step.GetPercentile(w("12Борис")), step.GetPercentile(w("Борис")));

    StepStringClass coarse;
    coarse.Init(1, 2);
    EXPECT_EQ(coarse.GetPercentile(w("Баранов")), coarse.GetPercentile(w("Бёрнс")));

    StepStringClass caseSensitive;
    caseSensitive.Init(1 | 8, 1);
    EXPECT_LT(caseSensitive.GetPercentile(w("Б")), caseSensitive.GetPercentile(w("б")));
    EXPECT_LT(caseSensitive.GetPercentile(w("б")), caseSensitive.GetPercentile(w("В")));
}

TEST(StepString, EqualLimitsAndVarRefs) {
    StepStringClass step;
    step.Init(1, 3);
    STRING<20> low{}, high{}, value{};
    low = w("Иванов");
    high = w("Иванов");
    value = w("Иванов");
    step.SetLimit(ref(low), ref(high));
    EXPECT_EQ(step.GetPercentile(ref(value)), 0);
    value = w("Петров");
    EXPECT_EQ(step.GetPercentile(ref(value)), 100);
}

TEST(StepReal, LinearBetweenTheLimits) {
    StepRealClass step;
    step.Init();
    EXPECT_TRUE(step.SetLimitNeeded());
    EXPECT_EQ(step.GetPercentile(Decimal(5)), 0);  // no limits yet
    step.SetLimit(Decimal(1), Decimal(1001));
    EXPECT_FALSE(step.SetLimitNeeded());
    EXPECT_EQ(step.GetPercentile(Decimal(1)), 0);
    EXPECT_EQ(step.GetPercentile(Decimal(501)), 50);
    EXPECT_EQ(step.GetPercentile(Decimal(1001)), 100);
    EXPECT_EQ(step.GetPercentile(Decimal(-7)), 0);
    EXPECT_EQ(step.GetPercentile(Decimal(5000)), 100);
    EXPECT_EQ(step.GetValue(50), Decimal(501));
    EXPECT_EQ(step.GetValue(0), Decimal(1));
    EXPECT_EQ(step.GetValue(100), Decimal(1001));

    // Limits from record fields; reversed limits are put in order; equal limits do not divide by 0.
    DEC<5, 0> lo{}, hi{}, v{};
    lo = 200;
    hi = 100;
    v = 150;
    step.SetLimit(ref(lo), ref(hi));
    EXPECT_EQ(step.GetPercentile(ref(v)), 50);
    step.SetLimit(Decimal(7), Decimal(7));
    EXPECT_EQ(step.GetPercentile(Decimal(7)), 0);
    EXPECT_EQ(step.GetPercentile(Decimal(8)), 100);
    step.Kill();
    EXPECT_TRUE(step.SetLimitNeeded());
}

}  // namespace
