#!/usr/bin/env python3
"""Writes the toolbar's bitmaps: a mobile phone on the button face."""
import struct

def phone(size):
    bg, body, screen, key = (240, 240, 240), (40, 60, 110), (150, 220, 255), (230, 230, 230)
    px = [[bg] * size for _ in range(size)]
    s = size / 16.0
    def box(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                px[y][x] = c
    box(4, 1, 12, 15, body)
    box(5, 3, 11, 8, screen)
    for r in range(3):
        for c in range(3):
            box(5 + 2 * c, 9 + 1.7 * r, 6 + 2 * c, 9.8 + 1.7 * r, key)
    return px

def bmp(path, px, bits):
    h, w = len(px), len(px[0])
    if bits == 24:
        stride = (w * 3 + 3) & ~3
        rows = b''.join(bytes(sum(((b, g, r) for r, g, b in row[::1]), ())) + b'\0' * (stride - w * 3)
                        for row in reversed(px))
        palette = b''
    else:
        colours = []
        for row in px:
            for c in row:
                if c not in colours:
                    colours.append(c)
        assert len(colours) <= 16
        palette = b''.join(bytes((b, g, r, 0)) for r, g, b in colours) + b'\0' * 4 * (16 - len(colours))
        stride = ((w + 1) // 2 + 3) & ~3
        rows = b''
        for row in reversed(px):
            idx = [colours.index(c) for c in row]
            line = bytes((idx[i] << 4) | (idx[i + 1] if i + 1 < w else 0) for i in range(0, w, 2))
            rows += line + b'\0' * (stride - len(line))
    offset = 14 + 40 + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(rows), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, bits, 0, len(rows), 2835, 2835,
                       16 if bits == 4 else 0, 0)
    with open(path, 'wb') as f:
        f.write(header + info + palette + rows)

bmp('toolbar24.bmp', phone(24), 24)
bmp('toolbar16.bmp', phone(16), 4)
