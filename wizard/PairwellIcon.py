#!/usr/bin/env python3
"""Draws the wizard's icon (a phone beside a link arc) as a 32 x 32 and a
16 x 16 image, 32 bits a pixel, into one .ico file: PairwellIcon.py OUT."""
import struct
import sys


def pixel(x, y, size):
    """The colour (B, G, R, A) at x, y of a size x size picture, y downwards."""
    s = size / 32.0
    # The phone: a rounded dark body with a light screen.
    if 9 * s <= x < 21 * s and 3 * s <= y < 29 * s:
        if 11 * s <= x < 19 * s and 6 * s <= y < 18 * s:
            return (230, 200, 120, 255)
        return (70, 50, 40, 255)
    # The link: an arc of two rings on the right.
    for radius in (6 * s, 10 * s):
        dx, dy = x - 21 * s, y - 16 * s
        d = (dx * dx + dy * dy) ** 0.5
        if dx > 2 * s and abs(d - radius) < 1.2 * s:
            return (40, 160, 240, 255)
    return (0, 0, 0, 0)


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        rows.append(b"".join(struct.pack("4B", *pixel(x + 0.5, y + 0.5, size)) for x in range(size)))
    mask_row = (size + 31) // 32 * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + b"\0" * (mask_row * size)


def main():
    sizes = (32, 16)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
