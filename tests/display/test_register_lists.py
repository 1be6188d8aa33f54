"""The register under a real mouse: a click on a row of each of its three lists carries the lists
below it and the counterparty's number along, and "Найти" brings a certificate from the last page
of the list to its first row."""

import json
import os
import subprocess
import unittest

from vxdisplay import DisplayError, Session, seed as seed_file

REG = r"^$"  # the register's window has no caption


def seed(s, file, records):
    """Adds records to a data file of the session before the program starts."""
    seed_file(s.data, file, records)


def rows(s, name):
    return [[t.strip() for t in r["texts"]] for r in s.control(REG, name).get("rows", [])]


class RegisterListsTest(unittest.TestCase):
    def test_clicks_link_the_lists_and_find_shows_the_match_first(self):
        with Session(start=False) as s:
            seed(s, "KAGENT", [{"KAG:ID": i + 1, "KAG:NAME": n} for i, n in enumerate(["Альфа", "Бета", "Гамма"])])
            certs = [{"FRM:NOMSV": 1, "FRM:F2": "Альфа"}, {"FRM:NOMSV": 2, "FRM:F2": "Альфа"},
                     {"FRM:NOMSV": 3, "FRM:F2": "Бета"}, {"FRM:NOMSV": 4, "FRM:F2": "Гамма"}]
            certs += [{"FRM:NOMSV": n, "FRM:F2": "Альфа", "FRM:OPIS": f"Описание {n}"} for n in range(10, 50)]
            seed(s, "FORMA1", certs)
            seed(s, "ANIM", [{"ANI:NFORM": 1, "ANI:KICHKA": "Мурка", "ANI:INVENT": "И1"},
                             {"ANI:NFORM": 1, "ANI:KICHKA": "Зорька", "ANI:INVENT": "И2"},
                             {"ANI:NFORM": 2, "ANI:KICHKA": "Бурёнка", "ANI:INVENT": "И3"},
                             {"ANI:NFORM": 3, "ANI:KICHKA": "Пеструшка", "ANI:INVENT": "И4"},
                             {"ANI:NFORM": 3, "ANI:KICHKA": "Ночка", "ANI:INVENT": "И5"}])
            s.start()
            # The frame made large enough for the whole register, as a person would drag it.
            frame = s.wait_window(r"ветеринар")
            s._x(["xdotool", "windowmove", str(frame["xid"]), "0", "0", "windowsize", str(frame["xid"]), "1260", "980"])
            s.settle()
            s.click_menu("Форма №1", "Подготовка")
            s.control(REG, "?BROWSE:1", timeout=20)
            s.settle()

            def shows(cert_first, kag_id, agent, animals):
                def ok():
                    certs = rows(s, "?BROWSE:1")
                    return (certs and certs[0][0] == cert_first and s.control(REG, "?KAG:ID")["text"].strip() == kag_id
                            and s.control(REG, "?KAG:NAME:2")["text"].strip() == agent
                            and sorted(r[1] for r in rows(s, "?LIST")) == sorted(animals))
                s.wait_for(ok, what=f"certificate {cert_first}, counterparty {kag_id} {agent}, animals {animals}")

            shows("1", "1", "Альфа", ["Мурка", "Зорька"])
            # The counterparty list: its certificates, its number and name, their animal rows.
            s.click_row(REG, "?LIST:2", 1)
            shows("3", "2", "Бета", ["Пеструшка", "Ночка"])
            s.click_row(REG, "?LIST:2", 2)
            shows("4", "3", "Гамма", [])
            s.click_row(REG, "?LIST:2", 0)
            shows("1", "1", "Альфа", ["Мурка", "Зорька"])
            # The certificate list: the animal rows of the clicked certificate.
            s.click_row(REG, "?BROWSE:1", 1)
            s.wait_for(lambda: [r[1] for r in rows(s, "?LIST")] == ["Бурёнка"], what="the animal rows of certificate 2")
            s.click_row(REG, "?BROWSE:1", 0)
            s.wait_for(lambda: len(rows(s, "?LIST")) == 2, what="the animal rows of certificate 1")
            # The animal list: "Удалить запись" removes the clicked row of the clicked certificate.
            gone = rows(s, "?LIST")[1][1]
            s.click_row(REG, "?LIST", 1)
            s.wait_for(lambda: s.control(REG, "?LIST").get("current") == 1, what="the second animal row highlighted")
            s.click_control(REG, "?DELETE")
            s.wait_for(lambda: len(rows(s, "?LIST")) == 1, what="the animal row deleted")
            left = sorted(r["ANI:KICHKA"] for r in s.records("ANIM"))
            self.assertNotIn(gone, left)
            self.assertEqual(len(left), 4)

            # "Найти": certificate 49 stands on the last page of the counterparty's 42 certificates.
            self.assertNotIn("49", [r[0] for r in rows(s, "?BROWSE:1")])
            s.type_into(REG, "?FUZZYQUERY", "Описание 49")
            s.click_control(REG, "?FUZZYGO")
            s.wait_for(lambda: rows(s, "?BROWSE:1")[0][0] == "49" and s.control(REG, "?BROWSE:1").get("current") == 0,
                       what="certificate 49 first and highlighted")
            # "Очистить": the counterparty's certificates again, from the top.
            s.click_control(REG, "?FUZZYCLEAR")
            s.wait_for(lambda: rows(s, "?BROWSE:1")[0][0] == "1" and s.control(REG, "?BROWSE:1").get("current") == 0,
                       what="the list back at its top")
            self.assertEqual(s.control(REG, "?FUZZYQUERY")["text"].strip(), "")


if __name__ == "__main__":
    unittest.main()
