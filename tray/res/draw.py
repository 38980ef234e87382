#!/usr/bin/env python3
"""Draws the tray's icons and the about dialog's pictures (our own artwork).
Run from this folder; writes the .ico and .png files beside it."""
import math, struct, zlib

def png(path, w, h, px):
    raw = b"".join(b"\0" + bytes(c for x in range(w) for c in px(x, y)) for y in range(h))
    chunk = lambda t, d: struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d) & 0xffffffff)
    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    open(path, "wb").write(data)

def dib(size, px):
    head = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = b"".join(bytes(c for x in range(size) for c in (lambda p: (p[2], p[1], p[0], p[3]))(px(x, y, size)))
                    for y in reversed(range(size)))
    stride = ((size + 31) // 32) * 4
    mask = b"".join(bytes(stride) for _ in range(size))
    return head + rows + mask

def ico(path, px):
    images = [dib(s, px) for s in (16, 32)]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for s, img in zip((16, 32), images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    open(path, "wb").write(out + b"".join(images))

def inside_round(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r); cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

def phone(body, dots):
    def px(x, y, s):
        k = s / 16.0
        u, v = (x + 0.5) / k, (y + 0.5) / k
        for (dx, dy, col) in dots:
            if (u - dx) ** 2 + (v - dy) ** 2 <= 12.5:
                return col + (255,)
            if (u - dx) ** 2 + (v - dy) ** 2 <= 16:
                return (255, 255, 255, 255)
        if inside_round(u, v, 3, 1, 11, 15, 2):
            if 4.5 <= u <= 9.5 and 3 <= v <= 10:
                return (200, 230, 250, 255)
            if 6 <= u <= 8 and 12 <= v <= 13.5:
                return (230, 230, 230, 255)
            return body + (255,)
        return (0, 0, 0, 0)
    return px

GREEN, AMBER = (40, 170, 60), (240, 160, 20)
ico("disconnected.ico", phone((110, 110, 120), []))
ico("connected.ico", phone((30, 70, 140), [(12, 12, GREEN)]))
ico("connecting.ico", phone((30, 70, 140), [(12, 12, AMBER)]))
ico("mixed.ico", phone((30, 70, 140), [(12, 12, GREEN), (12, 5, AMBER)]))

def background(x, y):
    t = y / 280.0
    r, g, b = int(20 + 40 * t), int(40 + 60 * t), int(90 + 80 * t)
    # a large ring and a phone outline on the left, a light band under the title area
    d = math.hypot(x - 80, y - 110)
    if 52 <= d <= 60:
        return (120, 190, 240, 255)
    if inside_round(x, y, 62, 70, 98, 150, 6) and not inside_round(x, y, 66, 74, 94, 146, 4):
        return (235, 240, 250, 255)
    if 30 <= y <= 34 and x >= 150:
        return (120, 190, 240, 255)
    return (r, g, b, 255)
png("about.png", 450, 280, background)

def button(w, c):
    def px(x, y):
        if inside_round(x, y, 0, 0, w - 1, 24, 6):
            shade = 1.0 - 0.25 * (y / 25.0)
            return (int(c[0] * shade), int(c[1] * shade), int(c[2] * shade), 255)
        return (0, 0, 0, 0)
    return px
for name, c in (("normal", (50, 120, 210)), ("pushed", (25, 70, 150)), ("disabled", (140, 140, 150))):
    png("ok_%s.png" % name, 80, 25, button(80, c))
    png("sysinfo_%s.png" % name, 120, 25, button(120, c))
