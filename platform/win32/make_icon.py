#!/usr/bin/env python3
"""Makes the program's icon files.

  make_icon.py SOURCE.xpm --ico OUT.ico
  make_icon.py SOURCE.shapes --hicolor DIR --name NAME [--sizes 16,24,...]

The .ico is made from the 32 x 32 XPM bitmap and holds it twice: 16 colours
(the standard VGA palette) and 256 colours (the picture's own colours when it
has at most 256 of them, a 3-3-2 ramp otherwise). Transparent XPM pixels
("None") go to the AND mask.

The desktop icons are made from the same picture described as shapes (see
platform/icon/morvane_icon.shapes): each size is rasterised on its own, with
antialiasing, into DIR/NxN/apps/NAME.png, and DIR/scalable/apps/NAME.svg is
the same shapes as SVG. Only the standard library is used, so the build
needs nothing extra.
"""

import argparse
import math
import os
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


def png_file(pixels, size):
    """A true-colour PNG of rows of (r, g, b, a) bytes."""
    raw = b"".join(b"\0" + b"".join(bytes(p) for p in row) for row in pixels)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    ihdr = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


# --- The picture as shapes -------------------------------------------------

def parse_fill(text):
    """A flat colour [(None, rgb)] or gradient stops [(x, rgb), ...] along x."""
    if "/" not in text and ":" not in text:
        return [(None, parse_colour(text))]
    stops = []
    for stop in text.split("/"):
        x, _, colour = stop.partition(":")
        stops.append((float(x), parse_colour(colour)))
    if any(a[0] >= b[0] for a, b in zip(stops, stops[1:])):
        raise IconError(f"gradient stops not in increasing x: {text!r}")
    return stops


def parse_point(text):
    x, y = text.split(",")
    return float(x), float(y)


def read_shapes(text):
    """Returns a list of shapes, each a dict with 'kind', 'fill' and geometry."""
    shapes = []
    for number, line in enumerate(text.splitlines(), 1):
        words = [] if line.lstrip().startswith("#") else line.split()
        if not words:
            continue
        try:
            kind, fill = words[0], parse_fill(words[1])
            if kind == "rounded" and len(words) == 5:
                shape = {"corners": (parse_point(words[2]), parse_point(words[3])),
                         "radius": float(words[4])}
            elif kind == "polygon" and len(words) >= 5:
                shape = {"points": [parse_point(w) for w in words[2:]]}
            elif kind == "line" and len(words) == 5:
                shape = {"width": float(words[2]),
                         "ends": (parse_point(words[3]), parse_point(words[4]))}
            else:
                raise IconError(f"cannot read {kind!r} with {len(words) - 1} values")
        except (IndexError, ValueError, IconError) as e:
            raise IconError(f"line {number}: {e}") from None
        shape.update(kind=kind, fill=fill)
        shapes.append(shape)
    if not shapes:
        raise IconError("no shapes")
    return shapes


def fill_colour(fill, x):
    """The colour of a fill at x on the 32-unit grid (gradients clamp at the ends)."""
    if fill[0][0] is None or x <= fill[0][0]:
        return fill[0][1]
    for (x0, c0), (x1, c1) in zip(fill, fill[1:]):
        if x <= x1:
            t = (x - x0) / (x1 - x0)
            return tuple(a + (b - a) * t for a, b in zip(c0, c1))
    return fill[-1][1]


def rounded_outline(x0, y0, x1, y1, radius, steps=16):
    """The rounded rectangle as a polygon, its corners as arcs of `steps` pieces."""
    radius = min(radius, (x1 - x0) / 2, (y1 - y0) / 2)
    points = []
    for cx, cy, start in ((x1 - radius, y0 + radius, -90), (x1 - radius, y1 - radius, 0),
                          (x0 + radius, y1 - radius, 90), (x0 + radius, y0 + radius, 180)):
        for i in range(steps + 1):
            a = math.radians(start + 90 * i / steps)
            points.append((cx + radius * math.cos(a), cy + radius * math.sin(a)))
    return points


def snap(value):
    return math.floor(value + 0.5)


def shape_polygon(shape, scale):
    """The shape as a polygon in pixels of an image `scale` times the grid.

    Rounded tiles and upright lines are snapped to whole pixels so that their
    edges stay sharp at every size; slanted lines keep at least a pixel's width."""
    if shape["kind"] == "rounded":
        (x0, y0), (x1, y1) = shape["corners"]
        return rounded_outline(snap(x0 * scale), snap(y0 * scale), snap(x1 * scale),
                               snap(y1 * scale), shape["radius"] * scale)
    if shape["kind"] == "polygon":
        return [(x * scale, y * scale) for x, y in shape["points"]]
    (xa, ya), (xb, yb) = shape["ends"]
    if xa == xb:
        width = max(1, snap(shape["width"] * scale))
        left = snap(xa * scale - width / 2)
        top, bottom = sorted((snap(ya * scale), snap(yb * scale)))
        return [(left, top), (left + width, top), (left + width, bottom), (left, bottom)]
    width = max(1.0, shape["width"] * scale)
    xa, ya, xb, yb = xa * scale, ya * scale, xb * scale, yb * scale
    length = math.hypot(xb - xa, yb - ya)
    nx, ny = -(yb - ya) / length * width / 2, (xb - xa) / length * width / 2
    return [(xa + nx, ya + ny), (xb + nx, yb + ny), (xb - nx, yb - ny), (xa - nx, ya - ny)]


SUBROWS = 16


def coverage(polygon, size):
    """Fraction of each pixel the polygon covers (even-odd rule): exact along x,
    SUBROWS samples along y."""
    edges = list(zip(polygon, polygon[1:] + polygon[:1]))
    rows = []
    for y in range(size):
        row = [0.0] * (size + 1)
        interior = [0.0] * (size + 1)
        for sub in range(SUBROWS):
            sy = y + (sub + 0.5) / SUBROWS
            crossings = sorted(xa + (sy - ya) * (xb - xa) / (yb - ya)
                               for (xa, ya), (xb, yb) in edges
                               if (ya <= sy) != (yb <= sy))
            for left, right in zip(crossings[::2], crossings[1::2]):
                add_span(row, interior, max(0.0, left), min(float(size), right), 1 / SUBROWS)
        running = 0.0
        for x in range(size):
            running += interior[x]
            row[x] += running
        rows.append([min(1.0, c) for c in row[:size]])
    return rows


def add_span(row, interior, left, right, weight):
    """Adds the span [left, right) of one sample row: the end pixels by the
    part they hold, the ones between in full through the running sum."""
    if right <= left:
        return
    first, last = int(left), int(right)
    if first == last:
        row[first] += (right - left) * weight
        return
    row[first] += (first + 1 - left) * weight
    row[last] += (right - last) * weight
    interior[first + 1] += weight
    interior[last] -= weight


def rasterise(shapes, size):
    """Rows of (r, g, b, a) bytes: the shapes painted in order over transparency."""
    scale = size / SIZE
    image = [[[0.0, 0.0, 0.0, 0.0] for _ in range(size)] for _ in range(size)]
    for shape in shapes:
        cover = coverage(shape_polygon(shape, scale), size)
        for x in range(size):
            colour = fill_colour(shape["fill"], (x + 0.5) / scale)
            for y in range(size):
                c = cover[y][x]
                if c > 0:
                    p = image[y][x]  # premultiplied
                    for i in range(3):
                        p[i] = colour[i] * c + p[i] * (1 - c)
                    p[3] = c + p[3] * (1 - c)
    return [[(0, 0, 0, 0) if a <= 0 else
             (*(min(255, round(v / a)) for v in (r, g, b)), round(a * 255))
             for r, g, b, a in row] for row in image]


def hex_colour(rgb):
    return "#%02X%02X%02X" % tuple(round(v) for v in rgb)


def svg_file(shapes):
    """The shapes as an SVG on the same 32-unit grid."""
    defs, body = [], []
    for shape in shapes:
        fill = shape["fill"]
        if fill[0][0] is None:
            paint = hex_colour(fill[0][1])
        else:
            name = f"gradient{len(defs)}"
            x0, x1 = fill[0][0], fill[-1][0]
            stops = "".join(f'<stop offset="{(x - x0) / (x1 - x0):.4g}" stop-color="{hex_colour(c)}"/>'
                            for x, c in fill)
            defs.append(f'<linearGradient id="{name}" gradientUnits="userSpaceOnUse" '
                        f'x1="{x0:g}" y1="0" x2="{x1:g}" y2="0">{stops}</linearGradient>')
            paint = f"url(#{name})"
        if shape["kind"] == "rounded":
            (x0, y0), (x1, y1) = shape["corners"]
            body.append(f'<rect x="{x0:g}" y="{y0:g}" width="{x1 - x0:g}" height="{y1 - y0:g}" '
                        f'rx="{shape["radius"]:g}" fill="{paint}"/>')
        elif shape["kind"] == "polygon":
            points = " ".join(f"{x:g},{y:g}" for x, y in shape["points"])
            body.append(f'<polygon points="{points}" fill="{paint}"/>')
        else:
            (xa, ya), (xb, yb) = shape["ends"]
            body.append(f'<line x1="{xa:g}" y1="{ya:g}" x2="{xb:g}" y2="{yb:g}" '
                        f'stroke="{paint}" stroke-width="{shape["width"]:g}"/>')
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             f'<svg xmlns="http://www.w3.org/2000/svg" width="{SIZE}" height="{SIZE}" '
             f'viewBox="0 0 {SIZE} {SIZE}">']
    if defs:
        lines += ["<defs>"] + defs + ["</defs>"]
    return "\n".join(lines + body + ["</svg>", ""])


def write_hicolor(shapes, directory, name, sizes):
    for size in sizes:
        folder = os.path.join(directory, f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        with open(os.path.join(folder, name + ".png"), "wb") as f:
            f.write(png_file(rasterise(shapes, size), size))
    folder = os.path.join(directory, "scalable", "apps")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name + ".svg"), "w", encoding="utf-8") as f:
        f.write(svg_file(shapes))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("source", help="the 32 x 32 XPM image, or the picture as .shapes")
    parser.add_argument("--ico", help="write the Windows icon here (from an XPM)")
    parser.add_argument("--hicolor", help="write the desktop icons under this folder (from .shapes)")
    parser.add_argument("--name", default="icon", help="file name of the desktop icons")
    parser.add_argument("--sizes", default="16,24,32,48,64,128,256",
                        help="sizes of the desktop icons in pixels")
    args = parser.parse_args()
    try:
        with open(args.source, encoding="ascii") as f:
            text = f.read()
        if args.ico:
            icon = make_ico(read_xpm(text))  # nothing is written for a bad image
            with open(args.ico, "wb") as f:
                f.write(icon)
        if args.hicolor:
            sizes = [int(s) for s in args.sizes.split(",")]
            if any(s < 1 or s > 1024 for s in sizes):
                raise IconError(f"icon sizes must be 1 to 1024 pixels: {args.sizes}")
            write_hicolor(read_shapes(text), args.hicolor, args.name, sizes)
    except (OSError, UnicodeDecodeError, ValueError, IconError) as e:
        print(f"make_icon: {args.source}: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
