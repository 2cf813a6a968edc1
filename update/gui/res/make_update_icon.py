#!/usr/bin/env python3
"""Draws the update windows' icon (a download arrow over a tray on the launcher's indigo tile)
into an .ico with a 68 x 60 image, the size the confirmation window draws, and 32 and 16."""
import struct
import sys

TOP = (0x5B, 0x4C, 0xE0)
BOTTOM = (0x2A, 0x1F, 0x9A)
MARK = (0xFF, 0xFF, 0xFF)


def coverage(cx, cy, x, y):
    s = min(cx, cy)
    ox, oy = (cx - s) / 2, (cy - s) / 2
    tile = mark = 0
    r = s * 0.22
    for sy in range(4):
        for sx in range(4):
            px = x + (sx + 0.5) / 4 - ox
            py = y + (sy + 0.5) / 4 - oy
            if not (0 <= px <= s and 0 <= py <= s):
                continue
            dx = max(r - px, px - (s - r), 0)
            dy = max(r - py, py - (s - r), 0)
            if dx * dx + dy * dy <= r * r:
                tile += 1
            u, v = px / s, py / s
            shaft = 0.43 <= u <= 0.57 and 0.18 <= v <= 0.52
            head = 0.50 <= v <= 0.70 and abs(u - 0.5) <= (0.70 - v) * 1.1
            tray = 0.76 <= v <= 0.84 and 0.24 <= u <= 0.76
            if shaft or head or tray:
                mark += 1
    return tile / 16.0, mark / 16.0


def image(cx, cy):
    rows = []
    for y in range(cy - 1, -1, -1):
        row = bytearray()
        for x in range(cx):
            a_tile, a_mark = coverage(cx, cy, x, y)
            t = y / (cy - 1)
            base = [TOP[i] + (BOTTOM[i] - TOP[i]) * t for i in range(3)]
            rgb = [base[i] + (MARK[i] - base[i]) * a_mark for i in range(3)]
            row += bytes((int(rgb[2]), int(rgb[1]), int(rgb[0]), int(round(255 * a_tile))))
        rows.append(bytes(row))
    and_stride = ((cx + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, cx, cy * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    return header + b"".join(rows) + bytes(and_stride * cy)


def main(path):
    sizes = [(68, 60), (32, 32), (16, 16)]
    images = [image(cx, cy) for cx, cy in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for (cx, cy), data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", cx, cy, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1])
