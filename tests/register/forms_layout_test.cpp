// Window layouts of the register, the animal-row form, the counterparty form and the export
// dialog: every control with its number, kind, variable, text, position, picture, font, colours,
// flags, tip and message, as the procedures address them by number; the list formats as the engine
// reads them; and each window opening with every USE variable bound.
//
// Set VEXLO_SHOT_DIR to a directory to get a PNG of each window there.

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTreeView>
#include <QWidget>

#include <array>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/engine/harness.h"
#include "framework/engine/layout.h"
#include "framework/engine/vars.h"
#include "framework/engine/widgets.h"
#include "framework/types/codepage.h"
#include "shell/globals.h"
#include "shell/records.h"

using namespace vx::eng;

namespace {

constexpr unsigned REQ = 1, RO = 2, SKIP = 4, HIDE = 8, DIS = 16, IMM = 32, TRN = 64, FLAT = 128,
                   VSCROLL = 256;

// One control as the layout must declare it. Unset members are the defaults a layout line
// without that attribute gives, so a stray attribute fails too.
struct Row {
    const char* name;
    int feq;
    CType type;
    const char* use = "";
    const char* text = "";
    std::array<int, 4> at = {0, 0, -1, -1};
    const char* pic = "";
    unsigned flags = 0;
    const char* tip = "";  // lines joined with '\n'
    const char* msg = "";
    const char* icon = "";
    FontDesc font = {};
    int bg = -1;
    Align align = Align::Default;
    int alignOffset = 0;
    const char* stdAction = "";
    int in = 0;  // number of the containing control, 0 = the window
};

struct Win {
    WinKind kind;
    const char* name;
    const char* text;
    std::array<int, 4> at;
    FontDesc font;
    int bg = -1;
    const char* icon = "";
    std::vector<int> status = {};
    std::array<int, 4> minMax = {0, 0, 0, 0};
    bool resize = false;
};

unsigned flagsOf(const CtlDesc& c) {
    return (c.req ? REQ : 0) | (c.readOnly ? RO : 0) | (c.skip ? SKIP : 0) | (c.hide ? HIDE : 0) |
           (c.disable ? DIS : 0) | (c.imm ? IMM : 0) | (c.trn ? TRN : 0) | (c.flat ? FLAT : 0) |
           (c.vscroll ? VSCROLL : 0);
}

QString u(const char* s) { return QString::fromUtf8(s); }

void expectFont(const FontDesc& got, const FontDesc& want) {
    EXPECT_EQ(got.face, want.face);
    EXPECT_EQ(got.size, want.size);
    EXPECT_EQ(got.style, want.style);
    EXPECT_EQ(got.color, want.color);
}

void checkWindow(const WinDesc& d, const Win& w) {
    EXPECT_EQ(d.kind, w.kind);
    EXPECT_EQ(d.name, w.name);
    EXPECT_EQ(d.text, u(w.text));
    EXPECT_EQ((std::array<int, 4>{d.x, d.y, d.w, d.h}), w.at);
    expectFont(d.font, w.font);
    EXPECT_EQ(d.bg, w.bg);
    EXPECT_EQ(d.icon, u(w.icon));
    EXPECT_EQ(d.statusZones, w.status);
    EXPECT_EQ((std::array<int, 4>{d.minW, d.minH, d.maxW, d.maxH}), w.minMax);
    EXPECT_EQ(d.resize, w.resize);
    EXPECT_FALSE(d.maximize);
    EXPECT_FALSE(d.center);
}

// Every row, in declaration order, and nothing else. `extra` lists the attributes the engine
// leaves to the procedures, per control label; any other unknown attribute is a typo.
void checkControls(const WinDesc& d, const std::vector<Row>& rows,
                   const std::map<std::string, std::map<std::string, QString>>& extra = {}) {
    ASSERT_EQ(d.controls.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        const CtlDesc& c = d.controls[i];
        SCOPED_TRACE(r.name);
        EXPECT_EQ(c.name, r.name);
        EXPECT_EQ(c.feq, r.feq);
        EXPECT_EQ(d.control(r.feq), &c);
        EXPECT_EQ(c.type, r.type);
        EXPECT_EQ(c.use, r.use);
        EXPECT_EQ(c.text, u(r.text));
        if (r.type != CType::Tab) {
            EXPECT_TRUE(c.hasAt);
            EXPECT_EQ((std::array<int, 4>{c.x, c.y, c.w, c.h}), r.at);
        } else {
            EXPECT_FALSE(c.hasAt);
        }
        EXPECT_EQ(c.picture, r.pic);
        EXPECT_EQ(flagsOf(c), r.flags);
        EXPECT_EQ(c.tip, u(r.tip));
        EXPECT_EQ(c.msg, u(r.msg));
        EXPECT_EQ(c.type == CType::Image ? c.file : c.icon, u(r.icon));
        expectFont(c.font, r.font);
        EXPECT_EQ(c.bg, r.bg);
        EXPECT_EQ(c.align, r.align);
        EXPECT_EQ(c.alignOffset, r.alignOffset);
        EXPECT_EQ(c.stdAction, r.stdAction);
        EXPECT_EQ(c.parent < 0 ? 0 : d.controls[c.parent].feq, r.in);
        auto it = extra.find(r.name);
        const std::map<std::string, QString> none;
        EXPECT_EQ(c.extra, it == extra.end() ? none : it->second);
    }
}

// The thread's record buffers and the process-wide variables, under their program names.
struct Buffers {
    KAG_RECORD kag{};
    ANI_RECORD ani{};
    FRM_RECORD frm{};
    LAS_RECORD las{};
};

Buffers& buffers() {
    static Buffers b;
    return b;
}

void registerVariables() {
    Buffers& b = buffers();
    KAGENT_DESC.clear(&b.kag);
    ANIM_DESC.clear(&b.ani);
    FORMA1_DESC.clear(&b.frm);
    LAST_DESC.clear(&b.las);
    vars::addRecord(KAGENT_DESC, [] { return static_cast<void*>(&buffers().kag); });
    vars::addRecord(ANIM_DESC, [] { return static_cast<void*>(&buffers().ani); });
    vars::addRecord(FORMA1_DESC, [] { return static_cast<void*>(&buffers().frm); });
    vars::addRecord(LAST_DESC, [] { return static_cast<void*>(&buffers().las); });
    vexlo::initGlobals();
    for (const vexlo::GlobalVar& g : vexlo::globals()) vars::add(g.name, g.ref);
}

std::string cp(const char* utf8) { return vx::cp::toCp1251(QString::fromUtf8(utf8)); }

// Queues shaped like the register's three browse queues (without MARK and VIEWPOSITION).
struct RegisterQueues {
    Queue agents{{{vx::FieldType::String, 80}, {vx::FieldType::Dec, 5}}};
    Queue animals{{{vx::FieldType::String, 15}, {vx::FieldType::String, 15}, {vx::FieldType::Dec, 5}}};
    Queue certs{certFields()};

    static std::vector<Queue::Field> certFields() {
        using T = vx::FieldType;
        std::vector<Queue::Field> f = {{T::Dec, 4}};
        auto colours = [&] {
            for (int k = 0; k < 4; ++k) f.push_back({T::Long, 4});
        };
        colours();
        f.push_back({T::Long, 4});  // FRM:NOMSV_STYLE
        f.push_back({T::Long, 4});  // FRM:DATAVV
        colours();
        for (int size : {25, 87, 120, 40, 39, 37, 39, 39}) {
            f.push_back({T::String, static_cast<std::uint16_t>(size)});
            colours();
        }
        return f;
    }

    RegisterQueues() {
        const char* names[] = {"ООО \"Агрокомплекс\"", "Иванова Ивана Петровича", "СПК \"Рассвет\""};
        for (int i = 0; i < 3; ++i) {
            int r = agents.add();
            agents.field(r, 1).setText(cp(names[i]));
            agents.field(r, 2).setNumber(vx::Decimal(i + 1));
        }
        const char* kinds[] = {"Коровы", "Овцы", "Лошади"};
        for (int i = 0; i < 3; ++i) {
            int r = certs.add();
            for (int k = 2; k <= 51; ++k) certs.field(r, k).setNumber(vx::Decimal(-1));
            certs.field(r, 1).setNumber(vx::Decimal(120 + i));
            certs.field(r, 6).setNumber(vx::Decimal(i == 0 ? 1 : 2));
            certs.field(r, 7).setNumber(vx::Decimal(81234 + i));
            certs.field(r, 12).setText(cp("Выдано"));
            certs.field(r, 17).setText(cp("г. Рязань, мясокомбинат"));
            certs.field(r, 22).setText(cp(names[i]));
            certs.field(r, 27).setText(cp(kinds[i]));
        }
        // The number and date cells of the first two rows carry the register's green background,
        // light yellow when selected.
        for (int r : {0, 1})
            for (int first : {2, 8}) {
                certs.field(r, first + 1).setNumber(vx::Decimal(0xEAFFED));
                certs.field(r, first + 3).setNumber(vx::Decimal(0xF2FFFF));
            }
        for (int i = 0; i < 2; ++i) {
            int r = animals.add();
            animals.field(r, 1).setText(cp(i ? "INV-0002" : "INV-0001"));
            animals.field(r, 2).setText(cp(i ? "Зорька" : "Буян"));
            animals.field(r, 3).setNumber(vx::Decimal(120));
        }
    }
};

class FormsLayout : public ::testing::Test {
protected:
    void SetUp() override { registerVariables(); }

    // Opens the layout on a thread of its own (after `before`, which binds the procedure's local
    // names) and checks that every control with a USE found its variable.
    Window& open(const QString& path, std::function<void(Window&)> ready = {},
                 std::function<void()> before = {}) {
        h.start([path, before] {
            if (before) before();
            Window w(path);
            while (w.accept()) {
            }
        });
        Window& w = h.win();
        for (int feq : w.controls()) {
            const Control* c = w.control(feq);
            if (c->desc->use.empty()) continue;
            SCOPED_TRACE(c->desc->name);
            EXPECT_TRUE(c->var.valid()) << c->desc->use << " is not bound";
            EXPECT_EQ(w.feq(c->desc->name), feq);
            EXPECT_TRUE(c->widget);
        }
        if (ready) ready(w);
        h.idle();
        return w;
    }

    static void shoot(Window& w, const char* file) {
        const char* dir = std::getenv("VEXLO_SHOT_DIR");
        if (!dir || !*dir) return;
        QImage img = w.outer()->grab().toImage();
        EXPECT_TRUE(img.save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromLatin1(file))));
    }

    // What the windows show outlives them: the harness closes the windows first.
    RegisterQueues queues;
    vx::STRING<255> fuzzyQuery12;
    test::Harness h;
};

const FontDesc kArial8{QStringLiteral("Arial CYR"), 8, -1, -1};
const FontDesc kArial9b{QStringLiteral("Arial CYR"), 9, 700, -1};

// ---------------------------------------------------------------------------------------------
// The register

const char* const kCounterpartyFormat =
    "320L(3)|_M~Наименование контрагента~L(28)@s80@?32D(3)|_M~iD контрагента [физическое/юридическое "
    "лицо]~C(1)@n_8b@";
const char* const kCertificateFormat =
    "51R(5)|_FM*Y~[№ свид-ва]~C(0)@n_8@?45R(3)|_FM*~[Дата]~C(6)@d6.b@110L(2)|_M*~[Описание]~C(4)@s25@"
    "167L(1)|_M*~Пункт назначения~C(4)@s40@288L(1)|_M*~[Кому]~L(4)@s72@108L(2)|_M*@s27@104L(2)|_M*@s26@"
    "100L(2)|_M*@s25@156L(2)|_M*@s39@156L(2)|_M*@s39@";
const char* const kAnimalFormat =
    "66L(3)|_M~[Инвентарный №]~L(2)@s15@71L(3)|_M~[Кличка]~C(2)@s15@84L(4)|_M~[№ свидетельства]~L(2)@n_9b@";

#define CERT_TIP                                                                                  \
    "Информацию можно отсортировать.\nВыберите заголовок любой колонки:\n\n[+] сортировка по " \
    "возрастанию\n[-]  сортировка по убыванию"

const std::vector<Row>& registerRows() {
    static const std::vector<Row> rows = {
        {.name = "?IMAGE1", .feq = 1, .type = CType::Image, .at = {149, 3, 17, 15}, .icon = "razmer.ico"},
        {.name = "?LIST:2", .feq = 2, .type = CType::List, .at = {4, 18, 195, 251}, .flags = IMM | VSCROLL,
         .tip = "[Наименование контрагента в родительном падеже,\nвводить как будет в документе]. "
                "Работает совместно \nс таблицей [Формы документов] при закладке \n[По контрагенту].\n\n" CERT_TIP
                "\n\nПоиск:\n\n- в поле Контрагент ввести начальные\n  символы для поиска с учетом регистра\n- нажать Tab",
         .font = {QStringLiteral("Arial CYR"), 8, -1, 0x800000}, .bg = 0xFFFFFF},
        {.name = "?FRM:F2:PROMPT:3", .feq = 3, .type = CType::Prompt, .text = "...[2]  Формы документов...", .at = {207, 6, -1, -1}},
        {.name = "?BUTTON19", .feq = 4, .type = CType::Button, .at = {517, 2, 18, 14}, .icon = "EXIT.ICO", .stdAction = "close"},
        {.name = "?FRM:F2:PROMPT:4", .feq = 5, .type = CType::Prompt, .text = "...[1] Контрагенты...№", .at = {4, 6, -1, -1}},
        {.name = "?KAG:ID", .feq = 6, .type = CType::Entry, .use = "KAG:ID", .at = {81, 5, 47, 10}, .pic = "@n_8b", .tip = "iD контрагента",
         .msg = "iD контрагента"},
        {.name = "?SPINW", .feq = 7, .type = CType::Spin, .use = "SPINW", .at = {169, 5, 29, 10}, .pic = "@n2b", .tip = "[Размер шрифта]"},
        {.name = "?KOL_FORM", .feq = 8, .type = CType::Entry, .use = "KOL_FORM", .at = {169, 287, 29, 10}, .pic = "@n_6b", .tip = "Выдано документов"},
        {.name = "?KOL_AGENT", .feq = 9, .type = CType::Entry, .use = "KOL_AGENT", .at = {138, 287, 29, 10}, .pic = "@n_5b",
         .tip = "Учтено контрагентов"},
        {.name = "?BROWSE:1", .feq = 10, .type = CType::List, .at = {213, 38, 315, 127}, .flags = IMM | VSCROLL, .tip = CERT_TIP,
         .font = kArial8, .bg = 0xFFFFFF},
        {.name = "?CURRENTTAB", .feq = 11, .type = CType::Sheet, .at = {207, 19, 327, 199}},
        {.name = "?TAB1", .feq = 12, .type = CType::Tab, .text = "...По контрагенту...                   ", .bg = 0xFFF4F4, .in = 11},
        {.name = "?BUTTON20", .feq = 13, .type = CType::Button, .at = {384, 167, 27, 22}, .tip = "[Экспорт в файл forma_2.xls]",
         .icon = "export.ico", .in = 12},
        {.name = "?TAB2", .feq = 14, .type = CType::Tab, .text = "...Все [по наименованию]...", .bg = 0xEEEEEE, .in = 11},
        {.name = "?TAB3", .feq = 15, .type = CType::Tab, .text = "...Все [по № свидетельства]...", .bg = 0xB8EDC8, .in = 11},
        {.name = "?QUERY", .feq = 16, .type = CType::Button, .at = {213, 167, 27, 22}, .tip = "[Утановить фильтр для всей БД]",
         .icon = "filter.ico"},
        {.name = "?INSERT:3", .feq = 17, .type = CType::Button, .at = {429, 167, 27, 22}, .tip = "Добавить документ", .icon = "9n.ico"},
        {.name = "?CHANGE:3", .feq = 18, .type = CType::Button, .at = {465, 167, 27, 22}, .tip = "Изменить документ", .icon = "10n.ico"},
        {.name = "?DELETE:3", .feq = 19, .type = CType::Button, .at = {501, 167, 27, 22}, .tip = "Удалить документ", .icon = "11n.ico"},
        {.name = "?FUZZYGROUP", .feq = 20, .type = CType::Group, .text = "Поиск произвольного текста", .at = {215, 191, 261, 22},
         .font = {QString(), 7, -1, -1}, .bg = 0xE4E3D8},
        {.name = "?FUZZYQUERY", .feq = 21, .type = CType::Entry, .use = "FuzzyQuery12", .at = {220, 198, 158, 10}, .pic = "@S255", .in = 20},
        {.name = "?FUZZYGO", .feq = 22, .type = CType::Button, .text = "Найти", .at = {383, 198, 42, 12},
         .tip = "[1] Ввести искомый текст\n[2] Нажать кнопку Найти...\n[3] Найденный документ станет \n"
                "     первым в таблице",
         .in = 20},
        {.name = "?FUZZYCLEAR", .feq = 23, .type = CType::Button, .text = "Очистить", .at = {427, 198, 42, 12}, .font = {QString(), 9, -1, -1},
         .in = 20},
        {.name = "?BUTTON15", .feq = 24, .type = CType::Button, .at = {333, 167, 27, 22},
         .tip = "[Произвольный отчёт по условию фильтра]\n\n[1] Установть фильтр\n[2] Выбрать данный отчёт.\n\n"
                "[Без фильтра в отчёт попадут все записи]",
         .icon = "print_query.ico"},
        {.name = "?BUTTON14", .feq = 25, .type = CType::Button, .at = {303, 167, 27, 22}, .tip = "Печать обратной стороны корешка",
         .icon = "print_stub.ico"},
        {.name = "?BUTTON13", .feq = 26, .type = CType::Button, .at = {273, 167, 27, 22}, .tip = "Печать обратной стороны",
         .icon = "print_back.ico"},
        {.name = "?BUTTON12", .feq = 27, .type = CType::Button, .at = {243, 167, 27, 22}, .tip = "Печать лицевой стороны",
         .icon = "print_front.ico"},
        {.name = "?FRM:F2:PROMPT:2", .feq = 28, .type = CType::Prompt, .text = "...[3]  Животные для описи...", .at = {209, 221, -1, -1}},
        {.name = "?LIST", .feq = 29, .type = CType::List, .at = {207, 231, 327, 63}, .flags = IMM | VSCROLL,
         .tip = "Информация о животных включенных в опись", .font = kArial8, .bg = 0xFFFFFF},
        {.name = "?KAG:NAME:PROMPT:2", .feq = 30, .type = CType::Prompt, .text = "Контрагент", .at = {3, 273, -1, -1}},
        {.name = "?KAG:NAME:2", .feq = 31, .type = CType::Entry, .use = "KAG:NAME", .at = {47, 273, 151, 10}, .pic = "@s80",
         .tip = "[Введите имя контрагента с учетом \nрегистра и нажмите клавишу Tab]",
         .msg = "Наименование контрагента [физического/юридического лица]"},
        {.name = "?KOL_FORM:PROMPT:2", .feq = 32, .type = CType::Prompt, .text = "Выдано", .at = {114, 288, -1, -1},
         .font = {QString(), 7, -1, -1}},
        {.name = "?INSERT:2", .feq = 33, .type = CType::Button, .text = "Добавить", .at = {37, 298, 51, 13}, .tip = "Добавить контрагента"},
        {.name = "?CHANGE:2", .feq = 34, .type = CType::Button, .text = "Изменить", .at = {91, 298, 51, 13}, .tip = "Изменить контрагента"},
        {.name = "?DELETE:2", .feq = 35, .type = CType::Button, .text = "Удалить", .at = {145, 298, 51, 13}, .tip = "Удалить контрагента"},
        {.name = "?POLOSA", .feq = 36, .type = CType::Check, .use = "POLOSA", .at = {209, 295, -1, -1}, .tip = "[Изменить подсветку строки]",
         .icon = "polosa.ico"},
        {.name = "?PRINT", .feq = 37, .type = CType::Button, .at = {241, 295, 27, 22}, .tip = "Опись для товарных животных", .icon = "opis.ico"},
        {.name = "?PRINT:2", .feq = 38, .type = CType::Button, .at = {275, 295, 27, 22}, .tip = "Опись для племенных животных",
         .icon = "opis2.ico"},
        {.name = "?INSERT", .feq = 39, .type = CType::Button, .at = {429, 295, 27, 22}, .tip = "Добавить запись", .icon = "9n.ico"},
        {.name = "?CHANGE", .feq = 40, .type = CType::Button, .at = {465, 295, 27, 22}, .tip = "Изменить запись", .icon = "10n.ico"},
        {.name = "?DELETE", .feq = 41, .type = CType::Button, .at = {501, 295, 27, 22}, .tip = "Удалить запись", .icon = "11n.ico"},
    };
    return rows;
}

TEST_F(FormsLayout, RegisterDeclaresItsFortyOneControlsInOrder) {
    auto d = loadLayout(QStringLiteral(":/layouts/browseforma_1.lay"));
    checkWindow(*d, {WinKind::MdiChild, "P1$QUICKWINDOW", "", {-1, -1, 541, 322},
                     {QStringLiteral("Arial CYR"), 8, 400, -1}, 0xFFFFFF, "vexlo.ico", {}, {500, 250, 640, 342}, true});
    const std::map<std::string, QString> ctrlClicks = {{"alrt", QStringLiteral("0x201\n0x202")}};
    checkControls(*d, registerRows(), {{"?LIST:2", ctrlClicks}, {"?BROWSE:1", ctrlClicks}});

    struct ListRow {
        const char* name;
        const char* format;
        int selFg, selBg;
    };
    const ListRow lists[] = {{"?LIST:2", kCounterpartyFormat, 0x804000, 0xE2FEFE},
                             {"?BROWSE:1", kCertificateFormat, 0x804000, 0xF2FFFF},
                             {"?LIST", kAnimalFormat, 0x804000, 0xE2FEFE}};
    for (const ListRow& l : lists) {
        SCOPED_TRACE(l.name);
        const CtlDesc* c = nullptr;
        for (const CtlDesc& k : d->controls)
            if (k.name == l.name) c = &k;
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->format, u(l.format));
        EXPECT_EQ(c->selFg, l.selFg);
        EXPECT_EQ(c->selBg, l.selBg);
    }
    const CtlDesc* spin = d->control(7);
    EXPECT_EQ(spin->rangeLow, "6");
    EXPECT_EQ(spin->rangeHigh, "12");
    EXPECT_EQ(spin->step, "1");
}

// Width, alignment and offset, header and its alignment, picture, and the queue fields each column
// reads: its value, its four colours, its style.
struct Col {
    int width;
    Align align;
    int offset;
    const char* header;
    Align headerAlign;
    const char* pic;
    int field, colorField, styleField;
};

void checkFormat(const char* format, const std::vector<Col>& want) {
    const auto cols = detail::parseListFormat(u(format));
    ASSERT_EQ(cols.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i + 1);
        const Col& w = want[i];
        const detail::ListColumn& c = cols[i];
        EXPECT_EQ(c.width, w.width);
        EXPECT_EQ(c.align, w.align);
        EXPECT_EQ(c.offset, w.offset);
        EXPECT_EQ(c.header, u(w.header));
        if (*w.header) {
            EXPECT_EQ(c.headerAlign, w.headerAlign);
        }
        ASSERT_TRUE(c.pic.has_value());
        EXPECT_EQ(c.pic->text, w.pic);
        EXPECT_EQ(c.field, w.field);
        EXPECT_EQ(c.colorField, w.colorField);
        EXPECT_EQ(c.styleField, w.styleField);
        EXPECT_TRUE(c.rightBorder);
        EXPECT_TRUE(c.resizable);
    }
}

TEST_F(FormsLayout, TheEngineReadsTheThreeListFormats) {
    using A = Align;
    checkFormat(kCounterpartyFormat, {{320, A::Left, 3, "Наименование контрагента", A::Left, "@s80", 1, 0, 0},
                                      {32, A::Decimal, 3, "iD контрагента [физическое/юридическое лицо]", A::Center,
                                       "@n_8b", 2, 0, 0}});
    // The certificate queue: the number with its four colours and its style (fields 1 to 6), then
    // nine columns of a value and four colours each: 51 fields.
    checkFormat(kCertificateFormat, {{51, A::Right, 5, "[№ свид-ва]", A::Center, "@n_8", 1, 2, 6},
                                     {45, A::Right, 3, "[Дата]", A::Center, "@d6.b", 7, 8, 0},
                                     {110, A::Left, 2, "[Описание]", A::Center, "@s25", 12, 13, 0},
                                     {167, A::Left, 1, "Пункт назначения", A::Center, "@s40", 17, 18, 0},
                                     {288, A::Left, 1, "[Кому]", A::Left, "@s72", 22, 23, 0},
                                     {108, A::Left, 2, "", A::Left, "@s27", 27, 28, 0},
                                     {104, A::Left, 2, "", A::Left, "@s26", 32, 33, 0},
                                     {100, A::Left, 2, "", A::Left, "@s25", 37, 38, 0},
                                     {156, A::Left, 2, "", A::Left, "@s39", 42, 43, 0},
                                     {156, A::Left, 2, "", A::Left, "@s39", 47, 48, 0}});
    checkFormat(kAnimalFormat, {{66, A::Left, 3, "[Инвентарный №]", A::Left, "@s15", 1, 0, 0},
                                {71, A::Left, 3, "[Кличка]", A::Center, "@s15", 2, 0, 0},
                                {84, A::Left, 4, "[№ свидетельства]", A::Left, "@n_9b", 3, 0, 0}});
}

QRgb cellPixel(QTreeView* tv, int row, int col) {
    const QRect r = tv->visualRect(tv->model()->index(row, col));
    return tv->viewport()->grab().toImage().pixel(r.left() + 1, r.center().y());
}

TEST_F(FormsLayout, RegisterOpensWithEveryVariableBoundAndShowsCellColours) {
    fuzzyQuery12.clear();
    RegisterQueues& q = queues;
    Window& w = open(
        QStringLiteral(":/layouts/browseforma_1.lay"),
        [&](Window& w) {
            w.setListSource(w.feq("?LIST:2"), &q.agents);
            w.setListSource(w.feq("?BROWSE:1"), &q.certs);
            w.setListSource(w.feq("?LIST"), &q.animals);
            ListStyle bold;
            bold.font = {QStringLiteral("Arial CYR"), 8, 700, -1};
            bold.fg = bold.selFg = 0x8080FF;
            w.setListStyle(w.feq("?BROWSE:1"), 1, bold);
            bold.fg = bold.selFg = 0;
            w.setListStyle(w.feq("?BROWSE:1"), 2, bold);
            w.setProp(w.feq("?BROWSE:1"), Prop::Selected, 2);
            w.setProp(w.feq("?LIST:2"), Prop::Selected, 1);
        },
        [this] { vars::bindLocal("FuzzyQuery12", vx::ref(fuzzyQuery12)); });
    EXPECT_EQ(w.title(), QString());
    EXPECT_EQ(w.width(), 541);
    EXPECT_EQ(w.height(), 322);

    auto* tv = static_cast<QTreeView*>(w.control(10)->widget.data());
    ASSERT_EQ(tv->model()->rowCount(), 3);
    EXPECT_EQ(tv->model()->columnCount(), 10);
    EXPECT_EQ(tv->model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("[Кому]"));
    EXPECT_EQ(tv->model()->data(tv->model()->index(0, 0)).toString(), QStringLiteral("120"));
    EXPECT_EQ(tv->model()->data(tv->model()->index(0, 4)).toString(), QStringLiteral("ООО \"Агрокомплекс\""));
    EXPECT_EQ(tv->model()->data(tv->model()->index(2, 5)).toString(), QStringLiteral("Лошади"));
    // Whole-row selection on row 2: its number cell takes its own selected background; row 1 keeps
    // its normal green cells, row 3 (colours -1) the list's white.
    w.setProp(10, Prop::Column, 0);
    EXPECT_EQ(cellPixel(tv, 0, 0), QColor(0xED, 0xFF, 0xEA).rgb());
    EXPECT_EQ(cellPixel(tv, 0, 1), QColor(0xED, 0xFF, 0xEA).rgb());
    EXPECT_EQ(cellPixel(tv, 1, 0), QColor(0xFF, 0xFF, 0xF2).rgb());
    EXPECT_EQ(cellPixel(tv, 2, 0), QColor(0xFF, 0xFF, 0xFF).rgb());
    EXPECT_EQ(cellPixel(tv, 1, 2), QColor(0xFF, 0xFF, 0xF2).rgb());  // the list's selected background
    shoot(w, "browseforma_1.png");
}

// ---------------------------------------------------------------------------------------------
// The animal-row form

TEST_F(FormsLayout, AnimalRowFormDeclaresItsTwentyThreeControls) {
    auto d = loadLayout(QStringLiteral(":/layouts/updateanim.lay"));
    checkWindow(*d, {WinKind::MdiChild, "P1$QUICKWINDOW", "Информация о животном", {-1, -1, 271, 223}, kArial8,
                     0xDCEDED, "", {-1, 90}, {0, 0, 0, 0}, true});
    const std::vector<Row> rows = {
        {.name = "?CURRENTTAB", .feq = 1, .type = CType::Sheet, .at = {4, 4, 264, 194}},
        {.name = "?TAB:1", .feq = 2, .type = CType::Tab, .text = "Для описи", .in = 1},
        {.name = "?GROUP1", .feq = 3, .type = CType::Group, .text = "Товарные животные", .at = {11, 21, 249, 82}, .in = 2},
        {.name = "?ANI:NFORM", .feq = 4, .type = CType::Entry, .use = "ANI:NFORM", .at = {134, 34, 63, 10}, .pic = "@n_9b", .flags = RO | SKIP | TRN,
         .font = kArial9b, .align = Align::Right, .alignOffset = 1, .in = 3},
        {.name = "?ANI:NPP", .feq = 5, .type = CType::Entry, .use = "ANI:NPP", .at = {134, 51, 49, 10}, .pic = "@n_5b", .font = kArial9b,
         .bg = 0xFFFFFF, .align = Align::Right, .alignOffset = 1, .in = 3},
        {.name = "?ANI:KICHKA", .feq = 6, .type = CType::Entry, .use = "ANI:KICHKA", .at = {134, 68, 60, 10}, .pic = "@s15", .font = kArial9b,
         .bg = 0xFFFFFF, .in = 3},
        {.name = "?ANI:INVENT", .feq = 7, .type = CType::Entry, .use = "ANI:INVENT", .at = {134, 85, 60, 10}, .pic = "@s15", .font = kArial9b,
         .bg = 0xFFFFFF, .in = 3},
        {.name = "?ANI:NFORM:PROMPT", .feq = 8, .type = CType::Prompt, .text = "№ ветеринарной справки", .at = {27, 34, -1, -1},
         .flags = TRN, .font = kArial9b, .in = 3},
        {.name = "?ANI:NPP:PROMPT", .feq = 9, .type = CType::Prompt, .text = "№ п/п", .at = {27, 50, 25, 11}, .flags = TRN, .font = kArial9b,
         .in = 3},
        {.name = "?ANI:KICHKA:PROMPT", .feq = 10, .type = CType::Prompt, .text = "Кличка", .at = {27, 68, -1, -1}, .flags = TRN,
         .font = kArial9b, .in = 3},
        {.name = "?ANI:INVENT:PROMPT", .feq = 11, .type = CType::Prompt, .text = "Инвентарный №", .at = {27, 85, -1, -1}, .flags = TRN,
         .font = kArial9b, .in = 3},
        {.name = "?ANI:POL:PROMPT:2", .feq = 12, .type = CType::Prompt, .text = "+", .at = {125, 102, 13, 13}, .flags = TRN,
         .font = {QStringLiteral("Arial CYR"), 14, 700, -1}, .in = 2},
        {.name = "?GROUP1:2", .feq = 13, .type = CType::Group, .text = "Племенные животные", .at = {12, 109, 249, 82}, .in = 2},
        {.name = "?ANI:POL", .feq = 14, .type = CType::Entry, .use = "ANI:POL", .at = {124, 121, 94, 10}, .pic = "@s10", .font = kArial9b,
         .bg = 0xFFFFFF, .in = 13},
        {.name = "?ANI:PORODA", .feq = 15, .type = CType::Entry, .use = "ANI:PORODA", .at = {124, 137, 93, 10}, .pic = "@s20", .font = kArial9b,
         .bg = 0xFFFFFF, .in = 13},
        {.name = "?ANI:VOSRAST", .feq = 16, .type = CType::Entry, .use = "ANI:VOSRAST", .at = {124, 153, 95, 10}, .pic = "@s12", .font = kArial9b,
         .bg = 0xFFFFFF, .in = 13},
        {.name = "?ANI:PRIM", .feq = 17, .type = CType::Entry, .use = "ANI:PRIM", .at = {124, 169, 125, 10}, .pic = "@s30", .font = kArial9b,
         .bg = 0xFFFFFF, .in = 13},
        {.name = "?ANI:POL:PROMPT", .feq = 18, .type = CType::Prompt, .text = "Пол", .at = {28, 121, -1, -1}, .flags = TRN, .font = kArial9b,
         .in = 13},
        {.name = "?ANI:PORODA:PROMPT", .feq = 19, .type = CType::Prompt, .text = "Порода", .at = {28, 137, -1, -1}, .flags = TRN,
         .font = kArial9b, .in = 13},
        {.name = "?ANI:VOSRAST:PROMPT", .feq = 20, .type = CType::Prompt, .text = "Возраст", .at = {28, 153, -1, -1}, .flags = TRN,
         .font = kArial9b, .in = 13},
        {.name = "?ANI:PRIM:PROMPT", .feq = 21, .type = CType::Prompt, .text = "Примечание", .at = {28, 169, -1, -1}, .flags = TRN,
         .font = kArial9b, .in = 13},
        {.name = "?OK", .feq = 22, .type = CType::Button, .text = "Сохранить", .at = {129, 206, 53, 14}, .flags = FLAT,
         .tip = "Сохранить и выйти"},
        {.name = "?CANCEL", .feq = 23, .type = CType::Button, .text = "Отменить", .at = {186, 206, 53, 14}, .flags = FLAT,
         .tip = "Оменить введенную информацию", .msg = "Оменить введенную информацию"},
    };
    checkControls(*d, rows);
}

TEST_F(FormsLayout, AnimalRowFormOpensWithTheRowBound) {
    buffers().ani.NFORM = 120;
    Window& w = open(QStringLiteral(":/layouts/updateanim.lay"), [](Window& w) { w.setStatusText(2, QStringLiteral("Добавить запись")); });
    EXPECT_EQ(w.title(), QStringLiteral("Информация о животном"));
    EXPECT_EQ(w.statusText(2), QStringLiteral("Добавить запись"));
    EXPECT_EQ(w.propText(4, Prop::Value), QStringLiteral("120"));
    EXPECT_TRUE(w.propInt(4, Prop::ReadOnly));
    EXPECT_EQ(w.tabOrder().front(), 5);  // the certificate's number is skipped
    shoot(w, "updateanim.png");
}

// ---------------------------------------------------------------------------------------------
// The counterparty form

TEST_F(FormsLayout, CounterpartyFormDeclaresItsEightControls) {
    auto d = loadLayout(QStringLiteral(":/layouts/updateagent.lay"));
    checkWindow(*d, {WinKind::MdiChild, "P1$QUICKWINDOW", "Контрагент [в родительном падеже]", {-1, -1, 357, 65},
                     kArial8, -1, "", {}, {0, 0, 0, 0}, true});
    const std::vector<Row> rows = {
        {.name = "?CURRENTTAB", .feq = 1, .type = CType::Sheet, .at = {4, 4, 350, 44}},
        {.name = "?TAB:1", .feq = 2, .type = CType::Tab, .text = "Форма редактирования", .in = 1},
        {.name = "?KAG:ID:PROMPT", .feq = 3, .type = CType::Prompt, .text = "iD контрагента", .at = {8, 20, -1, -1}, .flags = TRN, .in = 2},
        {.name = "?KAG:ID", .feq = 4, .type = CType::Entry, .use = "KAG:ID", .at = {61, 20, 50, 10}, .pic = "@n_8b", .flags = RO | SKIP | TRN,
         .tip = "iD контрагента \n[формируется автоматически]", .msg = "iD контрагента [физическое/юридическое лицо]",
         .font = {QStringLiteral("Arial CYR"), 8, 700, -1}, .align = Align::Decimal, .alignOffset = 12, .in = 2},
        {.name = "?KAG:NAME:PROMPT", .feq = 5, .type = CType::Prompt, .text = "Контрагент [физическое/юридическое лицо]", .at = {8, 34, -1, -1},
         .flags = TRN, .in = 2},
        {.name = "?KAG:NAME", .feq = 6, .type = CType::Entry, .use = "KAG:NAME", .at = {162, 34, 188, 10}, .pic = "@s80",
         .tip = "[Наименование контрагента \nв родительном падеже]",
         .msg = "Наименование контрагента [физического/юридического лица]", .in = 2},
        {.name = "?OK", .feq = 7, .type = CType::Button, .text = "Сохранить", .at = {251, 52, 49, 14}, .flags = FLAT, .tip = "Сохранить"},
        {.name = "?CANCEL", .feq = 8, .type = CType::Button, .text = "Отменить", .at = {304, 52, 49, 14}, .flags = FLAT, .tip = "Отменить"},
    };
    checkControls(*d, rows);
}

TEST_F(FormsLayout, CounterpartyFormOpensWithTheRecordBound) {
    buffers().kag.ID = 17;
    buffers().kag.NAME = cp("Иванова Ивана Петровича");
    Window& w = open(QStringLiteral(":/layouts/updateagent.lay"), [](Window& w) { w.setTitle(QStringLiteral("Изменить запись")); });
    EXPECT_EQ(w.propText(4, Prop::Value).trimmed(), QStringLiteral("17"));
    EXPECT_EQ(w.propText(6, Prop::Value), QStringLiteral("Иванова Ивана Петровича"));
    EXPECT_EQ(w.tabOrder().front(), 6);
    shoot(w, "updateagent.png");
}

// ---------------------------------------------------------------------------------------------
// The export dialog

TEST_F(FormsLayout, ExportDialogDeclaresItsTwelveControls) {
    auto d = loadLayout(QStringLiteral(":/layouts/rep_data1.lay"));
    checkWindow(*d, {WinKind::Dialog, "P1$WINDOW", "Экспорт в файл Forma_2.xls", {-1, -1, 279, 75}, kArial8, 0xDCEDED,
                     "vexlo.ico", {}, {0, 0, 0, 0}, true});
    const FontDesc size9{QString(), 9, -1, -1};
    const std::vector<Row> rows = {
        {.name = "?D1:PROMPT", .feq = 1, .type = CType::Prompt, .text = "С", .at = {9, 13, -1, -1}, .font = size9},
        {.name = "?D1", .feq = 2, .type = CType::Entry, .use = "D1", .at = {26, 14, 60, 10}, .pic = "@d6.b", .font = size9, .bg = 0xF3F3F3},
        {.name = "?CALENDAR", .feq = 3, .type = CType::Button, .at = {89, 12, 12, 12}, .icon = "calendarn.ico"},
        {.name = "?D2:PROMPT", .feq = 4, .type = CType::Prompt, .text = "по", .at = {114, 13, -1, -1}, .font = size9},
        {.name = "?D2", .feq = 5, .type = CType::Entry, .use = "D2", .at = {131, 14, 60, 10}, .pic = "@d6.b", .font = size9, .bg = 0xF3F3F3},
        {.name = "?CALENDAR:2", .feq = 6, .type = CType::Button, .at = {194, 13, 12, 12}, .icon = "calendarn.ico"},
        {.name = "?NAMEFILE:PROMPT", .feq = 7, .type = CType::Prompt, .text = "Файл", .at = {5, 35, -1, -1}},
        {.name = "?NAMEFILE", .feq = 8, .type = CType::Entry, .use = "NAMEFILE", .at = {26, 34, 225, 13}, .pic = "@s255", .bg = 0xF3F3F3},
        {.name = "?LOOKUPFILE", .feq = 9, .type = CType::Button, .text = "...", .at = {260, 34, 15, 12},
         .tip = "[Выбрать рсположение файла Forma_2.xls]"},
        {.name = "?OKBUTTON", .feq = 10, .type = CType::Button, .text = "Экспортировать", .at = {129, 55, 74, 14},
         .tip = "[Экспорт в файл \"Forma_2.xls\"]", .stdAction = "close"},
        {.name = "?CANCELBUTTON", .feq = 11, .type = CType::Button, .text = "Выйти", .at = {209, 55, 43, 14}, .stdAction = "close"},
        {.name = "?BUTTON5", .feq = 12, .type = CType::Button, .at = {260, 55, 15, 12}, .icon = "lampa.ico",
         .font = {QStringLiteral("Arial CYR"), 10, 700, -1}, .bg = 0x80FFFF},
    };
    checkControls(*d, rows);
}

TEST_F(FormsLayout, ExportDialogOpensWithThePeriodAndFileBound) {
    D1 = 81234;
    D2 = 0;
    NAMEFILE = cp("C:\\Отчёты\\Forma_2.xls");
    Window& w = open(QStringLiteral(":/layouts/rep_data1.lay"));
    EXPECT_FALSE(w.propText(2, Prop::Value).isEmpty());
    EXPECT_EQ(w.propText(5, Prop::Value), QString());  // no date shows blank
    EXPECT_EQ(w.propText(8, Prop::Value), QStringLiteral("C:\\Отчёты\\Forma_2.xls"));
    EXPECT_EQ(w.title(), QStringLiteral("Экспорт в файл Forma_2.xls"));
    shoot(w, "rep_data1.png");
}

}  // namespace
