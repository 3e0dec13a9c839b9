#!/usr/bin/env python3
"""Draws the program icon: two database cylinders on a blue tile with a pair of arrows
between them, one pointing each way. Writes icons/korvanta-<size>.png for 32 (RGB, no
alpha: a square tile), 48, 128 and 256 (RGBA: a rounded tile with clear corners).

Only the standard library is used, so the icons can be redrawn anywhere:
    python3 resources/make_icons.py
Shapes are signed distance functions in a unit square; each pixel takes the coverage
of every shape at its centre, with a one-pixel soft edge.
"""

import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# Colours (r, g, b).
TILE_TOP = (0x2B, 0x6C, 0xB8)
TILE_BOTTOM = (0x17, 0x3F, 0x75)
LEFT_BODY = (0xE8, 0xEE, 0xF6)
LEFT_LID = (0xFF, 0xFF, 0xFF)
LEFT_RIM = (0x9A, 0xAE, 0xC8)
RIGHT_BODY = (0xF5, 0xA6, 0x23)
RIGHT_LID = (0xFF, 0xCF, 0x6E)
RIGHT_RIM = (0xB8, 0x72, 0x0B)
ARROW = (0xFF, 0xFF, 0xFF)


def rounded_rect(px, py, cx, cy, hw, hh, r):
    qx = abs(px - cx) - hw + r
    qy = abs(py - cy) - hh + r
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def rect(px, py, x0, y0, x1, y1):
    return rounded_rect(px, py, (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2, 0.0)


def ellipse(px, py, cx, cy, rx, ry):
    # Close enough to a true distance for a one-pixel soft edge.
    k = math.hypot((px - cx) / rx, (py - cy) / ry)
    return (k - 1.0) * min(rx, ry)


def convex_polygon(px, py, points):
    # Counter-clockwise points: the largest signed distance to the edges' lines.
    d = -1e9
    n = len(points)
    for i in range(n):
        x0, y0 = points[i]
        x1, y1 = points[(i + 1) % n]
        ex, ey = x1 - x0, y1 - y0
        length = math.hypot(ex, ey)
        d = max(d, ((px - x0) * ey - (py - y0) * ex) / length)
    return d


def union(*distances):
    return min(distances)


def subtract(a, b):
    return max(a, -b)


def cylinder_shapes(cx, top, bottom, rx, ry, body, lid, rim):
    """A database cylinder: body with a rounded bottom, a lighter lid, two rim lines."""
    shapes = []
    shapes.append((lambda x, y: union(rect(x, y, cx - rx, top, cx + rx, bottom),
                                      ellipse(x, y, cx, bottom, rx, ry)), body))
    # Rim lines: the lower half of an ellipse drawn as a thin band across the body.
    band = 0.018
    for level in (top + (bottom - top) * 0.38, top + (bottom - top) * 0.72):
        def rim_line(x, y, level=level):
            ring = abs(ellipse(x, y, cx, level, rx, ry)) - band / 2
            below = y - level  # only the front (lower) half of the ring
            return max(ring, -below, abs(x - cx) - rx + 0.01)
        shapes.append((rim_line, rim))
    shapes.append((lambda x, y: ellipse(x, y, cx, top, rx, ry), lid))
    shapes.append((lambda x, y: abs(ellipse(x, y, cx, top, rx, ry)) - 0.009, rim))
    return shapes


def arrow_shapes(y, x_tail, x_tip, shaft, head_len, head_half):
    """A horizontal arrow from x_tail to x_tip: a straight shaft and a triangular head."""
    direction = 1 if x_tip > x_tail else -1
    x_neck = x_tip - direction * head_len
    # The shaft reaches a little into the head so that the two meet without a seam.
    x0, x1 = sorted((x_tail, x_neck + direction * 0.01))
    head = [(x_neck, y - head_half), (x_tip, y), (x_neck, y + head_half)]
    if direction < 0:
        head.reverse()
    return [(lambda px, py: rect(px, py, x0, y - shaft / 2, x1, y + shaft / 2), ARROW),
            (lambda px, py: convex_polygon(px, py, head), ARROW)]


def scene(square_tile):
    shapes = []
    if square_tile:
        tile = lambda x, y: rect(x, y, 0.0, 0.0, 1.0, 1.0)
    else:
        tile = lambda x, y: rounded_rect(x, y, 0.5, 0.5, 0.47, 0.47, 0.16)
    shapes.append((tile, "tile"))
    shapes += cylinder_shapes(0.235, 0.29, 0.73, 0.145, 0.07, LEFT_BODY, LEFT_LID, LEFT_RIM)
    shapes += cylinder_shapes(0.765, 0.29, 0.73, 0.145, 0.07, RIGHT_BODY, RIGHT_LID, RIGHT_RIM)
    shapes += arrow_shapes(0.44, 0.405, 0.605, 0.05, 0.08, 0.075)
    shapes += arrow_shapes(0.62, 0.595, 0.395, 0.05, 0.08, 0.075)
    return shapes


def render(size, alpha):
    shapes = scene(square_tile=not alpha)
    pixel = 1.0 / size
    rows = []
    for j in range(size):
        y = (j + 0.5) * pixel
        tile_colour = tuple(a + (b - a) * y for a, b in zip(TILE_TOP, TILE_BOTTOM))
        row = bytearray()
        for i in range(size):
            x = (i + 0.5) * pixel
            r = g = b = 0.0
            a = 0.0
            for distance, colour in shapes:
                cover = min(max(0.5 - distance(x, y) / pixel, 0.0), 1.0)
                if cover <= 0.0:
                    continue
                c = tile_colour if colour == "tile" else colour
                # "over" compositing, premultiplied.
                r = c[0] * cover + r * (1 - cover)
                g = c[1] * cover + g * (1 - cover)
                b = c[2] * cover + b * (1 - cover)
                a = cover + a * (1 - cover)
            if alpha:
                if a > 0:
                    row += bytes(round(v / a) for v in (r, g, b)) + bytes([round(a * 255)])
                else:
                    row += bytes(4)
            else:
                row += bytes(round(v) for v in (r, g, b))
        rows.append(bytes(row))
    return rows


def png(size, rows, alpha):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    colour_type = 6 if alpha else 2  # RGBA or RGB, 8 bits per channel
    header = struct.pack(">IIBBBBB", size, size, 8, colour_type, 0, 0, 0)
    raw = b"".join(b"\x00" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    out = os.path.join(HERE, "icons")
    os.makedirs(out, exist_ok=True)
    for size, alpha in ((32, False), (48, True), (128, True), (256, True)):
        path = os.path.join(out, "korvanta-%d.png" % size)
        with open(path, "wb") as f:
            f.write(png(size, render(size, alpha), alpha))
        print(path)


if __name__ == "__main__":
    main()
