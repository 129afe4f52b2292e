#!/usr/bin/env python3
"""Draws the program's icon (a chip with an up arrow) in the 16 standard colours and writes,
next to this script:
  dalvorn-firmware-update-N.png for N = 16, 32, 48, 64, 128, 256 (the desktop's hicolor
      icons; from 48 px on, the 32 px drawing scaled up, each of its pixels a square);
  dalvorn-firmware-update.ico: the 32 and 16 px images at 4 bits per pixel, then 48 px
      (32 bits per pixel) and 256 px (PNG) true-colour ones for scaled screens.

Uses only the standard library. The generated files are kept in the repository; run this
again only after changing the drawing."""

import os
import struct
import zlib

# The 16 colours of the standard palette, by index.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, GREEN, SILVER, GRAY, LIME, WHITE = 0, 2, 7, 8, 10, 15
CLEAR = None  # transparent


def draw(size):
    """Returns rows of palette indices (or CLEAR) for a size x size icon."""
    px = [[CLEAR] * size for _ in range(size)]

    def fill(x0, y0, x1, y1, colour):  # inclusive corners
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                px[y][x] = colour

    if size == 32:
        lo, hi, pin_len, pins, pin_w = 8, 23, 5, (9, 13, 17, 21), 2
    else:
        lo, hi, pin_len, pins, pin_w = 4, 11, 3, (5, 9), 2
    # Pins on the four sides, the body over them.
    for p in pins:
        fill(lo - pin_len, p, hi + pin_len, p + pin_w - 1, SILVER)
        fill(p, lo - pin_len, p + pin_w - 1, hi + pin_len, SILVER)
    fill(lo, lo, hi, hi, BLACK)
    fill(lo + 1, lo + 1, hi - 1, hi - 1, GRAY)

    # The up arrow: (row, first, last) spans of its head and shaft.
    if size == 32:
        fill(10, 20, 11, 21, WHITE)  # pin-1 mark
        spans = [(10, 15, 16), (11, 14, 17), (12, 13, 18), (13, 12, 19), (14, 11, 20)]
        spans += [(y, 14, 17) for y in range(15, 21)]
    else:
        spans = [(5, 7, 8), (6, 6, 9), (7, 5, 10)] + [(y, 7, 8) for y in range(8, 11)]
    for y, x0, x1 in spans:
        fill(x0, y, x1, y, LIME)
    if size == 32:
        # A dark green rim where the arrow meets the body.
        rim = [(x, y) for y in range(size) for x in range(size) if px[y][x] == GRAY and any(
            0 <= x + dx < size and 0 <= y + dy < size and px[y + dy][x + dx] == LIME
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1), (1, 1), (-1, 1), (1, -1), (-1, -1)))]
        for x, y in rim:
            px[y][x] = GREEN
    return px


def scaled(px, size):
    """The drawing enlarged to size x size, each source pixel a block of whole pixels."""
    source = len(px)
    return [[px[y * source // size][x * source // size] for x in range(size)]
            for y in range(size)]


def png(px):
    size = len(px)
    raw = bytearray()
    for row in px:
        raw.append(0)
        for c in row:
            raw += bytes(PALETTE[c]) + b"\xff" if c is not CLEAR else b"\0\0\0\0"

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def dib(px):
    """A 4-bit icon image: header, palette, colour bits and transparency mask, bottom-up."""
    size = len(px)
    colour_stride = ((size * 4 + 31) // 32) * 4
    mask_stride = ((size + 31) // 32) * 4
    colours, mask = bytearray(), bytearray()
    for row in reversed(px):
        line = bytearray(colour_stride)
        bits = bytearray(mask_stride)
        for x, c in enumerate(row):
            index = 0 if c is CLEAR else c
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if c is CLEAR:
                bits[x // 8] |= 0x80 >> (x % 8)
        colours += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(colours) + len(mask), 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    return header + palette + bytes(colours) + bytes(mask)


def dib32(px):
    """A true-colour icon image: header, BGRA bits and an (unused) all-opaque mask, bottom-up."""
    size = len(px)
    mask_stride = ((size + 31) // 32) * 4
    colours = bytearray()
    for row in reversed(px):
        for c in row:
            colours += bytes(PALETTE[c][::-1]) + b"\xff" if c is not CLEAR else b"\0\0\0\0"
    mask = bytes(mask_stride * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(colours) + len(mask), 0, 0, 0, 0)
    return header + bytes(colours) + mask


def ico(entries):
    """entries: (pixels, format) with format "4bpp", "32bpp" or "png"."""
    out = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    bodies = []
    for px, form in entries:
        body = {"4bpp": dib, "32bpp": dib32, "png": png}[form](px)
        size = len(px)
        colours, bits = (16, 4) if form == "4bpp" else (0, 32)
        out += struct.pack("<BBBBHHII", size % 256, size % 256, colours, 0, 1, bits, len(body),
                           offset)
        offset += len(body)
        bodies.append(body)
    return out + b"".join(bodies)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    images = {16: draw(16), 32: draw(32)}
    for size in (48, 64, 128, 256):
        images[size] = scaled(images[32], size)
    for size, px in images.items():
        with open(os.path.join(here, "dalvorn-firmware-update-%d.png" % size), "wb") as f:
            f.write(png(px))
    entries = [(images[32], "4bpp"), (images[16], "4bpp"), (images[48], "32bpp"),
               (images[256], "png")]
    with open(os.path.join(here, "dalvorn-firmware-update.ico"), "wb") as f:
        f.write(ico(entries))


if __name__ == "__main__":
    main()
