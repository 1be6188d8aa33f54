#include <gtest/gtest.h>

#include <set>
#include <string>

#include "framework/types/picture.h"
#include "shell/globals.h"
#include "shell/records.h"

TEST(Globals, FreshStartValues) {
    vexlo::initGlobals();
    EXPECT_EQ(SPIN.toInt(), 8);
    EXPECT_EQ(SPINW.toInt(), 8);
    EXPECT_EQ(POLOSA.get(), 1);
    EXPECT_EQ(BLANK.get(), 1);
    EXPECT_EQ(SORT.get(), 0);
    EXPECT_TRUE(AX.get().isZero());
    EXPECT_EQ(DATAV.get(), 0);
    EXPECT_TRUE(Z5.isBlank());
    EXPECT_TRUE(F42.isBlank());
    EXPECT_EQ(GLO_REPORTQUERYRESULT.raw(), std::string(1024, ' '));
    for (int i = 0; i < 4; ++i) {
        std::string_view line = vexlo::defaultHeaderLine(i);
        EXPECT_FALSE(line.empty());
        EXPECT_LE(line.size(), 50u);
    }
    EXPECT_EQ(Z3.view(), vexlo::defaultHeaderLine(2));
}

TEST(Globals, NameTableFindsEveryVariable) {
    std::set<std::string> names;
    for (const auto& g : vexlo::globals()) {
        EXPECT_TRUE(names.insert(g.name).second) << g.name;
        EXPECT_EQ(vexlo::findGlobal(g.name).data, g.ref.data) << g.name;
    }
    EXPECT_EQ(names.size(), 139u);  // 39 process-wide variables and 100 of the form buffer
    struct Case { const char* name; vx::FieldType type; int size, places; };
    const Case cases[] = {
        {"glo:ReportQueryResult", vx::FieldType::String, 1024, 0}, {"nform", vx::FieldType::Dec, 5, 0},
        {"AX", vx::FieldType::Dec, 3, 1}, {"CENA", vx::FieldType::Dec, 4, 2}, {"D1", vx::FieldType::Long, 4, 0},
        {"BLANK", vx::FieldType::Byte, 1, 0}, {"F42", vx::FieldType::String, 20, 0},
        {"F41", vx::FieldType::String, 91, 0}, {"F232", vx::FieldType::String, 24, 0},
        {"F171", vx::FieldType::String, 21, 0}, {"GOD", vx::FieldType::Dec, 2, 0},
    };
    for (auto& c : cases) {
        vx::VarRef r = vexlo::findGlobal(c.name);
        ASSERT_TRUE(r.valid()) << c.name;
        EXPECT_EQ(r.type, c.type) << c.name;
        EXPECT_EQ(r.size, c.size) << c.name;
        EXPECT_EQ(r.places, c.places) << c.name;
    }
    EXPECT_EQ(vexlo::findGlobal("GLO_REPORTQUERYRESULT").data, nullptr);
    EXPECT_EQ(vexlo::findGlobal("NOSUCH").data, nullptr);
}

TEST(Globals, FormBufferCutsLongLines) {
    FRM_RECORD frm;
    FORMA1_DESC.clear(&frm);
    frm.F42 = "123456789012345678901234567890";
    frm.F41 = frm.F42;
    F42 = frm.F42;
    F41 = frm.F41;
    EXPECT_EQ(F42.str(), "12345678901234567890");
    EXPECT_EQ(F41.str(), "123456789012345678901234567890");
    frm.F42 = F42;  // and back: padded with blanks
    EXPECT_EQ(frm.F42.raw(), "12345678901234567890" + std::string(100, ' '));
    EXPECT_EQ(vx::pic::format("@s120", vexlo::findGlobal("F42")), "12345678901234567890");
    vexlo::initGlobals();
    EXPECT_TRUE(F42.isBlank());
}
