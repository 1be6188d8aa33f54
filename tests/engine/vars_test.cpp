// The registry of named variables.

#include <gtest/gtest.h>

#include "framework/engine/harness.h"
#include "framework/engine/vars.h"
#include "framework/types/refs.h"

using namespace vx::eng;

namespace {
#pragma pack(push, 1)
struct Rec {
    vx::DEC<3, 0> NUM;
    vx::STRING<10> NAME;
};
#pragma pack(pop)
const vx::FieldDesc kFields[] = {
    {"TST:NUM", vx::FieldType::Dec, 0, 3, 0},
    {"TST:NAME", vx::FieldType::String, 3, 10, 0},
};
const vx::RecordDesc kRec{"TEST", "TST", sizeof(Rec), kFields};
PerThread<Rec> TST;
}  // namespace

TEST(Vars, NamesIgnoreCaseAndPerThreadRecordsResolveToTheRunningThread) {
    test::Harness h;
    vx::STRING<5> g;
    g.set("abc");
    vars::add("GLO:Thing", vx::ref(g));
    EXPECT_EQ(vars::find("glo:thing").text(), "abc");
    EXPECT_EQ(vars::find("GLO:THING").data, vars::find("Glo:Thing").data);
    EXPECT_FALSE(vars::find("GLO:OTHER").valid());

    vars::addRecord(kRec, [] { return static_cast<void*>(&TST.get()); });
    TST->NAME.set("main");
    std::map<int, std::string> seen;
    bool go = false;
    auto proc = [&] {
        vars::find("tst:name").setText("t" + std::to_string(THREAD()));
        detail::waitUntil([&] { return go; });
        seen[THREAD()] = TST->NAME.str();
    };
    int a = START(proc), b = START(proc);
    h.idle();
    go = true;
    detail::schedule();
    h.idle();
    EXPECT_EQ(seen[a], "t" + std::to_string(a));
    EXPECT_EQ(seen[b], "t" + std::to_string(b));
    EXPECT_EQ(TST->NAME.str(), "main");  // the main stack keeps its own record
}

TEST(Vars, AThreadsOwnNamesHideProcessWideOnesOnThatThreadOnly) {
    test::Harness h;
    vx::STRING<8> global, local;
    global.set("global");
    local.set("local");
    vars::add("FuzzyQuery12", vx::ref(global));
    std::string inThread, inOther;
    bool go = false;
    START([&] {
        vars::bindLocal("FUZZYQUERY12", vx::ref(local));
        detail::waitUntil([&] { return go; });
        inThread = vars::find("fuzzyquery12").text();
    });
    START([&] {
        detail::waitUntil([&] { return go; });
        inOther = vars::find("FuzzyQuery12").text();
    });
    h.idle();
    go = true;
    detail::schedule();
    h.idle();
    EXPECT_EQ(inThread, "local");
    EXPECT_EQ(inOther, "global");
    EXPECT_EQ(vars::find("FuzzyQuery12").text(), "global");
    vars::remove("FuzzyQuery12");
    EXPECT_FALSE(vars::known("FuzzyQuery12"));
}
