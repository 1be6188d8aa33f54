"""The program starts on a real display, shows its frame with a menu bar, and ends through "Выход"."""

import unittest

from vxdisplay import Session


class SmokeTest(unittest.TestCase):
    def test_frame_opens_shows_its_menu_and_saves_its_place(self):
        with Session() as s:
            frame = s.wait_window(r"ветеринар", timeout=20)
            self.assertEqual(frame["kind"], "frame")
            self.assertTrue(frame["active"])
            texts = [m["text"] for m in frame["menus"]]
            self.assertTrue(any("Печать" in t for t in texts), texts)
            img = s.screenshot("frame")
            # The menu bar is drawn: its background is light, and the text of its first item
            # leaves dark pixels within the item's rectangle.
            x, y, w, h = frame["menubar"]
            self.assertGreater(sum(s.pixel(img, x + w - 5, y + h // 2)), 3 * 150)
            mx, my, mw, mh = frame["menus"][0]["rect"]
            dark = [p for p in (s.pixel(img, i, j) for i in range(mx, mx + mw) for j in range(my, my + mh)) if sum(p) < 3 * 100]
            self.assertGreater(len(dark), 10)
            self.assertEqual(s.quit(), 0)
            self.assertEqual(s.ini()["Main"]["Maximize"], "No")


if __name__ == "__main__":
    unittest.main()
