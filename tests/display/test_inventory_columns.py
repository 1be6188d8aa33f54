"""The breeding-animal inventory (OPIS1) on a real display, printed from its preview to PDF: with
every field of 60 rows full, in ordinary words and in the widest capitals, each word stays
between the vertical rules of its column and left of the paper's printable edge (205 mm)."""

import os
import re
import subprocess
import unittest

from vxdisplay import Session, seed

PREVIEW = r"^Предварительный просмотр$"
MM = 25.4 / 72
# The table's vertical rules (mm on the paper) and the row area of the first page (below the
# group header, 20 + 66 mm).
RULES = [17, 36, 68, 101, 126, 171, 200]
HEADER_BOTTOM = 86.5

# Name, inventory number, sex, breed, age: 15, 15, 10, 20 and 12 characters.
ROWS = [
    ("Зорька из Мытищ", "ЖИВОТНОВОДЧЕСК1", "Производит", "Черно-пестрая голшт.", "ЖИВОТНОВОДЧЕ"),
    ("ЩЩЩЩЩЩЩЩЩЩЩЩЩЩЩ", "ЮЮЮЮЮЮЮЮЮЮЮЮЮЮЮ", "ЖЖЖЖЖЖЖЖЖЖ", "ЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖЖ", "ШШШШШШШШШШШШ"),
    ("МММММ МММММ ММ", "ЖИВОТНОВОДЧЕСКИ", "ЩЩЩЩЩЩЩЩЩЩ", "ЮЮЮЮЮЮЮЮЮЮЮЮЮЮЮЮЮЮЮЮ", "ЮЮЮЮЮЮЮЮЮЮЮЮ"),
]


def pdf_words(path):
    """Every word of the PDF: (page from 0, text, xMin, yMin, xMax) in millimetres."""
    out = subprocess.run(["pdftotext", "-bbox", path, "-"], stdout=subprocess.PIPE, check=True, timeout=30).stdout.decode()
    words, page = [], -1
    for line in out.splitlines():
        if "<page " in line:
            page += 1
        m = re.search(r'<word xMin="([\d.-]+)" yMin="([\d.-]+)" xMax="([\d.-]+)" yMax="[\d.-]+">([^<]*)</word>', line)
        if m:
            words.append((page, m.group(4), float(m.group(1)) * MM, float(m.group(2)) * MM, float(m.group(3)) * MM))
    return words


class InventoryColumnsTest(unittest.TestCase):
    def test_breeding_inventory_words_stay_inside_their_rules_and_the_paper(self):
        with Session(start=False) as s:
            seed(s.data, "KAGENT", [{"KAG:ID": 1, "KAG:NAME": "Альфа"}])
            seed(s.data, "FORMA1", [{"FRM:NOMSV": 15, "FRM:F2": "Альфа", "FRM:DATAVV": 82000}])
            seed(s.data, "ANIM", [{"ANI:NFORM": 15, "ANI:NPP": n, "ANI:KICHKA": r[0], "ANI:INVENT": r[1], "ANI:POL": r[2],
                                   "ANI:PORODA": r[3], "ANI:VOSRAST": r[4]}
                                  for n, r in ((n, ROWS[n % len(ROWS)]) for n in range(1, 61))])
            s.start()
            s.maximize_frame()
            s.click_menu("Форма", "Подготовка")
            s.wait_for(lambda: s.control("", "?LIST:2").get("rowCount") == 1, what="the counterparty")
            s.click_row("", "?LIST:2", 0)
            s.wait_for(lambda: s.control("", "?BROWSE:1").get("rowCount") == 1, what="the certificate")
            s.click_row("", "?BROWSE:1", 0)
            s.wait_for(lambda: s.control("", "?LIST").get("rowCount", 0) > 0, what="its animal rows")
            s.click_control("", "?PRINT:2")
            s.wait_window(PREVIEW, timeout=20)
            pdf = s.save_pdf(os.path.join(s.tmp, "opis1.pdf"))
            words = pdf_words(pdf)
            self.assertGreaterEqual(max(p for p, *_ in words), 1, "60 rows take two pages")
            in_rows = 0
            for page, text, x1, y1, x2 in words:
                self.assertLessEqual(x2, 205.0, f"{text!r} ends at {x2:.2f} mm")
                if page == 0 and y1 < HEADER_BOTTOM:
                    continue
                in_rows += 1
                left = max((r for r in RULES if r <= x1), default=None)
                self.assertIsNotNone(left, f"{text!r} at {x1:.2f} mm, left of the table")
                right = next(r for r in RULES if r > left)
                self.assertLessEqual(x2, right, f"{text!r} ({x1:.2f}..{x2:.2f} mm) crosses the rule at {right}")
            self.assertGreaterEqual(in_rows, 60 * 6, "every field of every row prints")
            self.assertIn("Зорька", [t for _, t, *_ in words])
            s.keys("alt+F4")
            s.wait_gone(PREVIEW)
            self.assertEqual(s.quit(), 0)


if __name__ == "__main__":
    unittest.main()
