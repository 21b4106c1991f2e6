#!/usr/bin/env python3
"""Checks the desktop icons make_icon.py rasterises from the picture's shapes.

  make_icon_test.py MAKE_ICON.py PICTURE.shapes PICTURE.xpm
"""

import os
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
import zlib

SCRIPT, SHAPES, XPM = sys.argv[1:4]
sys.path.insert(0, os.path.dirname(SCRIPT))
import make_icon  # noqa: E402

SIZES = [16, 24, 32, 48, 64, 128, 256]


def read_png(path):
    """Width, height and rows of (r, g, b, a) of an 8-bit RGBA PNG without filters."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour_type = header[:4]
    assert (depth, colour_type) == (8, 6), "not 8-bit RGBA"
    raw = zlib.decompress(idat)
    stride = 1 + 4 * width
    rows = []
    for y in range(height):
        line = raw[y * stride:(y + 1) * stride]
        assert line[0] == 0, "filtered row"
        rows.append([tuple(line[1 + 4 * x:5 + 4 * x]) for x in range(width)])
    return width, height, rows


class HicolorIcons(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        subprocess.run([sys.executable, SCRIPT, SHAPES, "--hicolor", cls.dir.name,
                        "--name", "test.Icon"], check=True)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def png(self, size):
        return read_png(os.path.join(self.dir.name, f"{size}x{size}", "apps", "test.Icon.png"))

    def test_every_size_is_a_square_tile_of_its_size(self):
        for size in SIZES:
            width, height, rows = self.png(size)
            self.assertEqual((width, height), (size, size))
            self.assertLess(rows[0][0][3], 160, f"{size}: corner not rounded")
            self.assertEqual(rows[size // 2][1][3], 255, f"{size}: tile not opaque at the rim")
            self.assertGreaterEqual(len({p for row in rows for p in row}), 20,
                                    f"{size}: too few colours for the picture")

    def test_upright_line_is_sharp_at_every_size(self):
        # The green line: whole pixel columns of its exact colour, no blur beside it.
        green = (0x3C, 0xC0, 0x5A, 255)
        for size in SIZES:
            _, _, rows = self.png(size)
            middle = rows[size // 2]
            columns = [x for x, p in enumerate(middle) if p == green]
            self.assertTrue(columns, f"{size}: no pure green column")
            self.assertEqual(columns, list(range(columns[0], columns[-1] + 1)))
            self.assertEqual(len(columns), max(1, round(size / 32)), f"{size}: line width")
            for x in (columns[0] - 1, columns[-1] + 1):
                self.assertLess(middle[x][1] - max(middle[x][0], middle[x][2]), 60,
                                f"{size}: green bleeds into column {x}")

    def test_32_pixels_is_the_bitmap_picture(self):
        with open(XPM, encoding="ascii") as f:
            bitmap = make_icon.read_xpm(f.read())
        _, _, rows = self.png(32)
        close = 0
        for y in range(32):
            for x in range(32):
                want, got = bitmap[y][x], rows[y][x]
                if want is None:
                    close += got[3] < 128
                else:
                    close += got[3] > 200 and max(abs(a - b) for a, b in zip(want, got)) <= 48
        self.assertGreaterEqual(close, 0.85 * 32 * 32)

    def test_svg_holds_every_shape(self):
        path = os.path.join(self.dir.name, "scalable", "apps", "test.Icon.svg")
        root = ElementTree.parse(path).getroot()
        self.assertEqual(root.get("viewBox"), "0 0 32 32")
        with open(SHAPES, encoding="ascii") as f:
            shapes = make_icon.read_shapes(f.read())
        drawn = [e for e in root if not e.tag.endswith("defs")]
        self.assertEqual(len(drawn), len(shapes))
        gradients = root.findall("{http://www.w3.org/2000/svg}defs/*")
        for element in drawn:
            paint = element.get("fill") or element.get("stroke")
            if paint.startswith("url(#"):
                self.assertIn(paint[5:-1], [g.get("id") for g in gradients])


class Rasteriser(unittest.TestCase):
    def test_coverage_is_exact_for_pixel_edges_and_halves(self):
        square = [(1, 1), (3, 1), (3, 3), (1, 3)]
        cover = make_icon.coverage(square, 4)
        self.assertEqual(cover, [[0, 0, 0, 0], [0, 1, 1, 0], [0, 1, 1, 0], [0, 0, 0, 0]])
        half = make_icon.coverage([(0.5, 0), (1.5, 0), (1.5, 1), (0.5, 1)], 2)
        self.assertEqual(half, [[0.5, 0.5], [0, 0]])

    def test_gradient_interpolates_and_clamps(self):
        fill = make_icon.parse_fill("2:#000000/4:#FF8000")
        self.assertEqual(make_icon.fill_colour(fill, 0), (0, 0, 0))
        self.assertEqual(make_icon.fill_colour(fill, 3), (127.5, 64.0, 0.0))
        self.assertEqual(make_icon.fill_colour(fill, 9), (255, 128, 0))

    def test_bad_descriptions_are_refused_with_their_line(self):
        for text in ("polygon #FF0000 1,1 2,2", "circle #FF0000 1,1 3", "line #FF0000 x 1,1 2,2",
                     "polygon 4:#FF0000/2:#00FF00 0,0 1,0 1,1", "# only a comment"):
            with self.assertRaises(make_icon.IconError, msg=text):
                make_icon.read_shapes(text)

    def test_failure_writes_no_icons(self):
        with tempfile.TemporaryDirectory() as dir:
            bad = os.path.join(dir, "bad.shapes")
            with open(bad, "w", encoding="ascii") as f:
                f.write("polygon #GG0000 0,0 1,0 1,1\n")
            result = subprocess.run([sys.executable, SCRIPT, bad, "--hicolor", dir],
                                    capture_output=True, text=True)
            self.assertNotEqual(result.returncode, 0)
            self.assertEqual(len(result.stderr.strip().splitlines()), 1)
            self.assertEqual(sorted(os.listdir(dir)), ["bad.shapes"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
