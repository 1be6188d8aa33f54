"""Closing the program on a real display: a certificate typed and not saved is not thrown away
without a question, and every open window's place is saved; without a display the program does not
start at all and says so in one line."""

import os
import re
import subprocess
import tempfile
import unittest

from vxdisplay import Session

ENTRY = r"Ветеринарное свидетельство \(Форма №1\)"
AGENT = r"^Добавить запись$"
QUESTION = r"Changes will be lost!"


def register_title(s):
    """The register's title as a pattern: the MDI window that holds the counterparty list."""
    for w in s.windows():
        if w.get("kind") == "mdi" and any(c.get("name") == "?INSERT:2" for c in w.get("controls", [])):
            return "^" + re.escape(w.get("title", "")) + "$"
    return None


class ExitTest(unittest.TestCase):
    def maximise(self, s):
        """The frame maximised (a double click on its title bar), so the register fits inside it."""
        s.maximize_frame(at=1 / 3)
        s.wait_for(lambda: s.frame_window()["frame"][2] > 1200, what="the frame to be maximised")

    def open_entry_with_a_typed_certificate(self, s):
        self.maximise(s)
        s.click_menu("Форма №1", "Подготовка и печать")
        reg = self.add_counterparty(s, "Альфа")  # the certificate belongs to a counterparty
        s.click_control(reg, "?INSERT:3")
        s.wait_window(ENTRY)
        s.type_into(ENTRY, "?FRM:NOMSV", "15")
        s.settle()
        return reg

    def answer(self, s, button):
        box = s.wait_window(QUESTION)
        texts = [c.get("text", "") for c in box.get("controls", [])]
        self.assertTrue(any("Are you sure you want to cancel?" in t for t in texts), texts)
        # Yes may end the program before the probe has shown the question gone.
        s.click_control_until(QUESTION, "&?" + button,
                              lambda: s.proc.poll() is not None or s.find_window(QUESTION) is None,
                              what=f"window /{QUESTION}/ to close")

    def test_exit_with_an_unsaved_certificate_asks_and_no_keeps_it(self):
        with Session() as s:
            s.wait_window(r"ветеринар", timeout=20)
            self.open_entry_with_a_typed_certificate(s)
            # "Выход": the entry window asks; No keeps the program and the certificate as typed.
            s.click_menu("Печать", "Выход")
            self.answer(s, "No")
            # No: the entry window takes input again (the question no longer holds it).
            s.wait_for(lambda: (s.find_window(ENTRY) or {}).get("enabled") and
                       s.control(ENTRY, "?FRM:NOMSV").get("enabled"), what="the entry window to take input again")
            s.settle()
            self.assertIsNone(s.proc.poll(), "the program ended although the user kept the certificate")
            nomsv = s.control(ENTRY, "?FRM:NOMSV")
            self.assertEqual(nomsv.get("text", "").strip(), "15")
            self.assertEqual(s.records("FORMA1"), [])
            # The frame closed by the window manager's close key: asked again; Yes ends the program.
            s.close_by_key(r"ветеринар")
            self.answer(s, "Yes")
            rc = s.wait_for(lambda: s.proc.poll() is not None and [s.proc.returncode], timeout=15,
                            what="the program to end")[0]
            self.assertEqual(rc, 0)
            ini = s.ini()
            self.assertEqual(ini["Main"]["Maximize"], "Yes")  # the frame was maximised
            for section in ("BrowseForma_1", "UpdateForma_1", "UpdateAgent"):
                self.assertIn(section, ini, sorted(ini.keys()))
                self.assertEqual(ini[section]["Maximize"], "No")
                self.assertIn("XPos", ini[section])
            # Nothing half-written: the certificate is not there, the counterparty saved before is.
            self.assertEqual(s.records("FORMA1"), [])
            self.assertEqual([r.get("KAG:NAME", r.get("NAME", "")).strip() for r in s.records("KAGENT")], ["Альфа"])

    def add_counterparty(self, s, name):
        """In a program whose register is open: a new counterparty through its form."""
        reg = s.wait_for(lambda: register_title(s), what="the register")
        s.click_control(reg, "?INSERT:2")
        s.wait_window(AGENT)
        # The form opens partly beyond the screen's right edge: the name's visible part is clicked,
        # and the save button reached with Tab.
        w = s.control(AGENT, "?KAG:NAME")["rect"][2]
        s.type_into(AGENT, "?KAG:NAME", name, dx=min(w // 2, 40))
        s.key("Tab", "space")
        s.wait_gone(AGENT)
        s.settle()
        return reg

    def test_two_programs_on_one_data_directory(self):
        with Session() as a:
            a.wait_window(r"ветеринар", timeout=20)
            self.maximise(a)
            a.click_menu("Форма №1", "Подготовка и печать")
            reg = self.add_counterparty(a, "Альфа")
            names = lambda: [r["texts"][0].strip() for r in a.control(reg, "?LIST:2").get("rows", [])]
            self.assertEqual(names(), ["Альфа"])
            # A second copy of the program on the same data directory, with its own INI file and
            # probe, adds a counterparty and ends.
            b = Session(name=a.name + "-second", start=False)
            try:
                b.env, b.display = a.env, a.display
                b.data = a.data
                b.start()
                self.maximise(b)
                b.click_menu("Форма №1", "Подготовка и печать")
                self.add_counterparty(b, "Бета")
                self.assertEqual(b.quit(), 0)
            finally:
                b._teardown()
            a.settle()
            self.assertEqual(names(), ["Альфа"])  # nothing has reloaded the list yet
            # A click in the list reloads it: what the files hold now.
            a.click_row(reg, "?LIST:2", 0)
            a.wait_for(lambda: names() == ["Альфа", "Бета"], what="the list to show the other program's counterparty")
            self.assertEqual(a.quit(), 0)

    def test_without_a_display_the_program_does_not_start(self):
        env = dict(os.environ)
        for v in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
            env.pop(v, None)
        with tempfile.TemporaryDirectory() as d:
            env["VEXLO_INI_DIR"] = d
            r = subprocess.run([os.environ.get("VEXLO_BIN") or "shell/vexlo"], cwd=d, env=env,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
            self.assertEqual(r.returncode, 0)
            lines = [l for l in r.stderr.decode().splitlines() if l.strip()]
            self.assertEqual(len(lines), 1, lines)
            self.assertIn("программа не запущена", lines[0])
            self.assertEqual(os.listdir(d), [])


if __name__ == "__main__":
    unittest.main()
