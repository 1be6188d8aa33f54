#include "framework/classlib/fuzzy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

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

// The distance table written out: a word against any stretch of the text, with wrong, extra,
// missing and swapped neighbouring letters each one error.
int errorsByTable(const std::string& p, const std::string& t) {
    const std::size_t m = p.size(), n = t.size();
    std::vector<std::vector<int>> d(m + 1, std::vector<int>(n + 1, 0));
    for (std::size_t i = 0; i <= m; ++i) d[i][0] = static_cast<int>(i);
    for (std::size_t i = 1; i <= m; ++i)
        for (std::size_t j = 1; j <= n; ++j) {
            int v = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (p[i - 1] != t[j - 1])});
            if (i > 1 && j > 1 && p[i - 1] == t[j - 2] && p[i - 2] == t[j - 1]) v = std::min(v, d[i - 2][j - 2] + 1);
            d[i][j] = v;
        }
    int best = static_cast<int>(m);
    for (std::size_t j = 0; j <= n; ++j) best = std::min(best, d[m][j]);
    return best;
}

TEST_F(FuzzyTest, TypingErrorsCountAsTheDistanceTableDoes) {
    std::mt19937 rng(777);
    std::uniform_int_distribution<int> letter(0, 3), plen(1, 70), tlen(0, 90);
    for (int i = 0; i < 4000; ++i) {
        std::string p, t;
        for (int k = plen(rng); k > 0; --k) p += static_cast<char>('a' + letter(rng));
        for (int k = tlen(rng); k > 0; --k) t += static_cast<char>('a' + letter(rng));
        const std::string cut = p.substr(0, 64);
        ASSERT_EQ(FuzzyClass::Errors(p, t), errorsByTable(cut, t)) << p << " / " << t;
    }
    EXPECT_EQ(FuzzyClass::Errors("abcd", "xxbacdxx"), 1);  // swapped neighbours: one error
    EXPECT_EQ(FuzzyClass::Errors("abcd", "xxabxcdxx"), 1);
    EXPECT_EQ(FuzzyClass::Errors("abcd", "xxacdxx"), 1);
    EXPECT_EQ(FuzzyClass::Errors("abcd", "xxabzdxx"), 1);
}

TEST_F(FuzzyTest, TypingErrorsScoreBelowExactAndAboveScattered) {
    const char* t = "ООО Ромашка, Тула";
    // One wrong, extra, missing letter or swapped pair, either case.
    for (const char* q : {"Рамашка", "ромашко", "Рромашка", "Ромшка", "ромашак", "РОМАШАК", "ООО Рамашка"}) {
        SCOPED_TRACE(q);
        const int s = m(q, t);
        EXPECT_GE(s, 50);
        EXPECT_LT(s, 100);
    }
    EXPECT_GT(m("Рамашка", t), m("Рамошко", t));  // one error beats two
    EXPECT_LT(m("Рамашка", t), m("ромашка", "Ромашка и сыновья из Тулы"));  // a prefix beats any typo
    EXPECT_EQ(m("Рамошкооо", "Ромашка"), 0);  // too many errors for the word
    EXPECT_GE(m("кот", "кит"), 50);           // three letters allow one
    EXPECT_EQ(m("ко", "ки"), 0);              // two allow none
    EXPECT_LT(m("ивн", "и----в----н"), 50);  // scattered letters stay below typos
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
