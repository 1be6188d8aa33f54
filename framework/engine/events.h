#pragma once
// Event numbers, key codes, control types, properties and message-box constants of the engine.

#include <cstdint>

namespace vx::eng {

namespace ev {
enum : int {
    None = 0,
    // Tied to a control.
    Accepted = 0x01,
    NewSelection = 0x02,
    Selected = 0x03,
    Rejected = 0x04,
    AlertKey = 0x05,       // also window-wide, with control 0
    HeaderPressed = 0x06,  // a list column header was clicked; KEYCODE() holds the column (1-based)
    Dropped = 0x07,
    // An IMM list does not move its selection by the keys or the wheel itself: it reports them
    // (the browse that fills it moves and reloads the page).
    ScrollUp = 0x10,
    ScrollDown = 0x11,
    PageUp = 0x12,
    PageDown = 0x13,
    ScrollTop = 0x14,
    ScrollBottom = 0x15,
    // Not tied to a control.
    OpenWindow = 0x101,
    CloseWindow = 0x102,
    CloseDown = 0x103,
    Moved = 0x104,
    Sized = 0x105,
    LoseFocus = 0x106,  // the window lost the focus
    GainFocus = 0x107,
    Timer = 0x108,
    Completed = 0x109,
    Maximized = 0x10A,
    Iconized = 0x10B,
    Restored = 0x10C,
    // Events of the program's own, POSTed between threads.
    User = 0x400,
};
inline bool isFieldEvent(int e) { return e > 0 && e < 0x100; }
}  // namespace ev

// Key codes: Windows virtual-key numbers with modifier bits, mouse buttons as small numbers.
namespace key {
enum : int {
    MouseLeft = 1,
    MouseRight = 2,
    MouseCenter = 3,
    MouseLeft2 = 5,  // double click
    MouseRight2 = 6,
    Backspace = 8,
    Tab = 9,
    Enter = 13,
    Esc = 27,
    Space = 32,
    PgUp = 33,
    PgDn = 34,
    End = 35,
    Home = 36,
    Left = 37,
    Up = 38,
    Right = 39,
    Down = 40,
    Insert = 45,
    Delete = 46,
    F1 = 112,
    F2 = 113,
    F3 = 114,
    F4 = 115,
    F5 = 116,
    F6 = 117,
    F7 = 118,
    F8 = 119,
    F9 = 120,
    F10 = 121,
    F11 = 122,
    F12 = 123,
    Shift = 0x100,
    Ctrl = 0x200,
    Alt = 0x400,
    // A typed character that has no key code of its own (a Cyrillic letter, a punctuation mark):
    // Char + the character's code page 1251 byte, without modifier bits (the character carries
    // its case). KEYCHAR() gives the byte of every typed character, Latin letters too.
    Char = 0x800,
    CtrlH = Ctrl + 'H',
    CtrlMouseLeft = Ctrl + MouseLeft,    // 0x201
    CtrlMouseRight = Ctrl + MouseRight,  // 0x202
};
inline constexpr int typedChar(unsigned char c1251) { return Char | c1251; }
inline constexpr bool isTypedChar(int code) { return (code & ~0xFF) == Char; }
}  // namespace key

// Control types, as the type property reports them.
enum class CType : int {
    None = 0,
    String = 1,  // fixed text
    Image = 2,
    Region = 3,
    Line = 4,
    Box = 5,
    Entry = 8,
    Button = 9,
    Prompt = 10,
    Option = 11,
    Check = 12,
    Group = 13,
    List = 14,  // a LIST without a drop-down
    Combo = 15,
    Spin = 16,
    Text = 17,
    Menu = 18,
    Item = 19,
    Radio = 21,
    MenuBar = 22,
    Toolbar = 24,
    Sheet = 28,
    Tab = 29,
    Panel = 30,
    DropList = 33,   // a LIST with DROP(n)
    DropCombo = 34,  // a COMBO with DROP(n)
};

// Run-time properties of a control (by control number) or of a window (control 0).
enum class Prop : int {
    Text,        // text of a prompt, button, check, tab, group, window title; contents of an entry
    Value,       // the control's contents as display text (1251)
    FontName,
    FontSize,
    FontColor,   // 0x00BBGGRR
    FontStyle,   // weight + 0x1000 italic + 0x2000 underline + 0x4000 strike-out
    Background,  // 0x00BBGGRR, -1 = none
    Hide,
    Disable,
    ReadOnly,
    Req,
    Skip,
    Imm,
    Type,        // CType
    Drop,        // drop-down row count, 0 for plain lists and combos
    LineHeight,  // list row height in dialog units
    Column,      // list: current column, 0 = whole-row selection
    MouseDownColumn,
    Selected,    // list: selected row (1-based, 0 = none); sheet: current tab (1-based)
    Items,       // row count of a list
    PageRows,    // list: how many whole rows fit in it (read-only)
    Tip,
    Msg,
    Picture,
    X, Y, Width, Height,  // dialog units
    Icon,
    RangeLow, RangeHigh, Step,
    Use,         // name of the bound variable
    Feq,
};

namespace btn {
enum : int {
    Ok = 1,
    Yes = 2,
    No = 4,
    Abort = 8,
    Retry = 16,
    Ignore = 32,
    Cancel = 64,
    Help = 128,
};
}  // namespace btn

enum class Icon : int { None, Information, Question, Exclamation, Hand, Asterisk };

}  // namespace vx::eng
