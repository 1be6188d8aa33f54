"""The register's spreadsheet export as the user meets it: three certificates of a period go into a
workbook made here, and LibreOffice Calc (the windowed one that ./run installs) ends up in front
with the filled workbook, which the program has neither saved nor closed; the user saves it."""

import datetime
import glob
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from vxdisplay import Session, seed

# Certificates: number, date of issue, to whom, animals (two lines), health, destination (two lines).
CERTS = [
    (12, datetime.date(2024, 3, 1), "Иванову", "Коровы", "голов", "здорова", "Москва", "Петрову"),
    (99, datetime.date(2024, 2, 28), "Вне периода", "", "", "", "", ""),
    (7, datetime.date(2024, 3, 15), "Петрову", "Овцы", "голов", "здорова", "Тула", "Сидорову"),
    (30, datetime.date(2024, 3, 31), "Сидорову", "Козы", "голов", "здорова", "Орёл", "Иванову"),
]
HEADER = ["Журнал", "", "", "", "", "", "", "keep"]


def day_number(d):
    """The program's day number: 1 January 1801 is day 4."""
    return (d - datetime.date(1801, 1, 1)).days + 4


def soffice(profile, *args, timeout=120):
    """One headless soffice run of the test's own (a profile apart from the program's)."""
    subprocess.run(["soffice", "--headless", "--norestore", "-env:UserInstallation=file://" + profile] + list(args),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout, check=True)


def read_csv(path):
    import csv
    with open(path, encoding="utf-8", newline="") as f:
        return [row + [""] * (8 - len(row)) for row in csv.reader(f)]


class SpreadsheetExportTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="vexlo-export-")
        self.addCleanup(shutil.rmtree, self.tmp, ignore_errors=True)
        self.profile = os.path.join(self.tmp, "profile")
        # The workbook: five header rows, as an .xls made from CSV.
        src = os.path.join(self.tmp, "Forma_2.csv")
        with open(src, "w", encoding="utf-8") as f:
            f.write(",".join(HEADER) + "\n" + ",,,,,,,\n" * 4)
        soffice(self.profile, "--infilter=CSV:44,34,76,1", "--convert-to", "xls", "--outdir", self.tmp, src)
        os.remove(src)
        self.book = os.path.join(self.tmp, "Forma_2.xls")
        self.assertTrue(os.path.exists(self.book))
        # The certificates, in this file order.
        self.data = os.path.join(self.tmp, "data")
        os.makedirs(self.data)
        seed(self.data, "FORMA1", [
            {"FRM:NOMSV": no, "FRM:DATAVV": day_number(issued), "FRM:F2": to, "FRM:F4": f4, "FRM:F5": f5,
             "FRM:F6": f6, "FRM:F32": f32, "FRM:F33": f33}
            for no, issued, to, f4, f5, f6, f32, f33 in CERTS])

    def calc_processes(self, s):
        """The LibreOffice processes the program started (its pipe is named after the program)."""
        r = subprocess.run(["pgrep", "-f", f"pipe,name=vexlo_{s.proc.pid}_"], stdout=subprocess.PIPE)
        return [int(p) for p in r.stdout.split()]

    def end_calc(self, s):
        for pid in self.calc_processes(s):
            try:
                os.killpg(os.getpgid(pid), signal.SIGKILL)
            except ProcessLookupError:
                pass

    def export(self, s):
        """Opens the register, presses the export button and fills the dialog."""
        s.click_menu("Форма", "Подготовка и печать")
        reg = s.wait_for(lambda: next((w for w in s.windows() if any(c.get("name") == "?BUTTON20" for c in w.get("controls", []))), None),
                         timeout=20, what="the register with its export button")
        s.settle()
        s.click_control(re.escape(reg["title"]) if reg["title"] else "", "?BUTTON20")
        dialog = s.wait_window(r"^Экспорт в файл Forma_2\.xls$", timeout=20)
        for name, text in (("?D1", "01.03.2024"), ("?D2", "31.03.2024"), ("?NAMEFILE", self.book)):
            s.type_into(dialog["title"], name, text, over=True)
            s.key("Tab")
        s.click_control(dialog["title"], "?OKBUTTON")

    def test_the_filled_workbook_is_in_front_and_the_user_saves_it(self):
        with open(self.book, "rb") as f:
            before = f.read()
        with Session(data=self.data) as s:
            self.addCleanup(self.end_calc, s)
            self.export(s)
            box = s.wait_window(r"^Экспорт в Excel$", timeout=120)
            texts = [c.get("text", "") for c in box.get("controls", [])]
            self.assertIn("Экспорт в Excel завершен!", texts)
            # OK (a busy display may miss the first click on a box still being mapped: click again).
            s.settle()
            for _ in range(5):
                s.click_control(r"^Экспорт в Excel$", "OK")
                try:
                    s.wait_gone(r"^Экспорт в Excel$", timeout=15)
                    break
                except AssertionError:
                    pass
            # Calc's window, named after the workbook, in front.
            title = r"^Forma_2\.xls - LibreOffice Calc$"
            xid = s.wait_for(lambda: (s._x(["xdotool", "search", "--onlyvisible", "--name", title], check=False).split() or [None])[-1],
                             timeout=60, what="the LibreOffice Calc window with Forma_2.xls")
            s.wait_for(lambda: s._x(["xdotool", "getactivewindow"], check=False).strip() == xid, timeout=20,
                       what="the workbook's window in front")
            geo = dict(l.split("=") for l in s._x(["xdotool", "getwindowgeometry", "--shell", xid]).decode().split())
            x, y, w, h = (int(geo[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
            self.assertGreaterEqual(w, 1000)
            self.assertGreaterEqual(h, 700)
            # The sheet gets painted: mostly white cells, with dark text and grid lines among them
            # (a busy machine may take a while to paint it).
            def shares():
                img = s.screenshot("calc")
                right, bottom = min(x + w, img.width), min(y + h, img.height)
                px = [s.pixel(img, i, j) for i in range(max(x, 0), right, 7) for j in range(y + h // 4, bottom, 7)]
                return (sum(1 for p in px if min(p) >= 250) / len(px), sum(1 for p in px if sum(p) < 3 * 100) / len(px))

            s.wait_for(lambda: shares()[0] > 0.3, timeout=60, interval=1, what="the sheet painted")
            white, dark = shares()
            self.assertGreater(white, 0.3)
            self.assertGreater(dark, 0.001)
            # Neither saved nor closed by the program.
            with open(self.book, "rb") as f:
                self.assertEqual(f.read(), before)
            # The user saves it in Calc, keeping the Excel format.
            saved = lambda: open(self.book, "rb").read() != before
            s.keys("ctrl+s")
            # Calc asks whether to keep the Excel format: Return (its default) once the question
            # has the focus, not before (the key would go to the sheet).
            s.wait_for(lambda: saved() or s.active_xid() not in (None, int(xid)), timeout=30,
                       what="Calc's question about the format")
            if not saved():
                s.key("Return")
            s.wait_for(saved, timeout=30, what="the workbook saved from Calc")
            # Written to the end: the file no longer changes, and Calc's window is active again.
            last = [None, 0.0]

            def written():
                st = os.stat(self.book)
                now = (st.st_size, st.st_mtime_ns)
                if now != last[0]:
                    last[0], last[1] = now, time.time()
                return time.time() - last[1] >= 1.0 and s.active_xid() == int(xid)

            s.wait_for(written, timeout=30, what="the saved workbook complete")
            self.end_calc(s)
            self.assertEqual(s.quit(), 0)

        out = os.path.join(self.tmp, "out")
        soffice(self.profile, "--convert-to", "csv:Text - txt - csv (StarCalc):44,34,76,1", "--outdir", out, self.book)
        rows = read_csv(os.path.join(out, "Forma_2.csv"))
        self.assertEqual(rows[0], HEADER)
        self.assertEqual(rows[5:8], [
            ["", "1", "Иванову", "Коровы голов", "здорова", "Москва Петрову", "12", "01.03.2024"],
            ["", "2", "Петрову", "Овцы голов", "здорова", "Тула Сидорову", "7", "15.03.2024"],
            ["", "3", "Сидорову", "Козы голов", "здорова", "Орёл Иванову", "30", "31.03.2024"],
        ])
        self.assertTrue(all(not "".join(r) for r in rows[8:]), rows[8:])
        # Shown: no copy was left beside the workbook.
        self.assertEqual(glob.glob(os.path.join(self.tmp, "Forma_2 (*")), [])


if __name__ == "__main__":
    unittest.main()
