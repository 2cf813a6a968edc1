#!/usr/bin/env python3
"""Generates the launcher skin bitmaps (24-bit .bmp) with the Python standard library only."""
import argparse
import os
import struct

# (resource id, file name, width, height)
BITMAPS = [
    (2000, "2000_check_off_normal.bmp", 18, 18),
    (2001, "2001_check_off_hover.bmp", 18, 18),
    (2002, "2002_check_off_pressed.bmp", 18, 18),
    (2003, "2003_check_on_normal.bmp", 18, 18),
    (2004, "2004_check_on_hover.bmp", 18, 18),
    (2005, "2005_check_on_pressed.bmp", 18, 18),
    (2006, "2006_close_normal.bmp", 18, 16),
    (2007, "2007_close_hover.bmp", 18, 16),
    (2008, "2008_close_pressed.bmp", 18, 16),
    (2009, "2009_minimize_normal.bmp", 18, 16),
    (2010, "2010_minimize_hover.bmp", 18, 16),
    (2011, "2011_minimize_pressed.bmp", 18, 16),
    (2012, "2012_music_normal.bmp", 106, 100),
    (2013, "2013_music_hover.bmp", 106, 100),
    (2014, "2014_music_pressed.bmp", 106, 100),
    (2015, "2015_video_normal.bmp", 106, 100),
    (2016, "2016_video_hover.bmp", 106, 100),
    (2017, "2017_video_pressed.bmp", 106, 100),
    (2018, "2018_photo_normal.bmp", 106, 100),
    (2019, "2019_photo_hover.bmp", 106, 100),
    (2020, "2020_photo_pressed.bmp", 106, 100),
    (2021, "2021_download_normal.bmp", 106, 100),
    (2022, "2022_download_hover.bmp", 106, 100),
    (2023, "2023_download_pressed.bmp", 106, 100),
    (141, "141_podcast_normal.bmp", 106, 100),
    (142, "142_podcast_hover.bmp", 106, 100),
    (143, "143_podcast_pressed.bmp", 106, 100),
    (134, "134_setting_hover.bmp", 84, 24),
    (135, "135_setting_normal.bmp", 84, 24),
    (136, "136_setting_pressed.bmp", 84, 24),
    (2100, "2100_background.bmp", 600, 290),
]


def write_bmp(path, width, height, pixels):
    """pixels: rows top to bottom of (r, g, b) tuples."""
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        row = pixels[y]
        for x in range(width):
            r, g, b = row[x]
            data += bytes((b, g, r))
        data += b"\0" * (stride - width * 3)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--list", action="store_true", help="print the file names and exit")
    parser.add_argument("--out", help="output folder")
    args = parser.parse_args()
    if args.list:
        print("\n".join(name for _, name, _, _ in BITMAPS))
        return
    os.makedirs(args.out, exist_ok=True)
    for _, name, w, h in BITMAPS:
        write_bmp(os.path.join(args.out, name), w, h, [[(17, 17, 132)] * w for _ in range(h)])


if __name__ == "__main__":
    main()
