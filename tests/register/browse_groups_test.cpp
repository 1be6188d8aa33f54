// A certificate list in a keyed order with an order text (the register's fallback order: by
// counterparty name, then by number): moving through it a row or a page at a time, to either end
// and with the locator, crosses the groups of equal names in the right order.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "framework/classlib/browse.h"
#include "framework/classlib/procframe.h"
#include "framework/engine/harness.h"
#include "framework/types/codepage.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/runtime.h"

namespace {

namespace fs = std::filesystem;
using vx::eng::Prop;

std::string w(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }
const vx::FieldDesc& frm(const char* name) { return *FORMA1_DESC.find(name); }

// How many times the order text was evaluated: once per record read for a page.
int evaluated = 0;

// The register's window with only its certificate list working, in the fallback order.
class GroupedList : public vx::ProcedureFrame {
public:
    GroupedList() {
        Name = QStringLiteral("GroupedList");
        Layout = QStringLiteral(":/layouts/browseforma_1.lay");
        FirstFieldNumber = 1;
    }
    int Kill() override {
        B.Kill();
        return vx::ProcedureFrame::Kill();
    }
    int TakeWindowEvent() override {
        const int level = vx::ProcedureFrame::TakeWindowEvent();
        if (Win().event() == vx::eng::ev::OpenWindow) B.ResetSort(true);
        return level;
    }
    vx::BrowseClass B;
    vx::IncrementalLocatorClass L;
    vx::StepStringClass S;

protected:
    void OpenFiles() override {
        RELATE_FORMA1->Open();
        FilesOpened = true;
    }
    void CloseFiles() override { RELATE_FORMA1->Close(); }
    void AfterOpen() override {
        // The queue as the register's list declares it: each column's value and four colours,
        // the number's style, MARK and VIEWPOSITION.
        std::vector<vx::eng::Queue::Field> q;
        const char* cols[] = {"FRM:NOMSV", "FRM:DATAVV", "FRM:OPIS", "FRM:F32", "FRM:F2",
                              "FRM:F4",    "FRM:F5",     "FRM:F6",   "FRM:F49", "FRM:F50"};
        for (int c = 0; c < 10; ++c) {
            const vx::FieldDesc& f = frm(cols[c]);
            q.push_back({f.type, f.size, f.places});
            for (int k = 0; k < (c == 0 ? 5 : 4); ++k) q.push_back({vx::FieldType::Long, 4, 0});
        }
        q.push_back({vx::FieldType::Byte, 1, 0});
        q.push_back({vx::FieldType::String, 1024, 0});
        B.Init(10, *ACCESS_FORMA1, RELATE_FORMA1, *this, q);
        S.Init(1, 3);
        B.AddSortOrder(FRM_K2, &S);
        vx::ThreadEvaluator().bindFunction("Counted", 0, 0, [](std::span<const vx::Value>) {
            ++evaluated;
            return vx::Value(0);
        });
        B.AppendOrder("-FRM:nomsv,Counted()");
        L.Init(0, frm("FRM:F2"), true);
        B.AddLocator(&L);
        B.AddField(frm("FRM:NOMSV"), 1);
        B.AddField(frm("FRM:F2"), 22);
    }
};

void GROUPEDLIST() {
    GroupedList w;
    w.Run();
}

class GroupedOrder : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vx_grp_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        old = fs::current_path();
        fs::current_path(dir);
        setenv("VEXLO_INI_DIR", dir.c_str(), 1);
        h = std::make_unique<vx::eng::test::Harness>();
        vexlo::processStart(0);
        vexlo::initGlobals();
        INIMGR.Init(QStringLiteral("vexlo.INI"));
    }
    void TearDown() override {
        h.reset();
        fs::current_path(old);
        fs::remove_all(dir);
    }
    int highlighted() {
        const int row = h->prop(10, Prop::Selected).toInt();
        vx::VarRef v = h->control(10)->source->field(row - 1, 1);
        return v.valid() ? std::stoi(v.text()) : -1;
    }
    std::string dir;
    fs::path old;
    std::unique_ptr<vx::eng::test::Harness> h;
};

TEST_F(GroupedOrder, RowsPagesEndsAndTheLocatorCrossGroupsInOrder) {
    // Eight names with three or four certificates each; numbers and record positions in no
    // particular order.
    const char* names[] = {"Вега", "Альфа", "Жук", "Гамма", "Бета", "Ёж", "Дельта", "Ель"};
    struct C {
        int no;
        int name;
    };
    std::vector<C> certs;
    for (int i = 0; i < 28; ++i) certs.push_back({(i * 17) % 29 + 1, i % 8});
    const int t = h->start([&] {
        RELATE_FORMA1->Open();
        for (const C& c : certs) {
            ACCESS_FORMA1->PrimeRecord();
            FRM->NOMSV = c.no;
            FRM->F2 = w(names[c.name]);
            ACCESS_FORMA1->Insert();
        }
        RELATE_FORMA1->Close();
    });
    ASSERT_TRUE(h->waitEnd(t));
    // By name as the key orders it, then by number descending.
    std::vector<int> byName{0, 1, 2, 3, 4, 5, 6, 7};
    std::sort(byName.begin(), byName.end(), [&](int a, int b) { return vx::cp::compareNoCase1251(w(names[a]), w(names[b])) < 0; });
    std::vector<int> expected;
    std::vector<int> groupStart(8);
    for (int idx : byName) {
        groupStart[idx] = static_cast<int>(expected.size());
        std::vector<int> g;
        for (const C& c : certs)
            if (c.name == idx) g.push_back(c.no);
        std::sort(g.rbegin(), g.rend());
        expected.insert(expected.end(), g.begin(), g.end());
    }

    evaluated = 0;
    h->start(GROUPEDLIST);
    // The first page read only the groups it shows, not the whole file.
    EXPECT_GT(evaluated, 0);
    EXPECT_LT(evaluated, 28);
    ASSERT_GT(h->prop(10, Prop::Items).toInt(), 3);
    ASSERT_LT(h->prop(10, Prop::Items).toInt(), 14);  // at least three pages
    EXPECT_EQ(highlighted(), expected.front());
    h->select(10);
    h->press(Qt::Key_Home, Qt::ControlModifier);
    // Down through every row, then back up.
    std::vector<int> seen{highlighted()};
    for (int i = 1; i < 28; ++i) {
        h->press(Qt::Key_Down);
        seen.push_back(highlighted());
    }
    EXPECT_EQ(seen, expected);
    seen.assign(1, highlighted());
    for (int i = 1; i < 28; ++i) {
        h->press(Qt::Key_Up);
        seen.push_back(highlighted());
    }
    std::reverse(seen.begin(), seen.end());
    EXPECT_EQ(seen, expected);
    // The ends and whole pages.
    h->press(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(highlighted(), expected.back());
    auto firstShown = [&] { return std::stoi(h->control(10)->source->field(0, 1).text()); };
    EXPECT_EQ(firstShown(), expected[static_cast<std::size_t>(28 - h->prop(10, Prop::Items).toInt())]);
    h->press(Qt::Key_Home, Qt::ControlModifier);
    const int shown = h->prop(10, Prop::Items).toInt();
    h->press(Qt::Key_PageDown);
    EXPECT_EQ(firstShown(), expected[static_cast<std::size_t>(shown)]);
    h->press(Qt::Key_PageUp);
    EXPECT_EQ(firstShown(), expected.front());
    // The locator: the first row of the group of the typed name, case aside.
    for (auto [typed, name] : {std::pair{"г", 3}, std::pair{"Д", 6}, std::pair{"ё", 5}, std::pair{"Ж", 2}, std::pair{"а", 1}}) {
        SCOPED_TRACE(typed);
        h->keys(QString::fromUtf8(typed));
        EXPECT_EQ(highlighted(), expected[static_cast<std::size_t>(groupStart[name])]);
        h->press(Qt::Key_Backspace);
    }
    h->win().close();
}

}  // namespace
