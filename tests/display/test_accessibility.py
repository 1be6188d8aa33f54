"""What a screen reader sees (AT-SPI, as Orca reads it): every window is a window named by its
title, and every button a push button named by its text (a button that shows only a picture, by
its tip) - in the register, in the entry window and in the question that closing asks, so that
a screen-reader user can answer it."""

import re
import unittest

from vxdisplay import Session, seed

ENTRY = r"Ветеринарное свидетельство \(Форма №1\)"
QUESTION = r"Changes will be lost!"
WINDOW_ROLES = {"frame", "window", "dialog", "alert", "internal frame"}


def walk(n):
    yield n
    for c in n.get("children", []):
        yield from walk(c)


def windows_of(tree):
    """The window-role objects of the tree, each with the objects under it (its own windows left out)."""
    found = []

    def visit(n, inside):
        here = n.get("role") in WINDOW_ROLES
        if here:
            found.append(n)
        for c in n.get("children", []):
            visit(c, here or inside)

    visit(tree, False)
    return found


def own_objects(win):
    """The objects of a window, without those of windows inside it (MDI children of the frame)."""
    for c in win.get("children", []):
        if c.get("role") in WINDOW_ROLES:
            continue
        yield c
        yield from own_objects(c)


def register_title(s):
    for w in s.windows():
        if w.get("kind") == "mdi" and any(c.get("name") == "?INSERT:2" for c in w.get("controls", [])):
            return w.get("title", "")
    return None


class AccessibilityTest(unittest.TestCase):
    def expect_window(self, s, tree, title):
        """The window of that title as the screen reader has it; its buttons are all push buttons
        named as the program shows them (text, else tip); nothing in it is a nameless window."""
        probe = next(w for w in reversed(s.windows()) if w.get("title") == title)
        wins = [w for w in windows_of(tree) if w["name"] == title]
        self.assertTrue(wins, f"no window {title!r} for a screen reader: "
                              f"{[(w['role'], w['name']) for w in windows_of(tree)]}")
        win = wins[-1]
        objs = list(own_objects(win))
        buttons = [o["name"] for o in objs if o["role"] == "push button"]
        shown = [c for c in probe.get("controls", []) if c.get("type") == "button"]
        self.assertGreaterEqual(len(buttons), len(shown), (buttons, [c.get("name") for c in shown]))
        for c in shown:
            name = re.sub(r"\s+", " ", (c.get("text") or c.get("tip") or "")).strip()
            if name:
                self.assertIn(name, buttons, f"{c.get('name')} of {title!r}")
        return win

    def test_windows_and_buttons_in_the_register_the_entry_window_and_the_closing_question(self):
        with Session(a11y=True, start=False) as s:
            seed(s.data, "KAGENT", [{"KAG:ID": 1, "KAG:NAME": "Альфа"}])  # a certificate needs one
            s.start()
            s.maximize_frame()
            s.click_menu("Форма №1", "Подготовка и печать")
            s.wait_for(lambda: register_title(s) is not None, what="the register")
            reg = register_title(s)  # the register's title is empty
            s.settle()
            # The register: the frame and the register are windows; the register's buttons (pictures
            # with tips, and texts) are push buttons with their names.
            tree = s.wait_for(lambda: (t := s.accessible_tree()) and any(
                w["role"] in WINDOW_ROLES and w["name"] == reg for w in windows_of(t)) and t,
                what="the register for a screen reader")
            self.expect_window(s, tree, s.frame_window()["title"])
            self.expect_window(s, tree, reg)

            s.click_control("^" + re.escape(reg) + "$", "?INSERT:3")
            entry = s.wait_window(ENTRY)
            s.type_into(ENTRY, "?FRM:NOMSV", "15")
            s.settle()
            tree = s.wait_for(lambda: (t := s.accessible_tree()) and any(
                w["name"] == entry["title"] for w in windows_of(t)) and t, what="the entry window for a screen reader")
            self.expect_window(s, tree, entry["title"])

            # The question closing asks: an alert named by its title, its text readable, and
            # Yes and No push buttons.
            s.click_menu("Печать", "Выход")
            s.wait_window(QUESTION)
            tree = s.wait_for(lambda: (t := s.accessible_tree()) and any(
                w["name"] == "Changes will be lost!" for w in windows_of(t)) and t, what="the question for a screen reader")
            box = next(w for w in windows_of(tree) if w["name"] == "Changes will be lost!")
            self.assertIn(box["role"], {"alert", "dialog"})
            objs = list(own_objects(box))
            self.assertEqual([o["name"] for o in objs if o["role"] == "push button"], ["Yes", "No"])
            self.assertTrue(any("Are you sure you want to cancel?" in o["name"] for o in objs),
                            [(o["role"], o["name"]) for o in objs])
            # Nowhere in the program is a window without the title the screen shows for it.
            titles = sorted(w.get("title", "") for w in s.windows() if w.get("kind") != "menu")
            self.assertEqual(sorted(w["name"] for w in windows_of(tree)), titles,
                             [(w["role"], w["name"]) for w in windows_of(tree)])
            s.click_control(QUESTION, "&?Yes")
            self.assertEqual(s.wait_for(lambda: s.proc.poll() is not None and [s.proc.returncode], timeout=15,
                                        what="the program to end")[0], 0)


if __name__ == "__main__":
    unittest.main()
