#!/usr/bin/env python3
"""Draws the program icon (a blue shield with a white "V") and writes
varrex.ico beside this script: 16, 24, 32 and 48 pixel images, 32-bit colour
with alpha, as the resource compiler expects them. Only the standard library
is used; run it again after changing the drawing."""

import math
import os
import struct

SIZES = (16, 24, 32, 48)
SAMPLES = 4  # supersampling per axis, for smooth edges


def shield_half_width(y, shrink):
    """Half width of the shield at height y (0 top, 1 bottom), or None outside."""
    top, shoulder, tip = 0.06 + shrink, 0.55, 0.96 - shrink * 1.4
    half = 0.40 - shrink
    if y < top or y > tip:
        return None
    if y <= shoulder:
        return half
    t = (y - shoulder) / (tip - shoulder)
    return half * math.sqrt(max(0.0, 1.0 - t * t))


def inside_shield(x, y, shrink=0.0):
    h = shield_half_width(y, shrink)
    return h is not None and abs(x - 0.5) <= h


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    cx, cy = ax + t * dx, ay + t * dy
    return math.hypot(px - cx, py - cy)


def colour_at(x, y):
    """RGBA of one sample point."""
    if not inside_shield(x, y):
        return (0, 0, 0, 0)
    if not inside_shield(x, y, 0.06):
        return (20, 63, 115, 255)  # rim
    v = min(distance_to_segment(x, y, 0.31, 0.24, 0.5, 0.74), distance_to_segment(x, y, 0.69, 0.24, 0.5, 0.74))
    if v <= 0.075:
        return (255, 255, 255, 255)
    shade = 1.0 - 0.35 * y  # lighter at the top
    return (int(46 * shade), int(123 * shade), int(214 * shade), 255)


def render(size):
    """Rows of premultiplied-then-unpremultiplied RGBA pixels, top row first."""
    rows = []
    n = SAMPLES * SAMPLES
    for py in range(size):
        row = []
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    cr, cg, cb, ca = colour_at((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    r += cr * ca
                    g += cg * ca
                    b += cb * ca
                    a += ca
            if a == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((r // a, g // a, b // a, a // n))
        rows.append(row)
    return rows


def dib(size):
    """One icon image: BITMAPINFOHEADER, BGRA rows bottom-up, AND mask."""
    rows = render(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for (r, g, b, a) in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + pixels + bytes(mask)


def main():
    images = [dib(s) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "varrex.ico")
    with open(path, "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
