#!/usr/bin/env python3
"""Builds tarnix.ico from the logo: one 128x128 image in 32-bit colour, standard library only.

The image is stored as a bottom-up BGRA bitmap with its AND mask, the form
every Windows resource compiler and shell reads. Run it from this folder to
rebuild tarnix.ico after the logo changes; `--check` only compares and exits
1 when the committed icon no longer matches the logo.
"""
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
LOGO = os.path.join(HERE, "..", "..", "resources", "logo.png")
ICON = os.path.join(HERE, "tarnix.ico")


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def read_rgba_png(data):
    """Returns (width, height, rows of RGBA bytes) of an 8-bit RGBA, non-interlaced PNG."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG file")
    pos, idat, header = 8, b"", None
    while pos < len(data):
        (length,) = struct.unpack(">I", data[pos : pos + 4])
        kind, body = data[pos + 4 : pos + 8], data[pos + 8 : pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    if header is None:
        raise ValueError("PNG without IHDR")
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour != 6 or interlace != 0:
        raise ValueError("the logo must be an 8-bit RGBA PNG without interlacing")
    raw, stride, bpp = zlib.decompress(idat), width * 4, 4
    rows, prev = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1 : start + 1 + stride])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                line[i] = (line[i] + paeth(a, b, c)) & 0xFF
            elif kind != 0:
                raise ValueError("unknown PNG filter type %d" % kind)
        rows.append(bytes(line))
        prev = line
    return width, height, rows


def ico_from_rgba(width, height, rows):
    # Pixels bottom-up in BGRA order, then the 1-bit AND mask (rows padded to
    # 32 bits) that marks fully transparent pixels for readers ignoring alpha.
    pixels = bytearray()
    mask = bytearray()
    mask_stride = ((width + 31) // 32) * 4
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x in range(width):
            r, g, b, a = row[4 * x : 4 * x + 4]
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    # BITMAPINFOHEADER: the height counts the colour image and the mask together.
    info = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = info + bytes(pixels) + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    # A dimension of 256 is written as 0; 128 fits as it is.
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(image), 6 + 16)
    return directory + entry + image


def main():
    with open(LOGO, "rb") as f:
        icon = ico_from_rgba(*read_rgba_png(f.read()))
    if "--check" in sys.argv[1:]:
        with open(ICON, "rb") as f:
            if f.read() != icon:
                print("tarnix.ico does not match resources/logo.png: run make-ico.py")
                return 1
        print("tarnix.ico matches resources/logo.png")
        return 0
    with open(ICON, "wb") as f:
        f.write(icon)
    return 0


if __name__ == "__main__":
    sys.exit(main())
