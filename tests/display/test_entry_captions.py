"""The captions of the blank in the entry window on a real display: at the first layout's size 10
the lines of the blank are taller than their places, and the small captions under and over them
("(район, город)", "(субъект Российской Федерации)", "(наименование учреждения)", the caption
under the counterparty's line) are still drawn whole over the lines' white boxes."""

import unittest

from vxdisplay import Session, seed

ENTRY = r"^Ветеринарное свидетельство"
CAPTIONS = {
    "?STRING4:2": "(субъект Российской Федерации)",
    "?STRING4:3": "(район, город)",
    "?STRING4:4": "(наименование учреждения)",
    "?STRING6": "юридического лица или Ф. И. О. физического лица)",
}


def caption_ink_rows(img, rect):
    """The rows of a caption's box that hold its grey letters (0x575757 and its blends with the
    white boxes and the paper; the lines' own text is dark blue and not counted)."""
    x, y, w, h = rect

    def grey(p):
        return max(p[:3]) < 200 and max(p[:3]) - min(p[:3]) < 24

    return [py for py in range(y, y + h) if any(grey(img.getpixel((px, py))) for px in range(x, x + w))]


class EntryCaptionsTest(unittest.TestCase):
    def test_captions_are_whole_over_the_lines_at_size_10(self):
        with Session(start=False) as s:
            seed(s.data, "KAGENT", [{"KAG:ID": 1, "KAG:NAME": "Альфа"}])
            s.start()
            s.maximize_frame()
            s.click_menu("Форма", "Подготовка")
            s.control("", "?BROWSE:1")
            s.wait_for(lambda: s.control("", "?LIST:2").get("rowCount") == 1, what="the counterparty")
            s.click_row("", "?LIST:2", 0)
            s.click_control("", "?INSERT:3")
            s.wait_window(ENTRY)
            s.wait_for(lambda: s.control(ENTRY, "?SPIN").get("text", "").strip() == "10", what="the first layout's size")
            s.settle()
            img = s.screenshot("entry-size-10").convert("RGB")
            for name, text in CAPTIONS.items():
                c = s.control(ENTRY, name)
                self.assertEqual(c["text"], text)
                x, y, w, h = c["rect"]
                rows = caption_ink_rows(img, c["rect"])
                self.assertTrue(rows, name)
                # The parentheses reach from the top of the letters to below their line: drawn
                # whole, the ink goes down into the lower third of the caption's box.
                self.assertGreaterEqual(max(rows), y + (2 * h) // 3, (name, c["rect"], rows))
            # The lines under the captions still show their text.
            self.assertEqual(s.control(ENTRY, "?FRM:F2")["text"].strip(), "Альфа")
            s.click_control(ENTRY, "?CANCEL")
            s.wait_gone(ENTRY)


if __name__ == "__main__":
    unittest.main()
