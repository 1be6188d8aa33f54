"""One damaged certificate among sixty (the thirtieth in the file, a hundred bytes overwritten in
the middle of it), met as a person meets it: the register paged past it on tab 3 and back, "Найти"
reaching a certificate after it, the period report and the period deletion through the menu. Each
reaches every readable certificate and says once, truly, that one could not be read."""

import datetime
import os
import subprocess
import unittest

from vxdisplay import Session, seed

REG = r"^$"  # the register's window has no caption
PERIOD = r"^За период$"
PREVIEW = r"^Предварительный просмотр$"
DAMAGED = 30
CERTS = 60
SLOT = 4827 + 8


def day(d):
    """A date as the data files keep it: days since 28.12.1800."""
    return (datetime.date(*d) - datetime.date(1800, 12, 28)).days


def seeded(s):
    seed(s.data, "KAGENT", [{"KAG:ID": 1, "KAG:NAME": "Альфа"}])
    seed(s.data, "FORMA1", [{"FRM:NOMSV": n, "FRM:F2": "Альфа", "FRM:OPIS": f"Описание {n}",
                             "FRM:DATAVV": day((2026, 12, 1 + n % 28))} for n in range(1, CERTS + 1)])
    seed(s.data, "ANIM", [{"ANI:NFORM": n, "ANI:NPP": 1, "ANI:KICHKA": f"Корова {n}"} for n in range(1, CERTS + 1)])
    with open(os.path.join(s.data, "FORMA1.DAT"), "r+b") as f:
        f.seek(4096 + (DAMAGED - 1) * SLOT + 2000)
        f.write(b"Z" * 100)
    s.start()
    s.maximize_frame()


def said(b):
    return " ".join([b.get("title", "")] + [c.get("text", "") for c in b["controls"]])


def rows(s):
    return [r["texts"][0].strip() for r in s.control(REG, "?BROWSE:1").get("rows", [])]


def type_period(s):
    for name, text in (("?D1", "01.12.2026"), ("?D2", "31.12.2026")):
        s.type_into(PERIOD, name, text, over=True)


class DamagedRecordTest(unittest.TestCase):
    def assertToldOnce(self, text, words):
        for w in words + ["FORMA1", f"record {DAMAGED} damaged", "Остальные записи доступны."]:
            self.assertIn(w, text)
        self.assertNotIn("Access Denied", text)
        self.assertNotIn("write access", text)

    def test_the_register_pages_past_it_and_finds_after_it(self):
        with Session(start=False) as s:
            seeded(s)
            s.click_menu("Форма №1", "Подготовка")
            s.control(REG, "?BROWSE:1", timeout=20)
            s.settle()
            tab3 = s.control(REG, "?CURRENTTAB")["tabs"][2]["rect"]
            s.click(tab3[0] + tab3[2] // 2, tab3[1] + tab3[3] // 2)
            s.wait_for(lambda: rows(s)[:1] == ["1"], what="tab 3 from certificate 1")
            s.click_row(REG, "?BROWSE:1", 0)
            seen, told = set(rows(s)), []

            def page(key, until):
                while until not in rows(s):
                    before = rows(s)
                    s.key(key)
                    s.wait_for(lambda: rows(s) != before or s.message_box(), what=f"the list to move on {key}")
                    if s.message_box():
                        told.append(said(s.answer("Return")))
                        s.wait_for(lambda: s.message_box() is None, what="the message to go")
                        s.wait_for(lambda: rows(s) != before, what="the list to move past the damage")
                        # The next key only once the list has the keyboard again.
                        s.wait_for(lambda: s.control(REG, "?BROWSE:1").get("focused"), what="the list focused again")
                    seen.update(rows(s))

            page("Next", str(CERTS))
            self.assertEqual(seen, {str(n) for n in range(1, CERTS + 1) if n != DAMAGED})
            self.assertEqual(len(told), 1, told)
            self.assertToldOnce(told[0], ["Ошибка чтения"])
            # Back to the top over the same damage: nothing more is told in this window.
            page("Prior", "1")
            self.assertEqual(len(told), 1, told)
            self.assertIsNone(s.message_box())
            # "Найти" reaches a certificate after the damaged one.
            s.type_into(REG, "?FUZZYQUERY", "Описание 45")
            s.click_control(REG, "?FUZZYGO")
            s.wait_for(lambda: rows(s)[:1] == ["45"], what="certificate 45 first")
            self.assertIsNone(s.message_box())

    def test_the_period_report_and_deletion_through_the_menu(self):
        with Session(start=False) as s:
            seeded(s)
            # The period report: one message first, then every readable certificate in the preview.
            s.click_menu("Форма №1", "О документах за период")
            s.wait_window(PERIOD)
            s.settle()
            type_period(s)
            s.click_control(PERIOD, "?OKBUTTON")
            b = s.wait_for(lambda: s.message_box(), timeout=20, what="the message that one was left out")
            self.assertToldOnce(said(b), ["Не все записи прочитаны",
                                          "Отчёт неполон: пропущено записей, которые не удалось прочитать: 1."])
            s.answer("Return")
            s.wait_window(PREVIEW, timeout=20)
            self.assertIsNone(s.message_box())
            pdf = s.save_pdf(os.path.join(s.tmp, "period.pdf"))
            text = subprocess.run(["pdftotext", "-layout", pdf, "-"], stdout=subprocess.PIPE, check=True).stdout.decode()
            listed = {int(line.split()[0]) for line in text.splitlines()
                      if line.split() and line.split()[0].isdigit() and len(line.split()) > 1
                      and line.split()[1].count(".") == 2}
            self.assertEqual(listed, {n for n in range(1, CERTS + 1) if n != DAMAGED})
            s.close_by_key(PREVIEW)
            s.wait_gone(PREVIEW)
            s.close_mdi(PERIOD, "?CANCELBUTTON")
            s.wait_gone(PERIOD)
            # The period deletion: every readable certificate goes, the damaged one stays, told once.
            s.click_menu("Форма №1", "Удалить за период")
            s.wait_window(PERIOD)
            s.settle()
            type_period(s)
            s.click_control(PERIOD, "?OKBUTTON")
            b = s.wait_for(lambda: s.message_box(), timeout=20, what="the message that one was left")
            self.assertToldOnce(said(b), ["Удалены не все свидетельства за период: удалено 59;",
                                          "не удалось прочитать и оставлено в файле записей: 1."])
            s.answer("Return")
            s.wait_for(lambda: s.message_box() is None, what="the message to go")
            self.assertEqual(s.records("FORMA1"), [])  # the one left cannot be read
            self.assertEqual([r["ANI:NFORM"].strip() for r in s.records("ANIM")], [str(DAMAGED)])
            self.assertIsNotNone(s.find_window(PERIOD))
            self.assertEqual(s.quit(), 0)


if __name__ == "__main__":
    unittest.main()
