#include <gtest/gtest.h>

#include "framework/types/fields.h"

using vx::FieldDesc;
using vx::FieldType;

namespace {
const FieldDesc kFields[] = {
    {"TST:ID", FieldType::Dec, 0, 3, 0},
    {"TST:NAME", FieldType::String, 3, 10, 0},
    {"TST:WHEN", FieldType::Long, 13, 4, 0},
    {"TST:FLAG", FieldType::Byte, 17, 1, 0},
    {"TST:PRICE", FieldType::Dec, 18, 4, 2},
};
const vx::RecordDesc kDesc{"TEST", "TST", 22, kFields};
}  // namespace

TEST(Fields, FindWithOrWithoutPrefixIgnoringCase) {
    EXPECT_EQ(kDesc.find("TST:NAME"), &kFields[1]);
    EXPECT_EQ(kDesc.find("tst:name"), &kFields[1]);
    EXPECT_EQ(kDesc.find("Price"), &kFields[4]);
    EXPECT_EQ(kDesc.find("FRM:NAME"), nullptr);
    EXPECT_EQ(kDesc.find("NAM"), nullptr);
    EXPECT_EQ(kDesc.find(""), nullptr);
    EXPECT_EQ(kFields[4].shortName(), "PRICE");
}

TEST(Fields, VarRefReadsAndWritesEachType) {
    unsigned char rec[22];
    for (const auto& f : kFields) vx::VarRef::of(f, rec).clear();
    auto ref = [&](const char* n) { return vx::VarRef::of(*kDesc.find(n), rec); };
    ref("ID").setText("123456");
    EXPECT_EQ(ref("ID").text(), "23456");  // DEC(3,0) holds 5 digits
    ref("NAME").setText("abcdefghijklmn");
    EXPECT_EQ(ref("NAME").text(), "abcdefghij");
    ref("WHEN").setNumber(vx::Decimal(-7));
    EXPECT_EQ(ref("WHEN").number(), vx::Decimal(-7));
    ref("FLAG").setNumber(vx::Decimal(257));
    EXPECT_EQ(ref("FLAG").text(), "1");  // low 8 bits
    ref("PRICE").setText("12.345");
    EXPECT_EQ(ref("PRICE").text(), "12.35");
    EXPECT_TRUE(ref("PRICE").canHold(*vx::Decimal::parse("999.99")));
    EXPECT_FALSE(ref("PRICE").canHold(*vx::Decimal::parse("1.001")));
    EXPECT_FALSE(ref("FLAG").canHold(vx::Decimal(256)));
    ref("NAME").setNumber(vx::Decimal(42));
    EXPECT_EQ(ref("NAME").number(), vx::Decimal(42));
    ref("NAME").clear();
    EXPECT_EQ(ref("NAME").number(), vx::Decimal(0));
    EXPECT_FALSE(ref("NAME").holdsNumber());
}
