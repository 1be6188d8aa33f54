"""The layout editor's font dialog on a real display, at the first start: it opens on the layout's
own typeface (shown by the layout's name) and style; only the colour is changed, with the mouse
and the keyboard, and after [Сохранить] the layout keeps its typeface, style, size and character
set, with the new colour."""

import re
import unittest

from vxdisplay import Session

DIALOG = r"^Выбрать шрифт для печати$"
FONT_FIELDS = ("LAS:TYPEFACE", "LAS:FONTSTYLE", "LAS:FONTSIZE", "LAS:CHARSET")


def open_editor(s):
    s.maximize_frame()
    s.click_menu("Форма №1", "Настройка формы")
    s.wait_for(lambda: s.control("", "?BROWSE:1").get("rowCount", 0) >= 1, what="the layouts")
    s.settle()
    s.click_row("", "?BROWSE:1", 0)
    s.click_control("", "?CHANGE:3")
    s.control("", "?BUTTON3", timeout=15)
    s.settle()


def dialog_control(s, pred):
    w = s.find_window(DIALOG)
    return next((c for c in (w or {}).get("controls", []) if pred(c)), None)


class LayoutFontTest(unittest.TestCase):
    def test_changing_only_the_colour_keeps_the_layouts_typeface_and_style(self):
        with Session() as s:
            before = s.records("LAST")
            self.assertEqual(len(before), 1)
            self.assertEqual(before[0]["LAS:TYPEFACE"].strip(), "Times New Roman CYR")
            self.assertEqual(int(before[0]["LAS:FONTSTYLE"]), 700)
            open_editor(s)
            s.click_control("", "?BUTTON3")  # [Шрифт]
            s.wait_window(DIALOG)
            s.settle()
            # The family is shown by the layout's own name.
            family = s.wait_for(lambda: dialog_control(s, lambda c: c.get("type") == "entry"
                                                       and c.get("text") == "Times New Roman CYR"),
                                what="the layout's typeface in the dialog")
            # ...and its style is the face's bold, upright.
            s.wait_for(lambda: dialog_control(s, lambda c: c.get("type") == "entry" and c.get("text") == "Bold"),
                       what="the bold style in the dialog")
            img = s.screenshot("font-dialog")
            x, y, w, h = family["rect"]
            ink = [p for p in (s.pixel(img, i, j) for i in range(x, x + w) for j in range(y, y + h)) if sum(p) < 3 * 110]
            self.assertGreater(len(ink), 20, "the name is drawn in its entry")
            colour = dialog_control(s, lambda c: c.get("name") == "colour")
            self.assertIsNotNone(colour, s.describe())
            self.assertEqual(colour.get("text"), "Черный")
            # Черный, Темно-бордовый, Зеленый: the list opened with a click, two rows down, Return.
            s.click_control(DIALOG, "colour")
            s.key("Down", "Down", "Return")
            s.wait_for(lambda: (dialog_control(s, lambda c: c.get("name") == "colour") or {}).get("text") == "Зеленый",
                       what="Зеленый chosen")
            ok = dialog_control(s, lambda c: c.get("type") == "button" and re.fullmatch(r"OK|ОК", c.get("text", "")))
            self.assertIsNotNone(ok, s.describe())
            x, y, w, h = ok["rect"]
            s.click(x + w // 2, y + h // 2)
            s.wait_gone(DIALOG)
            # The typeface entry shows the name the dialog gave back: the layout's own.
            s.settle()
            self.assertEqual(s.control("", "?LAS:TYPEFACE").get("text", "").strip(), "Times New Roman CYR")
            s.click_control("", "?OK")  # [Сохранить]
            s.wait_for(lambda: int(s.records("LAST")[0]["LAS:FONTCOLOR"]) == 0x008000, what="the green colour saved")
            after = s.records("LAST")[0]
            for f in FONT_FIELDS:
                self.assertEqual(after[f].strip(), before[0][f].strip(), f)
            self.assertEqual(s.quit(), 0)


if __name__ == "__main__":
    unittest.main()
