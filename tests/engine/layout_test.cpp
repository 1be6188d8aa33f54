// The layout format: numbering, attributes, errors.

#include <gtest/gtest.h>

#include "framework/engine/events.h"
#include "framework/engine/layout.h"

using namespace vx::eng;

namespace {
std::shared_ptr<const WinDesc> parse(const char* text) { return parseLayout(QString::fromUtf8(text), "t.lay"); }
}  // namespace

TEST(Layout, NumbersControlsInDeclarationOrderAndMenusNegatively) {
    auto w = loadLayout(":/test/frame.lay");
    EXPECT_EQ(w->kind, WinKind::Frame);
    std::vector<std::pair<std::string, int>> got;
    for (const CtlDesc& c : w->controls)
        if (c.feq) got.push_back({c.name, c.feq});
    EXPECT_EQ(got, (std::vector<std::pair<std::string, int>>{
                       {"?MENUBAR", -1}, {"?FILEMENU", -2}, {"?PRINTSETUP", -3}, {"?EXIT", -4},
                       {"?TOOLBAR", -5}, {"?TOOLBAR:TOP", 3006}, {"?BUTTON15", -6}, {"?LINE1", -7}, {"?T:FLAG", -8}}));
    EXPECT_EQ(w->statusZones, (std::vector<int>{-1, 100, 100}));
}

TEST(Layout, ReadsAttributes) {
    auto w = parse(
        "window kind=mdi text=\"Окно \"\"1\"\"\" at=,,541,322 font=\"Arial CYR\",8,400 bg=0xFFFFFF min=500,250 max=640,342 resize\n"
        "  entry use=FRM:NOMSV at=80,155,85,10 pic=@n_8b req align=right,1 tip=\"№ формы\",\"вторая\" msg=\"Сообщение\"\n"
        "  spin use=AX at=303,2,47,10 pic=@n-5.1 range=-50,50 step=0.1 skip bg=0xDBF9F9\n"
        "  list use=FRM:COMMENT at=396,91,114,10 drop=5 from=\"Выдано|Испорчено|Образец\" skip\n"
        "  string name=?S text=\"a\" at=51,12 font=,7,0x2000,0x808080 trn\n"
        "  entry feq=20 use=FRM:F10 at=1,2,3 \\\n"
        "        imm readonly\n"
        "  button name=?B text=\"x\" at=1,1 std=Close\n"
        "  line name=?L at=1,1,10,10 up\n");
    EXPECT_EQ(w->kind, WinKind::MdiChild);
    EXPECT_EQ(w->text, QStringLiteral("Окно \"1\""));
    EXPECT_EQ(w->x, -1);
    EXPECT_EQ(w->w, 541);
    EXPECT_EQ(w->maxH, 342);
    EXPECT_TRUE(w->resize);
    const CtlDesc& e = *w->control(1);
    EXPECT_EQ(e.name, "?FRM:NOMSV");
    EXPECT_EQ(e.use, "FRM:NOMSV");
    EXPECT_EQ(e.picture, "@n_8b");
    EXPECT_TRUE(e.req);
    EXPECT_EQ(e.align, Align::Right);
    EXPECT_EQ(e.alignOffset, 1);
    EXPECT_EQ(e.tip, QStringLiteral("№ формы\nвторая"));
    EXPECT_EQ(e.x, 80);
    EXPECT_EQ(e.h, 10);
    const CtlDesc& s = *w->control(2);
    EXPECT_EQ(s.rangeLow, "-50");
    EXPECT_EQ(s.step, "0.1");
    EXPECT_EQ(s.bg, 0xDBF9F9);
    EXPECT_EQ(w->control(3)->type, CType::DropList);
    EXPECT_EQ(w->control(3)->drop, 5);
    EXPECT_EQ(w->control(4)->font.size, 7);
    EXPECT_EQ(w->control(4)->font.style, 0x2000);
    EXPECT_EQ(w->control(4)->font.color, 0x808080);
    EXPECT_TRUE(w->control(4)->font.face.isEmpty());
    // An explicit number leaves a gap; numbering goes on after it.
    EXPECT_EQ(w->control(5), nullptr);
    ASSERT_NE(w->control(20), nullptr);
    EXPECT_TRUE(w->control(20)->imm);
    EXPECT_TRUE(w->control(20)->readOnly);
    EXPECT_EQ(w->control(20)->w, 3);
    EXPECT_EQ(w->control(20)->h, -1);
    EXPECT_EQ(w->control(21)->stdAction, "close");
    EXPECT_TRUE(w->control(21)->extra.empty());
    EXPECT_EQ(w->control(22)->extra, (std::map<std::string, QString>{{"up", QString()}}));
}

// A continued line leaves a blank after the comma that ends it: the list goes on.
TEST(Layout, ValueListsGoOnAfterBlanksAndContinuedLines) {
    auto w = parse(
        "window alrt=0x270\n"
        "  entry use=A at=1, 2,3,4 tip=\"a\", \\\n"
        "        \"b\",\\\n"
        "        \"c\" msg=\"m\"\n"
        "  list use=L at=1,1,5,5 alrt=0x201,0x202 \\\n"
        "       from=\"x|y\"\n");
    const CtlDesc& e = *w->control(1);
    EXPECT_EQ((std::vector<int>{e.x, e.y, e.w, e.h}), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(e.tip, QStringLiteral("a\nb\nc"));
    EXPECT_EQ(e.msg, QStringLiteral("m"));
    EXPECT_TRUE(e.extra.empty());
    EXPECT_TRUE(e.alerts.empty());
    const CtlDesc& l = *w->control(2);
    EXPECT_EQ(l.alerts, (std::vector<int>{key::CtrlMouseLeft, key::CtrlMouseRight}));
    EXPECT_EQ(l.extra, (std::map<std::string, QString>{{"alrt", QStringLiteral("0x201\n0x202")}}));
    EXPECT_EQ(l.from, QStringLiteral("x|y"));
    EXPECT_EQ(w->alerts, (std::vector<int>{0x270}));
}

TEST(Layout, RejectsBrokenText) {
    const char* bad[] = {
        "entry use=X\n",                                   // no window line
        "window\n  frobnicate at=1,1\n",                   // unknown control
        "window\n  entry at=1\n",                          // too few values
        "window\n  entry text=\"open\n",                   // unterminated string
        "window\n  sheet\n    tab\n  end\n",               // container not closed
        "window\n  entry use=A\n  entry use=a\n",          // duplicate name
        "window\n  entry feq=5\n  entry feq=3\n",          // numbers out of order
        "window\n  entry at=x,1\n",                        // not a number
        "window\nend\n  entry\n",                          // text after the end
        "window\n  entry use=A unknownthing=5\n",          // an attribute nobody reads
        "window frobnicate\n",                             // an unknown window attribute
        "window\n  entry use=A tip=\"a\" \"b\"\n",         // a string without a name
        "window\n  entry use=A tip=\"a\"\"b\n",            // garbled quotes
        "window\n  entry use=A text=\"a\"x\n",            // text glued to a string
        "window\n  entry use=A req,skip\n",               // a flag with values
        "window\n  entry use=A ti-p=\"a\"\n",             // not a name
        "window\n  list use=A alrt=ctrl\n",              // not a key code
        "window\n  list use=A alrt=0\n",
    };
    for (const char* b : bad) EXPECT_THROW(parse(b), LayoutError) << b;
    EXPECT_THROW(loadLayout(":/test/missing.lay"), LayoutError);
}
