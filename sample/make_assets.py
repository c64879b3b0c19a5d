#!/usr/bin/env python3
"""Writes the pictures and the sound of the sample resource library into sample/assets.

Everything is drawn here from arithmetic, so the library carries no third-party art.
Run it again after changing a drawing; the outputs are committed.
"""
import math
import os
import struct
import sys

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "assets")


def bmp_file(header_and_bits, pixel_offset):
    """A .bmp file: the file header in front of a DIB whose pixels start at pixel_offset."""
    size = 14 + len(header_and_bits)
    return b"BM" + struct.pack("<IHHI", size, 0, 0, 14 + pixel_offset) + header_and_bits


def info_header(width, height, bits, colours_used=0, image_size=0):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 2835, 2835,
                       colours_used, 0)


def rows(height, row_bytes):
    """Bottom-up rows, each padded to 4 bytes."""
    out = b""
    for y in reversed(range(height)):
        row = row_bytes(y)
        out += row + b"\0" * ((4 - len(row) % 4) % 4)
    return out


def banner8(colours=256):
    """An 8-bit banner: a dusk sky over a dark ridge, with a palette of its own."""
    width, height = 48, 16
    palette = b""
    for i in range(colours):
        t = (i % 256) / 255.0
        palette += bytes([int(90 + 120 * t) & 255, int(30 + 60 * t) & 255, int(20 + 200 * t) & 255, 0])

    def row(y):
        ridge = lambda x: int(11 + 3 * math.sin(x / 5.0))
        return bytes(0 if y >= ridge(x) else min(255, 40 + y * 13 + x) for x in range(width))

    bits = rows(height, row)
    header = info_header(width, height, 8, colours if colours != 256 else 0, len(bits))
    return header + palette + bits, 40 + len(palette)


def banner24():
    """A 24-bit banner: a green-to-gold field (24-bit bitmaps have no palette)."""
    width, height = 40, 12

    def row(y):
        out = b""
        for x in range(width):
            out += bytes([20 + 2 * y, 120 + 3 * x // 2, 60 + 4 * x])
        return out

    bits = rows(height, row)
    return info_header(width, height, 24, 0, len(bits)) + bits, 40


def icon_image(size, bits):
    """One icon image: a shield (DIB of twice the height, colour rows then the mask)."""
    def inside(x, y):
        cx = (size - 1) / 2.0
        top = size * 0.15
        if y < top or y > size * 0.92:
            return False
        half = size * 0.38 if y < size * 0.55 else size * 0.38 * (size * 0.92 - y) / (size * 0.37)
        return abs(x - cx) <= half

    if bits == 32:
        def row(y):
            out = b""
            for x in range(size):
                if inside(x, y):
                    out += bytes([40, 40 + 4 * y, 200 - 3 * y, 255])
                else:
                    out += b"\0\0\0\0"
            return out
        palette = b""
    else:  # 4 bits: a 16-colour table
        palette = b"".join(bytes([16 * i, 8 * i, 255 - 16 * i, 0]) for i in range(16))

        def row(y):
            nibbles = [(1 + (x + y) % 15) if inside(x, y) else 0 for x in range(size)]
            return bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, size, 2))

    colour = rows(size, row)
    mask = rows(size, lambda y: bytes(
        sum((0 if inside(x, y) else 1) << (7 - b) for b, x in enumerate(range(x0, x0 + 8)))
        for x0 in range(0, size, 8)))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, len(colour) + len(mask),
                         0, 0, 0, 0)
    return header + palette + colour + mask


def ico_file(images, cursor=False, hotspot=(0, 0)):
    """An .ico (or .cur) file holding (size, bits, data) images."""
    out = struct.pack("<HHH", 0, 2 if cursor else 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, bits, data in images:
        if cursor:
            out += struct.pack("<BBBBHHII", size, size, 0, 0, hotspot[0], hotspot[1], len(data),
                               offset + len(body))
        else:
            out += struct.pack("<BBBBHHII", size, size, 16 if bits == 4 else 0, 0, 1, bits,
                               len(data), offset + len(body))
        body += data
    return out + body


def pointer_cursor():
    """A 32 x 32 monochrome arrow with its hotspot at the tip (2, 1)."""
    size = 32

    def inside(x, y):
        return 1 <= y <= 20 and 2 <= x <= 2 + (y - 1) // 2 + (1 if y > 15 else 0) and not (
            y > 15 and x > 6)

    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0])
    colour = rows(size, lambda y: bytes(
        sum((0 if inside(x, y) else 0) << (7 - b) for b, x in enumerate(range(x0, x0 + 8)))
        for x0 in range(0, size, 8)))
    mask = rows(size, lambda y: bytes(
        sum((0 if inside(x, y) else 1) << (7 - b) for b, x in enumerate(range(x0, x0 + 8)))
        for x0 in range(0, size, 8)))
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 1, 0, len(colour) + len(mask), 0,
                         0, 2, 0)
    return header + palette + colour + mask


def chime():
    """A short two-note chime: 0.25 s, 22050 Hz, 16-bit mono PCM."""
    rate = 22050
    samples = b""
    for n in range(rate // 4):
        t = n / rate
        f = 880.0 if t < 0.1 else 1318.5
        envelope = math.exp(-12 * (t % 0.1 if t < 0.1 else t - 0.1))
        samples += struct.pack("<h", int(9000 * envelope * math.sin(2 * math.pi * f * t)))
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + struct.pack(
        "<I", len(samples)) + samples
    return b"RIFF" + struct.pack("<I", len(body)) + body


def write(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)


def main():
    os.makedirs(OUT, exist_ok=True)
    write("banner8.bmp", bmp_file(*banner8()))
    write("banner24.bmp", bmp_file(*banner24()))
    write("colours300.bmp", bmp_file(*banner8(300)))
    write("shield.ico", ico_file([(32, 32, icon_image(32, 32)), (16, 4, icon_image(16, 4))]))
    write("pointer.cur", ico_file([(32, 1, pointer_cursor())], cursor=True, hotspot=(2, 1)))
    write("chime.wav", chime())
    write("empty.bin", b"")
    return 0


if __name__ == "__main__":
    sys.exit(main())
