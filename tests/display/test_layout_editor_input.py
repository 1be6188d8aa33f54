"""The layout editor under a real keyboard and mouse: a value typed past a spin's range is refused
with a message that names the field, the message answered with a click leaves the same editor
working at once, and only the value that fits is saved."""

import unittest

from vxdisplay import Session

SPIN = "?LAS:AXZ1"  # range 5..100


def box_text(w):
    return " ".join(c.get("text", "") for c in w.get("controls", []))


def open_editor(s):
    s.maximize_frame()
    s.click_menu("Форма №1", "Настройка формы")
    s.wait_for(lambda: s.control("", "?BROWSE:1").get("rowCount", 0) >= 1, what="the layouts")
    s.settle()
    s.click_row("", "?BROWSE:1", 0)
    s.click_control("", "?CHANGE:3")
    s.control("", SPIN, timeout=15)
    s.settle()


def type_into(s, name, text):
    s.type_into("", name, text, over=True)


class LayoutEditorInputTest(unittest.TestCase):
    def test_out_of_range_value_is_refused_by_name_and_the_editor_saves_a_fitting_one(self):
        with Session() as s:
            before = s.records("LAST")
            self.assertEqual(len(before), 1)
            open_editor(s)
            type_into(s, SPIN, "250")
            for bad in ("250", "3"):  # above and below the range 5..100
                s.click_control("", "?OK")
                box = s.wait_for(lambda: s.message_box(), what=f"the refusal of {bad}")
                self.assertEqual(box["title"], "Неверное значение")
                text = box_text(box)
                self.assertIn(f"«{bad}»", text)
                self.assertIn("Субъект РФ", text)  # the field, by its own description
                self.assertRegex(text, r"от 5(\.0)? до 100")
                # The box's OK answered with a real click; the box goes and the editor takes input.
                self.assertEqual(len([c for c in box["controls"] if c.get("type") == "button"]), 1, box)
                s.answer(button="OK")
                s.wait_for(lambda: s.message_box() is None, what="the refusal to close")
                self.assertNotIn(float(bad), [float(r["LAS:AXZ1"] or 0) for r in s.records("LAST")])
                s.wait_for(lambda: s.control("", SPIN).get("focused"), what="the focus back in the spin")
                # The refused text is selected: typing replaces it at once.
                s.type("3" if bad == "250" else "42")
            s.wait_for(lambda: s.control("", SPIN)["text"].strip().startswith("42"), what="42 in the spin")
            s.click_control("", "?OK")
            s.wait_for(lambda: float(s.records("LAST")[0]["LAS:AXZ1"]) == 42.0, what="42 saved")
            self.assertIsNone(s.message_box())
            self.assertEqual(len(s.records("LAST")), 1)


if __name__ == "__main__":
    unittest.main()
