#include "framework/classlib/fuzzy.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "classlib_testutil.h"

using namespace vx;
using vxtest::w;

namespace {

class FuzzyTest : public ::testing::Test {
protected:
    void SetUp() override { fm.Init(); }
    int m(const char* q, const char* t) const { return fm.Match(w(q), w(t)); }
    FuzzyClass fm;
};

TEST_F(FuzzyTest, TiersOrderExactPrefixSubstringWordsScatteredNone) {
    const char* q = "иванов";
    int exact = m(q, "Иванов");
    int prefix = m(q, "Иванов Пётр Сергеевич");
    int wordStart = m(q, "Корова Иванов Пётр");
    int inside = m(q, "Корова Сидориванов");
    int scattered = m(q, "Иван Ковалёв");
    int none = m(q, "Петров");
    EXPECT_EQ(exact, 255);
    EXPECT_GE(prefix, 200);
    EXPECT_LT(prefix, 255);
    EXPECT_GE(wordStart, 150);
    EXPECT_LT(wordStart, prefix);
    EXPECT_LT(inside, wordStart);
    EXPECT_GE(inside, 150);
    EXPECT_GE(scattered, 1);
    EXPECT_LT(scattered, 100);
    EXPECT_EQ(none, 0);

    // Several words, each present somewhere but not together.
    int words = m("пётр корова", "Корова дойная, Иванов Пётр");
    EXPECT_GE(words, 100);
    EXPECT_LT(words, 150);
    EXPECT_GT(words, m("пётр корова", "Коза, Пётр и Ворона"));  // scattered only
}

TEST_F(FuzzyTest, WithinTiersCloserIsBetter) {
    // A prefix covering more of the text.
    EXPECT_GT(m("иванов", "Иванов П."), m("иванов", "Иванов Пётр Сергеевич из Тулы"));
    // An earlier substring.
    EXPECT_GT(m("коза", "x Коза и много других слов"), m("коза", "много других слов и x Коза"));
    // Tighter scattered letters.
    EXPECT_GT(m("ивн", "и-в-н"), m("ивн", "и----в----н"));
    // Blanks of the query and of the text do not count.
    EXPECT_EQ(m("  иванов  ", "Иванов"), 255);
    EXPECT_EQ(m("иванов   пётр", " Иванов Пётр "), 255);
}

TEST_F(FuzzyTest, CaseFoldingWithCyrillic) {
    EXPECT_EQ(m("пётр", "ПЁТР"), 255);
    EXPECT_EQ(m("ёлка", "Ёлка"), 255);
    EXPECT_EQ(m("ABC", "abc"), 255);
    fm.SetOption(FuzzyClass::CaseInsensitive, false);
    EXPECT_FALSE(fm.GetOption(FuzzyClass::CaseInsensitive));
    EXPECT_EQ(m("пётр", "ПЁТР"), 0);
    EXPECT_EQ(m("Пётр", "Пётр"), 255);
    EXPECT_LT(m("Пётр", "пётр Пётр"), 255);
    EXPECT_GT(m("Пётр", "пётр Пётр"), 150);
}

TEST_F(FuzzyTest, NothingToMatchScoresZero) {
    EXPECT_EQ(m("", "Иванов"), 0);
    EXPECT_EQ(m("   ", "Иванов"), 0);
    EXPECT_EQ(m("иванов", ""), 0);
    EXPECT_EQ(m("иванов", "     "), 0);
    EXPECT_EQ(m("иванов", "Ива"), 0);  // the text is shorter than the query
    EXPECT_EQ(m("xyz", "Иванов"), 0);
}

TEST_F(FuzzyTest, WholeWordsOnly) {
    fm.SetOption(FuzzyClass::WordOnly, true);
    EXPECT_EQ(m("иван", "Иванов Пётр"), 0);
    EXPECT_GE(m("иван", "Иван Ковалёв"), 200);
    EXPECT_GE(m("иван", "Петров, Иван"), 150);
    EXPECT_EQ(m("иван", "Сидориван"), 0);
    EXPECT_EQ(m("ивн", "Иван"), 0);  // no scattered letters
    EXPECT_GE(m("пётр иван", "Иван, Пётр"), 100);
    EXPECT_EQ(m("пётр иван", "Иванов, Пётр"), 0);
    fm.Kill();
    fm.Init();
    EXPECT_FALSE(fm.GetOption(FuzzyClass::WordOnly));
    EXPECT_TRUE(fm.GetOption(FuzzyClass::CaseInsensitive));
}

TEST_F(FuzzyTest, ScoresStayInRangeForAnyBytes) {
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> byte(0, 255), len(0, 40);
    for (int i = 0; i < 3000; ++i) {
        std::string q, t;
        for (int k = len(rng) / 4; k > 0; --k) q += static_cast<char>(byte(rng));
        for (int k = len(rng) * 4; k > 0; --k) t += static_cast<char>(byte(rng));
        int s = fm.Match(q, t);
        ASSERT_GE(s, 0);
        ASSERT_LE(s, 255);
        if (!q.empty() && t.find(q) != std::string::npos && q.find_first_not_of(std::string(" \t\r\n\0", 5)) != std::string::npos) {
            ASSERT_GT(s, 0);
        }
    }
}

}  // namespace
