// Every field a user types into, in every window of the program, is named in the message that
// refuses a value by words the user sees: its caption, prompt or tip, never a variable's name,
// a bracket or a broken-off line.

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "framework/engine/harness.h"
#include "framework/engine/window.h"
#include "shell/runtime.h"

namespace fs = std::filesystem;
using namespace vx::eng;

namespace {

class FieldNames : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vx_names_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        old = fs::current_path();
        fs::current_path(dir);
        vexlo::processStart(0);
    }
    void TearDown() override {
        h.idle();
        fs::current_path(old);
        fs::remove_all(dir);
    }
    std::string dir;
    fs::path old;
    test::Harness h;
};

bool typed(CType t) {
    return t == CType::Entry || t == CType::Spin || t == CType::Combo || t == CType::DropCombo || t == CType::Text;
}

}  // namespace

TEST_F(FieldNames, EveryTypedFieldIsNamedAsTheUserSeesIt) {
    const char* layouts[] = {"browseforma_1", "browsenastr", "period", "rep_data", "rep_data1",
                             "updateagent", "updateanim", "updateforma_1", "updatenastr"};
    const QRegularExpression variable(QStringLiteral("^[A-Z0-9_:?]+$"));
    int named = 0;
    for (const char* l : layouts) {
        SCOPED_TRACE(l);
        const QString path = QStringLiteral(":/layouts/%1.lay").arg(QLatin1String(l));
        const int t = h.start([path] {
            Window w(path);
            while (w.accept()) {}
        }, 512 * 1024);
        Window& w = h.win();
        for (int feq : w.controls()) {
            Control* c = w.control(feq);
            if (feq <= 0 || !c || !typed(c->type) || !c->var.valid() || c->readOnly || c->disable) continue;
            // The group size spins are shown with the per-line sizes.
            if (c->hide) w.setProp(feq, Prop::Hide, false);
            for (int p = c->parentIndex; p >= 0; p = w.desc().controls[p].parent) {
                const Control* tab = w.control(w.desc().controls[p].feq);
                if (tab && tab->type == CType::Tab) h.tabTo(w.desc().controls[tab->parentIndex].feq, tab->tabIndex);
            }
            const std::string label = c->desc->name;
            SCOPED_TRACE(label);
            h.type(feq, QStringLiteral("✓"));
            h.tab();
            const auto boxes = h.dialogs();
            ASSERT_EQ(boxes.size(), 1u);
            const QString text = boxes[0].text;
            const qsizetype at = text.indexOf(QStringLiteral("поля «"));
            ASSERT_GE(at, 0) << text.toStdString();
            const qsizetype end = text.indexOf(QStringLiteral("»."), at);
            const QString name = text.mid(at + 6, end - at - 6);
            EXPECT_FALSE(name.isEmpty());
            EXPECT_FALSE(name.contains(QLatin1Char('[')) || name.contains(QLatin1Char(']'))) << name.toStdString();
            EXPECT_FALSE(variable.match(name).hasMatch()) << name.toStdString();
            EXPECT_LE(name.size(), 80) << name.toStdString();
            ++named;
            ASSERT_TRUE(h.answer(btn::Ok));
        }
        h.win().close();
        ASSERT_TRUE(h.waitEnd(t));
    }
    EXPECT_GT(named, 300);
}
