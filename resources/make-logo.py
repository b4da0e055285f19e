#!/usr/bin/env python3
"""Draws the Tarnix logo: 128x128 RGBA PNG, standard library only.

A rounded teal square with two overlapping speech bubbles, the left one
white, the right one amber, standing for one text going into many languages.
Run it from this folder to redraw logo.png.
"""
import math
import struct
import sys
import zlib

SIZE = 128


def rounded_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return math.hypot(x - cx, y - cy) <= r


def bubble(x, y, cx, cy, rx, ry, tail):
    inside = ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0
    tx, ty, dx = tail
    # a small triangle under the ellipse as the bubble's tail
    in_tail = ty - 2 <= y <= ty + 16 and abs(x - (tx + dx * (y - ty) / 2)) <= (ty + 16 - y) / 2
    return inside or in_tail


def pixel(x, y):
    px, py = x + 0.5, y + 0.5
    if not rounded_rect(px, py, 4, 4, 124, 124, 22):
        return (0, 0, 0, 0)
    colour = (0, 121, 128, 255)
    if bubble(px, py, 52, 52, 34, 26, (36, 72, -1)):
        colour = (250, 250, 250, 255)
    if bubble(px, py, 80, 80, 32, 24, (96, 98, 1)):
        colour = (255, 183, 3, 255)
    # the outline between the bubbles keeps them apart where they overlap
    d = ((px - 80) / 34) ** 2 + ((py - 80) / 26) ** 2
    if 0.86 < d <= 1.0 and ((px - 52) / 34) ** 2 + ((py - 52) / 26) ** 2 <= 1.0:
        colour = (0, 121, 128, 255)
    return colour


def png(width, height, rows):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = b"".join(b"\x00" + bytes(c for p in row for c in p) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "logo.png"
    rows = [[pixel(x, y) for x in range(SIZE)] for y in range(SIZE)]
    with open(out, "wb") as f:
        f.write(png(SIZE, SIZE, rows))


if __name__ == "__main__":
    main()
