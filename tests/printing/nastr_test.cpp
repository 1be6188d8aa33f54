// The print-layout list and the layout editor, driven headless over real data files in a temporary
// working directory: the list is started on a thread of its own, the editor runs on the list's
// thread from "[Изменить]" (or on a thread of its own with the request in GLOBALREQUEST).

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDialog>
#include <QFile>
#include <QAbstractItemView>
#include <QComboBox>
#include <QFontDialog>
#include <QLineEdit>
#include <QTest>
#include <QString>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/classlib/windowmanager.h"
#include "framework/engine/harness.h"
#include "framework/engine/vars.h"
#include "framework/platform/fonts.h"
#include "framework/platform/profile.h"
#include "framework/types/codepage.h"
#include "printing/nastr_font.h"
#include "shell/dictionary.h"
#include "shell/globals.h"
#include "shell/procedures.h"
#include "shell/records.h"
#include "shell/runtime.h"

namespace {

namespace fs = std::filesystem;
namespace eng = vx::eng;
using eng::Prop;

std::string w(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }
std::string t(std::string_view cp1251) { return vx::cp::fromCp1251(cp1251).toStdString(); }
QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// The list's controls.
namespace list {
constexpr int BROWSE = 1, CHANGE = 2, STRING1 = 3, STRING1_2 = 4;
}
// The editor's controls.
namespace ed {
constexpr int SHEET = 1, OK = 3, CANCEL = 4, FONT = 5, GROUP2 = 6, Z1 = 10, TYPEFACE = 12, Z2 = 15, Z3 = 16,
              FONTSIZE = 20, Z4 = 21, NAME = 112, CENA = 114;
constexpr int kSamples[] = {Z1, Z2, Z3, Z4};
constexpr int kEntries[] = {Z1, TYPEFACE, Z2, Z3, Z4, NAME, CENA};
}  // namespace ed

// A coordinate field of the layout record by name ("LAS:AXF23").
vx::VarRef field(LAS_RECORD& las, const char* name) {
    const vx::FieldDesc* f = LAST_DESC.find(name);
    if (!f) throw std::runtime_error(std::string("no field ") + name);
    return vx::VarRef::of(*f, &las);
}
std::string num(LAS_RECORD& las, const char* name) { return field(las, name).number().toString(); }

struct Layout {
    int nform;
    const char* name;
    std::vector<std::pair<const char*, const char*>> values;  // field, decimal text
};

class Nastr : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vx_nastr_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        old = fs::current_path();
        fs::current_path(dir);
        qputenv("VEXLO_INI_DIR", QFile::encodeName(QString::fromStdString(dir)));
        vexlo::processStart(0);
        vexlo::initGlobals();
        // Other suites of this program bind the record names to buffers of their own.
        eng::vars::addRecord(LAST_DESC, [] { return static_cast<void*>(static_cast<LAS_RECORD*>(&*LAS)); });
        INIMGR.Init(QStringLiteral("vexlo.INI"));
    }
    void TearDown() override {
        h.idle();
        fs::current_path(old);
        fs::remove_all(dir);
        qunsetenv("VEXLO_INI_DIR");
    }

    void onThread(const std::function<void()>& fn) {
        const int th = h.start([&fn] {
            RELATE_LAST->Open();
            fn();
            RELATE_LAST->Close();
        });
        ASSERT_TRUE(h.waitEnd(th));
    }

    // Layout records in the given (file) order; every one in Times New Roman CYR 11 bold.
    void layouts(const std::vector<Layout>& all) {
        onThread([&all] {
            for (const Layout& l : all) {
                LAST_DESC.clear(&*LAS);
                LAS->NFORM = l.nform;
                LAS->NAME = w(l.name);
                LAS->TYPEFACE = "Times New Roman CYR";
                LAS->FONTSIZE.set(11);
                LAS->FONTSTYLE.set(700);
                LAS->CHARSET.set(204);
                for (auto& [f, v] : l.values) field(*LAS, f).setNumber(*vx::Decimal::parse(v));
                ASSERT_EQ(ACCESS_LAST->Insert(), vx::Level::Benign);
            }
        });
    }
    void oneLayout() {
        layouts({{1, "Лазерный", {{"LAS:AXZ1", "20.0"}, {"LAS:AYZ1", "12.5"}, {"LAS:AXZ2", "99.9"}, {"LAS:AYZ4", "5.2"},
                                  {"LAS:AXF5", "0.1"}, {"LAS:AXF23", "25.0"}, {"LAS:AXF251", "31.25"}, {"LAS:AYF50", "270.4"},
                                  {"LAS:CENA", "120.00"}}}});
    }

    // Every record in file order.
    std::vector<LAS_RECORD> records() {
        std::vector<LAS_RECORD> r;
        onThread([&r] {
            ASSERT_EQ(ACCESS_LAST->SetStart(0), vx::Level::Benign);
            while (ACCESS_LAST->Next() == vx::Level::Benign) r.push_back(*LAS);
        });
        return r;
    }

    // The list on a thread of its own; `request` is the thread's GLOBALREQUEST.
    int openList(int request = 0) {
        return h.start([request] {
            eng::GLOBALREQUEST = static_cast<std::uint8_t>(request);
            BROWSENASTR();
        });
    }
    // The editor called as the list calls it: on a thread with LAST open, the buffer on the
    // record numbered `nform`, the request in GLOBALREQUEST. Its answer lands in `response`.
    int openEditor(int request, int nform = 1) {
        response = -1;
        return h.start([this, request, nform] {
            RELATE_LAST->Open();
            LAS->NFORM = nform;
            ACCESS_LAST->Fetch(LAS_K1);
            eng::GLOBALREQUEST = static_cast<std::uint8_t>(request);
            UPDATENASTR();
            response = eng::GLOBALRESPONSE;
            RELATE_LAST->Close();
        });
    }

    std::string cell(int row, int queueField) {
        vx::VarRef v = h.control(list::BROWSE)->source->field(row - 1, queueField);
        return v.valid() ? t(v.text()) : std::string("?");
    }
    int rows() { return h.prop(list::BROWSE, Prop::Items).toInt(); }
    std::vector<std::string> shownRows() {
        std::vector<std::string> r;
        for (int i = 1; i <= rows(); ++i) r.push_back(cell(i, 2) + " " + cell(i, 1));
        return r;
    }
    eng::FontDialog* fontDialogBox() {
        for (const eng::OpenDialog& d : h.dialogs())
            if (auto* f = dynamic_cast<eng::FontDialog*>(d.widget)) return f;
        return nullptr;
    }
    QFontDialog* fontDialog() {
        eng::FontDialog* box = fontDialogBox();
        return box ? box->fontPart() : nullptr;
    }

    std::string dir;
    fs::path old;
    eng::test::Harness h;
    int response = -1;
};

// ---------------------------------------------------------------------------------------------
// The list

TEST_F(Nastr, ListShowsTheNumberedLayoutsInKeyOrderAndNothingToAddOrRemove) {
    layouts({{3, "Третья", {}}, {0, "Без номера", {}}, {1, "Лазерный", {}}, {2, "Матричный", {}}});
    const int th = openList();
    EXPECT_EQ(h.win().title(), u("Содержание настройки"));
    EXPECT_EQ(shownRows(), (std::vector<std::string>{"1 Лазерный", "2 Матричный", "3 Третья"}));
    EXPECT_EQ(h.prop(list::BROWSE, Prop::LineHeight).toInt(), 11);
    EXPECT_EQ(h.prop(list::CHANGE, Prop::Text).toString(), u("[Изменить]"));
    EXPECT_EQ(h.prop(list::STRING1_2, Prop::Text).toString(), u("[Можно настроить на матричный, струйный. Шаг настройки 0.1 мм]"));
    // The navigation buttons to insert and delete do nothing here.
    for (int nav : {vx::Nav::Insert, vx::Nav::Delete}) {
        eng::POST(eng::ev::Accepted, nav, th);
        h.idle();
        EXPECT_EQ(eng::Window::innermost(th), h.window());
    }
    EXPECT_EQ(records().size(), 4u);
    // A second start opens a second list on a thread of its own.
    const int th2 = openList();
    EXPECT_NE(th2, th);
    EXPECT_EQ(shownRows().size(), 3u);
    for (int x : {th2, th}) {
        h.target(x);
        h.win().close();
        ASSERT_TRUE(h.waitEnd(x));
    }
    EXPECT_EQ(vx::platform::getProfileString("BrowseNastr", "Maximize", "<none>", "vexlo.INI"), "No");
}

TEST_F(Nastr, ChangeEditsTheFirstLayoutWhateverRowAndTheListShowsTheResult) {
    layouts({{2, "Матричный", {{"LAS:AZF1", "3.5"}}}, {1, "Лазерный", {}}});
    const int th = openList();
    h.chooseRow(list::BROWSE, 2);
    h.click(list::CHANGE);
    EXPECT_EQ(h.win().title(), u("Изменить настройку"));
    // The opening read the first layout, not the chosen row.
    EXPECT_EQ(h.value(ed::NAME).trimmed(), u("Лазерный"));
    h.fill(ed::NAME, u("Лазерный А4"));
    h.click(ed::OK);
    ASSERT_EQ(h.dialogs().size(), 0u);
    // Back in the list, which shows the file's new contents.
    EXPECT_EQ(h.win().title(), u("Содержание настройки"));
    EXPECT_EQ(shownRows(), (std::vector<std::string>{"1 Лазерный А4", "2 Матричный"}));
    h.win().close();
    ASSERT_TRUE(h.waitEnd(th));
    const auto r = records();
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(t(r[0].NAME.view()), "Матричный");
    EXPECT_EQ(t(r[1].NAME.view()), "Лазерный А4");
    EXPECT_EQ(vx::platform::getProfileString("UpdateNastr", "Maximize", "<none>", "vexlo.INI"), "No");
}

// ---------------------------------------------------------------------------------------------
// Positions

TEST_F(Nastr, SpinStepsMoveFieldsByTenthsWithinTheirRangesAndSaveToTheRecord) {
    oneLayout();
    struct Case {
        const char* field;
        int tab;
        int steps;
        const char* shownBefore;
        const char* stored;  // in the record after the save
    };
    const Case cases[] = {
        {"LAS:AXZ1", 1, 3, "20.0", "20.3"},
        {"LAS:AYZ1", 1, -25, "12.5", "10.0"},
        {"LAS:AXZ2", 1, 5, "99.9", "100.0"},     // the header lines' range ends at 100
        {"LAS:AYZ4", 1, -5, "5.2", "5.0"},       // ... and starts at 5
        {"LAS:AXF5", 1, -3, "0.1", "-0.2"},    // other spins have no range
        {"LAS:AXF23", 2, -2, "25.0", "24.8"},
        {"LAS:AXF251", 2, 1, "31.25", "31.35"},  // two places, kept
        {"LAS:AYF50", 2, 11, "270.4", "271.5"},
    };
    const int th = openEditor(vx::Request::Change);
    for (const Case& c : cases) {
        const int feq = h.feq(std::string("?") + c.field);
        EXPECT_EQ(h.prop(feq, Prop::Step).toString(), u("0.1")) << c.field;
        h.tabTo(ed::SHEET, c.tab);
        EXPECT_EQ(h.value(feq).trimmed(), u(c.shownBefore)) << c.field;
        h.step(feq, c.steps);
    }
    h.fill(ed::CENA, u("150.5"));
    h.click(ed::OK);
    ASSERT_TRUE(h.waitEnd(th));
    EXPECT_EQ(response, vx::Response::Completed);
    auto r = records();
    ASSERT_EQ(r.size(), 1u);
    for (const Case& c : cases) EXPECT_EQ(num(r[0], c.field), c.stored) << c.field;
    EXPECT_EQ(num(r[0], "LAS:CENA"), "150.50");
    EXPECT_EQ(r[0].NFORM.toInt(), 1);
    EXPECT_EQ(t(r[0].NAME.view()), "Лазерный");
    EXPECT_TRUE(field(r[0], "LAS:AXF50").number().isZero());  // untouched fields stay
}

// Typed values are held to the spin's range and picture: "Сохранить" refuses them with a
// message naming the field and what it takes, saves nothing, and saves once they are mended.
TEST_F(Nastr, TypedCoordinatesOutsideTheRangeOrPictureAreRefusedWithAMessage) {
    oneLayout();
    struct Case {
        const char* field;
        const char* typed;
        const char* said;
    };
    const Case cases[] = {
        {"LAS:AXZ1", "3", "от 5 до 100"},
        {"LAS:AXZ1", "250", "от 5 до 100"},
        {"LAS:AXZ1", "12.37", "не более 1 знака после точки"},
        {"LAS:AZF1", "99999", "не длиннее 6 знаков"},
    };
    const int th = openEditor(vx::Request::Change);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " " + c.typed);
        const int feq = h.feq(std::string("?") + c.field);
        h.type(feq, u(c.typed));
        h.click(ed::OK);
        const auto open = h.dialogs();
        ASSERT_EQ(open.size(), 1u);
        EXPECT_TRUE(open[0].text.contains(u(c.typed))) << open[0].text.toStdString();
        EXPECT_TRUE(open[0].text.contains(u(c.said))) << open[0].text.toStdString();
        ASSERT_TRUE(h.answer(eng::btn::Ok));
        EXPECT_EQ(h.focus(), feq);
        EXPECT_TRUE(eng::threadAlive(th));
        EXPECT_EQ(num(records()[0], "LAS:AXZ1"), "20.0");
        h.target(th);  // records() reads on a thread of its own
    }
    h.type(h.feq("?LAS:AXZ1"), u("30"));
    h.type(h.feq("?LAS:AZF1"), u("9999.9"));
    h.click(ed::OK);
    ASSERT_TRUE(h.waitEnd(th));
    EXPECT_EQ(num(records()[0], "LAS:AXZ1"), "30.0");
    EXPECT_EQ(num(records()[0], "LAS:AZF1"), "9999.9");
}

TEST_F(Nastr, EverySpinSitsOnItsTabBesideTheOtherOfItsPair) {
    oneLayout();
    const int th = openEditor(vx::Request::Change);
    std::vector<int> spins;
    for (int i = 0; i < vexlo::kLastPairs; ++i) {
        const vexlo::LastPair p = vexlo::lastPair(i);
        const int x = h.feq(std::string("?") + p.x->name), y = h.feq(std::string("?") + p.y->name);
        EXPECT_EQ(y, x + 1) << p.x->name;
        EXPECT_EQ(h.control(x)->type, eng::CType::Spin);
        EXPECT_EQ(h.prop(x, Prop::Y).toInt(), h.prop(y, Prop::Y).toInt()) << p.x->name;
        EXPECT_LT(h.prop(x, Prop::X).toInt(), h.prop(y, Prop::X).toInt()) << p.x->name;
        spins.push_back(x);
        spins.push_back(y);
    }
    EXPECT_EQ(spins.size(), 208u);
    // The front side holds controls 3 to 115, the reverse side 117 to 231.
    for (int tab : {1, 2}) {
        h.tabTo(ed::SHEET, tab);
        for (int feq : spins) EXPECT_EQ(h.control(feq)->widget->isVisible(), (feq <= 115) == (tab == 1)) << feq;
    }
    h.click(ed::CANCEL);
    ASSERT_TRUE(h.waitEnd(th));
}

// ---------------------------------------------------------------------------------------------
// Font

TEST(NastrFont, ChosenNamesGetTheirCyrillicSuffixOnce) {
    struct Case {
        const char* chosen;
        const char* stored;
    } const cases[] = {
        {"Arial", "Arial Cyr"},
        {"Arial Cyr", "Arial Cyr"},
        {"Arial Cyr   ", "Arial Cyr"},
        {"Times New Roman CYR", "Times New Roman CYR"},  // the layouts' own spelling
        {"Liberation Serif", "Liberation Serif Cyr"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ12", "ABCDEFGHIJKLMNOPQRSTUVWXYZ12 Cy"},   // cut at 31
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ12345", "ABCDEFGHIJKLMNOPQRSTUVWXYZ12345"},
    };
    for (const auto& c : cases) EXPECT_EQ(vexlo::printing::cyrillicTypeface(c.chosen), c.stored) << c.chosen;
}

TEST_F(Nastr, FontChosenInTheDialogLandsInTheLayoutAndIsTheNextStart) {
    oneLayout();
    int th = openEditor(vx::Request::Change);
    EXPECT_EQ(h.prop(ed::GROUP2, Prop::Text).toString(), u("Шрифт: [Times New Roman CYR Размер: 11]"));
    for (int feq : ed::kSamples) {
        EXPECT_EQ(h.prop(feq, Prop::FontName).toString(), u("Times New Roman CYR"));
        EXPECT_EQ(h.prop(feq, Prop::FontStyle).toInt(), 700);
    }
    h.click(ed::FONT);
    QFontDialog* dlg = fontDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(fontDialogBox()->windowTitle(), u("Выбрать шрифт для печати"));
    QFont chosen(QStringLiteral("Liberation Sans"));
    chosen.setPointSize(14);
    chosen.setItalic(true);
    dlg->setCurrentFont(chosen);
    ASSERT_TRUE(h.answer(QDialog::Accepted));
    EXPECT_EQ(h.prop(ed::GROUP2, Prop::Text).toString(), u("Шрифт: [Liberation Sans Cyr Размер: 14]"));
    for (int feq : ed::kSamples) {
        EXPECT_EQ(h.prop(feq, Prop::FontName).toString(), u("Liberation Sans Cyr"));
        EXPECT_EQ(h.prop(feq, Prop::FontSize).toInt(), 14);
        EXPECT_EQ(h.prop(feq, Prop::FontStyle).toInt(), 400 + 0x1000);
    }
    // The typeface entry shows the new name in its previous font.
    EXPECT_EQ(h.value(ed::TYPEFACE).trimmed(), u("Liberation Sans Cyr"));
    EXPECT_EQ(h.prop(ed::TYPEFACE, Prop::FontName).toString(), u("Times New Roman CYR"));
    EXPECT_EQ(TYPEFACE.str(), "Liberation Sans");
    EXPECT_EQ(FONTSIZE.get(), 14);
    // Nothing is written before the save.
    EXPECT_EQ(records()[0].TYPEFACE.str(), "Times New Roman CYR");
    h.target(th);
    h.click(ed::OK);
    ASSERT_TRUE(h.waitEnd(th));
    LAS_RECORD r = records()[0];
    EXPECT_EQ(r.TYPEFACE.str(), "Liberation Sans Cyr");
    EXPECT_EQ(r.FONTSIZE.get(), 14);
    EXPECT_EQ(r.FONTSTYLE.get(), 400 + 0x1000);
    EXPECT_EQ(r.FONTCOLOR.get(), 0);

    // The next editor's dialog starts from that choice; cancelling it keeps the layout's font.
    th = openEditor(vx::Request::Change);
    EXPECT_EQ(h.prop(ed::TYPEFACE, Prop::FontName).toString(), u("Liberation Sans Cyr"));
    h.click(ed::FONT);
    dlg = fontDialog();
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->currentFont().family(), u("Liberation Sans"));
    EXPECT_EQ(dlg->currentFont().pointSize(), 14);
    ASSERT_TRUE(h.answer(QDialog::Rejected));
    EXPECT_EQ(h.prop(ed::GROUP2, Prop::Text).toString(), u("Шрифт: [Liberation Sans Cyr Размер: 14]"));
    h.click(ed::CANCEL);
    ASSERT_TRUE(h.waitEnd(th));
    EXPECT_EQ(response, vx::Response::Cancelled);
    EXPECT_TRUE(h.dialogs().empty());
}

// The dialog passes all five values through: a font chosen alone keeps the layout's colour and
// character set; a colour picked in the dialog lands in the layout with the font.
TEST_F(Nastr, FontDialogKeepsColourAndCharacterSetAndOffersAColour) {
    layouts({{1, "Лазерный", {{"LAS:FONTCOLOR", "32768"}}}});  // green, character set 204
    int th = openEditor(vx::Request::Change);
    h.click(ed::FONT);
    eng::FontDialog* box = fontDialogBox();
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->isModal());
    // The first dialog of the run starts from the layout's own font.
    EXPECT_EQ(box->fontPart()->currentFont().pointSize(), 11);
    EXPECT_EQ(box->colourPart()->currentText(), u("Зеленый"));
    EXPECT_EQ(box->charsetPart()->currentText(), u("Кириллица"));
    QFont chosen(QStringLiteral("Liberation Sans"));
    chosen.setPointSize(9);
    box->fontPart()->setCurrentFont(chosen);
    ASSERT_TRUE(h.answer(QDialog::Accepted));
    EXPECT_EQ(h.prop(ed::GROUP2, Prop::Text).toString(), u("Шрифт: [Liberation Sans Cyr Размер: 9]"));
    for (int feq : ed::kSamples) EXPECT_EQ(h.prop(feq, Prop::FontColor).toInt(), 0x008000) << feq;

    // The next choice: the colour list, opened by a click, moves on by a key to the next colour.
    h.target(th);
    h.click(ed::FONT);
    box = fontDialogBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->colourPart()->currentText(), u("Зеленый"));
    QComboBox* colour = box->colourPart();
    QTest::mouseClick(colour, Qt::LeftButton, {}, colour->rect().center());
    h.idle();
    if (QAbstractItemView* v = colour->view(); v && v->isVisible()) {
        QTest::keyClick(v, Qt::Key_Down);
        QTest::keyClick(v, Qt::Key_Return);
    } else {
        QTest::keyClick(colour, Qt::Key_Down);
    }
    h.idle();
    EXPECT_EQ(colour->currentText(), u("Оливковый"));
    ASSERT_TRUE(h.answer(QDialog::Accepted));
    for (int feq : ed::kSamples) EXPECT_EQ(h.prop(feq, Prop::FontColor).toInt(), 0x008080) << feq;
    h.target(th);
    h.click(ed::OK);
    ASSERT_TRUE(h.waitEnd(th));
    const LAS_RECORD r = records()[0];
    EXPECT_EQ(r.TYPEFACE.str(), "Liberation Sans Cyr");
    EXPECT_EQ(r.FONTSIZE.get(), 9);
    EXPECT_EQ(r.FONTCOLOR.get(), 0x008080);
    EXPECT_EQ(r.CHARSET.get(), 204);
    EXPECT_EQ(CHARSET.get(), 204);
}

// The first dialog of the run opens on the layout's own font: the installed face that stands in
// for "Times New Roman CYR", shown under that name, bold, 11. Only the colour changed (picked with
// a click and a key): the saved layout keeps its typeface, style, size and character set exactly.
TEST_F(Nastr, ChangingOnlyTheColourKeepsTheLayoutsTypefaceAndStyle) {
    oneLayout();
    const int th = openEditor(vx::Request::Change);
    h.click(ed::FONT);
    eng::FontDialog* box = fontDialogBox();
    ASSERT_NE(box, nullptr);
    const QFont shown = box->fontPart()->currentFont();
    EXPECT_EQ(shown.family(), vx::platform::printFamily(u("Times New Roman CYR")));
    EXPECT_EQ(shown.weight(), QFont::Bold);
    EXPECT_FALSE(shown.italic());
    EXPECT_EQ(shown.pointSize(), 11);
    QStringList names;
    for (QLineEdit* e : box->fontPart()->findChildren<QLineEdit*>()) names << e->text();
    EXPECT_TRUE(names.contains(u("Times New Roman CYR"))) << names.join(u(" | ")).toStdString();
    QComboBox* colour = box->colourPart();
    EXPECT_EQ(colour->currentText(), u("Черный"));
    QTest::mouseClick(colour, Qt::LeftButton, {}, colour->rect().center());
    h.idle();
    for (int i = 0; i < 2; ++i) {  // Черный, Темно-бордовый, Зеленый
        if (QAbstractItemView* v = colour->view(); v && v->isVisible()) QTest::keyClick(v, Qt::Key_Down);
        else QTest::keyClick(colour, Qt::Key_Down);
        h.idle();
    }
    if (QAbstractItemView* v = colour->view(); v && v->isVisible()) QTest::keyClick(v, Qt::Key_Return);
    h.idle();
    EXPECT_EQ(colour->currentText(), u("Зеленый"));
    ASSERT_TRUE(h.answer(QDialog::Accepted));
    EXPECT_EQ(h.prop(ed::GROUP2, Prop::Text).toString(), u("Шрифт: [Times New Roman CYR Размер: 11]"));
    for (int feq : ed::kSamples) {
        EXPECT_EQ(h.prop(feq, Prop::FontName).toString(), u("Times New Roman CYR"));
        EXPECT_EQ(h.prop(feq, Prop::FontStyle).toInt(), 700);
        EXPECT_EQ(h.prop(feq, Prop::FontColor).toInt(), 0x008000);
    }
    h.target(th);
    h.click(ed::OK);
    ASSERT_TRUE(h.waitEnd(th));
    const LAS_RECORD r = records()[0];
    EXPECT_EQ(r.TYPEFACE.str(), "Times New Roman CYR");
    EXPECT_EQ(r.FONTSTYLE.get(), 700);
    EXPECT_EQ(r.FONTSIZE.get(), 11);
    EXPECT_EQ(r.CHARSET.get(), 204);
    EXPECT_EQ(r.FONTCOLOR.get(), 0x008000);
}

// The header lines are longer than the samples' boxes in the layout font, and the typeface's name
// longer than its entry at a large size: each shows its first character at its left edge.
TEST_F(Nastr, SamplesAndTypefaceShowTheBeginningOfALongText) {
    Z1 = w("Ставропольская районная станция по борьбе с болезнями животных");
    Z3 = w("Государственное бюджетное учреждение ветеринарии");
    oneLayout();
    const int th = openEditor(vx::Request::Change);
    h.step(ed::FONTSIZE, 9);  // 20 points
    h.select(ed::NAME);
    for (int feq : {ed::Z1, ed::Z3, ed::TYPEFACE}) {
        auto* le = qobject_cast<QLineEdit*>(h.control(feq)->widget.data());
        ASSERT_NE(le, nullptr);
        const QString text = le->text().trimmed();
        ASSERT_GT(QFontMetrics(le->font()).horizontalAdvance(text), le->width()) << feq << " fits: nothing to show";
        EXPECT_EQ(le->cursorPositionAt(QPoint(3, le->height() / 2)), 0) << feq << " " << text.toStdString();
    }
    h.click(ed::CANCEL);
    if (!h.dialogs().empty()) h.answer(eng::btn::Yes);
    ASSERT_TRUE(h.waitEnd(th));
}

TEST_F(Nastr, CancelledFirstDialogOfTheRunLeavesTheLayoutFont) {
    oneLayout();
    const int th = openEditor(vx::Request::Change);
    h.click(ed::FONT);
    ASSERT_NE(fontDialog(), nullptr);
    ASSERT_TRUE(h.answer(QDialog::Rejected));
    EXPECT_EQ(h.prop(ed::GROUP2, Prop::Text).toString(), u("Шрифт: [Times New Roman CYR Размер: 11]"));
    h.click(ed::OK);
    ASSERT_TRUE(h.waitEnd(th));
    LAS_RECORD r = records()[0];
    EXPECT_EQ(r.TYPEFACE.str(), "Times New Roman CYR");
    EXPECT_EQ(r.FONTSIZE.get(), 11);
}

TEST_F(Nastr, SizeSpinChangesCaptionSamplesAndTypefaceEntryAtOnce) {
    oneLayout();
    const int th = openEditor(vx::Request::Change);
    h.step(ed::FONTSIZE, 2);
    EXPECT_EQ(h.prop(ed::GROUP2, Prop::Text).toString(), u("Шрифт: [Times New Roman CYR Размер: 13]"));
    for (int feq : ed::kSamples) EXPECT_EQ(h.prop(feq, Prop::FontSize).toInt(), 13);
    EXPECT_EQ(h.prop(ed::TYPEFACE, Prop::FontSize).toInt(), 13);
    EXPECT_EQ(records()[0].FONTSIZE.get(), 11);
    h.target(th);
    h.click(ed::OK);
    ASSERT_TRUE(h.waitEnd(th));
    EXPECT_EQ(records()[0].FONTSIZE.get(), 13);
}

// ---------------------------------------------------------------------------------------------
// Closing without a save

TEST_F(Nastr, CancelAsksOnlyAfterAChange) {
    oneLayout();
    // Unchanged: closes at once.
    int th = openEditor(vx::Request::Change);
    h.click(ed::CANCEL);
    EXPECT_TRUE(h.dialogs().empty());
    ASSERT_TRUE(h.waitEnd(th));
    EXPECT_EQ(response, vx::Response::Cancelled);

    // Changed: asks; No keeps the window with the focus on the first field, Yes closes.
    th = openEditor(vx::Request::Change);
    h.step(h.feq("?LAS:AXZ1"), 1);
    h.click(ed::CANCEL);
    auto d = h.dialogs();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].title, u("Changes will be lost!"));
    EXPECT_EQ(d[0].text, u("Are you sure you want to cancel?"));
    ASSERT_TRUE(h.answer(eng::btn::No));
    EXPECT_TRUE(vx::eng::threadAlive(th));
    EXPECT_EQ(h.focus(), ed::OK);
    h.click(ed::CANCEL);
    ASSERT_TRUE(h.answer(eng::btn::Yes));
    ASSERT_TRUE(h.waitEnd(th));
    EXPECT_EQ(response, vx::Response::Cancelled);
    EXPECT_EQ(num(records()[0], "LAS:AXZ1"), "20.0");

    // Opened on a row that is not the first layout: the remembered record is that row, so even
    // an unchanged close asks.
    layouts({{0, "Без номера", {}}, {5, "Пятая", {}}});
    th = openEditor(vx::Request::Change, 5);
    EXPECT_EQ(h.value(ed::NAME).trimmed(), u("Лазерный"));
    h.click(ed::CANCEL);
    ASSERT_EQ(h.dialogs().size(), 1u);
    ASSERT_TRUE(h.answer(eng::btn::Yes));
    ASSERT_TRUE(h.waitEnd(th));
}

TEST_F(Nastr, HistoryKeyRestoresTheValueOfTheLastSaveOnTheThread) {
    oneLayout();
    const int feq = 7;  // LAS:AXZ1
    int th = h.start([this] {
        RELATE_LAST->Open();
        for (int round = 0; round < 2; ++round) {
            LAS->NFORM = 1;
            ACCESS_LAST->Fetch(LAS_K1);
            eng::GLOBALREQUEST = vx::Request::Change;
            UPDATENASTR();
            response = eng::GLOBALRESPONSE;
        }
        RELATE_LAST->Close();
    });
    // Before any save on the thread the history is zero.
    h.select(feq);
    h.press(Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(h.value(feq).trimmed(), u("0.0"));
    h.fill(feq, u("21.5"));
    h.click(ed::OK);
    EXPECT_EQ(response, vx::Response::Completed);
    // The second editor on the same thread: Ctrl+H gives back the saved 21.5.
    h.step(feq, 4);
    EXPECT_EQ(h.value(feq).trimmed(), u("21.9"));
    h.select(feq);
    h.press(Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(h.value(feq).trimmed(), u("21.5"));
    // Back as saved: nothing to lose, no question.
    h.click(ed::CANCEL);
    EXPECT_TRUE(h.dialogs().empty());
    ASSERT_TRUE(h.waitEnd(th));
    EXPECT_EQ(num(records()[0], "LAS:AXZ1"), "21.5");
}

// ---------------------------------------------------------------------------------------------
// View mode

TEST_F(Nastr, ViewModeIsReadOnlyAndSavesNothing) {
    oneLayout();
    const int th = openEditor(vx::Request::View);
    EXPECT_EQ(h.win().title(), u("Просмотр настройки"));
    EXPECT_TRUE(h.prop(ed::FONT, Prop::Disable).toBool());
    for (int feq : ed::kEntries) EXPECT_TRUE(h.prop(feq, Prop::ReadOnly).toBool()) << feq;
    const int spin = h.feq("?LAS:AXZ1");
    EXPECT_FALSE(h.prop(spin, Prop::ReadOnly).toBool());
    h.step(spin, 2);
    h.click(ed::OK);
    EXPECT_TRUE(h.dialogs().empty());
    ASSERT_TRUE(h.waitEnd(th));
    EXPECT_EQ(response, vx::Response::Cancelled);
    EXPECT_EQ(num(records()[0], "LAS:AXZ1"), "20.0");
}

TEST_F(Nastr, ListInViewModeRunsNoEditor) {
    oneLayout();
    const int th = openList(vx::Request::View);
    eng::Window* listWindow = h.window();
    h.click(list::CHANGE);
    h.doubleClick(list::BROWSE);
    EXPECT_EQ(h.window(), listWindow);
    h.win().close();
    ASSERT_TRUE(h.waitEnd(th));
}

}  // namespace
