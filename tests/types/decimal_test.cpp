#include <gtest/gtest.h>

#include <array>

#include "framework/types/decimal.h"

using vx::Decimal;
namespace bcd = vx::bcd;

namespace {
Decimal D(const char* s) { return *Decimal::parse(s); }
std::string hex(const unsigned char* b, int n) {
    static const char* k = "0123456789ABCDEF";
    std::string s;
    for (int i = 0; i < n; ++i) { s.push_back(k[b[i] >> 4]); s.push_back(k[b[i] & 15]); }
    return s;
}
}  // namespace

TEST(Decimal, ExactArithmeticWithoutBinaryFloatingPoint) {
    EXPECT_EQ(D("0.7") + D("0.1") + D("0.1") + D("0.1"), Decimal(1));
    EXPECT_EQ((D("0.7") + D("0.1") + D("0.1") + D("0.1")).toString(), "1.0");
    EXPECT_EQ(D("12.34") + D("0.5"), D("12.84"));
    EXPECT_EQ((D("1.5") - D("2.0")).toString(), "-0.5");
    EXPECT_EQ((D("1.25") * D("-4")).normalized().toString(), "-5");
    EXPECT_EQ(Decimal::divide(Decimal(2), Decimal(3), 2).toString(), "0.67");
    EXPECT_EQ(Decimal::divide(Decimal(-1), Decimal(8), 2).toString(), "-0.13");  // half away from zero
    EXPECT_EQ(Decimal::divide(Decimal(5), Decimal(0)), Decimal(0));
}

TEST(Decimal, ComparisonIsByValue) {
    EXPECT_EQ(D("12.50"), D("12.5"));
    EXPECT_LT(D("-0.01"), Decimal(0));
    EXPECT_GT(D("100"), D("99.999999999999999"));
    EXPECT_LT(D("-100"), D("-99.99"));
    EXPECT_EQ(D("-0.00"), Decimal(0));
    EXPECT_FALSE(D("-0.00").isNegative());
}

TEST(Decimal, TextParsingAndFormatting) {
    struct Case { const char* in; const char* out; };
    const std::array<Case, 9> ok{{
        {"0", "0"}, {"  -12.50 ", "-12.50"}, {"+3", "3"}, {"3,5", "3.5"}, {".5", "0.5"},
        {"5.", "5"}, {"-0.05", "-0.05"}, {"007", "7"}, {"1234567890123456789012345678901", "1234567890123456789012345678901"},
    }};
    for (auto& c : ok) {
        auto d = Decimal::parse(c.in);
        ASSERT_TRUE(d) << c.in;
        EXPECT_EQ(d->toString(), c.out) << c.in;
    }
    for (const char* bad : {"", " ", "-", "1.2.3", "12a", "1 2", "--1", "1-", "."})
        EXPECT_FALSE(Decimal::parse(bad)) << bad;
    EXPECT_EQ(D("2.345").toString(2), "2.35");
    EXPECT_EQ(D("-2.345").toString(2), "-2.35");
    EXPECT_EQ(Decimal(0).toString(2), "0.00");
    EXPECT_EQ(D("-25.9").toInt(), -25);
    EXPECT_EQ(D("25.9").truncated(0).toString(), "25");
    EXPECT_EQ(D("25.96").rounded(1).toString(), "26.0");
}

TEST(Bcd, BytesOfTypicalValues) {
    struct Case { int bytes, places; const char* value; const char* hex; const char* back; };
    const std::array<Case, 10> cases{{
        {2, 0, "15", "0015", "15"},
        {2, 0, "-15", "D015", "-15"},
        {2, 0, "0", "0000", "0"},
        {2, 0, "2015", "0015", "15"},       // high digits cut
        {2, 0, "-2015", "D015", "-15"},
        {3, 1, "-2.0", "D00020", "-2.0"},
        {4, 2, "12.345", "00001235", "12.35"},  // stored rounded to the places
        {4, 1, "25.95", "00000260", "26.0"},
        {5, 0, "123456789", "0123456789", "123456789"},
        {4, 2, "-0.004", "00000000", "0"},  // rounds to zero: no negative zero is written
    }};
    for (auto& c : cases) {
        unsigned char b[16];
        bcd::write(b, c.bytes, c.places, D(c.value));
        EXPECT_EQ(hex(b, c.bytes), c.hex) << c.value;
        Decimal back = bcd::read(b, c.bytes, c.places);
        EXPECT_EQ(back.toString(), c.back) << c.value;
        EXPECT_EQ(back.scale(), c.places);
    }
}

TEST(Bcd, ReadsEveryNegativeSignAndNegativeZero) {
    for (unsigned char sign : {0xB0, 0xD0, 0xF0}) {
        unsigned char b[2] = {static_cast<unsigned char>(sign | 0x1), 0x23};
        EXPECT_EQ(bcd::read(b, 2, 1), D("-12.3")) << int(sign);
    }
    unsigned char negZero[3] = {0xD0, 0x00, 0x00};
    Decimal z = bcd::read(negZero, 3, 1);
    EXPECT_TRUE(z.isZero());
    EXPECT_FALSE(z.isNegative());
    EXPECT_EQ(z.toString(), "0");
    unsigned char bad[2] = {0x0A, 0x00};
    EXPECT_FALSE(bcd::isValid(bad, 2));
    EXPECT_TRUE(bcd::isValid(negZero, 3));
}

TEST(Bcd, DecFieldRoundTripsAndFits) {
    vx::DEC<4, 2> price;
    price = D("9999.99");
    EXPECT_EQ(price.get().toString(), "9999.99");
    price = D("123456.78");  // 7 digits, 5 of them left of the point: the top digit is cut
    EXPECT_EQ(price.get().toString(), "23456.78");
    vx::DEC<3, 1> ax;
    ax = 0;
    for (int i = 0; i < 15; ++i) ax += D("0.1");
    EXPECT_EQ(ax.get(), D("1.5"));
    vx::DEC<2, 0> god;
    god = 2015;
    EXPECT_EQ(god.toInt(), 15);
    EXPECT_TRUE(god == 15);
    EXPECT_TRUE(bcd::fits(2, 0, Decimal(999)));
    EXPECT_FALSE(bcd::fits(2, 0, Decimal(1000)));
    EXPECT_TRUE(bcd::fits(4, 2, D("-99999.99")));
    EXPECT_FALSE(bcd::fits(4, 2, D("99999.995")));  // rounds up to 100000.00
}
