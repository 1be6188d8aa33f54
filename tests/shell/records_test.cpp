#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <string>

#include "framework/types/picture.h"
#include "shell/records.h"

TEST(Records, SizesAndFieldCounts) {
    struct Case { const vx::RecordDesc* d; const char* file; std::uint32_t size; std::size_t fields; };
    const std::array<Case, 4> cases{{
        {&KAGENT_DESC, "KAGENT", 85, 2}, {&ANIM_DESC, "ANIM", 110, 8},
        {&FORMA1_DESC, "FORMA1", 4827, 125}, {&LAST_DESC, "LAST", 918, 216},
    }};
    for (auto& c : cases) {
        EXPECT_STREQ(c.d->file, c.file);
        EXPECT_EQ(c.d->size, c.size) << c.file;
        EXPECT_EQ(c.d->fields.size(), c.fields) << c.file;
        // The fields tile the record without gaps or overlaps, in record order.
        std::uint32_t at = 0;
        std::set<std::string> names;
        for (const auto& f : c.d->fields) {
            EXPECT_EQ(f.offset, at) << f.name;
            at += f.size;
            EXPECT_TRUE(names.insert(f.name).second) << f.name;
            EXPECT_EQ(std::string(f.name).substr(0, 4), std::string(c.d->prefix) + ":");
        }
        EXPECT_EQ(at, c.size) << c.file;
    }
}

TEST(Records, SampleOfFieldsByName) {
    struct Case { const char* name; vx::FieldType type; int offset, size, places; };
    const Case cases[] = {
        {"KAG:ID", vx::FieldType::Dec, 0, 5, 0},          {"KAG:NAME", vx::FieldType::String, 5, 80, 0},
        {"ANI:NPP", vx::FieldType::Dec, 5, 3, 0},         {"ANI:PRIM", vx::FieldType::String, 80, 30, 0},
        {"FRM:NOMSV", vx::FieldType::Dec, 0, 4, 0},       {"FRM:DATAVV", vx::FieldType::Long, 4, 4, 0},
        {"FRM:GOD", vx::FieldType::Dec, 52, 2, 0},        {"FRM:F2", vx::FieldType::String, 281, 120, 0},
        {"FRM:F171", vx::FieldType::String, 1611, 27, 0}, {"FRM:F223", vx::FieldType::String, 2268, 33, 0},
        {"FRM:F23", vx::FieldType::String, 2301, 65, 0},  {"FRM:F313", vx::FieldType::String, 3082, 2, 0},
        {"FRM:F42", vx::FieldType::String, 4036, 120, 0}, {"FRM:CENA", vx::FieldType::Dec, 4792, 4, 2},
        {"FRM:SPIN15", vx::FieldType::Dec, 4824, 2, 0},   {"FRM:RSH", vx::FieldType::Byte, 4826, 1, 0},
        {"LAS:AXZ1", vx::FieldType::Dec, 35, 4, 1},       {"LAS:AZF1", vx::FieldType::Dec, 91, 4, 1},
        {"LAS:AYF1", vx::FieldType::Dec, 95, 4, 1},       {"LAS:AXF251", vx::FieldType::Dec, 483, 4, 2},
        {"LAS:AYF251", vx::FieldType::Dec, 487, 4, 1},    {"LAS:AYF50", vx::FieldType::Dec, 863, 4, 1},
        {"LAS:FONTSIZE", vx::FieldType::Long, 898, 4, 0}, {"LAS:CENA", vx::FieldType::Dec, 914, 4, 2},
    };
    for (auto& c : cases) {
        const vx::FieldDesc* f = vexlo::findField(c.name);
        ASSERT_NE(f, nullptr) << c.name;
        EXPECT_EQ(f->type, c.type) << c.name;
        EXPECT_EQ(f->offset, c.offset) << c.name;
        EXPECT_EQ(f->size, c.size) << c.name;
        EXPECT_EQ(f->places, c.places) << c.name;
    }
    EXPECT_EQ(vexlo::findField("frm:nomsv"), FORMA1_DESC.find("NOMSV"));
    EXPECT_EQ(vexlo::findField("LAS:AXF1"), nullptr);  // the X of F1 is LAS:AZF1
    EXPECT_EQ(vexlo::findField("XYZ:NOMSV"), nullptr);
    EXPECT_EQ(vexlo::findRecordDesc("las"), &LAST_DESC);
}

TEST(Records, LastPairsFollowThePrintedFields) {
    const auto& names = vexlo::lastPrintedFields();
    EXPECT_STREQ(names.front(), "Z1");
    EXPECT_STREQ(names.back(), "F50");
    for (int i = 0; i < vexlo::kLastPairs; ++i) {
        auto p = vexlo::lastPair(i);
        ASSERT_TRUE(p);
        EXPECT_EQ(p.x->offset, 35 + 8 * i);
        EXPECT_EQ(p.y->offset, 39 + 8 * i);
        std::string n = names[static_cast<std::size_t>(i)];
        EXPECT_EQ(std::string(p.y->name), "LAS:AY" + n);
        EXPECT_EQ(std::string(p.x->name), n == "F1" ? std::string("LAS:AZF1") : "LAS:AX" + n);
        // Every printed field is a field of the certificate.
        EXPECT_NE(FORMA1_DESC.find(n), nullptr) << n;
    }
    EXPECT_EQ(vexlo::lastPair("frm:f251").x, LAST_DESC.find("AXF251"));
    EXPECT_EQ(vexlo::lastPair("F1").x, LAST_DESC.find("AZF1"));
    EXPECT_FALSE(vexlo::lastPair("NOMSV"));
    EXPECT_FALSE(vexlo::lastPair(104));
}

TEST(Records, VarRefRoundTripThroughRecordFields) {
    LAS_RECORD las;
    LAST_DESC.clear(&las);
    EXPECT_EQ(las.NAME.raw(), std::string(30, ' '));
    vx::VarRef axf251 = vx::VarRef::of(*LAST_DESC.find("LAS:axf251"), &las);
    ASSERT_TRUE(vx::pic::deformat("@n-6.2", "12.34", axf251));
    EXPECT_EQ(las.AXF251.get().toString(), "12.34");
    las.AXF251 += *vx::Decimal::parse("0.5");
    EXPECT_EQ(vx::pic::format("@n-6.2", axf251), "12.84");

    FRM_RECORD frm;
    FORMA1_DESC.clear(&frm);
    vx::VarRef date = vx::VarRef::of(*FORMA1_DESC.find("DATAVV"), &frm);
    ASSERT_TRUE(vx::pic::deformat("@d6.b", "01.02.2024", date));
    EXPECT_EQ(frm.DATAVV.get(), 81484);
    vx::VarRef test = vx::VarRef::of(*FORMA1_DESC.find("F171"), &frm);
    ASSERT_TRUE(vx::pic::deformat("@d6.b", "1.2.2024", test));
    EXPECT_EQ(frm.F171.str(), "81484");
    EXPECT_EQ(vx::pic::format("@d6.b", test), "01.02.2024");
    frm.GOD = 2015;
    EXPECT_EQ(vx::pic::format("@P##P", vx::VarRef::of(*FORMA1_DESC.find("GOD"), &frm)), "15");
    // Neighbours are untouched.
    EXPECT_EQ(frm.COMMENT.raw(), std::string(9, ' '));
    EXPECT_EQ(frm.F172.raw(), std::string(30, ' '));
}
