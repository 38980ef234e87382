#!/usr/bin/env python3
"""Draws the default skin's pictures, icons and colours for the wizard and
writes them with a resource list (skin_resources.rc) into one folder:

    make_skin.py <output folder>

Shapes are drawn from distance functions with soft edges, so the pictures
are smooth at any size; only the standard library is used."""
import math
import os
import struct
import sys
import zlib

# --- Canvas --------------------------------------------------------------


def clamp(value, low=0.0, high=1.0):
    return low if value < low else high if value > high else value


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


def rgb(hex_text):
    value = int(hex_text.lstrip('#'), 16)
    return ((value >> 16) & 255, (value >> 8) & 255, value & 255)


class Canvas:
    """Straight (not premultiplied) RGBA, 0 to 255 floats."""

    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width, self.height = width, height
        self.pixels = [[list(fill) for _ in range(width)] for _ in range(height)]

    def vertical_gradient(self, top, bottom, y0=0, y1=None, alpha=255):
        y1 = self.height if y1 is None else y1
        for y in range(max(0, y0), min(self.height, y1)):
            colour = mix(top, bottom, (y - y0) / max(1, y1 - y0 - 1))
            for pixel in self.pixels[y]:
                pixel[:] = [colour[0], colour[1], colour[2], alpha]

    def blend(self, x, y, colour, coverage):
        """Paints colour (RGB or RGBA) over the pixel with the coverage."""
        alpha = (colour[3] / 255.0 if len(colour) > 3 else 1.0) * coverage
        if alpha <= 0:
            return
        pixel = self.pixels[y]
        pixel = pixel[x]
        below = pixel[3] / 255.0
        out = alpha + below * (1 - alpha)
        for i in range(3):
            pixel[i] = (colour[i] * alpha + pixel[i] * below * (1 - alpha)) / out
        pixel[3] = out * 255

    def shape(self, distance, paint, box):
        """Fills where distance(x, y) < 0, soft over one pixel. paint gives
        the colour at a point (or is a colour); box bounds the work."""
        x0, y0, x1, y1 = box
        for y in range(max(0, int(y0) - 1), min(self.height, int(math.ceil(y1)) + 2)):
            for x in range(max(0, int(x0) - 1), min(self.width, int(math.ceil(x1)) + 2)):
                d = distance(x + 0.5, y + 0.5)
                if d < 0.5:
                    colour = paint(x + 0.5, y + 0.5) if callable(paint) else paint
                    self.blend(x, y, colour, clamp(0.5 - d))

    def png(self):
        rows = bytearray()
        for row in self.pixels:
            rows.append(0)
            for r, g, b, a in row:
                rows += bytes((int(round(clamp(r, 0, 255))), int(round(clamp(g, 0, 255))),
                               int(round(clamp(b, 0, 255))), int(round(clamp(a, 0, 255)))))

        def chunk(kind, data):
            return (struct.pack('>I', len(data)) + kind + data +
                    struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))

        header = struct.pack('>IIBBBBB', self.width, self.height, 8, 6, 0, 0, 0)
        return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', header) +
                chunk(b'IDAT', zlib.compress(bytes(rows), 9)) + chunk(b'IEND', b''))

    def bgra_bottom_up(self):
        out = bytearray()
        for row in reversed(self.pixels):
            for r, g, b, a in row:
                # 32-bit icon images hold straight, not premultiplied, colour.
                out += bytes((int(round(clamp(b, 0, 255))), int(round(clamp(g, 0, 255))),
                              int(round(clamp(r, 0, 255))), int(round(clamp(a, 0, 255)))))
        return bytes(out)


# --- Distance functions ---------------------------------------------------


def round_rect(x0, y0, x1, y1, radius):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius

    def distance(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0), max(qy, 0))
        return outside + min(max(qx, qy), 0) - radius
    return distance, (x0, y0, x1, y1)


def circle(cx, cy, radius):
    return (lambda x, y: math.hypot(x - cx, y - cy) - radius), (cx - radius, cy - radius, cx + radius, cy + radius)


def ring(cx, cy, radius, width, start=None, end=None):
    """A circle's outline, or the arc between two angles (degrees, 0 east,
    counter-clockwise on screen)."""
    def distance(x, y):
        d = abs(math.hypot(x - cx, y - cy) - radius) - width / 2
        if start is not None:
            angle = math.degrees(math.atan2(cy - y, x - cx)) % 360
            if not (start <= angle <= end):
                return 1e9
        return d
    r = radius + width
    return distance, (cx - r, cy - r, cx + r, cy + r)


def segment(ax, ay, bx, by, width):
    def distance(x, y):
        px, py, dx, dy = x - ax, y - ay, bx - ax, by - ay
        t = clamp((px * dx + py * dy) / max(1e-9, dx * dx + dy * dy))
        return math.hypot(px - dx * t, py - dy * t) - width / 2
    return distance, (min(ax, bx) - width, min(ay, by) - width, max(ax, bx) + width, max(ay, by) + width)


def fill(canvas, shape, paint):
    distance, box = shape
    canvas.shape(distance, paint, box)


def gradient(top_colour, bottom_colour, y0, y1):
    return lambda x, y: mix(top_colour, bottom_colour, clamp((y - y0) / max(1, y1 - y0)))


# --- Drawings -------------------------------------------------------------

BLUE_DARK = rgb('#1f4f8f')
BLUE = rgb('#2f6db5')
BLUE_LIGHT = rgb('#6fa3de')
SKY = rgb('#eaf2fb')
WHITE = (255, 255, 255)
SLATE = rgb('#2e3a48')
SLATE_LIGHT = rgb('#56677b')
SCREEN_TOP = rgb('#8fd0f0')
SCREEN_BOTTOM = rgb('#2f86c8')


def phone(canvas, cx, cy, height, tint=None):
    """A handset: body, screen, speaker and a home button."""
    width = height * 0.5
    x0, y0, x1, y1 = cx - width / 2, cy - height / 2, cx + width / 2, cy + height / 2
    r = width * 0.16
    fill(canvas, round_rect(x0 + 2, y0 + 3, x1 + 2, y1 + 3, r), (0, 0, 0, 50))  # shadow
    fill(canvas, round_rect(x0, y0, x1, y1, r), gradient(SLATE_LIGHT, SLATE, y0, y1))
    m = width * 0.09
    top, bottom = y0 + height * 0.14, y1 - height * 0.2
    fill(canvas, round_rect(x0 + m, top, x1 - m, bottom, r * 0.35),
         gradient(tint or SCREEN_TOP, SCREEN_BOTTOM, top, bottom))
    fill(canvas, segment(cx - width * 0.14, y0 + height * 0.07, cx + width * 0.14, y0 + height * 0.07,
                         max(1.2, height * 0.02)), rgb('#1a222c'))
    fill(canvas, ring(cx, y1 - height * 0.1, height * 0.045, max(1.0, height * 0.012)), rgb('#9aa8b8'))


def monitor(canvas, cx, cy, width):
    height = width * 0.7
    x0, y0, x1, y1 = cx - width / 2, cy - height / 2, cx + width / 2, cy + height / 2
    fill(canvas, round_rect(x0, y0, x1, y1, 6), gradient(SLATE_LIGHT, SLATE, y0, y1))
    fill(canvas, round_rect(x0 + 6, y0 + 6, x1 - 6, y1 - 14, 3), gradient(rgb('#cfe6fa'), rgb('#5b9bd8'), y0, y1))
    fill(canvas, round_rect(cx - width * 0.08, y1, cx + width * 0.08, y1 + height * 0.18, 2), SLATE)
    fill(canvas, round_rect(cx - width * 0.25, y1 + height * 0.16, cx + width * 0.25, y1 + height * 0.23, 3), SLATE_LIGHT)


def dialog_background(width, height):
    canvas = Canvas(width, height)
    band = 62
    canvas.vertical_gradient(rgb('#f7fbff'), rgb('#dce9f7'), band, height)
    canvas.vertical_gradient(BLUE, BLUE_DARK, 0, band)
    # A soft wave across the band and a line where the buttons start.
    fill(canvas, (lambda x, y: y - (band - 14 + 8 * math.sin(x / width * math.pi * 2)), (0, band - 24, width, band)),
         (255, 255, 255, 40))
    fill(canvas, segment(0, band + 0.5, width, band + 0.5, 2), BLUE_LIGHT)
    foot = height - 52
    fill(canvas, segment(12, foot, width - 12, foot, 1.2), (150, 175, 205, 255))
    return canvas


def button(state):
    colours = {
        'normal': (rgb('#5b93d6'), rgb('#285fa5')),
        'hot': (rgb('#86b5ec'), rgb('#3a75bd')),
        'pressed': (rgb('#25528f'), rgb('#3f74b8')),
        'disabled': (rgb('#d3d7dc'), rgb('#b3b9c0')),
    }[state]
    height, edge, middle = 26, 8, 4
    whole = Canvas(edge * 2 + middle, height)
    fill(whole, round_rect(0.5, 0.5, whole.width - 0.5, height - 0.5, 6), rgb('#1c3f6e') if state != 'disabled'
         else rgb('#9aa0a8'))
    fill(whole, round_rect(1.5, 1.5, whole.width - 1.5, height - 1.5, 5), gradient(colours[0], colours[1], 1, height - 1))
    if state != 'pressed':
        fill(whole, round_rect(2.5, 2, whole.width - 2.5, height / 2, 4), (255, 255, 255, 45))
    parts = []
    for x0, w in ((0, edge), (edge, middle), (edge + middle, edge)):
        part = Canvas(w, height)
        for y in range(height):
            part.pixels[y] = [list(p) for p in whole.pixels[y][x0:x0 + w]]
        parts.append(part)
    return parts


def bar():
    canvas = Canvas(400, 4)
    for y in range(4):
        for x in range(400):
            t = x / 399
            canvas.pixels[y][x] = [*mix(BLUE, BLUE_LIGHT, t), 255 * (1 - t * 0.85) * (1.0 if y in (1, 2) else 0.35)]
    return canvas


def side_picture():
    canvas = Canvas(164, 314)
    canvas.vertical_gradient(rgb('#3d7cc4'), rgb('#173f73'))
    for i, r in enumerate((60, 95, 130)):
        fill(canvas, ring(82, 150, r, 2), (255, 255, 255, 50 - i * 12))
    phone(canvas, 82, 150, 150)
    return canvas


def welcome(bluetooth):
    canvas = Canvas(300, 180)
    canvas.vertical_gradient(rgb('#f4f9ff'), rgb('#dbe8f6'))
    monitor(canvas, 95, 82, 120)
    phone(canvas, 228, 92, 110)
    if bluetooth:
        for r in (14, 24, 34):
            fill(canvas, ring(162, 82, r, 3, 320, 360), BLUE)
            fill(canvas, ring(162, 82, r, 3, 0, 40), BLUE)
    else:
        fill(canvas, segment(120, 140, 228, 152, 3), SLATE)
        fill(canvas, segment(228, 152, 228, 146, 3), SLATE)
    return canvas


def connection_picture(kind):
    canvas = Canvas(200, 140)
    canvas.vertical_gradient(rgb('#f4f9ff'), rgb('#dde9f6'))
    phone(canvas, 140, 70, 110)
    if kind == 'cable':
        fill(canvas, segment(20, 120, 140, 120, 3), SLATE)
        fill(canvas, segment(140, 120, 140, 126, 3), SLATE)
    elif kind == 'infrared':
        for i in range(3):
            fill(canvas, segment(30 + i * 22, 70, 44 + i * 22, 70, 4), rgb('#c0392b'))
    else:
        for r in (14, 24, 34):
            fill(canvas, ring(100, 70, r, 3, 140, 220), BLUE)
    return canvas


def banner():
    canvas = Canvas(670, 62)
    canvas.vertical_gradient(BLUE, BLUE_DARK)
    phone(canvas, 630, 31, 48)
    fill(canvas, ring(630, 31, 34, 2), (255, 255, 255, 60))
    return canvas


def message_background():
    canvas = Canvas(420, 200)
    canvas.vertical_gradient(rgb('#ffffff'), rgb('#e3edf8'))
    fill(canvas, segment(0, 1, 420, 1, 2), BLUE_LIGHT)
    return canvas


def search_frame(i, count):
    canvas = Canvas(120, 80)
    phone(canvas, 60, 40, 56)
    angle = 2 * math.pi * i / count - math.pi / 2
    for k in range(3):
        r = 16 + ((i * 4 + k * 12) % 36)
        fill(canvas, ring(60, 40, r, 2), (47, 109, 181, int(150 * (1 - r / 52))))
    fill(canvas, circle(60 + 40 * math.cos(angle), 40 + 32 * math.sin(angle), 5), BLUE)
    return canvas


def cable_frame(i, count):
    canvas = Canvas(160, 80)
    phone(canvas, 132, 40, 64)
    reach = 12 + (100 - 12) * i / (count - 1)
    fill(canvas, segment(0, 62, reach, 62, 3), SLATE)
    fill(canvas, round_rect(reach - 2, 57, reach + 10, 67, 2), gradient(rgb('#9aa8b8'), SLATE_LIGHT, 57, 67))
    return canvas


def infrared_frame(i):
    canvas = Canvas(160, 80)
    fill(canvas, round_rect(8, 28, 38, 52, 4), gradient(SLATE_LIGHT, SLATE, 28, 52))
    fill(canvas, circle(36, 40, 4), rgb('#c0392b'))
    phone(canvas, 132, 40, 64)
    for k in range(i + 1):
        fill(canvas, segment(48 + k * 20, 40, 60 + k * 20, 40, 4), rgb('#e74c3c'))
    return canvas


def icon_image(size, kind, colour):
    canvas = Canvas(size, size)
    s = size / 24.0
    if kind == 'phone':
        fill(canvas, round_rect(7 * s, 1.5 * s, 17 * s, 22.5 * s, 2.2 * s), gradient(mix(colour, WHITE, 0.25), colour, 0, size))
        fill(canvas, round_rect(8.6 * s, 4 * s, 15.4 * s, 16 * s, 0.8 * s), (235, 245, 255))
        fill(canvas, circle(12 * s, 19.2 * s, 1.3 * s), (235, 245, 255))
    else:
        fill(canvas, circle(12 * s, 12 * s, 10 * s), gradient(mix(colour, WHITE, 0.25), colour, 0, size))
        fill(canvas, ring(12 * s, 12 * s, 5 * s, 2 * s), (255, 255, 255))
    return canvas


def write_icon(path, images):
    entries, blobs = [], []
    offset = 6 + 16 * len(images)
    for canvas in images:
        size = canvas.width
        mask_row = ((size + 31) // 32) * 4
        blob = (struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0) +
                canvas.bgra_bottom_up() + bytes(mask_row * size))
        entries.append(struct.pack('<BBBBHHII', size, size, 0, 0, 1, 32, len(blob), offset))
        blobs.append(blob)
        offset += len(blob)
    with open(path, 'wb') as out:
        out.write(struct.pack('<HHH', 0, 1, len(images)) + b''.join(entries) + b''.join(blobs))


# --- The module's contents ------------------------------------------------

COLOURS = {
    600: rgb('#1f4f8f'),  # titles and message text
    601: rgb('#ffffff'),  # button text: normal
    602: rgb('#ffffff'),  # hot
    603: rgb('#e8f0fa'),  # pressed
    604: rgb('#6e7378'),  # disabled
}

ICONS = {
    3061: ('phone', rgb('#2f6db5')),
    3062: ('other', rgb('#e08a1e')),
    3063: ('phone', rgb('#2e9b48')),
    3064: ('other', rgb('#2e9b48')),
    3065: ('phone', rgb('#c9a227')),
    3066: ('other', rgb('#8e44ad')),
}


def pictures():
    yield 3001, dialog_background(670, 510)
    for first, state in ((3002, 'normal'), (3005, 'pressed'), (3008, 'hot'), (3011, 'disabled')):
        for offset, part in enumerate(button(state)):
            yield first + offset, part
    yield 3027, bar()
    yield 3028, side_picture()
    yield 3029, welcome(False)
    yield 3030, welcome(True)
    yield 3032, connection_picture('cable')
    yield 3033, connection_picture('infrared')
    yield 3034, connection_picture('bluetooth')
    yield 3060, banner()
    yield 3067, message_background()
    for i in range(9):
        yield 3035 + i, search_frame(i, 9)
    # 3051, the cable half-way, also serves as a still picture.
    for i in range(10):
        yield 3047 + i, cable_frame(i, 10)
    for i in range(3):
        yield 3057 + i, infrared_frame(i)


def main():
    out = os.path.abspath(sys.argv[1])
    os.makedirs(out, exist_ok=True)
    lines = ['// Written by make_skin.py: the default skin\'s pictures, icons and colours.']

    def place(name):
        return os.path.join(out, name).replace('\\', '/')
    for number, canvas in pictures():
        name = 'skin_%d.png' % number
        with open(place(name), 'wb') as f:
            f.write(canvas.png())
        lines.append('%d PNG "%s"' % (number, place(name)))
    for number, (kind, colour) in ICONS.items():
        name = 'skin_%d.ico' % number
        write_icon(place(name), [icon_image(24, kind, colour), icon_image(16, kind, colour)])
        lines.append('%d ICON "%s"' % (number, place(name)))
    for number, (r, g, b) in COLOURS.items():
        name = 'colour_%d.bin' % number
        with open(place(name), 'wb') as f:
            f.write(struct.pack('<I', r | (g << 8) | (b << 16)))  # a COLORREF
        lines.append('%d RCDATA "%s"' % (number, place(name)))
    # Written last and whole: the build takes its date as the pictures' own.
    temporary = place('skin_resources.rc.tmp')
    with open(temporary, 'w') as f:
        f.write('\n'.join(lines) + '\n')
    os.replace(temporary, place('skin_resources.rc'))


if __name__ == '__main__':
    main()
