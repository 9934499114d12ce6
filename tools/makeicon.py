#!/usr/bin/env python3
"""Writes kelo.ico and kelo.png into resources/ (or the folder given): one 256 x 256 32-bit image
showing the scan highlight, a dark orange key on a cornflower blue one. The icon holds the very
PNG bytes (a PNG inside the icon, as Windows reads it); the PNG alone is the window's icon and
the desktop's. Deterministic: run it again to check or regenerate both files.
Usage: tools/makeicon.py [folder]
"""
import os
import struct
import sys
import zlib

SIZE = 256
BLUE = (0x64, 0x95, 0xED, 255)
ORANGE = (0xFF, 0x8C, 0x00, 255)
CLEAR = (0, 0, 0, 0)


def inside(x, y, left, top, right, bottom, radius):
    if not (left <= x < right and top <= y < bottom):
        return False
    cx = min(max(x, left + radius), right - radius - 1)
    cy = min(max(y, top + radius), bottom - radius - 1)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def pixel(x, y):
    if inside(x, y, 72, 72, 184, 184, 20):
        return ORANGE
    if inside(x, y, 8, 8, 248, 248, 40):
        return BLUE
    return CLEAR


def png():
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(SIZE)) for y in range(SIZE))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9))
            + chunk(b"IEND", b""))


def ico(image):
    # Width and height 0 mean 256; 32 bits per pixel.
    entry = struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(image), 6 + 16)
    return struct.pack("<HHH", 0, 1, 1) + entry + image


if __name__ == "__main__":
    folder = sys.argv[1] if len(sys.argv) > 1 else "resources"
    image = png()
    with open(os.path.join(folder, "kelo.png"), "wb") as f:
        f.write(image)
    with open(os.path.join(folder, "kelo.ico"), "wb") as f:
        f.write(ico(image))
