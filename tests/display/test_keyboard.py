"""The entry window by keyboard alone, on a real display: Ctrl+Tab, Ctrl+Shift+Tab and Ctrl+F6 never
make the register that waits behind it the active window, and Ctrl+PgDn / Ctrl+PgUp turn its
sheet, with the focus on the first field of the side shown, so that the reverse side is typed
without the mouse."""

import re
import unittest

from vxdisplay import Session, seed

ENTRY = r"Ветеринарное свидетельство \(Форма №1\)"


def register_title(s):
    for w in s.windows():
        if w.get("kind") == "mdi" and any(c.get("name") == "?INSERT:2" for c in w.get("controls", [])):
            return w.get("title", "")
    return None


class KeyboardTest(unittest.TestCase):
    def open_entry(self, s):
        seed(s.data, "KAGENT", [{"KAG:ID": 1, "KAG:NAME": "Альфа"}])
        s.start()
        s.maximize_frame()
        s.click_menu("Форма №1", "Подготовка и печать")
        s.wait_for(lambda: register_title(s) is not None, what="the register")
        s.click_control("^" + re.escape(register_title(s)) + "$", "?INSERT:3")
        s.wait_window(ENTRY)
        # The entry window opens with the focus in the number: from here on only keys.
        s.wait_for(lambda: (s.control(ENTRY, "?FRM:NOMSV").get("focused") and s.find_window(ENTRY).get("active")),
                   what="the number focused in the active entry window")
        s.settle()

    def focused(self, s):
        w = s.find_window(ENTRY)
        return next((c for c in (w or {}).get("controls", []) if c.get("focused")), None)

    def sheet(self, s):
        return s.control(ENTRY, "?CURRENTTAB")

    def test_window_switch_keys_never_activate_the_waiting_register(self):
        with Session(start=False) as s:
            self.open_entry(s)
            s.type("15")
            s.wait_for(lambda: s.control(ENTRY, "?FRM:NOMSV").get("text", "").strip() == "15", what="15 typed")
            s.settle()
            bar = s.find_window(ENTRY)["titleBar"]
            box = (bar[0], bar[1], bar[0] + bar[2], bar[1] + bar[3])
            before = s.screenshot("before-window-keys").crop(box)
            for combo in ("ctrl+Tab", "ctrl+shift+Tab", "ctrl+F6", "ctrl+shift+F6"):
                s.keys(combo)
                s.settle()
                entry = s.find_window(ENTRY)
                self.assertTrue(entry.get("active"), f"{combo}: the entry window is no longer active\n" + s.describe())
                reg = next(w for w in s.windows() if w.get("kind") == "mdi" and w is not entry
                           and w.get("title") == register_title(s))
                self.assertFalse(reg.get("active"), f"{combo}: the waiting register became active")
                self.assertEqual((self.focused(s) or {}).get("name"), "?FRM:NOMSV", combo)
            # The entry window's title bar looks as before: still in front, still the active one.
            after = s.screenshot("after-window-keys").crop(box)
            self.assertEqual(list(before.getdata()), list(after.getdata()))
            # The keyboard still reaches the number.
            s.type("7")
            s.wait_for(lambda: s.control(ENTRY, "?FRM:NOMSV").get("text", "").strip() == "157",
                       what="the number to read 157")

    def test_ctrl_pgdn_and_ctrl_pgup_turn_the_sheet_with_the_focus_on_its_first_field(self):
        with Session(start=False) as s:
            self.open_entry(s)
            front = self.sheet(s)["current"]
            s.keys("ctrl+Next")
            s.wait_for(lambda: self.sheet(s)["current"] != front, what="the reverse side shown")
            back = self.sheet(s)
            self.assertIn("Обратная", back["tabs"][back["current"]]["text"])
            first = s.wait_for(lambda: self.focused(s), what="a focused field on the reverse side")
            self.assertEqual(first["name"], "?FRM:F23")
            s.settle()
            x, y, w, h = first["rect"]
            empty = s.screenshot("reverse-side-empty").crop((x, y, x + w, y + h))
            s.type("Проверка")
            s.wait_for(lambda: "Проверка" in s.control(ENTRY, "?FRM:F23").get("text", ""),
                       what="the text typed into the first field of the reverse side")
            s.keys("ctrl+Prior")
            s.wait_for(lambda: self.sheet(s)["current"] == front, what="the front side shown again")
            # The front side's first field in Tab order: the first header line.
            self.assertEqual(s.wait_for(lambda: self.focused(s), what="a focused field")["name"], "?FRM:Z1")
            s.keys("ctrl+Prior")  # round: from the front to the reverse side
            s.wait_for(lambda: self.sheet(s)["current"] == back["current"], what="the reverse side again")
            self.assertEqual(s.wait_for(lambda: self.focused(s), what="a focused field")["name"], "?FRM:F23")
            self.assertIn("Проверка", s.control(ENTRY, "?FRM:F23").get("text", ""))
            s.settle()
            # What was typed shows on the screen, in the field's place.
            typed = s.screenshot("reverse-side").crop((x, y, x + w, y + h))
            self.assertNotEqual(list(empty.getdata()), list(typed.getdata()), "?FRM:F23 looks as it did empty")


if __name__ == "__main__":
    unittest.main()
