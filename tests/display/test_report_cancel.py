""""Отменить" on the real display while a report runs: the period report over 10,000 certificates,
cancelled with a real click as soon as its progress window is on the screen, ends without a
preview, and the frame's status bar does not keep the button's "Cancel Report"."""

import datetime
import time
import unittest

from vxdisplay import Session, seed

PERIOD = r"^За период$"
PROGRESS = r"^Готовность\.\.\.$"
PREVIEW = r"^Предварительный просмотр$"
COUNT = 10000


def day(d):
    """A date as the data files keep it: days since 28.12.1800."""
    return (datetime.date(*d) - datetime.date(1800, 12, 28)).days


def seeded(s):
    seed(s.data, "KAGENT", [{"KAG:ID": 1, "KAG:NAME": "Альфа"}])
    issued = day((2026, 12, 5))
    seed(s.data, "FORMA1", [{"FRM:NOMSV": n, "FRM:F2": "Альфа", "FRM:DATAVV": issued,
                             "FRM:F4": f"Корова {n}", "FRM:CENA": 100} for n in range(1, COUNT + 1)])
    s.start()
    s.maximize_frame()


def start_report(s):
    s.click_menu("Форма №1", "О документах за период")
    s.wait_window(PERIOD)
    s.settle()
    for name, text in (("?D1", "01.12.2026"), ("?D2", "15.12.2026")):
        s.type_into(PERIOD, name, text, over=True)
    s.key("Return")


def cancel_button(s):
    w = s.find_window(PROGRESS)
    if not w:
        return None
    return next((c for c in w.get("controls", []) if c.get("name") == "?PROGRESS:CANCEL"), None)


class ReportCancelTest(unittest.TestCase):
    def test_cancel_clicked_as_soon_as_the_progress_window_shows(self):
        with Session(start=False) as s:
            seeded(s)
            start_report(s)
            # As soon as the progress window is on the screen: a real click on "Отменить".
            button = s.wait_for(lambda: cancel_button(s), timeout=20, interval=0.005,
                                what="the progress window's Отменить")
            x, y, w, h = button["rect"]
            s._x(["xdotool", "mousemove", str(x + w // 2), str(y + h // 2), "click", "1"])
            clicked = time.time()
            # The report ends: its progress window goes, and no preview came on the way.
            s.wait_for(lambda: s.find_window(PROGRESS) is None or s.find_window(PREVIEW), timeout=30,
                       what="the report to end")
            self.assertIsNone(s.find_window(PREVIEW), f"a preview {time.time() - clicked:.2f}s after the click")
            s.wait_gone(PROGRESS)
            self.assertIsNone(s.find_window(PREVIEW))
            frame = s.frame_window()
            self.assertNotIn("Cancel Report", frame.get("statusMessage", ""))
            self.assertFalse(any("Cancel Report" in z for z in frame.get("statusZones", [])), frame.get("statusZones"))
            shot = s.screenshot("after-cancel")
            sx, sy, sw, sh = frame["statusbar"]
            # On the screen the status bar's message zone (its left half) is plain: no text left on it.
            zone = shot.crop((sx, sy, sx + sw // 2, sy + sh)).convert("L")
            self.assertGreater(min(zone.getdata()), 160, "text in the status bar's message zone")
            # ...while its right half does show the frame's own texts (the crop is the status bar).
            rest = shot.crop((sx + sw // 2, sy, sx + sw, sy + sh)).convert("L")
            self.assertLess(min(rest.getdata()), 100)
            # The dialog that started the report is still there and takes input; the program ends.
            self.assertIsNotNone(s.find_window(PERIOD))
            self.assertEqual(s.quit(), 0)


if __name__ == "__main__":
    unittest.main()
