#!/usr/bin/env python3
"""Makes the program's icon files from its 32 x 32 XPM source image.

  make_icon.py SOURCE.xpm --ico OUT.ico [--png OUT.png]

The .ico holds the picture twice: 16 colours (the standard VGA palette) and
256 colours (the picture's own colours when it has at most 256 of them, a
3-3-2 ramp otherwise). Transparent XPM pixels ("None") go to the AND mask.
The .png is the same picture in true colour, for the Linux desktop entry.
Only the standard library is used, so the build needs nothing extra.
"""

import argparse
import re
import struct
import sys
import zlib

SIZE = 32

# The 16 colours every Windows display has, in their usual index order.
VGA_PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]

# The few X colour names an XPM drawn by hand tends to use.
NAMED_COLOURS = {
    "black": (0, 0, 0), "white": (255, 255, 255), "red": (255, 0, 0),
    "green": (0, 255, 0), "blue": (0, 0, 255), "yellow": (255, 255, 0),
    "cyan": (0, 255, 255), "magenta": (255, 0, 255), "gray": (190, 190, 190),
    "grey": (190, 190, 190),
}


class IconError(Exception):
    pass


def parse_colour(text):
    """Returns (r, g, b), or None for a transparent pixel."""
    text = text.strip()
    if text.lower() == "none":
        return None
    if text.startswith("#"):
        digits = text[1:]
        if len(digits) % 3 != 0 or not digits or not re.fullmatch(r"[0-9A-Fa-f]+", digits):
            raise IconError(f"bad colour {text!r}")
        n = len(digits) // 3
        # Keep the top 8 bits of each channel, whatever the width.
        return tuple(int(digits[i * n:(i + 1) * n], 16) >> (4 * n - 8) if n >= 2
                     else int(digits[i], 16) * 17 for i in range(3))
    if text.lower() in NAMED_COLOURS:
        return NAMED_COLOURS[text.lower()]
    raise IconError(f"unknown colour name {text!r}")


def colour_of_entry(entry, chars_per_pixel):
    """The value of the 'c' (colour display) key of one colour line."""
    words = entry[chars_per_pixel:].split()
    for i in range(0, len(words) - 1, 2):
        if words[i] == "c":
            # A colour name may have blanks in it: take words up to the next key.
            value = [words[i + 1]]
            for w in words[i + 2:]:
                if w in ("m", "g", "g4", "s"):
                    break
                value.append(w)
            return parse_colour(" ".join(value))
    raise IconError(f"colour line without a 'c' key: {entry!r}")


def read_xpm(text):
    """Returns rows of pixels, each (r, g, b) or None."""
    strings = re.findall(r'"((?:[^"\\]|\\.)*)"', re.sub(r"/\*.*?\*/", "", text, flags=re.S))
    if not strings:
        raise IconError("not an XPM image: no strings")
    header = strings[0].split()
    if len(header) < 4:
        raise IconError(f"bad XPM header {strings[0]!r}")
    width, height, colour_count, cpp = (int(v) for v in header[:4])
    if (width, height) != (SIZE, SIZE):
        raise IconError(f"the icon must be {SIZE} x {SIZE}, not {width} x {height}")
    if len(strings) < 1 + colour_count + height:
        raise IconError("XPM image is cut short")
    colours = {}
    for entry in strings[1:1 + colour_count]:
        colours[entry[:cpp]] = colour_of_entry(entry, cpp)
    rows = []
    for line in strings[1 + colour_count:1 + colour_count + height]:
        if len(line) != width * cpp:
            raise IconError(f"XPM row of {len(line)} characters, expected {width * cpp}")
        row = []
        for x in range(width):
            key = line[x * cpp:(x + 1) * cpp]
            if key not in colours:
                raise IconError(f"pixel {key!r} has no colour")
            row.append(colours[key])
        rows.append(row)
    return rows


def nearest(palette, colour):
    """Index of the closest palette colour, by the "red mean" weighting, which
    keeps hues apart better than plain RGB distance (the first of equals wins)."""
    r, g, b = colour

    def distance(i):
        pr, pg, pb = palette[i]
        mean = (pr + r) / 2
        return ((2 + mean / 256) * (pr - r) ** 2 + 4 * (pg - g) ** 2 +
                (2 + (255 - mean) / 256) * (pb - b) ** 2)

    return min(range(len(palette)), key=distance)


def palette_256(rows):
    own = sorted({p for row in rows for p in row if p is not None})
    if len(own) <= 256:
        return own + [(0, 0, 0)] * (256 - len(own))
    return [((i >> 5) * 255 // 7, ((i >> 2) & 7) * 255 // 7, (i & 3) * 255 // 3)
            for i in range(256)]


def pack_rows(indices, bits):
    """Bottom-up rows of palette indices, each padded to 4 bytes."""
    out = bytearray()
    for row in reversed(indices):
        bitstring = 0
        for index in row:
            bitstring = (bitstring << bits) | index
        row_bytes = (len(row) * bits + 7) // 8
        padded = (row_bytes + 3) // 4 * 4
        out += bitstring.to_bytes(row_bytes, "big") + bytes(padded - row_bytes)
    return bytes(out)


def icon_image(rows, palette, bits):
    """One icon image: BITMAPINFOHEADER, palette, colour (XOR) bits, AND mask."""
    # Transparent pixels are black in the colour bits, so the screen shows through.
    black = nearest(palette, (0, 0, 0))
    indices = [[black if p is None else nearest(palette, p) for p in row] for row in rows]
    mask = [[1 if p is None else 0 for p in row] for row in rows]
    xor_bits = pack_rows(indices, bits)
    and_bits = pack_rows(mask, 1)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, bits, 0,
                         len(xor_bits) + len(and_bits), 0, 0, len(palette), 0)
    colour_table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + colour_table + xor_bits + and_bits


def make_ico(rows):
    images = [(icon_image(rows, VGA_PALETTE, 4), 16, 4),
              (icon_image(rows, palette_256(rows), 8), 0, 8)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for data, colour_count, bits in images:
        out += struct.pack("<BBBBHHII", SIZE, SIZE, colour_count, 0, 1, bits, len(data), offset)
        offset += len(data)
    return out + b"".join(data for data, _, _ in images)


def make_png(rows):
    raw = b"".join(b"\0" + b"".join(bytes((0, 0, 0, 0)) if p is None else bytes((*p, 255))
                                    for p in row) for row in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    ihdr = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("source", help="the 32 x 32 XPM image")
    parser.add_argument("--ico", help="write the Windows icon here")
    parser.add_argument("--png", help="write a 32 x 32 PNG here")
    args = parser.parse_args()
    try:
        with open(args.source, encoding="ascii") as f:
            rows = read_xpm(f.read())
    except (OSError, UnicodeDecodeError, ValueError, IconError) as e:
        print(f"make_icon: {args.source}: {e}", file=sys.stderr)
        return 1
    if args.ico:
        with open(args.ico, "wb") as f:
            f.write(make_ico(rows))
    if args.png:
        with open(args.png, "wb") as f:
            f.write(make_png(rows))
    return 0


if __name__ == "__main__":
    sys.exit(main())
