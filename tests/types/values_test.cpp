#include <gtest/gtest.h>

#include "framework/types/codepage.h"
#include "framework/types/values.h"

namespace {
std::string cp(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }
}

TEST(StringN, CutPadClipAndCompare) {
    vx::STRING<5> s;
    s = "ab";
    EXPECT_EQ(s.raw(), "ab   ");
    EXPECT_EQ(s.str(), "ab");
    EXPECT_TRUE(s == "ab  ");
    EXPECT_FALSE(s == " ab");  // leading blanks count
    s = "abcdefgh";
    EXPECT_EQ(s.raw(), "abcde");
    vx::STRING<8> t;
    t = s;
    EXPECT_TRUE(t == s);
    EXPECT_TRUE(t < std::string_view("abd"));
    s.clear();
    EXPECT_TRUE(s.isBlank());
}

TEST(StringN, CaseInsensitiveCyrillicWithYo) {
    vx::STRING<20> s;
    s = cp("ёжик Петров");
    EXPECT_TRUE(s.equalsNoCase(cp("ЁЖИК ПЕТРОВ   ")));
    EXPECT_FALSE(s.equalsNoCase(cp("ЕЖИК ПЕТРОВ")));
    s.upper();
    EXPECT_EQ(s.str(), cp("ЁЖИК ПЕТРОВ"));
}

TEST(LongByte, UnalignedStorage) {
    struct __attribute__((packed)) R { vx::BYTE a; vx::LONG l; vx::BYTE z; };
    static_assert(sizeof(R) == 6);
    R r{};
    r.l = -123456789;
    r.a = 7;
    EXPECT_EQ(r.l.get(), -123456789);
    EXPECT_EQ(r.l.b[0], 0xEB);  // little-endian
    EXPECT_EQ(int(r.a.get()), 7);
}
