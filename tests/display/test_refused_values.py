"""Refused values under a real keyboard and mouse: the window never holds two truths. A refused
value is told in one message, the field then shows again what the program holds, and no action
(the period deletion, the save of the entry window or of the counterparty form) ever runs on a
value the screen does not show. A name takes only characters its file keeps, and no more of them
than it keeps."""

import datetime
import unittest

from vxdisplay import Session, seed

PERIOD = r"^За период$"
ENTRY = r"^Ветеринарное свидетельство"
FORM = r"^Добавить запись$"
REGISTER_LIST = "?BROWSE:1"


def day(d):
    """A date as the data files keep it: days since 28.12.1800."""
    return (datetime.date(*d) - datetime.date(1800, 12, 28)).days


def box_text(w):
    return " ".join(c.get("text", "") for c in w.get("controls", []))


def refusal(s, what):
    """The one message of a refusal: its text, after checking that it is the only one."""
    box = s.wait_for(lambda: s.message_box(), what=what)
    s.settle()
    self_boxes = [w for w in s.windows() if w.get("class") == "QMessageBox"]
    if len(self_boxes) != 1:
        raise AssertionError(f"{len(self_boxes)} message boxes for {what}")
    if box["title"] != "Неверное значение":
        raise AssertionError(f"{box['title']!r} for {what}")
    return box_text(box)


def answer_ok(s):
    s.answer(button="OK")
    s.wait_for(lambda: s.message_box() is None, what="the message to close")
    s.settle()


def overtype(s, win, name, text):
    s.type_into(win, name, text, over=True)


def shown(s, win, name):
    return s.control(win, name)["text"].strip()


def numbers(s):
    return sorted(int(r["FRM:NOMSV"]) for r in s.records("FORMA1"))


def open_register(s):
    s.maximize_frame()
    s.click_menu("Форма", "Подготовка")
    s.control("", REGISTER_LIST)
    s.settle()


class RefusedValuesTest(unittest.TestCase):
    def test_period_deletion_after_a_refused_end_deletes_only_the_period_shown(self):
        with Session(start=False) as s:
            certs = [(50, (2025, 6, 1)), (51, (2025, 11, 15)), (52, (2025, 12, 1)), (53, (2026, 1, 10))]
            seed(s.data, "KAGENT", [{"KAG:ID": 1, "KAG:NAME": "Альфа"}])
            seed(s.data, "FORMA1", [{"FRM:NOMSV": n, "FRM:F2": "Альфа", "FRM:DATAVV": day(d)} for n, d in certs])
            s.start()
            s.maximize_frame()
            s.click_menu("Форма №1", "Удалить за период")
            s.wait_window(PERIOD)
            s.settle()
            overtype(s, PERIOD, "?D1", "01.03.2025")
            s.key("Tab")
            overtype(s, PERIOD, "?D2", "31.12.2025")
            s.key("Tab")
            # "по" overtyped with a day that does not exist, and "Удалить" pressed at once: the
            # press is void, told once, and the field shows the end that is kept.
            overtype(s, PERIOD, "?D2", "31.02.2025")
            s.click_control(PERIOD, "?OKBUTTON")
            text = refusal(s, "the refusal of 31.02.2025")
            self.assertIn("«31.02.2025» не подходит для поля «по»", text)
            self.assertIn("ДД.ММ.ГГГГ", text)
            self.assertEqual(shown(s, PERIOD, "?D2"), "31.12.2025")
            self.assertEqual(numbers(s), [50, 51, 52, 53])
            answer_ok(s)
            s.wait_for(lambda: s.control(PERIOD, "?D2").get("focused"), what="the focus back in «по»")
            self.assertEqual(shown(s, PERIOD, "?D2"), "31.12.2025")
            # The refused text gone, the field is typed over at once; the period shown is deleted.
            s.type("30.11.2025")
            s.key("Tab")
            s.click_control(PERIOD, "?OKBUTTON")
            s.wait_for(lambda: numbers(s) == [52, 53], what="50 and 51 to go")
            self.assertIsNone(s.message_box())
            # Refused once more on leaving the field, then "Удалить": what the screen shows acts.
            overtype(s, PERIOD, "?D2", "31.02.2025")
            s.key("Tab")
            refusal(s, "the refusal on leaving «по»")
            answer_ok(s)
            self.assertEqual(shown(s, PERIOD, "?D2"), "30.11.2025")
            s.click_control(PERIOD, "?OKBUTTON")
            s.settle()
            self.assertIsNone(s.message_box())
            self.assertEqual(numbers(s), [52, 53])  # no. 52 of 01.12.2025 stays

    def test_entry_window_saved_twice_after_a_refused_date_and_number_writes_nothing_refused(self):
        with Session(start=False) as s:
            seed(s.data, "KAGENT", [{"KAG:ID": 1, "KAG:NAME": "Альфа"}])
            s.start()
            open_register(s)
            s.wait_for(lambda: s.control("", "?LIST:2").get("rowCount") == 1, what="the counterparty")
            s.click_row("", "?LIST:2", 0)
            s.click_control("", "?INSERT:3")
            s.wait_window(ENTRY)
            s.settle()
            overtype(s, ENTRY, "?FRM:NOMSV", "60")
            s.key("Tab")
            overtype(s, ENTRY, "?FRM:DATAVV", "01.04.2025")
            s.key("Tab")
            for field, bad, kept, name in (("?FRM:DATAVV", "31.02.2025", "01.04.2025", "от"),
                                           ("?FRM:NOMSV", "6l", "60", "№")):
                for attempt in (1, 2):  # saved twice, as a hurried clerk would
                    overtype(s, ENTRY, field, bad)
                    s.click_control(ENTRY, "?OK")
                    text = refusal(s, f"the refusal of {bad} ({attempt})")
                    self.assertIn(f"«{bad}» не подходит для поля «{name}»", text)
                    self.assertEqual(shown(s, ENTRY, field), kept)
                    answer_ok(s)
                    s.wait_for(lambda: s.control(ENTRY, field).get("focused"), what=f"the focus back in {field}")
                    self.assertEqual(shown(s, ENTRY, field), kept)
                    self.assertEqual(s.records("FORMA1"), [])
            # Saved as the screen shows it: number 60 of 01.04.2025.
            self.assertEqual((shown(s, ENTRY, "?FRM:NOMSV"), shown(s, ENTRY, "?FRM:DATAVV")), ("60", "01.04.2025"))
            s.click_control(ENTRY, "?OK")
            s.wait_gone(ENTRY)
            recs = s.records("FORMA1")
            self.assertEqual([(r["FRM:NOMSV"], r["FRM:MES"]) for r in recs], [("60", "апреля")])
            self.assertEqual(int(recs[0]["FRM:DATAVV"]), day((2025, 4, 1)))

    def test_counterparty_with_characters_outside_its_code_page_and_a_name_past_its_width(self):
        with Session() as s:
            open_register(s)
            s.click_control("", "?INSERT:2")
            s.wait_window(FORM)
            s.settle()
            s.type_into(FORM, "?KAG:NAME", "Zakład ę 中 ✓")
            self.assertEqual(shown(s, FORM, "?KAG:NAME"), "Zakład ę 中 ✓")
            s.click_control(FORM, "?OK")
            text = refusal(s, "the refusal of the name")
            self.assertIn("«Zakład ę 中 ✓» не подходит для поля «Контрагент физическое/юридическое лицо»", text)
            self.assertIn("Знаки ł ę 中 ✓ в этом поле не сохраняются", text)
            answer_ok(s)
            self.assertEqual(s.records("KAGENT"), [])
            self.assertEqual(shown(s, FORM, "?KAG:NAME"), "")
            # A name typed past the 80 characters the file keeps stops there while typing.
            long_name = "Сельскохозяйственный производственный кооператив Рассвет Верхнекамского района и К"
            self.assertGreater(len(long_name), 80)
            s.type_into(FORM, "?KAG:NAME", long_name, shows=long_name[:80])
            self.assertEqual(shown(s, FORM, "?KAG:NAME"), long_name[:80])
            s.click_control(FORM, "?OK")
            s.wait_gone(FORM)
            self.assertIsNone(s.message_box())
            names = [r["KAG:NAME"] for r in s.records("KAGENT")]
            self.assertEqual(names, [long_name[:80]])
            self.assertNotIn("?", names[0])


if __name__ == "__main__":
    unittest.main()
