#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "framework/types/codepage.h"
#include "framework/types/date.h"
#include "framework/types/picture.h"

using vx::FieldType;
using vx::VarRef;
namespace pic = vx::pic;

namespace {

// One variable of each storage kind used under the pictures.
struct Var {
    unsigned char bytes[64];
    VarRef ref;
    Var(FieldType t, int size, int places = 0) {
        ref = {t, bytes, static_cast<std::uint16_t>(size), static_cast<std::uint8_t>(places)};
        ref.clear();
    }
    Var(const Var& o) : ref(o.ref) {
        std::memcpy(bytes, o.bytes, sizeof bytes);
        ref.data = bytes;
    }
    Var& operator=(const Var&) = delete;
};

Var dec(int n, int p, const char* v) { Var x(FieldType::Dec, n, p); x.ref.setText(v); return x; }
Var lng(long long v) { Var x(FieldType::Long, 4); x.ref.setNumber(vx::Decimal(v)); return x; }
Var str(int n, const char* v) { Var x(FieldType::String, n); x.ref.setText(v); return x; }

const std::int32_t k1Feb2024 = vx::date::fromYmd(2024, 2, 1);

}  // namespace

TEST(Picture, ParseKindsWidthsAndFlags) {
    struct Case { const char* pic; pic::Kind kind; int width, places; bool blank; pic::Align align; };
    const std::array<Case, 12> cases{{
        {"@s50", pic::Kind::String, 50, 0, false, pic::Align::Left},
        {"@S255", pic::Kind::String, 255, 0, false, pic::Align::Left},
        {"@n2b", pic::Kind::Number, 2, 0, true, pic::Align::Right},
        {"@n_8b", pic::Kind::Number, 8, 0, true, pic::Align::Right},
        {"@n-5.1", pic::Kind::Number, 5, 1, false, pic::Align::Right},
        {"@n-10.1", pic::Kind::Number, 10, 1, false, pic::Align::Right},
        {"@n_10.2b", pic::Kind::Number, 10, 2, true, pic::Align::Right},
        {"@n_9", pic::Kind::Number, 9, 0, false, pic::Align::Right},
        {"@d6.b", pic::Kind::Date, 10, 0, true, pic::Align::Right},
        {"@d6", pic::Kind::Date, 10, 0, false, pic::Align::Right},
        {"@P##Pb", pic::Kind::Pattern, 2, 0, true, pic::Align::Right},
        {"@P####Pb", pic::Kind::Pattern, 4, 0, true, pic::Align::Right},
    }};
    for (auto& c : cases) {
        auto p = pic::parse(c.pic);
        ASSERT_TRUE(p) << c.pic;
        EXPECT_EQ(p->kind, c.kind) << c.pic;
        EXPECT_EQ(p->width, c.width) << c.pic;
        EXPECT_EQ(p->places, c.places) << c.pic;
        EXPECT_EQ(p->blankZero, c.blank) << c.pic;
        EXPECT_EQ(p->align, c.align) << c.pic;
    }
    EXPECT_TRUE(pic::parse("@n-5.1")->allowNegative);
    EXPECT_FALSE(pic::parse("@n3b")->allowNegative);
    for (const char* bad : {"", "@", "@s", "@s0", "@sx", "@n", "@n-", "@n2.2", "@n5.1x", "@d5", "@d6.x", "@PP", "@P##", "@Pab P", "s20", "@x5"})
        EXPECT_FALSE(pic::parse(bad)) << bad;
}

TEST(Picture, FormatEachPicture) {
    struct Case { const char* pic; Var var; const char* shown; };
    const Case cases[] = {
        {"@s8", str(27, "abcdefghij"), "abcdefgh"},
        {"@s8", str(27, "ab  "), "ab"},
        {"@S255", str(20, ""), ""},
        {"@s4", dec(4, 0, "12345"), "1234"},
        {"@n2b", dec(2, 0, "8"), "8"},
        {"@n2b", dec(2, 0, "0"), ""},
        {"@n2b", dec(2, 0, "123"), "##"},
        {"@n_8b", dec(4, 0, "1234567"), "1234567"},
        {"@n_8b", dec(4, 0, "0"), ""},
        {"@n3b", dec(2, 0, "999"), "999"},
        {"@n3b", dec(2, 0, "0"), ""},
        {"@n-4b", dec(3, 0, "-16"), "-16"},
        {"@n-4b", dec(3, 0, "-999"), "-999"},
        {"@n-4b", dec(3, 0, "-1000"), "####"},
        {"@n-4b", dec(3, 0, "0"), ""},
        {"@n-5.1", dec(3, 1, "0"), "0.0"},
        {"@n-5.1", dec(3, 1, "-2"), "-2.0"},
        {"@n-5.1", dec(3, 1, "-50"), "-50.0"},
        {"@n-5.1", dec(3, 1, "-100"), "#####"},
        {"@n-6.1", dec(4, 2, "12.34"), "12.3"},   // display rounds, storage keeps 12.34
        {"@n-6.1", dec(4, 2, "12.35"), "12.4"},
        {"@n-10.1", lng(12), "12.0"},
        {"@n_10.2b", dec(4, 2, "1500"), "1500.00"},
        {"@n_10.2b", dec(4, 2, "0"), ""},
        {"@n_9", dec(5, 0, "0"), "0"},
        {"@n_5b", str(5, "42"), "42"},
        {"@n_5b", str(5, "abc"), "abc"},          // text that is no number is shown, not hidden
        {"@n05", dec(3, 0, "-42"), "-0042"},
        {"@d6.b", lng(k1Feb2024), "01.02.2024"},
        {"@d6.b", lng(0), ""},
        {"@d6.", lng(4), "01.01.1801"},
        {"@d6", lng(-3), "##########"},
        {"@d6/", lng(k1Feb2024), "01/02/2024"},
        {"@d6.b", str(27, "81484"), "01.02.2024"},  // test-date cell: day number as digits
        {"@d6.b", str(27, ""), ""},
        {"@d6.b", str(27, "1.2.2024"), "1.2.2024"},
        {"@P##P", dec(2, 0, "5"), "05"},
        {"@P##P", dec(2, 0, "0"), "00"},
        {"@P##Pb", dec(2, 0, "0"), ""},
        {"@P##Pb", dec(2, 0, "15"), "15"},
        {"@P##Pb", dec(2, 0, "123"), "##"},
        {"@P##Pb", str(2, "5"), "05"},
        {"@P##Pb", str(2, ""), ""},
        {"@P##Pb", str(2, "ab"), "ab"},
        {"@P####Pb", str(4, "2024"), "2024"},
        {"@P####Pb", str(4, "24"), "0024"},
        {"@P<#.##P", dec(3, 0, "5"), " 0.05"},
    };
    for (const auto& c : cases) EXPECT_EQ(pic::format(c.pic, c.var.ref), c.shown) << c.pic << " / " << c.var.ref.text();
}

TEST(Picture, DeformatTypedInput) {
    struct Case { const char* pic; Var var; const char* input; bool ok; const char* stored; };
    const Case cases[] = {
        // text: cut to the picture and to the field
        {"@s8", str(27, "old"), "abcdefghij", true, "abcdefgh"},
        {"@s120", str(20, "old"), "123456789012345678901234", true, "12345678901234567890"},
        {"@s4", dec(2, 0, "7"), "12", true, "12"},
        {"@s4", dec(2, 0, "7"), "x", false, "7"},
        // numbers
        {"@n2b", dec(2, 0, "8"), "10", true, "10"},
        {"@n2b", dec(2, 0, "8"), "", true, "0"},
        {"@n2b", dec(2, 0, "8"), "100", false, "8"},   // too wide for the picture
        {"@n2b", dec(2, 0, "8"), "-1", false, "8"},    // no '-' in the picture
        {"@n2b", dec(2, 0, "8"), "7.5", false, "8"},   // more decimals than the picture shows
        {"@n2b", dec(2, 0, "8"), "7.0", true, "7"},
        {"@n2b", dec(2, 0, "8"), "1x", false, "8"},
        {"@n_8b", dec(4, 0, "1"), " 1234567 ", true, "1234567"},
        {"@n_8b", dec(4, 0, "1"), "12345678", false, "1"},  // the field holds 7 digits
        {"@n-5.1", dec(3, 1, "0"), "-2,5", true, "-2.5"},
        {"@n-5.1", dec(3, 1, "0"), "-50.0", true, "-50.0"},
        {"@n-5.1", dec(3, 1, "0"), "-100", false, "0"},
        {"@n-5.1", dec(3, 1, "0"), "1.25", false, "0"},
        {"@n-6.1", dec(4, 2, "12.34"), "12.4", true, "12.40"},
        {"@n-10.1", lng(10), "12", true, "12"},
        {"@n-10.1", lng(10), "12.5", false, "10"},     // a LONG holds no decimals
        {"@n_10.2b", dec(4, 2, "0"), "1500,5", true, "1500.50"},
        {"@n_10.2b", dec(4, 2, "0"), "123456.00", false, "0"},  // DEC(4,2) holds 5 digits before the point
        // far longer than any arithmetic holds: refused, never thrown
        {"@n_10.2b", dec(4, 2, "1.5"), "9999999999999999999999999999999999999", false, "1.50"},
        {"@n_10.2b", dec(4, 2, "1.5"), "9999999999999999999999999999999999999.99", false, "1.50"},
        {"@n-7.2", dec(4, 2, "1.5"), "-9999999999999999999999999999999999999999", false, "1.50"},
        {"@s40", dec(4, 2, "1.5"), "9999999999999999999999999999999999999", false, "1.50"},
        {"@n_5b", str(5, "1"), "42", true, "42"},
        {"@n_5b", str(5, "1"), "", true, ""},
        // dates, including a test-date text cell
        {"@d6.b", lng(7), "1.2.2024", true, "81484"},
        {"@d6.b", lng(7), "01.02.24", true, "81484"},
        {"@d6.b", lng(7), "01022024", true, "81484"},
        {"@d6.b", lng(7), "010224", true, "81484"},
        {"@d6.b", lng(7), "1/2/2024", true, "81484"},
        {"@d6.b", lng(7), " 1-2-2024 ", true, "81484"},
        {"@d6.b", lng(7), "", true, "0"},
        {"@d6.b", lng(7), "29.02.2000", true, "72746"},
        {"@d6.b", lng(7), "29.02.1900", false, "7"},
        {"@d6.b", lng(7), "31.04.2024", false, "7"},
        {"@d6.b", lng(7), "1.13.2024", false, "7"},
        {"@d6.b", lng(7), "1.1.1800", false, "7"},
        {"@d6.b", lng(7), "1.2.024", false, "7"},
        {"@d6.b", lng(7), "1.2", false, "7"},
        {"@d6.b", lng(7), "0102202", false, "7"},
        {"@d6.b", lng(7), "сегодня", false, "7"},
        {"@d6.b", str(27, "5"), "01.02.2024", true, "81484"},
        {"@d6.b", str(27, "5"), "", true, ""},
        {"@d6.b", str(4, "5"), "01.02.2024", false, "5"},  // digits do not fit the field
        // patterns, on numbers and on short text fields
        {"@P##P", dec(2, 0, "1"), "5", true, "5"},
        {"@P##P", dec(2, 0, "1"), "05", true, "5"},
        {"@P##P", dec(2, 0, "1"), "123", false, "1"},
        {"@P##P", dec(2, 0, "1"), "1a", false, "1"},
        {"@P##Pb", dec(2, 0, "1"), "", true, "0"},
        {"@P##Pb", str(2, "1"), "5", true, "05"},
        {"@P##Pb", str(2, "1"), "", true, ""},
        {"@P####Pb", str(4, "1"), "2024", true, "2024"},
        {"@P####Pb", str(4, "1"), "20245", false, "1"},
        {"@P##.##P", dec(3, 0, "1"), "12.34", true, "1234"},
    };
    for (const auto& c : cases) {
        Var v = c.var;
        std::string input = vx::cp::toCp1251(QString::fromUtf8(c.input));
        EXPECT_EQ(pic::deformat(c.pic, input, v.ref), c.ok) << c.pic << " <- '" << c.input << "'";
        EXPECT_EQ(v.ref.text(), c.stored) << c.pic << " <- '" << c.input << "'";
    }
}

TEST(Picture, TwoDigitYearsFollowTheCurrentYear) {
    EXPECT_EQ(*pic::parseDate("01.02.24", 2026), k1Feb2024);
    EXPECT_EQ(*pic::parseDate("01.02.45", 2026), vx::date::fromYmd(2045, 2, 1));
    EXPECT_EQ(*pic::parseDate("01.02.46", 2026), vx::date::fromYmd(1946, 2, 1));
    EXPECT_EQ(*pic::parseDate("010299", 2026), vx::date::fromYmd(1999, 2, 1));
}

TEST(Picture, InvalidPictureOrVariable) {
    Var v = str(5, "abc");
    EXPECT_EQ(pic::format("@q", v.ref), "abc");
    EXPECT_FALSE(pic::deformat("@q", "x", v.ref));
    EXPECT_EQ(v.ref.text(), "abc");
    EXPECT_EQ(pic::format("@s5", VarRef{}), "");
    EXPECT_FALSE(pic::deformat("@s5", "x", VarRef{}));
}
