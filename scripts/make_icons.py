#!/usr/bin/env python3
"""Draws Lumek's icons: a red crosshair with a gap at its centre on a dark
disc, as uncompressed 24-bit icons (colour image plus transparency mask).

  make_icons.py OUTDIR   writes OUTDIR/lumek.ico (32x32 and 16x16, the program
                         icon), OUTDIR/tray.ico (one 32x32 image, 3,262 bytes)
                         and OUTDIR/crosshair.cur (the screen cursor)
"""
import struct
import sys
from pathlib import Path

RED = (0x20, 0x20, 0xE8)      # BGR
DARK = (0x40, 0x30, 0x28)
RIM = (0xA0, 0x90, 0x80)


def pixel_at(x, y, size):
    c = (size - 1) / 2.0
    dx, dy = x - c, y - c
    r = (dx * dx + dy * dy) ** 0.5
    outer = size / 2.0 - 0.5
    thick = max(1, size // 16)
    gap = size / 8.0
    on_vertical = abs(dx) <= thick / 2.0 + 0.01 and abs(dy) >= gap
    on_horizontal = abs(dy) <= thick / 2.0 + 0.01 and abs(dx) >= gap
    if (on_vertical or on_horizontal) and r <= outer:
        return RED
    if r <= outer - 1.5:
        return DARK
    if r <= outer:
        return RIM
    return None


def image(size):
    rows = []
    mask_rows = []
    mask_stride = ((size + 31) // 32) * 4
    for y in reversed(range(size)):          # bottom-up rows
        row = bytearray()
        bits = bytearray(mask_stride)
        for x in range(size):
            colour = pixel_at(x, y, size)
            if colour is None:
                row += bytes(3)
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                row += bytes(colour)
        row += bytes((-len(row)) % 4)
        rows.append(bytes(row))
        mask_rows.append(bytes(bits))
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    return header + b''.join(rows) + b''.join(mask_rows)


def icon_file(sizes, hotspot=None):
    """An .ico file, or a .cur file when a hot spot is given."""
    images = [image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1 if hotspot is None else 2, len(images))
    offset = 6 + 16 * len(images)
    for s, data in zip(sizes, images):
        planes, bits = (1, 24) if hotspot is None else hotspot
        out += struct.pack('<BBBBHHII', s % 256, s % 256, 0, 0, planes, bits, len(data), offset)
        offset += len(data)
    return out + b''.join(images)


def main():
    outdir = Path(sys.argv[1])
    outdir.mkdir(parents=True, exist_ok=True)
    (outdir / 'lumek.ico').write_bytes(icon_file([32, 16]))
    tray = icon_file([32])
    assert len(tray) == 3262, len(tray)
    (outdir / 'tray.ico').write_bytes(tray)
    (outdir / 'crosshair.cur').write_bytes(icon_file([32], hotspot=(15, 15)))


if __name__ == '__main__':
    main()
