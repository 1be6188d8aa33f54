// The certificate entry window driven headless: the fonts of the print layout and the group
// sizes, the characters-left counter, the history key and the operative offset folded into
// the print layouts.

#include "entry_form_fixture.h"

namespace {

using namespace entry_test;

// ------------------------------------------------------------------ fonts and group sizes

TEST_F(EntryForm, LayoutFontWithOneGeneralSize) {
    addLayout({});
    open(vx::Request::Insert);
    Harness& hs = harness();
    EXPECT_EQ(SPIN.toInt(), 9);
    EXPECT_EQ(hs.prop(feq("?GROUP3"), Prop::Text).toString(),
              q("[Цвет и шрифт печати формы] [Times New Roman CYR Размер: 9]"));
    int count = 0;
    for (int f : hs.win().controls()) {
        const std::string use = hs.control(f)->desc->use;
        if (use.rfind("FRM:", 0) != 0 || vexlo::entry::fontGroup(use.substr(4)) < 0) continue;
        ++count;
        EXPECT_EQ(fontSize(f), 9) << use;
        EXPECT_EQ(hs.prop(f, Prop::FontName).toString(), q("Times New Roman CYR")) << use;
        EXPECT_EQ(hs.prop(f, Prop::FontColor).toInt(), 0x112233) << use;
        EXPECT_EQ(hs.prop(f, Prop::FontStyle).toInt(), 700 + 0x1000) << use;
    }
    EXPECT_EQ(count, 104);
    // Everything else keeps its own font.
    EXPECT_EQ(fontSize(feq("?FRM:NOMSV")), 10);
    EXPECT_EQ(hs.prop(feq("?FRM:NOMSV"), Prop::FontName).toString(), q("Arial CYR"));
    for (int f : {110, 105, 201, 114}) EXPECT_TRUE(hs.prop(f, Prop::Hide).toBool()) << f;
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

TEST_F(EntryForm, GroupSizesOnAndOff) {
    addLayout({});
    // Group g at size 4 + g % 7; the lines outside the groups at the general size 9.
    addCert(15, [] {
        FRM->RSH = 1;
        vx::DEC<2, 0>* s[] = {&FRM->SPIN1, &FRM->SPIN2, &FRM->SPIN3, &FRM->SPIN4, &FRM->SPIN5,
                              &FRM->SPIN6, &FRM->SPIN7, &FRM->SPIN8, &FRM->SPIN9, &FRM->SPIN10,
                              &FRM->SPIN11, &FRM->SPIN12, &FRM->SPIN13, &FRM->SPIN14, &FRM->SPIN15};
        for (int g = 1; g <= 15; ++g) *s[g - 1] = 4 + g % 7;
    });
    open(vx::Request::Change, 15);
    Harness& hs = harness();
    for (int g = 0; g <= 15; ++g)
        for (const std::string& name : vexlo::entry::groupFields(g)) {
            const int f = feq(("?FRM:" + name).c_str());
            EXPECT_EQ(fontSize(f), g == 0 ? 9 : 4 + g % 7) << name;
        }
    for (int f : {110, 105, 102, 24, 37, 49, 58, 130, 156, 171, 181, 186, 188, 195, 201, 114})
        EXPECT_FALSE(hs.prop(f, Prop::Hide).toBool()) << f;

    // A group spin resizes its own lines only.
    hs.step(feq("?FRM:SPIN3"), 1);
    EXPECT_EQ(fontSize(feq("?FRM:F7")), 4 + 3 % 7 + 1);
    EXPECT_EQ(fontSize(feq("?FRM:F4")), 4 + 2 % 7);

    // Unticking hides the spins; the lines keep their sizes until the general size sees an event.
    hs.click("?FRM:RSH");
    EXPECT_EQ(var("?FRM:RSH").number().toInt(), 0);
    for (int f : {110, 201, 114}) EXPECT_TRUE(hs.prop(f, Prop::Hide).toBool()) << f;
    EXPECT_EQ(fontSize(feq("?FRM:F7")), 8);
    hs.select("?SPIN");
    for (const char* n : {"?FRM:F7", "?FRM:F46", "?FRM:DAY", "?FRM:NOMSV", "?FRM:CENA", "?FRM:F50"})
        EXPECT_EQ(fontSize(feq(n)), 9) << n;
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

TEST_F(EntryForm, Button12ActsOnlyWhenPressed) {
    addLayout({});
    addCert(15, [] {
        FRM->RSH = 1;
        FRM->SPIN1 = 10;
    });
    open(vx::Request::Change, 15);
    Harness& hs = harness();
    hs.win().select(feq("?BUTTON12"));
    hs.idle();
    EXPECT_EQ(var("?FRM:SPIN15").number().toInt(), 8);
    hs.click("?BUTTON12");
    for (const char* n : {"?FRM:SPIN2", "?FRM:SPIN9", "?FRM:SPIN15"}) EXPECT_EQ(var(n).number().toInt(), 10) << n;
    EXPECT_EQ(fontSize(feq("?FRM:F46")), 8);  // the lines follow at their spin's next event
    hs.click("?OK");
    ASSERT_TRUE(ended());
    EXPECT_EQ(certs().at(0).SPIN15.toInt(), 10);
}

TEST_F(EntryForm, GeneralSizeIsStoredOnlyIntoALayoutThatWasRead) {
    addLayout({});
    open(vx::Request::Insert);
    Harness& hs = harness();
    hs.step(feq("?SPIN"), -2);
    EXPECT_EQ(layouts().at(0).FONTSIZE, 7);
    EXPECT_EQ(hs.prop(feq("?GROUP3"), Prop::Text).toString(),
              q("[Цвет и шрифт печати формы] [Times New Roman CYR Размер: 7]"));
    EXPECT_EQ(fontSize(feq("?FRM:F12")), 7);
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

TEST_F(EntryForm, WithoutALayoutTheWindowFontStandsIn) {
    open(vx::Request::Insert);
    Harness& hs = harness();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(SPIN.toInt(), 8);
    for (const char* n : {"?FRM:F1", "?FRM:F46", "?FRM:Z1"}) {
        EXPECT_EQ(fontSize(feq(n)), 8) << n;
        EXPECT_EQ(hs.prop(feq(n), Prop::FontName).toString(), q("Arial CYR")) << n;
    }
    hs.step(feq("?SPIN"), 1);
    EXPECT_EQ(fontSize(feq("?FRM:F1")), 9);
    EXPECT_TRUE(layouts().empty());
    EXPECT_TRUE(shown.empty());
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

// ------------------------------------------------------------------ characters-left counter

TEST_F(EntryForm, CounterAtTheSizesSixToEleven) {
    addLayout({});
    struct Case {
        int size;
        int f1, f23, f2;  // capacities; -1 none
    } cases[] = {{6, 27, 65, 120}, {7, 27, 65, 120}, {8, 19, 47, 85},
                 {9, 19, 47, 85},  {10, 17, 46, 84}, {11, -1, 46, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        setLayoutSize(c.size);
        open(vx::Request::Insert, 0, [] {
            FRM->F1 = "abcde";
            FRM->F23 = "  x";
            FRM->F2 = std::string(100, 'n');
        });
        Harness& hs = harness();
        struct Line {
            const char* name;
            int cap, length;
        } lines[] = {{"?FRM:F1", c.f1, 5}, {"?FRM:F23", c.f23, 3}, {"?FRM:F2", c.f2, 100}};
        for (const Line& line : lines) {
            VS_SIM = 777;
            KOL_SIM = -55;
            hs.select(line.name);
            if (line.cap < 0) {
                EXPECT_EQ(VS_SIM.toInt(), 777) << line.name;
                EXPECT_EQ(KOL_SIM.toInt(), -55) << line.name;
            } else {
                EXPECT_EQ(VS_SIM.toInt(), line.cap) << line.name;
                EXPECT_EQ(KOL_SIM.toInt(), line.cap - line.length) << line.name;
            }
        }
        hs.click("?CANCEL");
        ASSERT_TRUE(ended());
    }
}

TEST_F(EntryForm, CounterFollowsTheKeys) {
    addLayout({});
    setLayoutSize(8);
    open(vx::Request::Insert);
    Harness& hs = harness();
    hs.select("?FRM:F1");
    EXPECT_EQ(VS_SIM.toInt(), 19);
    EXPECT_EQ(KOL_SIM.toInt(), 19);
    hs.keys("abcde");
    EXPECT_EQ(KOL_SIM.toInt(), 14);
    EXPECT_EQ(value("?KOL_SIM"), q("14"));
    EXPECT_EQ(value("?VS_SIM:2"), q("19"));
    hs.press(Qt::Key_Left);
    EXPECT_EQ(KOL_SIM.toInt(), 14);
    hs.press(Qt::Key_Backspace);
    EXPECT_EQ(KOL_SIM.toInt(), 15);
    // A test date: 17 minus its length on selection, the declared width after a key (a click
    // into the line is one too, so the focus is moved there by the program).
    hs.win().select(feq("?FRM:F171"));
    hs.idle();
    EXPECT_EQ(KOL_SIM.toInt(), 17);
    EXPECT_EQ(VS_SIM.toInt(), 19);
    hs.keys("1");
    EXPECT_EQ(VS_SIM.toInt(), 27);
    hs.press(Qt::Key_Backspace);  // a lone "1" is no date: leaving the field with it is refused
    // The issuer's lines: 39 minus the length.
    hs.type("?FRM:F50", QString(39, QLatin1Char('z')));
    hs.win().select(feq("?FRM:F49"));
    hs.win().select(feq("?FRM:F50"));
    hs.idle();
    EXPECT_EQ(KOL_SIM.toInt(), 0);
    EXPECT_EQ(value("?KOL_SIM:2"), QString());
    // An uncounted control leaves the numbers.
    hs.select("?FRM:OPIS");
    EXPECT_EQ(KOL_SIM.toInt(), 0);
    EXPECT_EQ(VS_SIM.toInt(), 39);
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

// ------------------------------------------------------------------ history key

TEST_F(EntryForm, HistoryKeyRestoresTheFieldOfTheLastWrittenCertificate) {
    addLayout({});
    Harness& hs = harness();
    response = -1;
    thread = hs.start([this] {
        for (int i = 0; i < 2; ++i) {
            RELATE_FORMA1->Open();
            ACCESS_FORMA1->PrimeRecord();
            RELATE_FORMA1->Close();
            vx::eng::GLOBALREQUEST = vx::Request::Insert;
            UPDATEFORMA_1();
            response = vx::eng::GLOBALRESPONSE;
        }
    });
    hs.fill("?FRM:NOMSV", "21");
    hs.fill("?FRM:DATAVV", "01.02.2020");
    hs.type("?FRM:F7", q("Колхоз Заря"));
    hs.type("?FRM:F8", q("Тверская область"));
    hs.click("?OK");
    ASSERT_TRUE(hs.waitFor([&] { return response == vx::Response::Completed; }));
    // The second window of the same thread.
    hs.type("?FRM:F7", q("другое"));
    hs.press(Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(value("?FRM:F7"), q("Колхоз Заря"));
    EXPECT_EQ(value("?FRM:F8"), QString());
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
}

// ------------------------------------------------------------------ operative offset

TEST_F(EntryForm, FoldShiftsEveryLayoutAndClearsTheOffset) {
    addLayout({1});
    Layout second;
    second.nform = 2;
    second.axz1 = "100.5";
    addLayout(second);
    open(vx::Request::Insert);
    Harness& hs = harness();
    AX = dec("1.5");
    AY = dec("-2.0");
    hs.win().display();
    hs.click("?BUTTON13");
    EXPECT_TRUE(AX.get().isZero());
    EXPECT_TRUE(AY.get().isZero());
    EXPECT_EQ(value("?AX"), q("0.0"));
    EXPECT_TRUE(shown.empty());
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
    auto all = layouts();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].AXZ1.get(), dec("11.5"));
    EXPECT_EQ(all[0].AYZ1.get(), dec("18.0"));
    EXPECT_EQ(all[0].AZF1.get(), dec("1.5"));
    EXPECT_EQ(all[0].AYF50.get(), dec("-2.0"));
    EXPECT_EQ(all[0].AXF251.get(), dec("13.84"));
    EXPECT_EQ(all[1].AXZ1.get(), dec("102.0"));
    EXPECT_EQ(all[1].AXF251.get(), dec("13.84"));
}

TEST_F(EntryForm, FoldThatCannotBeStoredKeepsTheOffset) {
    addLayout({1});
    Layout huge;
    huge.nform = 2;
    huge.axz1 = "999999.0";
    addLayout(huge);
    open(vx::Request::Insert);
    Harness& hs = harness();
    AX = dec("5.0");
    hs.click("?BUTTON13");
    EXPECT_EQ(AX.get(), dec("5.0"));
    EXPECT_EQ(shown, std::vector<int>{vx::FileMsg::WriteFailed});
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
    auto all = layouts();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].AXZ1.get(), dec("10.0"));  // nothing was written
    EXPECT_EQ(all[1].AXZ1.get(), dec("999999.0"));
}

TEST_F(EntryForm, TabNeverReachesTheFoldOrTheSizeCopy) {
    addLayout({});
    addCert(15, [] {
        FRM->RSH = 1;
        FRM->SPIN1 = 10;
    });
    open(vx::Request::Change, 15);
    Harness& hs = harness();
    AX = dec("1.0");
    const auto order = hs.win().tabOrder();
    EXPECT_EQ(std::count(order.begin(), order.end(), 225), 0);
    EXPECT_EQ(std::count(order.begin(), order.end(), 114), 0);
    // From the date-of-issue calendar button and from the issuer's name, then a full round.
    for (const char* from : {"?CALENDAR", "?FRM:F50"}) {
        hs.win().select(feq(from));
        hs.idle();
        ASSERT_EQ(hs.focus(), feq(from));
        ASSERT_EQ(AX.get(), dec("1.0")) << from;
        hs.tab();
        EXPECT_NE(hs.focus(), 225) << from;
        EXPECT_NE(hs.focus(), 114) << from;
    }
    for (std::size_t i = 0; i < order.size() + 2; ++i) {
        hs.tab();
        ASSERT_NE(hs.focus(), 225);
        ASSERT_NE(hs.focus(), 114);
    }
    // Turning the page while a line has the focus moves the focus without the mouse.
    hs.select("?FRM:F3");
    hs.tabTo(feq("?CURRENTTAB"), 2);
    hs.tabTo(feq("?CURRENTTAB"), 1);
    hs.select("?FRM:F50");
    EXPECT_EQ(AX.get(), dec("1.0"));
    EXPECT_EQ(var("?FRM:SPIN15").number().toInt(), 8);
    hs.click("?CANCEL");
    ASSERT_TRUE(ended());
    EXPECT_EQ(layouts().at(0).AXZ1.get(), dec("10.0"));
}

}  // namespace
