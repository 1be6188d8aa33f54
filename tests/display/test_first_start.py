"""A new user's first certificate, on a real display: the program starts in an empty directory,
a counterparty and a certificate are added, the characters-left counter counts the letters typed
into a line, and the front side printed to PDF keeps every field inside the page."""

import os
import re
import subprocess
import unittest

from vxdisplay import Session

ENTRY = r"Ветеринарное свидетельство \(Форма №1\)"


def find(s, name, title_re=None):
    """A control by its engine name in the most recent window (whose title matches) that has it."""
    rx = re.compile(title_re) if title_re else None

    def look():
        for w in reversed(s.windows()):
            if rx and not rx.search(w.get("title", "")):
                continue
            for c in w.get("controls", []):
                if (c.get("name") or "").lower() == name.lower():
                    return c
        return None

    return s.wait_for(look, what=f"control {name}")


def click(s, name, title_re=None):
    # Near the control's left end: a window may reach past the right edge of the screen.
    x, y, w, h = find(s, name, title_re)["rect"]
    s.click(x + min(w // 2, 12), y + h // 2)


def shown(s, name, title_re=ENTRY):
    return find(s, name, title_re).get("text", "").strip()


class FirstStartTest(unittest.TestCase):
    def test_counterparty_certificate_counter_and_front_print(self):
        with Session() as s:
            frame = s.wait_window(r"ветеринар", timeout=20)
            # The whole screen for the frame, so that the entry window fits in it.
            s._x(["xdotool", "windowmove", str(frame["xid"]), "0", "0"])
            s._x(["xdotool", "windowsize", str(frame["xid"]), "1280", "1024"])
            s.settle()
            self.assertEqual(len(s.records("LAST")), 1, "the first start makes the first print layout")

            s.click_menu("Форма №1", "Подготовка и печать")
            click(s, "?INSERT:2")
            s.type_into("Добавить запись", "?KAG:NAME", "ООО Ромашка")
            s.key("Tab", "space")
            s.wait_for(lambda: s.records("KAGENT"), what="the counterparty")

            click(s, "?INSERT:3")
            s.wait_window(ENTRY)
            s.type_into(ENTRY, "?FRM:NOMSV", "15")
            s.type_into(ENTRY, "?FRM:DATAVV", "05.03.2024")
            # A 120-character line: a capacity, then one less for each letter typed.
            click(s, "?FRM:F3", ENTRY)
            s.wait_for(lambda: shown(s, "?VS_SIM"), what="a capacity")
            capacity = int(shown(s, "?VS_SIM"))
            self.assertGreater(capacity, 0)
            s.type_into(ENTRY, "?FRM:F3", "абвгд")
            s.wait_for(lambda: shown(s, "?KOL_SIM") == str(capacity - 5), what=f"{capacity - 5} left")
            # Filled to its capacity, the line has nothing left (an empty display).
            s.type("е" * (capacity - 5), delay=15)
            s.wait_for(lambda: shown(s, "?KOL_SIM") == "", what="nothing left")
            img = s.screenshot("counter")
            # The capacity's box shows its digits (dark pixels of the text).
            x, y, w, h = find(s, "?VS_SIM", ENTRY)["rect"]
            ink = [p for p in (s.pixel(img, i, j) for i in range(x, x + w) for j in range(y, y + h)) if sum(p) < 3 * 140]
            self.assertGreater(len(ink), 5)
            click(s, "?OK", ENTRY)
            s.wait_gone(ENTRY)
            certs = s.records("FORMA1")
            self.assertEqual(len(certs), 1)
            full = "абвгд" + "е" * (capacity - 5)
            self.assertEqual(certs[0]["FRM:F3"].strip(), full)

            # The front side: the certificate chosen in the list, printed from the preview to PDF.
            s.click_row("", "?BROWSE:1", 0)
            click(s, "?BUTTON12")
            preview = s.wait_window(r"Предварительный просмотр", timeout=20)
            pdf = s.save_pdf(os.path.join(s.tmp, "front.pdf"))
            words, (pw, ph) = pdf_words(pdf)
            texts = " ".join(w for w, _ in words)
            for field in ("Ромашка", full, "марта", "Бежецк"):
                self.assertIn(field, texts)
            # The full line ends before the right end of the blank's lines (198 mm).
            line = next(box for w, box in words if w == full)
            self.assertLessEqual(line[2], 198 / 25.4 * 72)
            for w, (x1, y1, x2, y2) in words:
                self.assertTrue(0 <= x1 < x2 <= pw and 0 <= y1 < y2 <= ph, f"{w!r} at {x1},{y1},{x2},{y2} off the page {pw}x{ph}")
            # The preview stays open after the save (maximised, over the frame's menu); its user
            # closes it, the print ends, and the program ends through its own exit.
            self.assertIsNotNone(s.find_window(r"^Предварительный просмотр$"))
            s.click_control(r"^Предварительный просмотр$", "Закрыть")
            s.wait_gone(r"^Предварительный просмотр$")
            s.wait_gone(r"^Готовность")
            self.assertEqual(s.quit(), 0)
            self.assertEqual(len(s.records("FORMA1")), 1)


def pdf_words(path):
    """The words of the PDF's first page with their boxes (points), and the page's size."""
    out = subprocess.run(["pdftotext", "-bbox", "-f", "1", "-l", "1", path, "-"], stdout=subprocess.PIPE, check=True,
                         timeout=30).stdout.decode()
    page = re.search(r'<page width="([\d.]+)" height="([\d.]+)"', out)
    words = [(m.group(5), tuple(float(m.group(i)) for i in range(1, 5)))
             for m in re.finditer(r'<word xMin="([\d.-]+)" yMin="([\d.-]+)" xMax="([\d.-]+)" yMax="([\d.-]+)">([^<]*)</word>', out)]
    return words, (float(page.group(1)), float(page.group(2)))
