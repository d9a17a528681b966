#!/usr/bin/env python3
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
"""Draw the Tarbel application icon and write it as a Windows .ico file.

Usage: make_icon.py OUTPUT.ico

The picture is described once, as flat shapes in a 0..1 unit square, and rasterised at every size with
supersampling. Only the standard library is used, so that the icon can be rebuilt anywhere, byte for byte.
"""

import functools
import itertools
import math
import struct
import sys

# Coordinates are written on a 16-unit grid so that edges land on whole pixels
# at 16, 32, 48 and 64 px; other sizes are snapped to the pixel grid below.
G = 1 / 16


def rect(x0, y0, x1, y1):
    return [(x0 * G, y0 * G), (x1 * G, y0 * G), (x1 * G, y1 * G), (x0 * G, y1 * G)]


def poly(*pts):
    return [(x * G, y * G) for x, y in pts]


BOX_EDGE, BOX_LID, BOX_FRONT = (0x5C, 0x38, 0x12), (0xF2, 0xC2, 0x74), (0xD6, 0x93, 0x42)
ARROW = (0x15, 0x65, 0xD8)

# A closed carton with a bold arrow dropping onto it, painted back to front. Each shape: points (clockwise),
# fill colour, outline colour or None. The arrow has no outline: blue against tan is contrast enough, and a
# stroke on its diagonals only turns to mush at 16 px.
DRAWING = [
    (rect(2, 9, 14, 15), BOX_FRONT, BOX_EDGE),
    (rect(1, 6, 15, 10), BOX_LID, BOX_EDGE),
    (poly((6, 0), (10, 0), (10, 5), (13, 5), (8, 10), (3, 5), (6, 5)), ARROW, None),
]

# Outline width as a fraction of the icon, never thinner than one pixel.
STROKE = 1 / 20

SUPERSAMPLE = 8

# Order and depths of the images in the file.
IMAGES = [(48, 8), (32, 8), (16, 8),
          (64, 32), (48, 32), (40, 32), (32, 32), (24, 32), (20, 32), (16, 32)]


def snap(v, size):
    """Round a unit coordinate to a whole pixel, symmetrically about the centre."""
    d = v * size - size / 2
    return (size / 2 + math.copysign(math.floor(abs(d) + 0.5), d)) / size


def edges(points):
    """(start, end) of each edge of a closed polygon."""
    return zip(points, points[1:] + points[:1])


def inset(points, w):
    """Move every edge of a clockwise (y down) polygon inwards by w, mitred."""
    lines = []  # (a point of the moved edge, its direction)
    for (x0, y0), (x1, y1) in edges(points):
        dx, dy = x1 - x0, y1 - y0
        length = math.hypot(dx, dy)
        nx, ny = -dy / length, dx / length  # inward normal for clockwise, y down
        lines.append(((x0 + nx * w, y0 + ny * w), (dx, dy)))
    out = []  # each corner where the moved edge before it meets its own
    for ((px, py), (ax, ay)), ((qx, qy), (bx, by)) in zip(lines[-1:] + lines[:-1], lines):
        t = ((qx - px) * by - (qy - py) * bx) / (ax * by - ay * bx)
        out.append((px + ax * t, py + ay * t))
    return out


def spans(points, y):
    """Intervals of a horizontal line at y that lie inside the polygon."""
    xs = sorted(x0 + (y - y0) * (x1 - x0) / (y1 - y0) for (x0, y0), (x1, y1) in edges(points) if (y0 <= y) != (y1 <= y))
    return zip(xs[0::2], xs[1::2])


def layers(size):
    """The drawing as plain filled polygons for one size, back to front."""
    w = max(1, round(STROKE * size)) / size
    out = []
    for points, fill, edge in DRAWING:
        points = [(snap(x, size), snap(y, size)) for x, y in points]
        if edge is not None:
            out.append((points, edge))
            points = inset(points, w)
        out.append((points, fill))
    return out


def rasterise(shapes, size, ss=SUPERSAMPLE):
    """Paint filled polygons; straight (not premultiplied) RGBA rows, top first.

    Each sample takes the colour of the topmost shape over it, so abutting
    shapes never let the background bleed through their shared edge."""
    n = size * ss
    acc = [[0, 0, 0, 0] for _ in range(size * size)]
    for sy in range(n):
        row = [None] * n
        y = (sy + 0.5) / n
        for points, colour in shapes:
            for x0, x1 in spans(points, y):
                # Samples whose centre (i + 0.5) / n falls in [x0, x1).
                i0, i1 = (min(n, max(0, math.ceil(x * n - 0.5))) for x in (x0, x1))
                row[i0:i1] = [colour] * (i1 - i0)
        base = (sy // ss) * size
        for sx, colour in enumerate(row):
            if colour is not None:
                i = base + sx // ss  # red, green and blue sums, and the hits
                acc[i] = [a + c for a, c in zip(acc[i], colour + (1,))]
    pixels = [(round(r / hits), round(g / hits), round(b / hits), round(255 * hits / (ss * ss))) if hits
              else (0, 0, 0, 0) for r, g, b, hits in acc]
    return [pixels[i:i + size] for i in range(0, size * size, size)]


def palette():
    """Fixed 256 colours: a 6x6x6 cube (index 0 is black, for masked pixels),
    the drawing's own colours so flat areas stay exact, quarter steps between
    each pair of them so edges blend without stray hues, then greys."""
    colours = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    own = list(dict.fromkeys(c for _, fill, edge in DRAWING for c in (edge, fill) if c is not None))
    mixes = [tuple((x * (4 - k) + y * k + 2) // 4 for x, y in zip(a, b))
             for i, a in enumerate(own) for b in own[i + 1:] for k in (1, 2, 3)]
    colours += [c for c in dict.fromkeys(own + mixes) if c not in colours]
    greys = ((step * 255 // 41,) * 3 for step in itertools.count(1))
    colours += itertools.islice((g for g in greys if g not in colours), max(0, 256 - len(colours)))
    assert len(colours) == 256, "too many colours in the drawing for one palette"
    return colours


PALETTE = palette()


@functools.lru_cache(maxsize=None)
def nearest(rgb):
    return min(range(256), key=lambda i: sum((a - b) ** 2 for a, b in zip(rgb, PALETTE[i])))


def and_mask(rows, size):
    """1 bpp mask, bottom row first, rows padded to 32 bits; set = transparent."""
    stride = (size + 31) // 32 * 4
    lines = ("".join("1" if px[3] < 128 else "0" for px in row).ljust(8 * stride, "0") for row in reversed(rows))
    return b"".join(int(line, 2).to_bytes(stride, "big") for line in lines)


def dib(size, bits):
    rows = rasterise(layers(size), size)
    if bits == 32:
        colour_table = b""
        xor = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
    else:
        colour_table = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
        padding = bytes((size + 3) // 4 * 4 - size)  # rows padded to 32 bits
        xor = b"".join(bytes(nearest(px[:3]) if px[3] >= 128 else 0 for px in row) + padding
                       for row in reversed(rows))
    mask = and_mask(rows, size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, 256 if bits == 8 else 0, 0)
    return header + colour_table + xor + mask


def build():
    blobs = [dib(size, bits) for size, bits in IMAGES]
    offsets = itertools.accumulate((len(blob) for blob in blobs), initial=6 + 16 * len(blobs))
    entries = [struct.pack("<BBBBHHII", size, size, 0, 0, 1, bits, len(blob), offset)
               for (size, bits), blob, offset in zip(IMAGES, blobs, offsets)]
    return struct.pack("<HHH", 0, 1, len(blobs)) + b"".join(entries + blobs)


def check(data):
    """Read the file back and make sure directory and bitmaps agree."""
    reserved, kind, count = struct.unpack_from("<HHH", data)
    assert (reserved, kind, count) == (0, 1, len(IMAGES))
    end = 6 + 16 * count
    for i, (size, bits) in enumerate(IMAGES):
        w, h, ncol, res, planes, bpp, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        assert (w, h, ncol, res, planes, bpp) == (size, size, 0, 0, 1, bits), i
        assert offset == end and offset + length <= len(data), i
        hdr = struct.unpack_from("<IiiHHIIiiII", data, offset)
        assert hdr[:6] == (40, size, 2 * size, 1, bits, 0), i
        xor = ((size * bits + 31) // 32 * 4) * size
        mask = ((size + 31) // 32 * 4) * size
        table = 1024 if bits == 8 else 0
        assert hdr[6] == xor + mask and length == 40 + table + xor + mask, i
        end = offset + length
    assert end == len(data)


def self_test():
    # Sample boundaries: a band from x0 to x1 across a 4 px image must give
    # these alphas, column by column (2.5 px -> half a pixel in column 2).
    cases = [(0, 0.5, [255, 255, 0, 0]), (0, 0.625, [255, 255, 128, 0]),
             (0.375, 1, [0, 128, 255, 255]), (0, 1, [255] * 4), (0, 0, [0] * 4)]
    for x0, x1, alphas in cases:
        square = [(x0, 0), (x1, 0), (x1, 1), (x0, 1)]
        assert [px[3] for px in rasterise([(square, ARROW)], 4)[0]] == alphas, (x0, x1)
    # Snapping keeps the drawing symmetric at sizes off the 16 grid.
    for size in (20, 24, 40):
        for v in (1 / 16, 3 / 16, 6 / 16):
            assert snap(v, size) + snap(1 - v, size) == 1, (size, v)
    # A mitred inset of a square is a smaller square.
    got = inset(rect(0, 0, 16, 16), 0.25)
    want = [(.25, .25), (.75, .25), (.75, .75), (.25, .75)]
    assert all(math.isclose(a, b) for p, q in zip(got, want) for a, b in zip(p, q))
    # Flat colours survive palettising unchanged; masked pixels use black.
    for _, fill, edge in DRAWING:
        for c in (fill, edge):
            assert c is None or PALETTE[nearest(c)] == c, c
    assert PALETTE[0] == (0, 0, 0) and len(set(PALETTE)) == 256


def main(argv):
    if len(argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    self_test()
    data = build()
    check(data)
    with open(argv[1], "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv)
