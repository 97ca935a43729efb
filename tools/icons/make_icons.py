#!/usr/bin/env python3
"""Draws the program's icon: a white padlock whose body holds three level
bars (a voice, kept locked) on a blue rounded square.

Writes resources/icons/orv.svg and the PNGs orv-48.png, orv-128.png and
orv-256.png from the same shapes. The PNGs are rasterised here (4 x 4
samples per pixel, no library but zlib), so the files come out the same
byte for byte on every run.

    tools/icons/make_icons.py [OUTPUT_DIR]    (default: resources/icons)
"""
import math
import os
import struct
import sys
import zlib

CANVAS = 256  # every shape is given on a 256 x 256 canvas
BLUE = (0x1D, 0x6F, 0xA5)
WHITE = (0xFF, 0xFF, 0xFF)

# (x, y, width, height, corner radius)
BACKGROUND = (16, 16, 224, 224, 48)
BODY = (76, 116, 104, 88, 14)
BARS = [(98, 148, 12, 24, 6), (122, 138, 12, 44, 6), (146, 148, 12, 24, 6)]
# The shackle: a stroke through two legs and the half circle between them.
SHACKLE_CENTER = (128, 116)
SHACKLE_RADIUS = 37
SHACKLE_LEG_END = 126
SHACKLE_WIDTH = 14
SIZES = [48, 128, 256]


def in_rounded_rect(px, py, rect):
    x, y, w, h, r = rect
    qx = abs(px - (x + w / 2)) - (w / 2 - r)
    qy = abs(py - (y + h / 2)) - (h / 2 - r)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r <= 0


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def in_shackle(px, py):
    cx, cy = SHACKLE_CENTER
    left, right = cx - SHACKLE_RADIUS, cx + SHACKLE_RADIUS
    if py <= cy:
        d = abs(math.hypot(px - cx, py - cy) - SHACKLE_RADIUS)
    else:
        d = min(distance_to_segment(px, py, left, cy, left, SHACKLE_LEG_END),
                distance_to_segment(px, py, right, cy, right, SHACKLE_LEG_END))
    return d <= SHACKLE_WIDTH / 2


def colour_at(px, py):
    """The colour at a canvas point, or None where the icon is transparent."""
    if not in_rounded_rect(px, py, BACKGROUND):
        return None
    if any(in_rounded_rect(px, py, bar) for bar in BARS):
        return BLUE
    if in_rounded_rect(px, py, BODY) or in_shackle(px, py):
        return WHITE
    return BLUE


def render(size, samples=4):
    scale = CANVAS / size
    rows = []
    for j in range(size):
        row = bytearray([0])  # filter type: none
        for i in range(size):
            r = g = b = a = 0
            for sj in range(samples):
                for si in range(samples):
                    c = colour_at((i + (si + 0.5) / samples) * scale, (j + (sj + 0.5) / samples) * scale)
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        a += 1
            if a:
                row += bytes((r // a, g // a, b // a, a * 255 // (samples * samples)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return png(size, b"".join(rows))


def png(size, raw):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def hex_colour(c):
    return "#%02x%02x%02x" % c


def svg():
    def rect(r, colour):
        x, y, w, h, rad = r
        return f'  <rect x="{x}" y="{y}" width="{w}" height="{h}" rx="{rad}" fill="{hex_colour(colour)}"/>\n'
    cx, cy = SHACKLE_CENTER
    left, right = cx - SHACKLE_RADIUS, cx + SHACKLE_RADIUS
    shackle = (f'  <path d="M {left} {SHACKLE_LEG_END} V {cy} A {SHACKLE_RADIUS} {SHACKLE_RADIUS} 0 0 1 {right} {cy} '
               f'V {SHACKLE_LEG_END}" fill="none" stroke="{hex_colour(WHITE)}" stroke-width="{SHACKLE_WIDTH}" '
               f'stroke-linecap="round"/>\n')
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            f'<svg xmlns="http://www.w3.org/2000/svg" width="{CANVAS}" height="{CANVAS}" '
            f'viewBox="0 0 {CANVAS} {CANVAS}">\n'
            '  <title>ORV Telephone</title>\n'
            + rect(BACKGROUND, BLUE) + shackle + rect(BODY, WHITE)
            + "".join(rect(bar, BLUE) for bar in BARS)
            + "</svg>\n")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "resources", "icons")
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "orv.svg"), "w", encoding="utf-8") as f:
        f.write(svg())
    for size in SIZES:
        with open(os.path.join(out, f"orv-{size}.png"), "wb") as f:
            f.write(render(size))


if __name__ == "__main__":
    main()
