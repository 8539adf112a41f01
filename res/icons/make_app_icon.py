#!/usr/bin/env python3
"""Draws the application icon: three linked network nodes on a blue tile, 32 x 32, 24-bit RGB PNG.

Run from anywhere: writes 128.png next to this script. Needs only the standard library.
"""
import math
import struct
import zlib
from pathlib import Path

SIZE = 32
SAMPLES = 4  # supersampling per axis for smooth edges

TILE = (28, 86, 160)
TILE_EDGE = (14, 50, 102)
BACKGROUND = (255, 255, 255)
LINK = (235, 240, 248)
NODE = (255, 196, 40)
NODE_RIM = (120, 80, 0)

NODES = [(16.0, 8.5), (8.0, 23.0), (24.0, 23.0)]
LINKS = [(0, 1), (0, 2), (1, 2)]


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def rounded_tile_inside(x, y, inset, radius):
    lo, hi = inset, SIZE - inset
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return lo <= x <= hi and lo <= y <= hi and math.hypot(x - cx, y - cy) <= radius


def colour_at(x, y):
    for nx, ny in NODES:
        d = math.hypot(x - nx, y - ny)
        if d <= 3.2:
            return NODE
        if d <= 4.2:
            return NODE_RIM
    if any(segment_distance(x, y, *NODES[a], *NODES[b]) <= 1.1 for a, b in LINKS):
        return LINK
    if rounded_tile_inside(x, y, 1.5, 5.0):
        return TILE
    if rounded_tile_inside(x, y, 0.5, 6.0):
        return TILE_EDGE
    return BACKGROUND


def pixel(px, py):
    total = [0, 0, 0]
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            c = colour_at(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
            for i in range(3):
                total[i] += c[i]
    return bytes(round(t / (SAMPLES * SAMPLES)) for t in total)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main():
    rows = b"".join(b"\x00" + b"".join(pixel(x, y) for x in range(SIZE)) for y in range(SIZE))
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0))  # 8 bits x RGB = 24-bit
    png += chunk(b"IDAT", zlib.compress(rows, 9))
    png += chunk(b"IEND", b"")
    (Path(__file__).resolve().parent / "128.png").write_bytes(png)


if __name__ == "__main__":
    main()
