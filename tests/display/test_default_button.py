"""Enter presses a window's default button: Return typed in a date entry of the period dialogs
starts the period report (its preview appears) or deletes the period's certificates with their
animal rows."""

import datetime
import unittest

from vxdisplay import Session, seed

PERIOD = r"^За период$"
PREVIEW = r"^Предварительный просмотр$"


def day(d):
    """A date as the data files keep it: days since 28.12.1800."""
    return (datetime.date(*d) - datetime.date(1800, 12, 28)).days


CERTS = [  # number, date of issue; the period is 01.12.2026 .. 15.12.2026
    (1, (2026, 12, 5)), (2, (2026, 12, 10)), (3, (2026, 11, 5)), (4, (2026, 12, 25)),
]


def seeded(s):
    seed(s.data, "KAGENT", [{"KAG:ID": 1, "KAG:NAME": "Альфа"}])
    seed(s.data, "FORMA1", [{"FRM:NOMSV": n, "FRM:F2": "Альфа", "FRM:DATAVV": day(d)} for n, d in CERTS])
    seed(s.data, "ANIM", [{"ANI:NFORM": n, "ANI:KICHKA": f"Корова {n}"} for n, _ in CERTS])
    s.start()
    s.maximize_frame()


def type_period(s):
    for name, text in (("?D1", "01.12.2026"), ("?D2", "15.12.2026")):
        s.type_into(PERIOD, name, text, over=True)


class DefaultButtonTest(unittest.TestCase):
    def test_return_in_a_date_entry_deletes_the_period(self):
        with Session(start=False) as s:
            seeded(s)
            self.assertEqual(sorted(int(r["FRM:NOMSV"]) for r in s.records("FORMA1")), [1, 2, 3, 4])
            s.click_menu("Форма №1", "Удалить за период")
            s.wait_window(PERIOD)
            s.settle()
            type_period(s)
            self.assertTrue(s.control(PERIOD, "?D2")["focused"])
            s.key("Return")
            s.wait_for(lambda: len(s.records("FORMA1")) == 2, what="the period's certificates to go")
            self.assertEqual(sorted(int(r["FRM:NOMSV"]) for r in s.records("FORMA1")), [3, 4])
            s.wait_for(lambda: sorted(int(r["ANI:NFORM"]) for r in s.records("ANIM")) == [3, 4],
                       what="their animal rows to go with them")

    def test_return_in_a_date_entry_starts_the_period_report(self):
        with Session(start=False) as s:
            seeded(s)
            s.click_menu("Форма №1", "О документах за период")
            s.wait_window(PERIOD)
            s.settle()
            type_period(s)
            self.assertIsNone(s.find_window(PREVIEW))
            s.key("Return")
            s.wait_window(PREVIEW, timeout=20)
            # The dialog stays open behind the preview; nothing was deleted.
            self.assertIsNotNone(s.find_window(PERIOD))
            self.assertEqual(len(s.records("FORMA1")), 4)
            # One page: the two certificates of the period (3 and 4 lie outside it).
            s.wait_for(lambda: "Страница 1 из 1" in s.control(PREVIEW, "pageLabel")["text"], what="one page")
            # The preview closed with the window manager's close (its own button is behind the
            # toolbar's overflow at this width); the program then ends normally.
            s.keys("alt+F4")
            s.wait_gone(PREVIEW)
            self.assertEqual(s.quit(), 0)


if __name__ == "__main__":
    unittest.main()
