// The entry window over the print layout the program makes on its first start in an empty
// directory: the characters-left counter of every kind of counted line, and every text of the
// window whole at each general size the spin allows.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "framework/classlib/windowmanager.h"
#include "framework/engine/harness.h"
#include "framework/engine/vars.h"
#include "framework/types/codepage.h"
#include "register/updateforma_1_parts.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/records.h"
#include "shell/runtime.h"
#include "text_fit.h"

namespace {

using vx::eng::Prop;
using vx::eng::test::Harness;

QString q(const char* utf8) { return QString::fromUtf8(utf8); }

class FirstStart : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static bool once = [] {
            static Harness starter;  // the QApplication and the engine
            vexlo::processStart(0);
            return true;
        }();
        (void)once;
    }

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        old = QDir::currentPath();
        QDir::setCurrent(dir.path());
        qputenv("VEXLO_INI_DIR", dir.path().toLocal8Bit());
        INIMGR.Init(QStringLiteral("vexlo.INI"));
        vexlo::initGlobals();
        namespace vars = vx::eng::vars;
        for (const vexlo::GlobalVar& g : vexlo::globals()) vars::add(g.name, g.ref);
        vars::addRecord(FORMA1_DESC, [] { return static_cast<void*>(static_cast<FRM_RECORD*>(&*FRM)); });
        vars::addRecord(LAST_DESC, [] { return static_cast<void*>(static_cast<LAS_RECORD*>(&*LAS)); });
        // The program's first start in the empty directory: the step of the main procedure that
        // makes the first print layout.
        const int t = h.start([] { vexlo::ensureFirstPrintLayout(); });
        ASSERT_TRUE(h.waitEnd(t));
    }
    void TearDown() override {
        if (thread && vx::eng::threadAlive(thread)) {
            h.target(thread);
            h.click("?CANCEL");
            EXPECT_TRUE(h.waitEnd(thread));
        }
        QDir::setCurrent(old);
        qunsetenv("VEXLO_INI_DIR");
    }

    // A new certificate, as the register's "Добавить документ" opens it.
    void openNew() {
        thread = h.start([] {
            RELATE_FORMA1->Open();
            ACCESS_FORMA1->PrimeRecord();
            FRM->F2 = vx::cp::toCp1251(q("ООО Ромашка"));
            vx::eng::GLOBALREQUEST = vx::Request::Insert;
            UPDATEFORMA_1();
            RELATE_FORMA1->Close();
        });
        ASSERT_NE(h.window(), nullptr);
    }
    int shown(const char* name) { return h.value(name).trimmed().toInt(); }

    QTemporaryDir dir;
    QString old;
    Harness h;
    int thread = 0;
};

// One line of every row of the capacity table, the fixed-rule lines, on both tabs: selected by a
// click and typed into, the counter shows a capacity and counts the letters down.
TEST_F(FirstStart, CounterShowsACapacityOnEveryKindOfLineAndCountsDown) {
    openNew();
    const int size = SPIN.toInt();
    EXPECT_GE(size, 4);
    EXPECT_LE(size, 10);
    struct Line {
        const char* name;
        int tab;
        const char* capacity, *left;  // the displays of the tab
    };
    const Line lines[] = {
        {"?FRM:F3", 1, "?VS_SIM", "?KOL_SIM"},   {"?FRM:F1", 1, "?VS_SIM", "?KOL_SIM"},
        {"?FRM:F4", 1, "?VS_SIM", "?KOL_SIM"},   {"?FRM:F5", 1, "?VS_SIM", "?KOL_SIM"},
        {"?FRM:F6", 1, "?VS_SIM", "?KOL_SIM"},   {"?FRM:F7", 1, "?VS_SIM", "?KOL_SIM"},
        {"?FRM:F10", 1, "?VS_SIM", "?KOL_SIM"},  {"?FRM:F13", 1, "?VS_SIM", "?KOL_SIM"},
        {"?FRM:F14", 1, "?VS_SIM", "?KOL_SIM"},  {"?FRM:F16", 1, "?VS_SIM", "?KOL_SIM"},
        {"?FRM:F17", 1, "?VS_SIM", "?KOL_SIM"},  {"?FRM:F172", 1, "?VS_SIM", "?KOL_SIM"},
        {"?FRM:F173", 1, "?VS_SIM", "?KOL_SIM"}, {"?FRM:F171", 1, "?VS_SIM", "?KOL_SIM"},
        {"?FRM:F23", 2, "?VS_SIM:2", "?KOL_SIM:2"}, {"?FRM:F32", 2, "?VS_SIM:2", "?KOL_SIM:2"},
        {"?FRM:F34", 2, "?VS_SIM:2", "?KOL_SIM:2"}, {"?FRM:F36", 2, "?VS_SIM:2", "?KOL_SIM:2"},
        {"?FRM:F37", 2, "?VS_SIM:2", "?KOL_SIM:2"}, {"?FRM:F39", 2, "?VS_SIM:2", "?KOL_SIM:2"},
        {"?FRM:F42", 2, "?VS_SIM:2", "?KOL_SIM:2"}, {"?FRM:F49", 2, "?VS_SIM:2", "?KOL_SIM:2"},
    };
    for (const Line& l : lines) {
        SCOPED_TRACE(l.name);
        h.tabTo(1, l.tab);
        h.select(l.name);
        const int capacity = shown(l.capacity);
        EXPECT_GT(capacity, 0) << "no capacity shown";
        const int before = shown(l.left);
        h.keys(q("абвгд"));
        EXPECT_EQ(shown(l.capacity) > 0, true) << "the capacity went";
        EXPECT_EQ(shown(l.left), before - 5);
    }
}

// At every general size the spin allows, and at the size the window opened with, every text of
// both tabs is whole.
TEST_F(FirstStart, NoTextOfTheWindowIsCutAtAnyGeneralSize) {
    openNew();
    const int opened = SPIN.toInt();
    auto check = [this](int size) {
        SCOPED_TRACE("size " + std::to_string(size));
        EXPECT_EQ(h.prop(h.feq("?FRM:F3"), Prop::FontSize).toInt(), size);
        for (int tab : {1, 2}) {
            h.tabTo(1, tab);
            for (const std::string& cut : vx::eng::test::cutTexts(h.win())) ADD_FAILURE() << cut;
        }
    };
    check(opened);
    // Down from where the window opened to the spin's lowest size, then up to its highest.
    h.tabTo(1, 1);
    for (int size = opened - 1; size >= 4; --size) {
        h.step(h.feq("?SPIN"), -1);
        check(size);
    }
    for (int size = 5; size <= 10; ++size) {
        h.tabTo(1, 1);
        h.step(h.feq("?SPIN"), 1);
        check(size);
    }
}

// A layout whose size lies outside the spin's range (set in the layout editor): the window shows
// the lines at that size, as they print, with every text whole; the spin shows the size, and one
// step of it brings the size into the range and into the layout.
TEST_F(FirstStart, ASizeOutsideTheSpinsRangeIsShownAsStoredUntilTheSpinMoves) {
    const int t = h.start([] {
        RELATE_LAST->Open();
        ACCESS_LAST->SetStart(LAS_K1);
        ASSERT_EQ(ACCESS_LAST->TryNext(), 0);
        LAS->FONTSIZE = 14;
        ASSERT_EQ(ACCESS_LAST->Update(), 0);
        RELATE_LAST->Close();
    });
    ASSERT_TRUE(h.waitEnd(t));
    openNew();
    EXPECT_EQ(h.value("?SPIN").trimmed(), q("14"));
    EXPECT_EQ(h.prop(h.feq("?FRM:F3"), Prop::FontSize).toInt(), 14);
    EXPECT_TRUE(h.prop(h.feq("?GROUP3"), Prop::Text).toString().endsWith(q("Размер: 14]")));
    for (int tab : {1, 2}) {
        h.tabTo(1, tab);
        for (const std::string& cut : vx::eng::test::cutTexts(h.win())) ADD_FAILURE() << cut;
    }
    h.tabTo(1, 1);
    h.step(h.feq("?SPIN"), -1);
    EXPECT_EQ(h.value("?SPIN").trimmed(), q("10"));
    EXPECT_EQ(h.prop(h.feq("?FRM:F3"), Prop::FontSize).toInt(), 10);
    const int r = h.start([] {
        RELATE_LAST->Open();
        ACCESS_LAST->SetStart(LAS_K1);
        ACCESS_LAST->TryNext();
        EXPECT_EQ(static_cast<int>(LAS->FONTSIZE), 10);
        RELATE_LAST->Close();
    });
    ASSERT_TRUE(h.waitEnd(r));
    h.target(thread);
}

}  // namespace
