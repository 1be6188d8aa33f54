// The certificate entry window's layout: every control with its number, kind, variable,
// position, picture, font, colours and attributes; the window opened offscreen with all its
// variables bound, its Tab order, and a picture of each tab for looking at.

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "framework/engine/fonts.h"
#include "framework/engine/harness.h"
#include "framework/engine/layout.h"
#include "framework/engine/pictures.h"
#include "framework/engine/vars.h"
#include "framework/types/codepage.h"
#include "framework/types/date.h"
#include "framework/types/picture.h"
#include "shell/globals.h"
#include "shell/records.h"
#include "text_fit.h"

using namespace vx::eng;

namespace {

const QString kLayout = QStringLiteral(":/layouts/updateforma_1.lay");

std::shared_ptr<const WinDesc> layout() { return loadLayout(kLayout); }

struct Font {
    const char* face = "";
    int size = 0, style = -1, color = -1;
};
// Entries and drop lists; the header lines and signatures; the blank's lines (style A) and the
// small captions under them (style B) on the front and on the reverse.
constexpr Font kLine{"Arial CYR", 10, 700, 0x512C02};
constexpr Font kLine9{"Arial CYR", 9, 700, 0x512C02};
constexpr Font kA{"Times New Roman CYR", 9, 700, 0x686868};
constexpr Font kBFront{"Times New Roman CYR", 7, 400, 0x575757};
constexpr Font kBBack{"Times New Roman CYR", 7, 400, 0x686868};

constexpr CType P = CType::Prompt, S = CType::String, E = CType::Entry, B = CType::Button,
                C = CType::Check, SP = CType::Spin, DL = CType::DropList, SH = CType::Sheet,
                TB = CType::Tab, G = CType::Group, PN = CType::Panel, I = CType::Image;

struct Row {
    const char* label;
    int feq;
    CType type;
    const char* use;
    int at[4];          // x, y, width, height; -1 = natural size
    const char* pic;
    const char* flags;  // req readonly skip hide imm trn flat, and tip / msg when the control has one
    const char* align;  // "right,1", "center", ... ; "" = default
    Font font;
    int bg;
    const char* res;    // picture of an image, icon of a button
    const char* text;   // nullptr: none
};

// All 232 controls in declaration order.
const Row kRows[] = {
    {"?CURRENTTAB", 1, SH, "", {4, 2, 524, 606}, "", "", "", {}, -1, "", nullptr},
    {"?TAB:1", 2, TB, "", {0, 0, -1, -1}, "", "", "", {}, 0xFFEEEE, "", "...Лицевая..."},
    {"?IMAGE1", 3, I, "", {9, 24, 513, 579}, "", "", "", {}, -1, "f1u.gif", nullptr},
    {"?PANEL1", 4, PN, "", {340, 30, 168, 24}, "", "", "", {}, 0xDEDEDE, "", nullptr},
    {"?IMAGE4", 5, I, "", {344, 33, 23, 19}, "", "", "", {}, -1, "razmer.ico", nullptr},
    {"?FRM:COMMENT:PROMPT", 6, P, "", {314, 91, -1, -1}, "", "", "", {"", 0, -1, 0x008000}, -1, "", "Статус документа:"},
    {"?FRM:COMMENT", 7, DL, "FRM:COMMENT", {396, 91, 114, 10}, "", "skip flat tip", "", {"Arial CYR", 8, 700, 0x512C02}, 0xFFFFFF, "", nullptr},
    {"?FRM:OPIS:PROMPT", 8, P, "", {314, 105, -1, -1}, "", "", "", {"", 0, -1, 0x008000}, -1, "", "Описание [для поиска]:"},
    {"?FRM:OPIS", 9, E, "FRM:OPIS", {396, 105, 115, 9}, "@s25", "skip flat", "", kLine9, 0xFFFFFF, "", nullptr},
    {"?STRING2", 10, S, "", {66, 71, 203, 11}, "", "", "", {"Arial CYR", 10, 700, 0x686868}, -1, "", "ГОСУДАРСТВЕННАЯ ВЕТЕРИНАРНАЯ СЛУЖБА"},
    {"?SPIN", 11, SP, "SPIN", {371, 37, 32, 10}, "@n2b", "skip flat tip", "", {}, -1, "", nullptr},
    {"?STRING1", 12, S, "", {421, 69, -1, -1}, "", "", "", kA, -1, "", "Форма №1"},
    {"?FRM:Z1", 13, E, "FRM:Z1", {55, 81, 241, 9}, "@s50", "readonly flat tip", "", kLine9, 0xFFFFFF, "", nullptr},
    {"?GROUP2", 14, G, "", {309, 81, 207, 50}, "", "", "", {"", 0, -1, 0x008000}, -1, "", "Служебная информация"},
    {"?FRM:CENA:PROMPT", 15, P, "", {315, 117, -1, -1}, "", "", "", {}, -1, "", "Стоимость услуги"},
    {"?FRM:CENA", 16, E, "FRM:CENA", {397, 117, 80, 9}, "@n_10.2b", "flat tip msg", "right", {"Times New Roman CYR", 8, 700, 0x512C02}, 0xFFFFFF, "", nullptr},
    {"?FRM:CENA:PROMPT:2", 17, P, "", {481, 117, -1, -1}, "", "", "", {"", 0, -1, 0x000000}, -1, "", "руб"},
    {"?STRING4:2", 18, S, "", {117, 89, -1, -1}, "", "", "", {}, -1, "", "(субъект Российской Федерации)"},
    {"?FRM:F10", 20, E, "FRM:F10", {292, 326, 185, 9}, "@s52", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING18", 21, S, "", {64, 329, -1, -1}, "", "trn", "", kA, -1, "", "страны-импортера в срок их благополучия (мес., лет)"},
    {"?KOL_SIM", 22, E, "KOL_SIM", {495, 311, 23, 11}, "@n-4b", "flat tip", "right", {"Arial CYR", 9, 700, 0xC08000}, 0xF9FFFF, "", nullptr},
    {"?STRING17", 23, S, "", {64, 316, -1, -1}, "", "trn", "", kA, -1, "", "При отправке на экспорт указывают благополучие хозяйства и местности согласно требованиям"},
    {"?FRM:SPIN4", 24, SP, "FRM:SPIN4", {16, 326, 32, 10}, "@n_2b", "hide skip flat", "", {}, 0xF9FFFF, "", nullptr},
    {"?OK", 25, B, "", {483, 35, 19, 14}, "", "skip flat tip msg", "", {}, -1, "save.ico", nullptr},
    {"?FRM:RSH", 26, C, "FRM:RSH", {340, 57, -1, -1}, "", "skip trn tip msg", "", {}, -1, "", "Разный размер шрифта в cтроках"},
    {"?CANCEL", 27, B, "", {458, 35, 19, 14}, "", "skip flat tip msg", "", {}, -1, "FIND.ICO", nullptr},
    {"?GROUP3", 28, G, "", {53, 61, 248, 73}, "", "", "", {}, -1, "", "Текст"},
    {"?STRING4:3", 29, S, "", {142, 103, -1, -1}, "", "", "", {}, -1, "", "(район, город)"},
    {"?FRM:Z3", 30, E, "FRM:Z3", {55, 107, 241, 9}, "@s50", "readonly skip flat tip", "", kLine9, 0xFFFFFF, "", nullptr},
    {"?STRING4:4", 31, S, "", {127, 115, -1, -1}, "", "", "", {}, -1, "", "(наименование учреждения)"},
    {"?FRM:Z4", 32, E, "FRM:Z4", {55, 122, 241, 9}, "@s50", "readonly skip flat", "", kLine9, 0xFFFFFF, "", nullptr},
    {"?STRING5", 33, S, "", {154, 134, -1, -1}, "", "", "", {"Arial CYR", 11, 700, 0x686868}, -1, "", "КОРЕШОК ВЕТЕРИНАРНОГО СВИДЕТЕЛЬСТВА"},
    {"?FRM:F11", 34, E, "FRM:F11", {67, 341, 410, 9}, "@s120", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F12", 35, E, "FRM:F12", {67, 356, 410, 9}, "@s120", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING19", 36, S, "", {64, 374, -1, -1}, "", "trn", "", kA, -1, "", "Животные  находились  в  Российской  Федерации:  с  рождения, не  менее  6  месяцев  (нужное"},
    {"?FRM:SPIN5", 37, SP, "FRM:SPIN5", {16, 385, 32, 10}, "@n_2b", "hide skip flat", "", {}, 0xF9FFFF, "", nullptr},
    {"?FRM:F13", 38, E, "FRM:F13", {136, 385, 150, 9}, "@s42", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING20", 39, S, "", {64, 388, -1, -1}, "", "trn", "", kA, -1, "", "подчеркнуть) или"},
    {"?STRING21", 40, S, "", {288, 388, -1, -1}, "", "trn", "", kA, -1, "", "месяцев."},
    {"?FRM:F14", 41, E, "FRM:F14", {274, 400, 203, 9}, "@s57", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING23", 42, S, "", {298, 408, -1, -1}, "", "trn", "", kBFront, -1, "", "(место карантинирования и количество дней)"},
    {"?STRING22", 43, S, "", {64, 402, -1, -1}, "", "trn", "", kA, -1, "", "Животные перед отправкой карантинировались"},
    {"?FRM:F15", 44, E, "FRM:F15", {67, 414, 410, 9}, "@s120", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING24", 45, S, "", {64, 432, -1, -1}, "", "trn", "", kA, -1, "", "В период  карантинирования  животные не  имели  контакта с другими  животными;  ежедневно"},
    {"?STRING25", 46, S, "", {64, 442, -1, -1}, "", "trn", "", kA, -1, "", "клинически осматривались и у них измерялась температура тела; в день выдачи свидетельства"},
    {"?STRING26", 47, S, "", {64, 452, -1, -1}, "", "trn", "", kA, -1, "", "обследованы,  больных и подозрительных в заболевании  не  выявлено."},
    {"?STRING27", 48, S, "", {64, 462, -1, -1}, "", "trn", "", kA, -1, "", "В период карантинирования материал от животных исследовался в государственной ветеринарной"},
    {"?FRM:SPIN6", 49, SP, "FRM:SPIN6", {16, 473, 32, 10}, "@n_2b", "hide skip flat", "", {}, 0xF9FFFF, "", nullptr},
    {"?FRM:F16", 50, E, "FRM:F16", {120, 473, 356, 9}, "@s104", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING28", 51, S, "", {64, 476, -1, -1}, "", "trn", "", kA, -1, "", "лаборатории"},
    {"?STRING34", 52, S, "", {231, 481, -1, -1}, "", "trn", "", kBFront, -1, "", "(указать наименование лаборатории)"},
    {"?STRING29", 53, S, "", {64, 491, -1, -1}, "", "trn", "", kA, -1, "", "и были получены следующие результаты."},
    {"?STRING30", 54, S, "", {65, 504, -1, -1}, "", "trn", "", {"Times New Roman CYR", 9, 0x22BC, 0x686868}, -1, "", "Наименование болезни"},
    {"?STRING30:2", 55, S, "", {175, 504, -1, -1}, "", "trn", "", {"Times New Roman CYR", 9, 0x22BC, 0x686868}, -1, "", "Дата исследования"},
    {"?STRING30:3", 56, S, "", {264, 504, -1, -1}, "", "trn", "", {"Times New Roman CYR", 9, 0x22BC, 0x686868}, -1, "", "Метод исследования"},
    {"?STRING30:4", 57, S, "", {359, 504, -1, -1}, "", "trn", "", {"Times New Roman CYR", 9, 0x22BC, 0x686868}, -1, "", "Результат исследования"},
    {"?FRM:SPIN7", 58, SP, "FRM:SPIN7", {16, 516, 32, 10}, "@n_2b", "hide skip flat", "", {}, 0xF9FFFF, "", nullptr},
    {"?FRM:F17", 59, E, "FRM:F17", {66, 517, 108, 9}, "@s30", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F171", 60, E, "FRM:F171", {176, 517, 64, 9}, "@d6.b", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?CALENDAR:2", 61, B, "", {241, 516, 14, 12}, "", "flat", "", {}, -1, "calendarn.ico", nullptr},
    {"?FRM:F172", 62, E, "FRM:F172", {264, 517, 103, 9}, "@s30", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F173", 63, E, "FRM:F173", {370, 517, 109, 9}, "@s33", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F18", 64, E, "FRM:F18", {65, 531, 108, 9}, "@s30", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F181", 65, E, "FRM:F181", {176, 531, 64, 9}, "@d6.b", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?CALENDAR:3", 66, B, "", {241, 530, 14, 12}, "", "flat", "", {}, -1, "calendarn.ico", nullptr},
    {"?FRM:F182", 67, E, "FRM:F182", {263, 531, 103, 9}, "@s30", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F183", 68, E, "FRM:F183", {370, 531, 109, 9}, "@s33", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F19", 69, E, "FRM:F19", {65, 545, 108, 9}, "@s30", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F191", 70, E, "FRM:F191", {176, 545, 64, 9}, "@d6.b", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?CALENDAR:4", 71, B, "", {241, 544, 14, 12}, "", "flat", "", {}, -1, "calendarn.ico", nullptr},
    {"?FRM:F192", 72, E, "FRM:F192", {263, 545, 103, 9}, "@s30", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F193", 73, E, "FRM:F193", {370, 545, 109, 9}, "@s33", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F20", 74, E, "FRM:F20", {65, 559, 108, 9}, "@s30", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F201", 75, E, "FRM:F201", {176, 559, 64, 9}, "@d6.b", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?CALENDAR:5", 76, B, "", {242, 558, 14, 12}, "", "flat", "", {}, -1, "calendarn.ico", nullptr},
    {"?FRM:F202", 77, E, "FRM:F202", {263, 559, 103, 9}, "@s30", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F203", 78, E, "FRM:F203", {370, 559, 109, 9}, "@s33", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F21", 79, E, "FRM:F21", {65, 574, 108, 9}, "@s30", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F211", 80, E, "FRM:F211", {176, 574, 64, 9}, "@d6.b", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?CALENDAR:6", 81, B, "", {242, 573, 14, 12}, "", "flat", "", {}, -1, "calendarn.ico", nullptr},
    {"?FRM:F212", 82, E, "FRM:F212", {263, 574, 103, 9}, "@s30", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F213", 83, E, "FRM:F213", {370, 574, 109, 9}, "@s33", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F22", 84, E, "FRM:F22", {65, 589, 108, 9}, "@s30", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F222", 85, E, "FRM:F222", {263, 589, 103, 9}, "@s30", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F221", 86, E, "FRM:F221", {176, 589, 64, 9}, "@d6.b", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?CALENDAR:7", 87, B, "", {242, 588, 14, 12}, "", "flat", "", {}, -1, "calendarn.ico", nullptr},
    {"?FRM:F223", 88, E, "FRM:F223", {370, 589, 109, 9}, "@s33", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F9", 89, E, "FRM:F9", {67, 282, 410, 9}, "@s120", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING15", 90, S, "", {124, 290, -1, -1}, "", "trn", "", kBFront, -1, "", "название района, области, края, автономного образования или республики в составе Российской Федерации)"},
    {"?STRING16", 91, S, "", {64, 301, -1, -1}, "", "trn", "", kA, -1, "", "благополучного по особо опасным и карантинным болезням животных."},
    {"?VS_SIM", 92, E, "VS_SIM", {469, 311, 23, 11}, "@n3b", "flat tip", "right", {"Arial CYR", 8, 700, 0x408000}, 0xF9FFFF, "", nullptr},
    {"?FRM:F8", 93, E, "FRM:F8", {67, 268, 410, 9}, "@s120", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING14", 94, S, "", {183, 276, -1, -1}, "", "trn", "", kBFront, -1, "", "полный адрес, в т. ч. название населенного пункта, улицы и номер дома,"},
    {"?FRM:F7", 95, E, "FRM:F7", {171, 253, 305, 9}, "@s89", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING12", 96, S, "", {64, 255, -1, -1}, "", "trn", "", kA, -1, "", "выходят (вывозятся) из"},
    {"?STRING13", 97, S, "", {215, 261, -1, -1}, "", "trn", "", kBFront, -1, "", "(указать наименвание организации-отправителя"},
    {"?FRM:F6", 98, E, "FRM:F6", {255, 224, 123, 9}, "@s37", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING9", 99, S, "", {201, 225, -1, -1}, "", "trn", "", {"Times New Roman CYR", 10, 700, 0x686868}, -1, "", "в количестве"},
    {"?STRING10", 100, S, "", {385, 225, -1, -1}, "", "trn", "", {"Times New Roman CYR", 10, 700, 0x686868}, -1, "", "голов (мест, штук)"},
    {"?STRING11", 101, S, "", {64, 241, -1, -1}, "", "trn", "", kA, -1, "", "больных и подозрительных по заболеванию заразными болезнями не обнаружено и они"},
    {"?FRM:SPIN3", 102, SP, "FRM:SPIN3", {16, 253, 32, 10}, "@n_2b", "hide skip flat", "", {}, 0xF9FFFF, "", nullptr},
    {"?FRM:F5", 103, E, "FRM:F5", {65, 224, 130, 9}, "@s39", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F4", 104, E, "FRM:F4", {332, 209, 145, 9}, "@s40", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:SPIN2", 105, SP, "FRM:SPIN2", {16, 209, 32, 10}, "@n2b", "hide skip flat", "", {}, 0xF9FFFF, "", nullptr},
    {"?STRING7", 106, S, "", {64, 211, -1, -1}, "", "trn", "", kA, -1, "", "в том, что при ветеринарном осмотре подлежащих отправке"},
    {"?STRING8", 107, S, "", {342, 217, -1, -1}, "", "trn", "", kBFront, -1, "", "указать вид животных, биологических объектов)"},
    {"?FRM:F3", 108, E, "FRM:F3", {67, 195, 410, 9}, "@s120", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F2", 109, E, "FRM:F2", {67, 180, 410, 9}, "@s120", "imm readonly skip flat tip", "center", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:SPIN1", 110, SP, "FRM:SPIN1", {16, 180, 32, 10}, "@n_2b", "hide skip flat", "", {}, 0xF9FFFF, "", nullptr},
    {"?STRING6", 111, S, "", {195, 188, -1, -1}, "", "trn", "", kBFront, -1, "", "юридического лица или Ф. И. О. физического лица)"},
    {"?FRM:MES", 112, E, "FRM:MES", {384, 151, 57, 9}, "@s8", "flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:GOD", 113, E, "FRM:GOD", {459, 151, 18, 9}, "@P##P", "flat tip", "decimal,12", kLine, 0xFFFFFF, "", nullptr},
    {"?BUTTON12", 114, B, "", {19, 154, 24, 21}, "", "hide skip flat tip", "", {}, -1, "raz_mer.ico", nullptr},
    {"?FRM:F1", 115, E, "FRM:F1", {387, 165, 90, 9}, "@s27", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING3", 116, S, "", {64, 168, -1, -1}, "", "trn", "", kA, -1, "", "Я,  нижеподписавшийся  выдал настоящее ветеринарное свидетельство"},
    {"?STRING4", 117, S, "", {397, 173, -1, -1}, "", "trn", "", kBFront, -1, "", "(наименование"},
    {"?FRM:DAY", 118, E, "FRM:DAY", {343, 151, 20, 9}, "@P##P", "flat tip", "right", kLine, 0xFFFFFF, "", nullptr},
    {"?OK:2", 119, B, "", {408, 35, 19, 14}, "", "skip flat tip msg", "", {}, -1, "buf_save.ico", nullptr},
    {"?OK:3", 120, B, "", {433, 35, 19, 14}, "", "skip flat tip msg", "", {}, -1, "buf_load.ico", nullptr},
    {"?GROUP1", 121, G, "", {63, 142, 209, 26}, "", "", "", {"", 0, -1, 0x408000}, -1, "", "Обязательная информация о свидетельстве"},
    {"?FRM:NOMSV", 122, E, "FRM:NOMSV", {80, 155, 85, 10}, "@n_8b", "req flat tip", "right,1", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:DATAVV:PROMPT", 123, P, "", {170, 155, 11, 10}, "", "", "", {"Arial CYR", 9, 700, -1}, -1, "", "от"},
    {"?FRM:DATAVV", 124, E, "FRM:DATAVV", {180, 155, 55, 10}, "@d6.b", "req flat tip", "right,1", kLine, 0xFFFFFF, "", nullptr},
    {"?CALENDAR", 125, B, "", {239, 153, 14, 12}, "", "flat tip", "", {}, -1, "calendarn.ico", nullptr},
    {"?FRM:NOMSV:PROMPT", 126, P, "", {66, 155, -1, -1}, "", "", "", {"Arial CYR", 9, 700, -1}, -1, "", "№"},
    {"?TAB:2", 127, TB, "", {0, 0, -1, -1}, "", "", "", {}, 0xFFEEEE, "", "...Обратная..."},
    {"?IMAGE2", 128, I, "", {11, 24, 510, 579}, "", "", "", {}, -1, "f1u_2.gif", nullptr},
    {"?STRING35", 129, S, "", {70, 59, -1, -1}, "", "trn", "", kA, -1, "", "Проведена иммунизация против"},
    {"?FRM:SPIN8", 130, SP, "FRM:SPIN8", {31, 72, 32, 10}, "@n_2b", "hide skip flat", "", {}, -1, "", nullptr},
    {"?FRM:F23", 131, E, "FRM:F23", {67, 72, 205, 9}, "@s65", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F231", 132, E, "FRM:F231", {294, 72, 17, 9}, "@P##Pb", "flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F232", 133, DL, "FRM:F232", {333, 72, 83, 9}, "", "flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F233", 134, E, "FRM:F233", {444, 72, 15, 9}, "@P##Pb", "flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F242", 135, DL, "FRM:F242", {333, 88, 83, 9}, "", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F24", 136, E, "FRM:F24", {67, 88, 205, 9}, "@s65", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F241", 137, E, "FRM:F241", {294, 88, 17, 9}, "@P##Pb", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F243", 138, E, "FRM:F243", {444, 88, 15, 9}, "@P##Pb", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F252", 139, DL, "FRM:F252", {333, 105, 83, 9}, "", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F25", 140, E, "FRM:F25", {67, 105, 205, 9}, "@s65", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F251", 141, E, "FRM:F251", {294, 105, 17, 9}, "@P##Pb", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F253", 142, E, "FRM:F253", {444, 105, 15, 9}, "@P##Pb", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F26", 143, E, "FRM:F26", {67, 121, 205, 9}, "@s65", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F261", 144, E, "FRM:F261", {294, 121, 17, 9}, "@P##Pb", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F262", 145, DL, "FRM:F262", {333, 121, 83, 9}, "", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F263", 146, E, "FRM:F263", {444, 121, 15, 9}, "@P##Pb", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F27", 147, E, "FRM:F27", {67, 137, 205, 9}, "@s65", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F271", 148, E, "FRM:F271", {294, 137, 17, 9}, "@P##Pb", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F272", 149, DL, "FRM:F272", {333, 137, 83, 9}, "", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F273", 150, E, "FRM:F273", {444, 137, 15, 9}, "@P##Pb", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F282", 151, DL, "FRM:F282", {333, 153, 83, 9}, "", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F28", 152, E, "FRM:F28", {67, 153, 205, 9}, "@s65", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F281", 153, E, "FRM:F281", {294, 153, 17, 9}, "@P##Pb", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F283", 154, E, "FRM:F283", {444, 153, 15, 9}, "@P##Pb", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING36", 155, S, "", {69, 174, -1, -1}, "", "trn", "", kA, -1, "", "Животные обработаны против паразитов"},
    {"?FRM:SPIN9", 156, SP, "FRM:SPIN9", {31, 186, 32, 10}, "@n_2b", "hide skip flat", "", {}, -1, "", nullptr},
    {"?FRM:F292", 157, DL, "FRM:F292", {333, 187, 83, 9}, "", "flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F29", 158, E, "FRM:F29", {67, 187, 205, 9}, "@s65", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F291", 159, E, "FRM:F291", {294, 187, 17, 9}, "@P##Pb", "flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F293", 160, E, "FRM:F293", {444, 187, 15, 9}, "@P##Pb", "flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F30", 161, E, "FRM:F30", {67, 203, 205, 9}, "@s65", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F301", 162, E, "FRM:F301", {294, 203, 17, 9}, "@P##Pb", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F302", 163, DL, "FRM:F302", {333, 203, 83, 9}, "", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F303", 164, E, "FRM:F303", {444, 203, 15, 9}, "@P##Pb", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F31", 165, E, "FRM:F31", {67, 219, 205, 9}, "@s65", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F311", 166, E, "FRM:F311", {294, 219, 17, 9}, "@P##Pb", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F312", 167, DL, "FRM:F312", {333, 219, 83, 9}, "", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F313", 168, E, "FRM:F313", {444, 219, 15, 9}, "@P##Pb", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING37", 169, S, "", {69, 239, -1, -1}, "", "trn", "", kA, -1, "", "Упаковочный материал и сопровождающие грузы происходят непосредственно из хозяйства-"},
    {"?STRING38", 170, S, "", {69, 249, -1, -1}, "", "trn", "", kA, -1, "", "поставщика и не контаминированы возбудителями инфекционных болезней."},
    {"?FRM:SPIN10", 171, SP, "FRM:SPIN10", {31, 258, 32, 10}, "@n_2b", "hide skip flat", "", {}, -1, "", nullptr},
    {"?KOL_SIM:2", 172, E, "KOL_SIM", {496, 301, 23, 12}, "@n-4b", "skip flat", "left", {"Arial CYR", 12, 700, 0xC08000}, 0xF9FFFF, "", nullptr},
    {"?VS_SIM:2", 173, E, "VS_SIM", {471, 301, 23, 12}, "@n3b", "skip flat", "left", {"Arial CYR", 12, 700, 0x408000}, 0xF9FFFF, "", nullptr},
    {"?FRM:F32", 174, E, "FRM:F32", {174, 258, 301, 9}, "@s87", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING39", 175, S, "", {69, 261, -1, -1}, "", "trn", "", kA, -1, "", "Животные направляются"},
    {"?STRING51", 176, S, "", {263, 267, -1, -1}, "", "trn", "", kBBack, -1, "", "(пункт назначения и получатель)"},
    {"?FRM:F33", 177, E, "FRM:F33", {68, 274, 407, 9}, "@s120", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F35", 178, E, "FRM:F35", {307, 303, 19, 9}, "@P##Pb", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F351", 179, DL, "FRM:F351", {336, 302, 83, 9}, "", "flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F34", 180, E, "FRM:F34", {310, 288, 166, 9}, "@s47", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:SPIN11", 181, SP, "FRM:SPIN11", {31, 288, 32, 10}, "@n_2b", "hide skip flat", "", {}, -1, "", nullptr},
    {"?STRING40", 182, S, "", {69, 291, -1, -1}, "", "trn", "", {"Arial CYR", 9, 700, 0x686868}, -1, "", "при  спецификации (гуртовой  ведомости,  накладной)  №"},
    {"?FRM:F352", 183, E, "FRM:F352", {429, 303, 32, 9}, "@s4", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING41", 184, S, "", {285, 305, 11, 10}, "", "trn", "", {"Times New Roman CYR", 8, 700, 0x686868}, -1, "", "от"},
    {"?FRM:F36", 185, E, "FRM:F36", {87, 317, 389, 9}, "@s115", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:SPIN12", 186, SP, "FRM:SPIN12", {31, 317, 32, 10}, "@n_2b", "hide skip flat", "", {}, -1, "", nullptr},
    {"?STRING52", 187, S, "", {220, 325, -1, -1}, "", "trn", "", kBBack, -1, "", "(откорма, разведения, продажи, убоя и т. д.)"},
    {"?FRM:SPIN13", 188, SP, "FRM:SPIN13", {31, 332, 32, 10}, "@n_2b", "hide skip flat", "", {}, -1, "", nullptr},
    {"?STRING42", 189, S, "", {69, 318, -1, -1}, "", "trn", "", kA, -1, "", "для"},
    {"?FRM:F37", 190, E, "FRM:F37", {116, 332, 360, 9}, "@s107", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING43", 191, S, "", {69, 335, -1, -1}, "", "trn", "", kA, -1, "", "и следуют"},
    {"?STRING53", 192, S, "", {181, 340, -1, -1}, "", "trn", "", kBBack, -1, "", "(железнодорожным, водным, автомобильным, воздушным транспортом;"},
    {"?FRM:F38", 193, E, "FRM:F38", {69, 346, 407, 9}, "@s120", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING54", 194, S, "", {186, 354, -1, -1}, "", "trn", "", kBBack, -1, "", "номер автомобиля, вагона, название судна, номер рейса  и т.д.)"},
    {"?FRM:SPIN14", 195, SP, "FRM:SPIN14", {31, 359, 32, 10}, "@n_2b", "hide skip flat", "", {}, -1, "", nullptr},
    {"?FRM:F39", 196, E, "FRM:F39", {129, 360, 347, 9}, "@s102", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING44", 197, S, "", {69, 364, -1, -1}, "", "trn", "", kA, -1, "", "по маршруту"},
    {"?STRING55", 198, S, "", {223, 368, -1, -1}, "", "trn", "", kBBack, -1, "", "(указать основные пункты следования"},
    {"?FRM:F40", 199, E, "FRM:F40", {69, 374, 407, 9}, "@s120", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING45", 200, S, "", {68, 393, -1, -1}, "", "trn", "", kA, -1, "", "ОСОБЫЕ ОТМЕТКИ"},
    {"?FRM:SPIN15", 201, SP, "FRM:SPIN15", {31, 402, 32, 10}, "@n_2b", "hide skip flat", "", {}, -1, "", nullptr},
    {"?FRM:F41", 202, E, "FRM:F41", {68, 403, 408, 9}, "@s120", "imm flat tip", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING56", 203, S, "", {174, 412, -1, -1}, "", "trn", "", kBBack, -1, "", "(заполняется при отправке животных переболевших особо опасными заболеваниями,"},
    {"?FRM:F42", 204, E, "FRM:F42", {68, 418, 409, 9}, "@s120", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING57", 205, S, "", {175, 426, -1, -1}, "", "trn", "", kBBack, -1, "", "перевозке на особых условиях и по специальному разрешению (указанию),"},
    {"?FRM:F43", 206, E, "FRM:F43", {68, 433, 409, 9}, "@s120", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING58", 207, S, "", {237, 440, -1, -1}, "", "trn", "", kBBack, -1, "", "кем оно дано, номер и дата)"},
    {"?FRM:F44", 208, E, "FRM:F44", {68, 447, 409, 9}, "@s120", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING59", 209, S, "", {186, 455, -1, -1}, "", "trn", "", kBBack, -1, "", "(отметка об осмотре, при погрузке, выгрузке, в пути следования)"},
    {"?FRM:F45", 210, E, "FRM:F45", {68, 461, 409, 9}, "@s120", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?FRM:F46", 211, E, "FRM:F46", {68, 476, 410, 9}, "@s120", "imm flat", "", kLine, 0xFFFFFF, "", nullptr},
    {"?STRING47", 212, S, "", {68, 494, -1, -1}, "", "trn", "", kA, -1, "", "Транспортное средство очищено и продезинфицировано"},
    {"?STRING48", 213, S, "", {69, 504, -1, -1}, "", "trn", "", kA, -1, "", "Свидетельство  предъявляется  для  контроля  при  погрузке,  в  пути  следования  и  передается"},
    {"?STRING49", 214, S, "", {69, 515, -1, -1}, "", "trn", "", kA, -1, "", "грузополучателю. Копии свидетельства недействительны."},
    {"?STRING46", 215, S, "", {72, 534, -1, -1}, "", "trn", "", kA, -1, "", "Ветеринарное свидетельство получил"},
    {"?STRING46:2", 216, S, "", {307, 534, -1, -1}, "", "trn", "", kA, -1, "", "Ветеринарное свидетельство выдал"},
    {"?FRM:F47", 217, E, "FRM:F47", {72, 548, 165, 9}, "@s39", "flat tip", "left,2", kLine9, 0xFFFFFF, "", nullptr},
    {"?STRING60", 218, S, "", {92, 557, -1, -1}, "", "trn", "", kBBack, -1, "", "(подпись и полное наименование должности)"},
    {"?STRING60:2", 219, S, "", {318, 557, -1, -1}, "", "trn", "", kBBack, -1, "", "(подпись и полное наименование должности)"},
    {"?FRM:F49", 220, E, "FRM:F49", {281, 548, 199, 9}, "@s39", "imm flat tip", "left,2", kLine9, 0xFFFFFF, "", nullptr},
    {"?FRM:F48", 221, E, "FRM:F48", {72, 565, 165, 9}, "@s39", "flat tip", "left,2", kLine9, 0xFFFFFF, "", nullptr},
    {"?FRM:F50", 222, E, "FRM:F50", {281, 565, 199, 9}, "@s39", "imm flat tip", "left,2", kLine9, 0xFFFFFF, "", nullptr},
    {"?STRING61", 223, S, "", {114, 575, -1, -1}, "", "trn", "", kBBack, -1, "", "(фамилия, инициалы)"},
    {"?STRING61:2", 224, S, "", {341, 575, -1, -1}, "", "trn", "", kBBack, -1, "", "(фамилия, инициалы)"},
    {"?BUTTON13", 225, B, "", {115, 1, 14, 12}, "", "skip flat tip", "", {}, -1, "pin.ico", nullptr},
    {"?IMAGE5", 226, I, "", {137, 1, 386, 13}, "", "", "", {}, -1, "2.jpg", nullptr},
    {"?STRING67", 227, S, "", {141, 2, -1, -1}, "", "", "", {"Arial CYR", 8, -1, 0x408000}, -1, "", "[Сместить при печати]"},
    {"?STRING67:2", 228, S, "", {221, 2, -1, -1}, "", "", "", {"Arial CYR", 8, -1, 0x404000}, -1, "", "[влево (-) / вправо(+)]"},
    {"?AX", 229, SP, "AX", {303, 2, 47, 10}, "@n-5.1", "skip flat tip", "", {}, 0xDBF9F9, "", nullptr},
    {"?STRING67:3", 230, S, "", {354, 2, -1, -1}, "", "", "", {"Arial CYR", 8, -1, 0x404000}, -1, "", "[мм]"},
    {"?STRING67:5", 231, S, "", {383, 2, -1, -1}, "", "", "", {"Arial CYR", 8, -1, 0x404000}, -1, "", "[вверх (-) / вниз (+)]"},
    {"?AY", 232, SP, "AY", {458, 2, 47, 10}, "@n-5.1", "skip flat tip", "", {}, 0xDBF9F9, "", nullptr},
    {"?STRING67:4", 233, S, "", {508, 2, -1, -1}, "", "", "", {"Arial CYR", 8, -1, 0x404000}, -1, "", "[мм]"},
};

std::set<std::string> words(const char* s) {
    std::set<std::string> r;
    std::istringstream in(s);
    for (std::string w; in >> w;) r.insert(w);
    return r;
}

std::set<std::string> flagsOf(const CtlDesc& d) {
    std::set<std::string> r;
    auto put = [&](bool on, const char* w) {
        if (on) r.insert(w);
    };
    put(d.req, "req");
    put(d.readOnly, "readonly");
    put(d.skip, "skip");
    put(d.hide, "hide");
    put(d.imm, "imm");
    put(d.trn, "trn");
    put(d.flat, "flat");
    put(!d.tip.isEmpty(), "tip");
    put(!d.msg.isEmpty(), "msg");
    return r;
}

std::string alignOf(const CtlDesc& d) {
    std::string s;
    switch (d.align) {
    case Align::Default: return "";
    case Align::Left: s = "left"; break;
    case Align::Right: s = "right"; break;
    case Align::Center: s = "center"; break;
    case Align::Decimal: s = "decimal"; break;
    }
    if (d.alignOffset) s += "," + std::to_string(d.alignOffset);
    return s;
}

int feqOf(const WinDesc& w, const char* label) {
    for (const CtlDesc& c : w.controls)
        if (c.name == label) return c.feq;
    return 0;
}

}  // namespace

TEST(EntryLayout, IsTheBlankSizedMdiChildWithTheDeclaredFont) {
    test::Harness h;  // icons need the application
    auto w = layout();
    EXPECT_EQ(w->kind, WinKind::MdiChild);
    EXPECT_EQ(w->name, "P1$QUICKWINDOW");
    EXPECT_EQ(w->text, QStringLiteral("Ветеринарное свидетельство (Форма №1)"));
    EXPECT_EQ(w->w, 533);
    EXPECT_EQ(w->h, 613);
    EXPECT_EQ(w->font.face, QStringLiteral("Arial CYR"));
    EXPECT_EQ(w->font.size, 8);
    EXPECT_EQ(w->bg, 0xFFEEEE);
    EXPECT_EQ(w->icon, QStringLiteral("vexlo.ico"));
    EXPECT_FALSE(loadIcon(w->icon).isNull());
    // Zone 1 the focused control's message, zone 2 the request's name.
    EXPECT_EQ(w->statusZones.size(), 2u);
    EXPECT_EQ(w->statusZones.front(), -1);
}

TEST(EntryLayout, NumbersAre1To233Without19) {
    auto w = layout();
    ASSERT_EQ(w->controls.size(), 232u);
    ASSERT_EQ(std::size(kRows), 232u);
    int expect = 1;
    for (const CtlDesc& c : w->controls) {
        if (expect == 19) ++expect;
        EXPECT_EQ(c.feq, expect) << c.name;
        ++expect;
    }
    EXPECT_EQ(w->control(19), nullptr);
}

TEST(EntryLayout, EveryControlHasItsNumberKindVariablePositionAndAttributes) {
    auto w = layout();
    for (const Row& r : kRows) {
        SCOPED_TRACE(r.label);
        const CtlDesc* d = w->control(r.feq);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->name, r.label);
        EXPECT_EQ(d->type, r.type);
        EXPECT_EQ(d->use, r.use);
        if (r.type != TB) {
            EXPECT_TRUE(d->hasAt);
            EXPECT_EQ((std::vector<int>{d->x, d->y, d->w, d->h}), (std::vector<int>(r.at, r.at + 4)));
        }
        EXPECT_EQ(d->picture, r.pic);
        EXPECT_EQ(flagsOf(*d), words(r.flags));
        EXPECT_EQ(alignOf(*d), r.align);
        EXPECT_EQ(d->font.face, QString::fromUtf8(r.font.face));
        EXPECT_EQ(d->font.size, r.font.size);
        EXPECT_EQ(d->font.style, r.font.style);
        EXPECT_EQ(d->font.color, r.font.color);
        EXPECT_EQ(d->bg, r.bg);
        EXPECT_EQ(d->type == I ? d->file : d->icon, QString::fromUtf8(r.res));
        EXPECT_EQ(d->text, r.text ? QString::fromUtf8(r.text) : QString());
        // Nothing beyond what the table holds, but the caption a message names a table cell by.
        for (const auto& [k, v] : d->extra) EXPECT_EQ(k, "caption");
    }
}

TEST(EntryLayout, FrontTabBackTabAndTheStripHoldTheirControls) {
    auto w = layout();
    const int sheet = w->byFeq.at(1), front = w->byFeq.at(2), back = w->byFeq.at(127);
    auto tabOf = [&](int feq) {
        for (int p = w->byFeq.at(feq); p >= 0; p = w->controls[p].parent)
            if (w->controls[p].type == CType::Tab) return p;
        return -1;
    };
    EXPECT_EQ(w->controls[sheet].parent, -1);
    EXPECT_EQ(w->controls[front].parent, sheet);
    EXPECT_EQ(w->controls[back].parent, sheet);
    for (const CtlDesc& c : w->controls) {
        SCOPED_TRACE(c.name);
        const int expected = c.feq >= 3 && c.feq <= 126 ? front : c.feq >= 128 && c.feq <= 224 ? back : -1;
        if (c.feq >= 3 && c.feq != 127) {
            EXPECT_EQ(tabOf(c.feq), expected);
        }
        if (c.feq >= 225) {
            EXPECT_EQ(c.parent, -1);
        }
    }
    // The three frames hold the controls declared inside them.
    auto inGroup = [&](int feq, int group) { return w->controls[w->byFeq.at(feq)].parent == w->byFeq.at(group); };
    for (int f : {15, 16, 17}) EXPECT_TRUE(inGroup(f, 14)) << f;
    for (int f : {29, 30, 31, 32}) EXPECT_TRUE(inGroup(f, 28)) << f;
    for (int f : {122, 123, 124, 125, 126}) EXPECT_TRUE(inGroup(f, 121)) << f;
}

TEST(EntryLayout, CountsOfBoundEntriesAndLists) {
    auto w = layout();
    int forma1 = 0, entries = 0, dropLists = 0, months = 0;
    for (const CtlDesc& c : w->controls) {
        if (c.use.rfind("FRM:", 0) == 0) ++forma1;  // the history fields
        if (c.type == CType::Entry) ++entries;
        if (c.type == CType::DropList) ++dropLists;
        if (c.type == CType::DropList && c.from.startsWith(QLatin1Char('|'))) ++months;
    }
    EXPECT_EQ(forma1, 124);
    EXPECT_EQ(entries, 101);
    EXPECT_EQ(dropLists, 11);
    EXPECT_EQ(months, 10);
}

TEST(EntryLayout, QuotedTipsAndStatusMessages) {
    auto w = layout();
    struct Tip {
        const char* label;
        const char* tip;  // lines joined by '\n'
        const char* msg;
    };
    const Tip tips[] = {
        {"?BUTTON13", "Сделать оперативное смещение постоянным", ""},
        {"?AX", "Сместить влево/вправо", ""},
        {"?AY", "Сместить вверх/вниз", ""},
        {"?SPIN", "[Размер шрифта на экране\n и при печати документа]", ""},
        {"?OK:2", "Сохранить \"Форму №1\" в буфере обмена", "Сохранить \"Форму №1\" в буфере обмена"},
        {"?OK:3", "Заполнить \"Форму №1\" из буфера обмена", "Заполнить \"Форму №1\" из буфера обмена"},
        {"?CANCEL", "Выйти без сохранения", "Выйти без сохранения"},
        {"?OK", "Сохранить \"Форму №1\" и выйти", "Сохранить \"Форму №1\" и выйти"},
        {"?FRM:RSH", "Разный размер шрифта в троках", "Разный размер шрифта в троках"},
        {"?FRM:Z1", "[Субъект Российской Федерации]", ""},
        {"?FRM:Z3", "[наименование учреждения]", ""},
        {"?FRM:Z4", "", ""},
        {"?FRM:COMMENT", "Для правильного формиорования отчетов", ""},
        {"?FRM:CENA", "Стоимость услуги\n[Для автоподстановки цену\nможно изменить в настройках]", "Стоимость услуги"},
        {"?FRM:NOMSV", "№ ветеринарной формы [обязательная информация]", ""},
        {"?FRM:DATAVV", "Дата выдачи [обязательная информация]", ""},
        {"?CALENDAR", "Дата выдачи", ""},
        {"?FRM:DAY", "[День]", ""},
        {"?FRM:MES", "[Месяц]", ""},
        {"?FRM:GOD", "[Год]", ""},
        {"?BUTTON12", "[Размер шрифта в остальных\nстроках как в первой]", ""},
        {"?VS_SIM", "Можно ввести [символов]", ""},
        {"?KOL_SIM", "Осталось ввести [символов]", ""},
        {"?VS_SIM:2", "", ""},
        {"?KOL_SIM:2", "", ""},
    };
    for (const Tip& t : tips) {
        SCOPED_TRACE(t.label);
        const CtlDesc* d = w->control(feqOf(*w, t.label));
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->tip, QString::fromUtf8(t.tip));
        EXPECT_EQ(d->msg, QString::fromUtf8(t.msg));
    }
    // Lines that share one instruction carry the same tip, in several lines.
    const std::vector<std::vector<const char*>> same = {
        {"?FRM:F1", "?FRM:F2", "?FRM:F3"},
        {"?FRM:F4", "?FRM:F5"},
        {"?FRM:F7", "?FRM:F8", "?FRM:F9"},
        {"?FRM:F10", "?FRM:F11", "?FRM:F12"},
        {"?FRM:F14", "?FRM:F15"},
        {"?FRM:F17", "?FRM:F171", "?FRM:F172", "?FRM:F173"},
        {"?FRM:F23", "?FRM:F231", "?FRM:F232", "?FRM:F233"},
        {"?FRM:F29", "?FRM:F291", "?FRM:F292", "?FRM:F293"},
        {"?FRM:F32", "?FRM:F33"},
        {"?FRM:F37", "?FRM:F38"},
        {"?FRM:F39", "?FRM:F40"},
    };
    for (const auto& set : same) {
        const QString first = w->control(feqOf(*w, set.front()))->tip;
        EXPECT_GE(first.count(QLatin1Char('\n')), 1) << set.front();
        for (const char* l : set) EXPECT_EQ(w->control(feqOf(*w, l))->tip, first) << l;
    }
}

TEST(EntryLayout, SpinsListsAndTheCheckBox) {
    auto w = layout();
    int groupSpins = 0;
    for (const CtlDesc& c : w->controls) {
        SCOPED_TRACE(c.name);
        if (c.type == CType::Spin) {
            if (c.use == "AX" || c.use == "AY") {
                EXPECT_EQ(c.rangeLow, "-50");
                EXPECT_EQ(c.rangeHigh, "50");
                EXPECT_EQ(c.step, "0.1");
            } else {
                EXPECT_EQ(c.rangeLow, "4");
                EXPECT_EQ(c.rangeHigh, "10");
                EXPECT_EQ(c.step, "1");
                if (c.use != "SPIN") ++groupSpins;
            }
        }
        if (c.type == CType::DropList && c.use != "FRM:COMMENT") {
            EXPECT_EQ(c.drop, 13);
            const QString months = QStringLiteral(
                "|января|февраля|марта|апреля|мая|июня|июля|августа|сентября|октября|ноября|декабря");
            // The document's month has one more empty item at the end.
            EXPECT_EQ(c.from, c.use == "FRM:F351" ? months + QLatin1Char('|') : months);
        }
    }
    EXPECT_EQ(groupSpins, 15);
    const CtlDesc* status = w->control(7);
    EXPECT_EQ(status->drop, 5);
    EXPECT_EQ(status->from, QStringLiteral("Выдано|Испорчено|Образец"));
    const CtlDesc* rsh = w->control(26);
    EXPECT_EQ(rsh->valueOn, QStringLiteral("1"));
    EXPECT_EQ(rsh->valueOff, QStringLiteral("0"));
}

TEST(EntryLayout, PicturesParseAndImagesAndIconsExist) {
    test::Harness h;
    auto w = layout();
    for (const CtlDesc& c : w->controls) {
        SCOPED_TRACE(c.name);
        if (!c.picture.empty()) {
            EXPECT_TRUE(vx::pic::parse(c.picture).has_value());
        }
        if (c.type == CType::Image) {
            EXPECT_FALSE(loadPicture(c.file).isNull());
        }
        if (c.type == CType::Button) {
            EXPECT_FALSE(c.icon.isEmpty());
            EXPECT_FALSE(loadIcon(c.icon).isNull());
        }
    }
}

namespace {

// The window open on a thread of its own over a record buffer and the process-wide globals.
class EntryWindow : public ::testing::Test {
protected:
    void SetUp() override {
        vexlo::initGlobals();
        FORMA1_DESC.clear(&rec_);
        vars::addRecord(FORMA1_DESC, [this] { return static_cast<void*>(&rec_); });
        for (const vexlo::GlobalVar& g : vexlo::globals()) vars::add(g.name, g.ref);
        thread_ = h.start([] {
            Window w(kLayout);
            while (w.accept()) {
            }
        });
        ASSERT_NE(h.window(), nullptr);
    }
    void TearDown() override {
        if (h.window()) h.win().close();
        h.idle();
        EXPECT_TRUE(h.waitEnd(thread_));
    }
    void set(const char* name, const char* utf8) { vars::find(name).setText(vx::cp::toCp1251(QString::fromUtf8(utf8))); }
    // The window's content as shown, also saved under `file` in the temporary directory.
    QImage shot(const char* file) {
        const QImage img = h.win().widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        img.save(QDir(QDir::tempPath()).filePath(QString::fromUtf8(file)));
        return img;
    }
    QRect rectOf(QWidget* w) { return QRect(w->mapTo(h.win().widget(), QPoint(0, 0)), w->size()); }
    // Pixels of (about) one colour inside a control's box of a picture of the window.
    int inkIn(const QImage& img, const QString& name, const QColor& ink) {
        const Control* c = h.win().control(h.feq(name.toStdString()));
        if (!c || !c->widget) return -1;
        const QRect r = rectOf(c->widget) & img.rect();
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const QColor p = img.pixelColor(x, y);
                if (std::abs(p.red() - ink.red()) + std::abs(p.green() - ink.green()) + std::abs(p.blue() - ink.blue()) < 60) ++n;
            }
        return n;
    }
    // The share of a widget's box in a picture of the window that shows (about) one colour.
    double share(const QImage& img, QWidget* w, const QColor& colour) {
        const QRect r = rectOf(w) & img.rect();
        long n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (const QColor p = img.pixelColor(x, y); std::abs(p.red() - colour.red()) + std::abs(p.green() - colour.green()) +
                                                                std::abs(p.blue() - colour.blue()) < 16)
                    ++n;
        return r.isEmpty() ? 0 : double(n) / (double(r.width()) * r.height());
    }

    FRM_RECORD rec_{};
    test::Harness h;
    int thread_ = 0;
};

}  // namespace

TEST_F(EntryWindow, OpensWithEveryVariableBoundAndThePartsCountOfControls) {
    Window& w = h.win();
    EXPECT_EQ(w.controls().size(), 232u);
    int bound = 0;
    for (int feq : w.controls()) {
        const Control* c = w.control(feq);
        ASSERT_NE(c, nullptr);
        if (c->desc->use.empty()) continue;
        ++bound;
        EXPECT_TRUE(c->var.valid()) << "unbound " << c->desc->use;
    }
    EXPECT_EQ(bound, 124 + 7);  // the record's fields, SPIN, KOL_SIM and VS_SIM twice, AX, AY
}

TEST_F(EntryWindow, TabNeverReachesTheOffsetAndCopySizeButtons) {
    Window& w = h.win();
    w.setProp(114, Prop::Hide, false);  // ?BUTTON12 as with per-line sizes on
    for (int tab : {2, 1}) {
        h.tabTo(1, tab);
        const std::vector<int> order = w.tabOrder();
        EXPECT_FALSE(order.empty());
        EXPECT_EQ(std::count(order.begin(), order.end(), 114), 0);
        EXPECT_EQ(std::count(order.begin(), order.end(), 225), 0);
    }
    // From the date-of-issue calendar button onwards, round the whole order once.
    h.select(125);
    for (std::size_t i = 0; i <= w.tabOrder().size(); ++i) {
        h.tab();
        EXPECT_NE(h.focus(), 225);
        EXPECT_NE(h.focus(), 114);
    }
    h.tabTo(1, 2);
    h.select(222);  // ?FRM:F50, the last line of the reverse
    h.tab();
    EXPECT_NE(h.focus(), 225);
}

// Pictures of both tabs (kept in the temporary directory for looking at), and what they must
// show: the blank under the lines, the text of every filled line and nothing on an empty one,
// the size spins once they are shown, and no text cut anywhere.
TEST_F(EntryWindow, BothTabsShowTheBlankTheFilledLinesAndTheSizeSpins) {
    set("FRM:NOMSV", "15");
    vars::find("FRM:DATAVV").setNumber(vx::Decimal(vx::date::fromYmd(2024, 3, 5)));
    set("FRM:COMMENT", "Выдано");
    set("FRM:OPIS", "крупный рогатый скот");
    set("FRM:CENA", "150");
    set("FRM:DAY", "5");
    set("FRM:MES", "марта");
    set("FRM:GOD", "24");
    set("FRM:Z1", "Московская область");
    set("FRM:Z3", "ГБУВ МО «Территориальное управление»");
    set("FRM:F1", "ООО «Агрохолдинг»");
    set("FRM:F2", "Иванову Ивану Ивановичу");
    set("FRM:F4", "крупного рогатого скота");
    set("FRM:F5", "тёлок");
    set("FRM:F6", "12 голов");
    set("FRM:F7", "ЗАО «Заря», д. Петровка, ул. Полевая, д. 3");
    set("FRM:F13", "с рождения");
    set("FRM:F16", "Областная ветеринарная лаборатория");
    set("FRM:F17", "лейкоз");
    set("FRM:F172", "РИД");
    set("FRM:F173", "отрицательный");
    set("FRM:F23", "сибирской язвы");
    set("FRM:F231", "12");
    set("FRM:F232", "февраля");
    set("FRM:F233", "24");
    set("FRM:F32", "г. Тверь, ООО «Молоко»");
    set("FRM:F34", "накладной 17");
    set("FRM:F36", "разведения");
    set("FRM:F41", "опись прилагается");
    set("FRM:F49", "ветеринарный врач");
    set("FRM:F50", "Петров П. П.");
    vars::find("AX").setText("1.5");
    Window& w = h.win();
    w.display();
    h.idle();
    const QImage front = shot("updateforma_1_front.png");
    const QString filled[] = {"?FRM:NOMSV", "?FRM:Z1", "?FRM:F1", "?FRM:F2", "?FRM:F7", "?FRM:F13", "?FRM:F17",
                              "?FRM:F173", "?FRM:DAY", "?FRM:MES", "?FRM:GOD", "?FRM:CENA", "?FRM:OPIS", "?FRM:COMMENT"};
    const QString empty[] = {"?FRM:F3", "?FRM:F8", "?FRM:F10", "?FRM:F14", "?FRM:F18"};
    const QColor lineInk = colorOf(0x512C02);
    for (const QString& n : filled) EXPECT_GT(inkIn(front, n, lineInk), 8) << n.toStdString();
    for (const QString& n : empty) EXPECT_EQ(inkIn(front, n, lineInk), 0) << n.toStdString();
    // The paper of the blank fills most of the picture's place.
    EXPECT_GT(share(front, w.control(3)->widget, QColor(255, 254, 247)), 0.3);
    for (const std::string& cut : test::cutTexts(w)) ADD_FAILURE() << cut;

    const int spins[] = {110, 105, 102, 24, 37, 49, 58};
    for (int spin : spins) w.setProp(spin, Prop::Hide, false);
    w.setProp(114, Prop::Hide, false);
    h.idle();
    const QImage sizes = shot("updateforma_1_front_sizes.png");
    for (int spin : spins) {
        const QRect r = rectOf(w.control(spin)->widget);
        EXPECT_NE(front.copy(r), sizes.copy(r)) << "spin " << spin << " not drawn";
        EXPECT_EQ(w.control(spin)->widget->findChild<QLineEdit*>()->text().trimmed(), QString()) << spin;
    }

    h.tabTo(1, 2);
    for (int spin : {130, 156, 171, 181, 186, 188, 195, 201}) w.setProp(spin, Prop::Hide, false);
    h.idle();
    const QImage back = shot("updateforma_1_reverse.png");
    for (const char* n : {"?FRM:F23", "?FRM:F231", "?FRM:F232", "?FRM:F233", "?FRM:F32", "?FRM:F34", "?FRM:F36",
                          "?FRM:F41", "?FRM:F49", "?FRM:F50"})
        EXPECT_GT(inkIn(back, QString::fromLatin1(n), lineInk), 8) << n;
    for (const char* n : {"?FRM:F24", "?FRM:F242", "?FRM:F33", "?FRM:F47"}) EXPECT_EQ(inkIn(back, QString::fromLatin1(n), lineInk), 0) << n;
    EXPECT_GT(share(back, w.control(128)->widget, QColor(255, 254, 247)), 0.3);
    for (const std::string& cut : test::cutTexts(w)) ADD_FAILURE() << cut;
    for (const QImage& img : {front, sizes, back}) {
        EXPECT_GE(img.width(), qRound(533 * w.duX()));
        EXPECT_GE(img.height(), qRound(613 * w.duY()));
    }
}
