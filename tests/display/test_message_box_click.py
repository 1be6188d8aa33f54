"""A message box answered with a real click hands the window back at once: the counterparty form's
cancel question "Are you sure you want to cancel?" answered "No" with the mouse three times in a
row, each time followed at once by typing into the same form, which then saves everything typed."""

import unittest

from vxdisplay import Session

FORM = r"^Добавить запись$"


class MessageBoxClickTest(unittest.TestCase):
    def test_cancel_question_answered_no_with_the_mouse_three_times_then_the_form_saves(self):
        with Session() as s:
            s.maximize_frame()
            s.click_menu("Форма №1", "Подготовка")
            s.control("", "?BROWSE:1")
            s.settle()
            s.click_control("", "?INSERT:2")
            s.wait_window(FORM)
            s.settle()
            for piece in ("ООО", " Ромашка", " и К"):
                s.click_control(FORM, "?KAG:NAME")
                s.key("End")
                s.type(piece)
                s.click_control(FORM, "?CANCEL")
                box = s.wait_for(lambda: s.message_box(), what="the cancel question")
                said = " ".join([box.get("title", "")] + [c.get("text", "") for c in box["controls"]])
                self.assertIn("Are you sure you want to cancel?", said)
                self.assertFalse(s.find_window(FORM)["enabled"], "the form waits for the answer")
                s.answer(button="No")
                s.wait_for(lambda: s.message_box() is None, what="the question to go")
                # Without any other event the same form takes input again.
                s.wait_for(lambda: s.find_window(FORM)["enabled"], what="the form enabled again")
                self.assertEqual(s.records("KAGENT"), [])
            s.wait_for(lambda: s.control(FORM, "?KAG:NAME")["text"].strip() == "ООО Ромашка и К",
                       what="everything typed in the name")
            s.click_control(FORM, "?OK")
            s.wait_gone(FORM)
            self.assertEqual([r["KAG:NAME"] for r in s.records("KAGENT")], ["ООО Ромашка и К"])


if __name__ == "__main__":
    unittest.main()
