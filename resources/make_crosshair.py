#!/usr/bin/env python3
"""Writes crosshair.cur: one 32 x 32 image, 32-bit colour with alpha, hot spot 16,16.

The picture is a target mark, symmetric about the hot spot: a filled disc in the
middle and an angular mark in each corner, black with a white outline so that it
stays visible on dark and light windows alike.

    make_crosshair.py OUTPUT.cur
"""
import struct
import sys

SIZE = 32
HOT = 16


def ink(x, y):
    """True where the mark is drawn in black."""
    dx, dy = x - HOT, y - HOT
    if dx * dx + dy * dy <= 9:
        return True
    # Corner marks: two strokes of length 7, two pixels thick, 10 to 13 pixels from the centre.
    ax, ay = abs(dx), abs(dy)
    along_x = 7 <= ax <= 13 and 12 <= ay <= 13
    along_y = 7 <= ay <= 13 and 12 <= ax <= 13
    return along_x or along_y


def outline(x, y):
    """True next to the mark, where a white border keeps it readable."""
    return any(ink(x + i, y + j) for i in (-1, 0, 1) for j in (-1, 0, 1))


def pixels():
    """Rows from the bottom up, BGRA, as the bitmap stores them."""
    rows = []
    for y in reversed(range(SIZE)):
        row = bytearray()
        for x in range(SIZE):
            if ink(x, y):
                row += bytes((0, 0, 0, 255))
            elif outline(x, y):
                row += bytes((255, 255, 255, 255))
            else:
                row += bytes((0, 0, 0, 0))
        rows.append(bytes(row))
    return b"".join(rows)


def cursor_file():
    colour = pixels()
    # The AND mask: a set bit keeps the screen, so every fully transparent pixel is set.
    mask = bytearray()
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            if not (ink(x, y) or outline(x, y)):
                bits |= 1 << (31 - x)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    image = header + colour + bytes(mask)
    directory = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, HOT, HOT, len(image), 6 + 16)
    return directory + entry + image


if __name__ == "__main__":
    with open(sys.argv[1], "wb") as out:
        out.write(cursor_file())
