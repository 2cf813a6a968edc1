#!/usr/bin/env python3
"""Draws the launcher's program icon (a play mark on an indigo tile, like the title bar's)
into a multi-size .ico: 16, 32 and 48 pixels, 32-bit with alpha."""
import struct
import sys

TOP = (0x5B, 0x4C, 0xE0)      # lighter indigo at the top
BOTTOM = (0x2A, 0x1F, 0x9A)   # deep indigo at the bottom
MARK = (0xFF, 0xFF, 0xFF)


def coverage(size, x, y):
    """Alpha of the rounded tile and of the play mark at pixel (x, y), 4x4 supersampled."""
    tile = mark = 0
    r = size * 0.22
    for sy in range(4):
        for sx in range(4):
            px = x + (sx + 0.5) / 4
            py = y + (sy + 0.5) / 4
            # rounded square
            dx = max(r - px, px - (size - r), 0)
            dy = max(r - py, py - (size - r), 0)
            if dx * dx + dy * dy <= r * r:
                tile += 1
            # play triangle pointing right
            left, right = size * 0.36, size * 0.74
            top, bottom = size * 0.26, size * 0.74
            if left <= px <= right:
                half = (bottom - top) / 2 * (right - px) / (right - left)
                mid = size / 2
                if mid - half <= py <= mid + half:
                    mark += 1
    return tile / 16.0, mark / 16.0


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = bytearray()
        for x in range(size):
            a_tile, a_mark = coverage(size, x, y)
            t = y / (size - 1)
            base = [TOP[i] + (BOTTOM[i] - TOP[i]) * t for i in range(3)]
            rgb = [base[i] + (MARK[i] - base[i]) * a_mark for i in range(3)]
            alpha = int(round(255 * a_tile))
            row += bytes((int(rgb[2]), int(rgb[1]), int(rgb[0]), alpha))
        rows.append(bytes(row))
    xor = b"".join(rows)
    and_stride = ((size + 31) // 32) * 4
    and_mask = bytes(and_stride * size)  # alpha carries transparency
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUT.ico")
    sizes = (16, 32, 48)
    images = [image(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", s, s, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
