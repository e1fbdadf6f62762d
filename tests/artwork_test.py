"""The bitmap writer of scripts/make_bitmaps.py against Pillow's reader: the run-length
encoding must give back every pixel, whatever mix of runs and literal stretches a row holds."""

import io
import os
import random
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "scripts"))
import make_bitmaps  # noqa: E402
from PIL import Image  # noqa: E402

COLOURS = [(i * 37 % 256, i * 91 % 256, i * 53 % 256) for i in range(12)]


def image(rows):
    img = Image.new("RGB", (len(rows[0]), len(rows)))
    img.putdata([COLOURS[v] for row in rows for v in row])
    return img


class RunLengthTest(unittest.TestCase):
    def round_trip(self, rows):
        img = image(rows)
        back = Image.open(io.BytesIO(make_bitmaps.bmp_bytes(img, 256))).convert("RGB")
        self.assertEqual(list(back.getdata()), list(img.getdata()))

    def test_rows_of_every_shape(self):
        width = 600
        rows = [
            [0] * width,  # one run longer than 255
            [i % 2 for i in range(width)],  # one literal stretch longer than 255
            [0, 1, 2] + [3] * (width - 3),  # a three-pixel literal, then a run
            [0, 1, 2, 3, 4] + [5, 5] + [6] * (width - 7),  # odd literal, a pair, a run
            [7, 8] + [9] * (width - 4) + [10, 11],  # short stretches at both ends
        ]
        rnd = random.Random(7)
        rows += [[rnd.choice((0, 0, 0, 1, 2)) for _ in range(width)] for _ in range(20)]
        self.round_trip(rows)

    def test_narrow_images(self):
        self.round_trip([[1], [2], [2]])
        self.round_trip([[1, 2], [3, 3]])


if __name__ == "__main__":
    unittest.main()
