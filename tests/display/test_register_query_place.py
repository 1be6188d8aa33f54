"""The register's query dialog comes back where the user left it, also after the program restarts."""

import unittest

from vxdisplay import Session

REG = r"^$"  # the register's window has no caption


class QueryPlaceTest(unittest.TestCase):
    def test_query_dialog_keeps_its_place_and_size(self):
        with Session() as s:
            frame = s.wait_window(r"ветеринар")
            s._x(["xdotool", "windowmove", str(frame["xid"]), "0", "0", "windowsize", str(frame["xid"]), "1260", "980"])
            s.settle()
            s.click_menu("Форма №1", "Подготовка")
            s.control(REG, "?QUERY", timeout=20)
            s.settle()
            s.click_control(REG, "?QUERY")
            dlg = s.wait_window(r"^Запрос$")
            # Moved and resized as the user drags it, then closed with Cancel.
            s._x(["xdotool", "windowsize", str(dlg["xid"]), "560", "430", "windowmove", str(dlg["xid"]), "300", "200"])
            s.settle()
            moved = s.find_window(r"^Запрос$")
            s.click_control(r"^Запрос$", "Cancel")
            s.wait_gone(r"^Запрос$")
            place = s.ini()["BrowseForma_1_Query"]
            self.assertEqual((int(place["Width"]), int(place["Height"])), (560, 430))
            s.restart()
            frame = s.wait_window(r"ветеринар")
            s._x(["xdotool", "windowmove", str(frame["xid"]), "0", "0", "windowsize", str(frame["xid"]), "1260", "980"])
            s.settle()
            s.click_menu("Форма №1", "Подготовка")
            s.control(REG, "?QUERY", timeout=20)
            s.settle()
            s.click_control(REG, "?QUERY")
            s.wait_window(r"^Запрос$")
            s.settle()
            again = s.find_window(r"^Запрос$")
            self.assertEqual(again["frame"], moved["frame"])
            s.click_control(r"^Запрос$", "Cancel")
            s.wait_gone(r"^Запрос$")


if __name__ == "__main__":
    unittest.main()
