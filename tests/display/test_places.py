"""Window places under a window manager: every window reopens exactly where it was closed, sizes
of resizable windows are kept, windows that are not resizable cannot be resized, a maximised
MDI window reopens maximised, and the frame opens at the top of the screen."""

import unittest

from vxdisplay import Session

FRAME = r"ветеринарная служба"
ABOUT = r"О программе"
REGISTER_LIST = "?BROWSE:1"


def register(s):
    """The register's window (it has no title): the MDI window holding the certificate list."""
    return next(w for w in reversed(s.windows())
                if w["kind"] == "mdi" and any(c["name"] == REGISTER_LIST for c in w["controls"]))


def open_register(s):
    s.click_menu("Форма", "Подготовка")
    s.control("", REGISTER_LIST)
    s.settle()
    return register(s)


class PlacesTest(unittest.TestCase):
    def test_frame_opens_at_the_top_and_stays_where_it_was_closed(self):
        with Session() as s:
            first = s.wait_window(FRAME)
            # "at=,0": the frame's title bar at the top edge of the screen, centred across.
            self.assertEqual(first["frame"][1], 0, first)
            self.assertLess(abs((1280 - first["frame"][2]) // 2 - first["frame"][0]), 4, first)
            # The user drags it by its title bar; it then stays there over three restarts.
            x, y, w, h = first["frame"]
            s.drag(x + w // 2, y + 8, x + w // 2 + 70, y + 8 + 90, program=False)
            s.wait_for(lambda: s.frame_window()["frame"] != first["frame"], what="the frame to move")
            s.settle()
            moved = s.frame_window()["frame"]
            places = []
            for _ in range(3):
                s.restart()
                s.settle()
                places.append(s.frame_window()["frame"])
                self.assertEqual(s.ini()["Main"]["Maximize"], "No")
            # The INI file keeps dialog units: the first reopening is within one unit (2 pixels) of
            # where the window was left, and from then on it stays to the pixel.
            for a, b in zip(places[0], moved):
                self.assertLessEqual(abs(a - b), 2, (places[0], moved))
            self.assertEqual(places, [places[0]] * 3)
            self.assertGreaterEqual(places[-1][1], 0)

    def test_about_window_reopens_where_it_was_closed(self):
        with Session() as s:
            places = []
            for run in range(4):
                s.click_menu("Помощь", "О программе")
                s.wait_window(ABOUT)
                s.settle()
                where = s.find_window(ABOUT)["frame"]
                places.append(where)
                # It closes on a click into it; it opens again from the menu, also after a restart.
                s.click(where[0] + where[2] // 2, where[1] + where[3] // 2)
                s.wait_gone(ABOUT)
                if run == 1:
                    s.restart()
            # Within one dialog unit of the first place the first time, then to the pixel.
            for a, b in zip(places[0], places[1]):
                self.assertLessEqual(abs(a - b), 2, places)
            self.assertEqual(places[1:], [places[1]] * 3)
            self.assertGreaterEqual(places[0][1], 0)

    def test_register_keeps_its_size_and_place_and_a_maximised_one_reopens_maximised(self):
        with Session() as s:
            s.maximize_frame()
            reg = open_register(s)
            # Grow it by its bottom right corner.
            x, y, w, h = reg["frame"]
            s.drag(x + w - 2, y + h - 2, x + w + 60, y + h + 15)
            s.wait_for(lambda: register(s)["frame"][2] > w, what="the register to grow")
            s.settle()
            grown = register(s)
            for _ in range(2):
                s.close_mdi("", REGISTER_LIST)
                s.wait_for(lambda: not any(c["name"] == REGISTER_LIST for w in s.windows() for c in w["controls"]),
                           what="the register to close")
                open_register(s)
                for a, b in zip(register(s)["frame"], grown["frame"]):  # within one dialog unit
                    self.assertLessEqual(abs(a - b), 2, (register(s)["frame"], grown["frame"]))
            ini = s.ini()["BrowseForma_1"]
            self.assertIn("Width", ini)
            self.assertIn("Height", ini)
            # Maximised: it opens maximised again, filling the MDI area from its left edge.
            s.click(*[a + b // 2 for a, b in zip(register(s)["maxButton"][:2], register(s)["maxButton"][2:])])
            s.wait_for(lambda: register(s)["maximized"], what="the register to be maximised")
            s.settle()
            full = register(s)
            s.close_mdi("", REGISTER_LIST)
            s.wait_for(lambda: not any(c["name"] == REGISTER_LIST for w in s.windows() for c in w["controls"]),
                       what="the register to close")
            self.assertEqual(s.ini()["BrowseForma_1"]["Maximize"], "Yes")
            again = open_register(s)
            self.assertTrue(again["maximized"])
            self.assertEqual(again["frame"], full["frame"])
            area = s.frame_window()["client"]
            self.assertEqual(again["frame"][0], area[0])
            self.assertLessEqual(again["frame"][0] + again["frame"][2], area[0] + area[2])
            img = s.screenshot("register-maximised")
            # The list's right end is on the screen and drawn (not cut off by the area's edge).
            lst = s.control("", REGISTER_LIST)
            self.assertLessEqual(lst["rect"][0] + lst["rect"][2], area[0] + area[2])
            self.assertEqual(lst["shown"][2], lst["rect"][2])
            self.assertEqual(s.pixel(img, lst["rect"][0] + lst["rect"][2] - 30, lst["rect"][1] + lst["rect"][3] // 2),
                             (255, 255, 255))

    def test_a_maximised_register_keeps_its_controls_apart(self):
        def overlap(a, b, slack=0):
            return (a[0] + slack < b[0] + b[2] and b[0] + slack < a[0] + a[2]
                    and a[1] + slack < b[1] + b[3] and b[1] + slack < a[1] + a[3])

        def inside(a, b):
            return a[0] <= b[0] and a[1] <= b[1] and b[0] + b[2] <= a[0] + a[2] and b[1] + b[3] <= a[1] + a[3]

        def controls(reg):
            return {c["name"]: c for c in reg["controls"]}

        def check(reg, held, apart, what):
            now = controls(reg)
            for name, c in now.items():
                self.assertEqual(c["shown"], c["rect"], (what, name))  # nothing cut off by another
                self.assertTrue(inside(reg["client"], c["rect"]), (what, name, c["rect"], reg["client"]))
            for outer, inner in held:
                self.assertTrue(inside(now[outer]["rect"], now[inner]["rect"]), (what, inner, "out of", outer))
            # Controls that touch in dialog units may share one pixel: place and size are rounded
            # to pixels each on its own.
            for a, b in apart:
                self.assertFalse(overlap(now[a]["rect"], now[b]["rect"], 1), (what, a, now[a]["rect"], b, now[b]["rect"]))

        def caption_drawn(img, group):
            # The group's caption stands in its top left corner: dark letters on the light frame.
            x, y = group["rect"][:2]
            return any(max(img.getpixel((px, py))[:3]) < 110 for px in range(x + 4, x + 120) for py in range(y, y + 12))

        with Session() as s:
            s.maximize_frame()
            reg = open_register(s)
            # As opened: what lies inside a sheet or group, and which controls lie apart.
            opened = controls(reg)
            held = [(a, b) for a in opened for b in opened if a != b and inside(opened[a]["rect"], opened[b]["rect"])]
            apart = [(a, b) for a in opened for b in opened
                     if a < b and not overlap(opened[a]["rect"], opened[b]["rect"])]
            self.assertIn(("?FUZZYGROUP", "?FUZZYQUERY"), held)
            self.assertIn(("?BROWSE:1", "?FUZZYGROUP"), apart)
            # Dragged by its corner to its smallest size.
            x, y, w, h = reg["frame"]
            s.drag(x + w - 2, y + h - 2, x + w // 2, y + h // 3)
            s.wait_for(lambda: register(s)["frame"][2] < w and register(s)["frame"][3] < h, what="the register to shrink")
            s.settle()
            img = s.screenshot("register-smallest")
            small = register(s)
            check(small, held, apart, "smallest")
            self.assertTrue(caption_drawn(img, controls(small)["?FUZZYGROUP"]))
            # Maximised: as large as it may be.
            s.click(*[a + b // 2 for a, b in zip(small["maxButton"][:2], small["maxButton"][2:])])
            s.wait_for(lambda: register(s)["maximized"], what="the register to be maximised")
            s.settle()
            img = s.screenshot("register-maximised")
            full = register(s)
            check(full, held, apart, "maximised")
            self.assertTrue(caption_drawn(img, controls(full)["?FUZZYGROUP"]))

    def test_a_window_that_is_not_resizable_cannot_be_resized(self):
        with Session() as s:
            s.maximize_frame()
            s.click_menu("Форма", "Удалить за период")
            win = s.wait_window(r"^За период$")
            s.settle()
            win = s.find_window(r"^За период$")
            x, y, w, h = win["frame"]
            s.drag(x + w - 2, y + h - 2, x + w + 80, y + h + 40)
            s.settle()
            self.assertEqual(s.find_window(r"^За период$")["frame"][2:], win["frame"][2:])
            s.close_mdi(r"^За период$")
            s.wait_gone(r"^За период$")
            ini = s.ini()["Period"]
            self.assertNotIn("Width", ini)
            self.assertNotIn("Height", ini)


if __name__ == "__main__":
    unittest.main()
