#!/usr/bin/env python3
"""Draws the call-window library's bitmaps and icon (our own art) into this folder."""
import math
import struct


def bmp24(path, w, h, pixel):
    row = (w * 3 + 3) & ~3
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray()
        for x in range(w):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        line += b"\0" * (row - w * 3)
        data += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    open(path, "wb").write(header + info + data)


def bmp1(path, w, h, bit):
    row = ((w + 31) // 32) * 4
    data = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray(row)
        for x in range(w):
            if bit(x, y):
                line[x // 8] |= 0x80 >> (x % 8)
        data += line
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    off = 14 + 40 + 8
    header = struct.pack("<2sIHHI", b"BM", off + len(data), 0, 0, off)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 1, 0, len(data), 2835, 2835, 2, 0)
    open(path, "wb").write(header + info + palette + data)


def inside_circle(x, y, c=13.5, r=13.0):
    return (x - c) ** 2 + (y - c) ** 2 <= r * r


def handset(x, y, down):
    # A handset: a thick arc with two ear pieces; turned over for hanging up.
    cx, cy = 13.5, (17.0 if not down else 10.0)
    d = math.hypot(x - cx, y - cy)
    ang = math.degrees(math.atan2(y - cy, x - cx))
    if not down:
        arc = 8.0 <= d <= 11.0 and -160 <= ang <= -20
        ends = (5 <= x <= 9 or 18 <= x <= 22) and 11 <= y <= 15
    else:
        arc = 8.0 <= d <= 11.0 and 20 <= ang <= 160
        ends = (5 <= x <= 9 or 18 <= x <= 22) and 12 <= y <= 16
    return arc or ends


def button(path, base, down, shade=1.0, grey=False):
    def pixel(x, y):
        if not inside_circle(x, y):
            return (255, 0, 255)  # masked out
        if handset(x, y, down):
            return (250, 250, 250) if not grey else (225, 225, 225)
        light = 1.15 - 0.3 * (y / 27.0)
        r, g, b = base
        if grey:
            v = int((r + g + b) / 3)
            r = g = b = min(255, v + 60)
        return tuple(max(0, min(255, int(c * light * shade))) for c in (r, g, b))
    bmp24(path, 28, 28, pixel)


green, red = (40, 170, 60), (205, 45, 40)
button("answer.bmp", green, False)
button("answer_pushed.bmp", green, False, 0.7)
button("answer_hover.bmp", green, False, 1.25)
button("answer_disabled.bmp", green, False, 1.0, True)
button("hangup.bmp", red, True)
button("hangup_pushed.bmp", red, True, 0.7)
button("hangup_hover.bmp", red, True, 1.25)
button("hangup_disabled.bmp", red, True, 1.0, True)
bmp1("mask.bmp", 28, 28, lambda x, y: not inside_circle(x, y))


def person(x, y, w=64, h=96):
    head = (x - w / 2) ** 2 + (y - 34) ** 2 <= 15 ** 2
    body = ((x - w / 2) / 27.0) ** 2 + ((y - 92) / 38.0) ** 2 <= 1.0 and y <= 95
    if head or body:
        return (120, 135, 160)
    return (225, 231, 240)


bmp24("picture.bmp", 64, 96, person)


def icon_pixels(size):
    s = size / 32.0
    out = []
    for y in range(size):
        for x in range(size):
            fx, fy = x / s, y / s
            inside = 2 <= fx <= 29.5 and 2 <= fy <= 29.5
            if not inside:
                out.append((0, 0, 0, 0))
                continue
            if handset(fx * 28 / 32, fy * 28 / 32, False):
                out.append((255, 255, 255, 255))
            else:
                out.append((30, 90, 190, 255))
    return out


def ico(path, sizes):
    images = []
    for size in sizes:
        px = icon_pixels(size)
        xor = bytearray()
        for y in range(size - 1, -1, -1):
            for x in range(size):
                r, g, b, a = px[y * size + x]
                xor += bytes((b, g, r, a))
        row = ((size + 31) // 32) * 4
        andm = bytearray()
        for y in range(size - 1, -1, -1):
            line = bytearray(row)
            for x in range(size):
                if px[y * size + x][3] == 0:
                    line[x // 8] |= 0x80 >> (x % 8)
            andm += line
        info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(andm), 0, 0, 0, 0)
        images.append((size, info + xor + andm))
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    blobs = b""
    for size, blob in images:
        entries += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(blob), offset + len(blobs))
        blobs += blob
    open(path, "wb").write(header + entries + blobs)


ico("dialix.ico", [32, 16])
