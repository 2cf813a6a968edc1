#!/usr/bin/env python3
"""Draws the launcher skin bitmaps and writes them as 24-bit .bmp files.

Standard library only. Shapes are signed distance functions rendered with analytic
anti-aliasing; images that sit on the window background are composited over the very pixels
they cover (the window layout is fixed: 600 x 290 client area, buttons at fixed places), so
their rounded corners blend in without transparency. The check box bitmaps keep magenta
(255, 0, 255) where the background must show through.

    make_skin_bitmaps.py --list        prints the file names
    make_skin_bitmaps.py --out DIR     writes every bitmap into DIR
"""
import argparse
import math
import os
import struct

# ---------------------------------------------------------------------------------------------
# Palette

TITLE = (15, 15, 133)          # title strip fill (drawn by the title bar itself)
BAND = (17, 17, 132)           # bottom band; the check box fills its text area with this
BODY_TOP = (31, 31, 152)
SEPARATOR = (40, 40, 164)
WHITE = (255, 255, 255)
LAVENDER = (135, 134, 182)
MAGENTA = (255, 0, 255)

TILE = {
    "normal": {"fill": (36, 36, 158), "fill2": (30, 30, 146), "border": (66, 66, 198)},
    "hover": {"fill": (52, 52, 188), "fill2": (44, 44, 172), "border": (150, 150, 246)},
    "pressed": {"fill": (22, 22, 108), "fill2": (20, 20, 100), "border": (56, 56, 164)},
}
ACCENT = {
    "music": (236, 72, 128),
    "photo": (242, 160, 32),
    "video": (22, 178, 162),
    "podcast": (148, 92, 232),
    "download": (50, 176, 98),
}

W, H = 600, 290
BAND_TOP = 251
TILE_W, TILE_H = 106, 100
# Top-left corners of the content buttons in the window's client area.
TILE_POS = {"music": (21, 147), "photo": (133, 147), "video": (245, 147),
            "podcast": (357, 147), "download": (469, 147)}
SETTING_POS, SETTING_SIZE = (508, 258), (84, 24)
CHECK_SIZE = 18
CAPTION_SIZE = (18, 16)

# (resource id, file name)
BITMAPS = [
    (2000, "2000_check_off_normal.bmp"),
    (2001, "2001_check_off_hover.bmp"),
    (2002, "2002_check_off_pressed.bmp"),
    (2003, "2003_check_on_normal.bmp"),
    (2004, "2004_check_on_hover.bmp"),
    (2005, "2005_check_on_pressed.bmp"),
    (2006, "2006_close_normal.bmp"),
    (2007, "2007_close_hover.bmp"),
    (2008, "2008_close_pressed.bmp"),
    (2009, "2009_minimize_normal.bmp"),
    (2010, "2010_minimize_hover.bmp"),
    (2011, "2011_minimize_pressed.bmp"),
    (2012, "2012_music_normal.bmp"),
    (2013, "2013_music_hover.bmp"),
    (2014, "2014_music_pressed.bmp"),
    (2015, "2015_video_normal.bmp"),
    (2016, "2016_video_hover.bmp"),
    (2017, "2017_video_pressed.bmp"),
    (2018, "2018_photo_normal.bmp"),
    (2019, "2019_photo_hover.bmp"),
    (2020, "2020_photo_pressed.bmp"),
    (2021, "2021_download_normal.bmp"),
    (2022, "2022_download_hover.bmp"),
    (2023, "2023_download_pressed.bmp"),
    (141, "141_podcast_normal.bmp"),
    (142, "142_podcast_hover.bmp"),
    (143, "143_podcast_pressed.bmp"),
    (134, "134_setting_hover.bmp"),
    (135, "135_setting_normal.bmp"),
    (136, "136_setting_pressed.bmp"),
    (2100, "2100_background.bmp"),
]

# ---------------------------------------------------------------------------------------------
# Signed distance functions (negative inside), in pixel units; pixel centres are at +0.5.


def sd_circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def sd_rrect(x0, y0, x1, y1, r):
    cx, cy, hx, hy = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2

    def f(x, y):
        qx = abs(x - cx) - hx + r
        qy = abs(y - cy) - hy + r
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r
    return f


def sd_segment(ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    dd = dx * dx + dy * dy

    def f(x, y):
        t = 0.0 if dd == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / dd))
        return math.hypot(x - ax - t * dx, y - ay - t * dy) - r
    return f


def sd_polygon(points):
    n = len(points)

    def f(x, y):
        d = (x - points[0][0]) ** 2 + (y - points[0][1]) ** 2
        s = 1.0
        j = n - 1
        for i in range(n):
            vi, vj = points[i], points[j]
            ex, ey = vj[0] - vi[0], vj[1] - vi[1]
            wx, wy = x - vi[0], y - vi[1]
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
            bx, by = wx - ex * t, wy - ey * t
            d = min(d, bx * bx + by * by)
            c1 = y >= vi[1]
            c2 = y < vj[1]
            c3 = ex * wy > ey * wx
            if (c1 and c2 and c3) or (not c1 and not c2 and not c3):
                s = -s
            j = i
        return s * math.sqrt(d)
    return f


def sd_ellipse(cx, cy, a, b, angle_deg):
    ca, sa = math.cos(math.radians(angle_deg)), math.sin(math.radians(angle_deg))

    def f(x, y):
        px, py = x - cx, y - cy
        u = px * ca + py * sa
        v = -px * sa + py * ca
        return (math.hypot(u / a, v / b) - 1.0) * min(a, b)
    return f


def sd_outline(f, width):
    return lambda x, y: abs(f(x, y)) - width / 2


def sd_union(*fs):
    return lambda x, y: min(g(x, y) for g in fs)


def sd_intersect(f, g):
    return lambda x, y: max(f(x, y), g(x, y))


def sd_below(y0):
    return lambda x, y: y0 - y


def sd_offset(f, dx, dy):
    return lambda x, y: f(x - dx, y - dy)

# ---------------------------------------------------------------------------------------------
# Canvas


def mix(c0, c1, t):
    return tuple(c0[i] + (c1[i] - c0[i]) * t for i in range(3))


class Canvas:
    def __init__(self, w, h, color=(0, 0, 0)):
        self.w, self.h = w, h
        self.px = [[list(color) for _ in range(w)] for _ in range(h)]

    def crop(self, x0, y0, w, h):
        c = Canvas(w, h)
        c.px = [[list(self.px[y0 + y][x0 + x]) for x in range(w)] for y in range(h)]
        return c

    def fill_rows(self, color_of_row, y0=0, y1=None):
        for y in range(y0, self.h if y1 is None else y1):
            c = color_of_row(y)
            for x in range(self.w):
                self.px[y][x] = list(c)

    def draw(self, sdf, color, alpha=1.0, bbox=None, clip=None):
        x0, y0, x1, y1 = bbox if bbox else (0, 0, self.w, self.h)
        if clip:
            x0, y0, x1, y1 = max(x0, clip[0]), max(y0, clip[1]), min(x1, clip[2]), min(y1, clip[3])
        x0, y0 = max(0, int(math.floor(x0))), max(0, int(math.floor(y0)))
        x1, y1 = min(self.w, int(math.ceil(x1))), min(self.h, int(math.ceil(y1)))
        for y in range(y0, y1):
            row = self.px[y]
            for x in range(x0, x1):
                cov = 0.5 - sdf(x + 0.5, y + 0.5)
                if cov <= 0.0:
                    continue
                a = alpha * (1.0 if cov >= 1.0 else cov)
                p = row[x]
                p[0] += (color[0] - p[0]) * a
                p[1] += (color[1] - p[1]) * a
                p[2] += (color[2] - p[2]) * a

    def pixels(self):
        return [[tuple(max(0, min(255, int(round(v)))) for v in p) for p in row] for row in self.px]


def write_bmp(path, canvas):
    width, height = canvas.w, canvas.h
    pixels = canvas.pixels()
    stride = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        for r, g, b in pixels[y]:
            data += bytes((b, g, r))
        data += b"\0" * (stride - width * 3)
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + data)

# ---------------------------------------------------------------------------------------------
# Background


def background():
    c = Canvas(W, H, BAND)
    body_bottom = BAND_TOP

    def body_row(y):
        if y < 24:
            return TITLE
        if y >= BAND_TOP:
            return BAND
        t = (y - 24) / float(body_bottom - 24)
        return mix(BODY_TOP, BAND, t * t * (3 - 2 * t))
    c.fill_rows(body_row)
    body = (0, 24, W, BAND_TOP - 1)
    # Soft light discs give the flat body some depth.
    c.draw(sd_circle(540, 20, 150), WHITE, 0.035, clip=body)
    c.draw(sd_circle(470, 60, 80), WHITE, 0.025, clip=body)
    c.draw(sd_circle(60, 230, 120), WHITE, 0.02, clip=body)
    # Description panel behind the text area (the static covers x 25..575, y 24..146).
    panel = sd_rrect(25, 31, 575, 139, 10)
    c.draw(panel, WHITE, 0.05, bbox=(24, 30, 576, 140))
    c.draw(sd_outline(panel, 1.0), WHITE, 0.10, bbox=(23, 29, 577, 141))
    # Separator above the bottom band (auto-launch check box and Setting button).
    c.draw(sd_segment(12, BAND_TOP - 0.5, W - 12, BAND_TOP - 0.5, 0.5), SEPARATOR, 1.0,
           bbox=(10, BAND_TOP - 2, W - 10, BAND_TOP + 1))
    return c

# ---------------------------------------------------------------------------------------------
# Icons: white glyphs inside a round accent badge centred at (53, 31) of a tile.


def icon_shapes(kind, cx, cy):
    """List of (sdf, color-key) layers; 'w' = white, 'b' = badge colour (cut-outs)."""
    if kind == "music":
        return [
            (sd_ellipse(cx - 8.0, cy + 7.5, 5.2, 3.9, -22), "w"),
            (sd_ellipse(cx + 8.0, cy + 4.5, 5.2, 3.9, -22), "w"),
            (sd_segment(cx - 3.6, cy + 6.5, cx - 3.6, cy - 9.0, 1.25), "w"),
            (sd_segment(cx + 12.4, cy + 3.5, cx + 12.4, cy - 12.0, 1.25), "w"),
            (sd_polygon([(cx - 4.8, cy - 9.5), (cx + 13.6, cy - 12.6), (cx + 13.6, cy - 7.4),
                         (cx - 4.8, cy - 4.3)]), "w"),
        ]
    if kind == "photo":
        return [
            (sd_rrect(cx - 14, cy - 7, cx + 14, cy + 11, 3.5), "w"),
            (sd_rrect(cx - 6, cy - 11, cx + 5, cy - 4, 2), "w"),
            (sd_circle(cx, cy + 2.5, 6.6), "b"),
            (sd_circle(cx, cy + 2.5, 4.0), "w"),
            (sd_circle(cx + 9.5, cy - 3.0, 1.4), "b"),
        ]
    if kind == "video":
        return [
            (sd_rrect(cx - 14, cy - 8, cx + 5, cy + 9, 3.5), "w"),
            (sd_polygon([(cx + 6.5, cy + 0.5), (cx + 14.5, cy - 6.0), (cx + 14.5, cy + 7.0)]), "w"),
            (sd_polygon([(cx - 7.5, cy - 4.0), (cx - 7.5, cy + 5.0), (cx - 0.5, cy + 0.5)]), "b"),
        ]
    if kind == "podcast":
        return [
            (sd_segment(cx, cy - 9.5, cx, cy + 0.5, 5.2), "w"),
            (sd_intersect(sd_outline(sd_circle(cx, cy - 1.0, 9.5), 2.4), sd_below(cy - 1.0)), "w"),
            (sd_segment(cx, cy + 8.5, cx, cy + 12.5, 1.2), "w"),
            (sd_segment(cx - 6, cy + 12.8, cx + 6, cy + 12.8, 1.2), "w"),
        ]
    if kind == "download":
        return [
            (sd_segment(cx, cy - 13.0, cx, cy + 1.0, 2.0), "w"),
            (sd_polygon([(cx - 8.5, cy - 1.5), (cx + 8.5, cy - 1.5), (cx, cy + 7.5)]), "w"),
            (sd_segment(cx - 12.5, cy + 5.0, cx - 12.5, cy + 11.5, 1.7), "w"),
            (sd_segment(cx - 12.5, cy + 11.5, cx + 12.5, cy + 11.5, 1.7), "w"),
            (sd_segment(cx + 12.5, cy + 11.5, cx + 12.5, cy + 5.0, 1.7), "w"),
        ]
    raise ValueError(kind)


def tile(bg, kind, state):
    x0, y0 = TILE_POS[kind]
    c = bg.crop(x0, y0, TILE_W, TILE_H)
    look = TILE[state]
    shape = sd_rrect(0.5, 0.5, TILE_W - 0.5, TILE_H - 0.5, 12)
    # Body with a gentle vertical shade, then its 1-pixel border.
    for y in range(TILE_H):
        row_color = mix(look["fill"], look["fill2"], y / float(TILE_H - 1))
        c.draw(shape, row_color, 1.0, bbox=(0, y, TILE_W, y + 1))
    c.draw(sd_outline(shape, 1.0), look["border"], 1.0)

    dy = 1 if state == "pressed" else 0
    cx, cy = TILE_W / 2.0, 31.0 + dy
    accent = ACCENT[kind]
    if state == "hover":
        badge = mix(accent, WHITE, 0.12)
        c.draw(sd_outline(sd_circle(cx, cy, 23.8), 1.6), WHITE, 0.55)
    elif state == "pressed":
        badge = mix(accent, (0, 0, 0), 0.22)
    else:
        badge = accent
    c.draw(sd_circle(cx, cy, 21.0), badge, 1.0, bbox=(cx - 23, cy - 23, cx + 23, cy + 23))
    for sdf, key in icon_shapes(kind, cx, cy):
        c.draw(sdf, WHITE if key == "w" else badge, 1.0, bbox=(cx - 22, cy - 22, cx + 22, cy + 22))
    return c


def setting_button(bg, state):
    (x0, y0), (w, h) = SETTING_POS, SETTING_SIZE
    c = bg.crop(x0, y0, w, h)
    look = TILE[state]
    shape = sd_rrect(0.5, 0.5, w - 0.5, h - 0.5, (h - 1) / 2.0)
    c.draw(shape, look["fill"], 1.0)
    c.draw(sd_outline(shape, 1.0), look["border"], 1.0)
    return c

# ---------------------------------------------------------------------------------------------
# Check box (magenta outside the box) and caption buttons (over the title strip)


def check_box(ticked, state):
    n = CHECK_SIZE
    c = Canvas(n, n, BAND)
    box = sd_rrect(1, 1, n - 1, n - 1, 4)
    if ticked:
        fill = {"normal": (66, 120, 236), "hover": (96, 146, 250), "pressed": (44, 92, 196)}[state]
        border = {"normal": (120, 160, 250), "hover": (190, 210, 255), "pressed": (80, 120, 220)}[state]
    else:
        fill = {"normal": (24, 24, 140), "hover": (40, 40, 170), "pressed": (12, 12, 92)}[state]
        border = {"normal": (150, 150, 222), "hover": (225, 225, 255), "pressed": (110, 110, 190)}[state]
    c.draw(box, fill, 1.0)
    c.draw(sd_outline(sd_rrect(1.75, 1.75, n - 1.75, n - 1.75, 3.3), 1.5), border, 1.0)
    if ticked:
        tick = sd_union(sd_segment(4.8, 9.2, 7.6, 12.0, 1.1), sd_segment(7.6, 12.0, 13.2, 5.8, 1.1))
        c.draw(tick, WHITE, 1.0)
    # Pixels wholly outside the box become the transparent key; edge pixels stay blended with
    # the band colour the box is drawn on.
    for y in range(n):
        for x in range(n):
            if box(x + 0.5, y + 0.5) >= 0.5:
                c.px[y][x] = list(MAGENTA)
    return c


def caption_button(kind, state):
    w, h = CAPTION_SIZE
    c = Canvas(w, h, TITLE)
    shape = sd_rrect(0, 0, w, h, 3)
    if state != "normal":
        if kind == "close":
            fill = (214, 50, 64) if state == "hover" else (160, 32, 44)
        else:
            fill = (58, 58, 184) if state == "hover" else (34, 34, 118)
        c.draw(shape, fill, 1.0)
    glyph_color = (206, 206, 240) if state == "normal" else WHITE
    cx, cy = w / 2.0, h / 2.0
    if kind == "close":
        glyph = sd_union(sd_segment(cx - 3.5, cy - 3.5, cx + 3.5, cy + 3.5, 0.85),
                         sd_segment(cx - 3.5, cy + 3.5, cx + 3.5, cy - 3.5, 0.85))
    else:
        glyph = sd_segment(cx - 4.0, cy + 3.5, cx + 4.0, cy + 3.5, 0.9)
    c.draw(glyph, glyph_color, 1.0)
    return c

# ---------------------------------------------------------------------------------------------


def render(name, bg):
    stem = name[:-4].split("_", 1)[1]
    parts = stem.split("_")
    if stem == "background":
        return bg
    if parts[0] == "check":
        return check_box(parts[1] == "on", parts[2])
    if parts[0] in ("close", "minimize"):
        return caption_button(parts[0], parts[1])
    if parts[0] == "setting":
        return setting_button(bg, parts[1])
    return tile(bg, parts[0], parts[1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--list", action="store_true", help="print the file names and exit")
    parser.add_argument("--out", help="output folder")
    args = parser.parse_args()
    if args.list:
        print("\n".join(name for _, name in BITMAPS))
        return
    if not args.out:
        parser.error("--out is required")
    os.makedirs(args.out, exist_ok=True)
    bg = background()
    for _, name in BITMAPS:
        write_bmp(os.path.join(args.out, name), render(name, bg))


if __name__ == "__main__":
    main()
