#!/usr/bin/env python3
"""Draws the program's project glyph and its desktop icons (a folder holding
a page) as PNG files, with nothing but the standard library:

    python3 packaging/make_icons.py

writes resources/glyphs/PROJEKT.png (32 px) and packaging/icons/zentarek-<N>.png.
"""
import os
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

FOLDER = (232, 184, 48, 255)
FOLDER_DARK = (160, 112, 16, 255)
PAGE = (255, 255, 255, 255)
PAGE_EDGE = (96, 96, 96, 255)
LINE = (40, 80, 200, 255)


def shape(x, y):
    """The colour at (x, y), both from 0 to 1, or None for transparent."""
    def inside(x0, y0, x1, y1):
        return x0 <= x <= x1 and y0 <= y <= y1

    def edge(x0, y0, x1, y1, w=0.035):
        return inside(x0, y0, x1, y1) and not inside(x0 + w, y0 + w, x1 - w, y1 - w)

    # the front of the folder covers the lower part of the page
    if inside(0.06, 0.50, 0.94, 0.90):
        return FOLDER_DARK if edge(0.06, 0.50, 0.94, 0.90) else FOLDER
    if inside(0.26, 0.08, 0.74, 0.52):
        if edge(0.26, 0.08, 0.74, 0.52, 0.03):
            return PAGE_EDGE
        for top in (0.18, 0.27, 0.36, 0.45):
            if inside(0.33, top, 0.67, top + 0.035):
                return LINE
        return PAGE
    if inside(0.06, 0.22, 0.94, 0.52) or inside(0.06, 0.15, 0.40, 0.22):
        border = edge(0.06, 0.22, 0.94, 0.90) or edge(0.06, 0.15, 0.40, 0.26)
        return FOLDER_DARK if border else FOLDER
    return None


def render(size):
    rows = []
    samples = 4  # per axis, for smooth edges
    for py in range(size):
        row = bytearray([0])
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    c = shape((px + (sx + 0.5) / samples) / size, (py + (sy + 0.5) / samples) / size)
                    if c:
                        for i in range(3):
                            acc[i] += c[i] * c[3]
                        acc[3] += c[3]
            n = samples * samples
            alpha = acc[3] // n
            colour = [acc[i] // acc[3] if acc[3] else 0 for i in range(3)]
            row += bytes(colour + [alpha])
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, path):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(render(size), 9)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    png(32, os.path.join(ROOT, "resources", "glyphs", "PROJEKT.png"))
    for size in (48, 64, 128, 256):
        png(size, os.path.join(ROOT, "packaging", "icons", "zentarek-%d.png" % size))
