"""The register on a real display: a counterparty added with the mouse and Cyrillic typing, the
cancel question answered with the mouse and the same form used again, a click on a row of the
register's lists."""

import os
import re
import subprocess
import unittest

from vxdisplay import Session

REGISTER_LIST = "?BROWSE:1"
FORM = r"^Добавить запись$"
ENTRY = r"^Ветеринарное свидетельство"
ANIMAL = r"^Информация о животном$"
PREVIEW = r"^Предварительный просмотр$"


def open_register(s):
    s.maximize_frame()
    s.click_menu("Форма", "Подготовка")
    s.control("", REGISTER_LIST)
    s.settle()


def add_counterparty(s, name):
    s.click_control("", "?INSERT:2")
    s.wait_window(FORM)
    s.settle()
    s.type_into(FORM, "?KAG:NAME", name)
    s.click_control(FORM, "?OK")
    s.wait_gone(FORM)


def make_certificate(s, number, counterparty, f3):
    """A counterparty, then a certificate of it through the entry window; all with the mouse."""
    add_counterparty(s, counterparty)
    s.wait_for(lambda: s.control("", "?LIST:2").get("rowCount") == 1, what="the counterparty")
    s.click_row("", "?LIST:2", 0)
    s.click_control("", "?INSERT:3")
    s.wait_window(ENTRY)
    s.settle()
    s.type_into(ENTRY, "?FRM:NOMSV", number)
    s.type_into(ENTRY, "?FRM:DATAVV", "10.12.2026")  # the date of issue is required
    s.type_into(ENTRY, "?FRM:F3", f3)
    s.click_control(ENTRY, "?OK")
    s.wait_gone(ENTRY)
    s.wait_for(lambda: s.control("", REGISTER_LIST).get("rowCount") == 1, what="the certificate in the list")


class RegisterTest(unittest.TestCase):
    def test_cancel_question_answered_with_the_mouse_then_the_form_saves(self):
        with Session() as s:
            open_register(s)
            s.click_control("", "?INSERT:2")
            s.wait_window(FORM)
            s.settle()
            s.type_into(FORM, "?KAG:NAME", "ООО Ромашка")
            s.click_control(FORM, "?CANCEL")
            # The question (its texts are the program's own: "Yes", "No"); "No" keeps the form.
            box = s.wait_for(lambda: next((w for w in s.windows() if w.get("class") == "QMessageBox"), None),
                             what="the cancel question")
            img = s.screenshot("question")
            no = s.control("", "No")
            self.assertTrue(no["enabled"])
            s.answer(button="No")
            s.wait_for(lambda: not any(w.get("class") == "QMessageBox" for w in s.windows()), what="the question to go")
            # The same form takes input again at once: it is enabled, and typing and Save work.
            s.wait_for(lambda: s.find_window(FORM)["enabled"], what="the form to be enabled again")
            s.click_control(FORM, "?KAG:NAME")
            s.key("End")
            s.type(" и К")
            s.click_control(FORM, "?OK")
            s.wait_gone(FORM)
            names = [r["KAG:NAME"] for r in s.records("KAGENT")]
            self.assertEqual(names, ["ООО Ромашка и К"])
            self.assertIsNotNone(box)
            self.assertIsNotNone(img)

    def test_a_click_on_a_row_selects_it_in_each_list(self):
        with Session() as s:
            open_register(s)
            for name in ("Альфа", "Бета"):
                add_counterparty(s, name)
            s.wait_for(lambda: s.control("", "?LIST:2").get("rowCount") == 2, what="two counterparties in the list")
            lst = s.control("", "?LIST:2")
            texts = [r["texts"][0].strip() for r in lst["rows"]]
            self.assertEqual(texts, ["Альфа", "Бета"])
            for row in (1, 0):
                s.click_row("", "?LIST:2", row)
                s.wait_for(lambda: s.control("", "?LIST:2")["current"] == row, what=f"row {row} current")
            # The highlighted row is drawn in the list's selection colours, not the plain white.
            img = s.screenshot("counterparty-row")
            r = s.control("", "?LIST:2")["rows"][0]["rect"]
            self.assertNotEqual(s.pixel(img, r[0] + r[2] - 10, r[1] + r[3] // 2), (255, 255, 255))

    def test_a_certificate_and_an_animal_row_saved_with_the_mouse_show_in_their_lists_and_take_a_click(self):
        with Session() as s:
            open_register(s)
            add_counterparty(s, "Альфа")
            s.wait_for(lambda: s.control("", "?LIST:2").get("rowCount") == 1, what="the counterparty")
            s.click_row("", "?LIST:2", 0)
            s.click_control("", "?INSERT:3")
            entry = s.wait_window(ENTRY)
            s.settle()
            self.assertEqual(s.control(ENTRY, "?FRM:F2")["text"], "Альфа")
            s.type_into(ENTRY, "?FRM:NOMSV", "15")
            s.type_into(ENTRY, "?FRM:DATAVV", "10.12.2026")  # the date of issue is required
            s.type_into(ENTRY, "?FRM:F3", "Ромашка")
            s.click_control(ENTRY, "?OK")
            s.wait_gone(ENTRY)
            recs = s.records("FORMA1")
            self.assertEqual([(r["FRM:NOMSV"], r["FRM:F2"], r["FRM:F3"]) for r in recs], [("15", "Альфа", "Ромашка")])
            s.wait_for(lambda: s.control("", REGISTER_LIST).get("rowCount") == 1, what="the certificate in the list")
            row = s.control("", REGISTER_LIST)["rows"][0]
            self.assertEqual(row["texts"][0].strip(), "15")
            s.click_row("", REGISTER_LIST, 0)
            s.wait_for(lambda: s.control("", REGISTER_LIST)["current"] == 0, what="the certificate row current")
            self.assertIsNotNone(entry)
            # An animal row of this certificate, then a click on it in the third list.
            s.click_control("", "?INSERT")
            s.wait_window(ANIMAL)
            s.settle()
            self.assertEqual(s.control(ANIMAL, "?ANI:NFORM")["text"].strip(), "15")
            s.type_into(ANIMAL, "?ANI:KICHKA", "Зорька")
            s.click_control(ANIMAL, "?OK")
            s.wait_gone(ANIMAL)
            self.assertEqual([(r["ANI:NFORM"], r["ANI:KICHKA"]) for r in s.records("ANIM")], [("15", "Зорька")])
            s.wait_for(lambda: s.control("", "?LIST").get("rowCount") == 1, what="the animal row in the list")
            self.assertIn("Зорька", [t.strip() for t in s.control("", "?LIST")["rows"][0]["texts"]])
            s.click_row("", "?LIST", 0)
            s.wait_for(lambda: s.control("", "?LIST")["current"] == 0, what="the animal row current")

    def test_the_front_side_printed_to_pdf_holds_the_certificates_lines(self):
        with Session() as s:
            open_register(s)
            make_certificate(s, "15", "Альфа", "Ромашка")
            s.click_row("", REGISTER_LIST, 0)
            s.click_control("", "?BUTTON12")  # the front side
            s.wait_window(PREVIEW)
            s.settle()
            s.click_control(PREVIEW, "Сохранить PDF")
            s.wait_active(r"^Сохранить PDF$")
            s.type_into(r"^Сохранить PDF$", "fileNameEdit", "front.pdf")
            s.key("Return")
            pdf = os.path.join(s.data, "front.pdf")
            s.wait_for(lambda: os.path.exists(pdf) and os.path.getsize(pdf) > 0, what="the PDF")
            s.settle()
            out = subprocess.run(["pdftotext", "-bbox", pdf, "-"], stdout=subprocess.PIPE, check=True).stdout.decode()
            words = re.findall(r'<word xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>([^<]*)</word>', out)
            texts = [w[2] for w in words]
            for t in ("Альфа", "Ромашка", "декабря"):
                self.assertIn(t, texts)
            # Each on the page, the counterparty's line above the next line of the blank.
            where = {w[2]: (float(w[0]), float(w[1])) for w in words}
            self.assertLess(where["Альфа"][1], where["Ромашка"][1])
            s.click_control(PREVIEW, "Закрыть")
            s.wait_gone(PREVIEW)
            self.assertEqual(s.quit(), 0)


if __name__ == "__main__":
    unittest.main()
