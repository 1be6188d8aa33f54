#pragma once
// The control numbers of the main frame MAIN (resources/layouts/main.lay): the menu bar, its
// menus and items, the toolbar and its controls are numbered -1, -2, ... in declaration order;
// the navigation buttons keep their fixed numbers 3001-3012 (vx::Nav).

namespace vexlo::mainframe {

enum Feq : int {
    MENUBAR = -1,
    FILEMENU = -2,
    PRINTSETUP = -3,
    EXIT = -4,
    EDITMENU = -5,
    CUT = -6,
    COPY = -7,
    PASTE = -8,
    ФОРМА1 = -9,
    FORMA1 = -10,
    ФОРМА1ОТЧЕТОВЫДАННЫХДОКУМЕНТАХ = -11,
    ФОРМА1УДАЛИТЬЗАПЕРИОД = -12,
    NSTRFRM = -13,
    ПОМОЩЬ = -14,
    ПОМОЩЬПРАВИЛАЗАПОЛНЕНИя = -15,
    ПОМОЩЬОПРОГРАММЕ = -16,
    TOOLBAR = -17,
    LINE1 = -18,
    BUTTON15 = -19,
    BUTTON15_2 = -20,
    LINE1_2 = -21,
    SORT = -22,
    LINE1_3 = -23,
    BLANK = -24,
};

}  // namespace vexlo::mainframe
