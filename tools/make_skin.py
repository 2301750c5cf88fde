#!/usr/bin/env python3
"""Draws the main window's skin, its button and tab pictures, the page background and the
toolbar icon, and writes them under resources/skin/.

Standard library only. Shapes are signed-distance functions, so inner edges are smooth while the
window's outline stays hard: every pixel outside it is pure magenta, which cuts the window shape.
The shield of the badge and of "vantrel.ico" is the one of make_resources.py (the tray icons).

    python3 tools/make_skin.py [output folder, default: resources/skin/ beside this script]
"""

import math
import struct
import sys
import zlib
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import make_resources  # noqa: E402  (the shield and its renderer)

WIDTH, HEIGHT = 566, 359
KEY = (255, 0, 255)

# Palette: dark slate frame, the shield's blues, a light page.
FRAME_TOP, FRAME_BOTTOM = (0x26, 0x3B, 0x52), (0x16, 0x24, 0x33)
FRAME_RIM = (0x0C, 0x16, 0x21)
FRAME_HIGHLIGHT = (0x3D, 0x5B, 0x7A)
BLUE_DARK, BLUE, BLUE_LIGHT = (0x1F, 0x4E, 0x79), (0x3A, 0x7C, 0xB8), (0x5A, 0x9E, 0xDB)
PAGE_TOP, PAGE_BOTTOM = (0xF7, 0xF9, 0xFB), (0xEC, 0xF1, 0xF6)
PAGE_BORDER = (0x9F, 0xB3, 0xC6)
WHITE, INK, MUTED = (0xFF, 0xFF, 0xFF), (0x22, 0x33, 0x44), (0x9D, 0xB4, 0xCB)
RED = (0xC8, 0x33, 0x33)

PAGE_X, PAGE_Y, PAGE_W, PAGE_H = 205, 110, 330, 216
BADGE_CX, BADGE_CY, BADGE_RX, BADGE_RY = 90, 80, 80, 60  # inside the drag zone (x < 174, y < 146)
SHIELD_SIZE = 80

# ---------------------------------------------------------------------------------------------
# A 5 x 7 pixel font with the letters the pictures need.

FONT = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "H": ["#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "K": ["#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "V": ["#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "b": ["#....", "#....", "####.", "#...#", "#...#", "#...#", "####."],
    "c": [".....", ".....", ".###.", "#....", "#....", "#...#", ".###."],
    "d": ["....#", "....#", ".####", "#...#", "#...#", "#...#", ".####"],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "g": [".....", ".####", "#...#", "#...#", ".####", "....#", ".###."],
    "i": [".#.", "...", "##.", ".#.", ".#.", ".#.", "###"],
    "k": ["#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#."],
    "l": ["##.", ".#.", ".#.", ".#.", ".#.", ".#.", "###"],
    "n": [".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#"],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."],
    "p": [".....", ".....", "####.", "#...#", "####.", "#....", "#...."],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
    "s": [".....", ".....", ".####", "#....", ".###.", "....#", "####."],
    "t": [".#...", ".#...", "####.", ".#...", ".#...", ".#..#", "..##."],
    "u": [".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"],
    "w": [".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."],
    "-": ["....", "....", "....", "###.", "....", "....", "...."],
    " ": ["..", "..", "..", "..", "..", "..", ".."],
}


def text_width(text, scale):
    return (sum(len(FONT[c][0]) + 1 for c in text) - 1) * scale


# ---------------------------------------------------------------------------------------------
# Picture with coverage-blended painting.

def mix(a, b, t):
    return tuple(round(a[i] + (b[i] - a[i]) * t) for i in range(3))


class Picture:
    def __init__(self, width, height, colour=(0, 0, 0)):
        self.width, self.height = width, height
        self.rgb = bytearray(bytes(colour) * (width * height))

    def get(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def put(self, x, y, colour, alpha=1.0):
        if not (0 <= x < self.width and 0 <= y < self.height) or alpha <= 0:
            return
        i = (y * self.width + x) * 3
        if alpha < 1:
            colour = mix(self.get(x, y), colour, alpha)
        self.rgb[i:i + 3] = bytes(colour)

    def paint(self, box, distance, colour, hard=False):
        """Fills the shape where `distance` (signed, negative inside) says; `colour` is a colour
        or a function of (x, y)."""
        x0, y0, x1, y1 = (max(0, math.floor(box[0]) - 1), max(0, math.floor(box[1]) - 1),
                          min(self.width, math.ceil(box[2]) + 1), min(self.height, math.ceil(box[3]) + 1))
        for y in range(y0, y1):
            for x in range(x0, x1):
                d = distance(x + 0.5, y + 0.5)
                alpha = (1.0 if d <= 0 else 0.0) if hard else min(1.0, max(0.0, 0.5 - d))
                if alpha > 0:
                    self.put(x, y, colour(x, y) if callable(colour) else colour, alpha)

    def text(self, x, y, text, scale, colour):
        for c in text:
            glyph = FONT[c]
            for row, line in enumerate(glyph):
                for col, bit in enumerate(line):
                    if bit == "#":
                        for dy in range(scale):
                            for dx in range(scale):
                                self.put(x + col * scale + dx, y + row * scale + dy, colour)
            x += (len(glyph[0]) + 1) * scale

    def centred_text(self, text, scale, colour, dy=0):
        self.text((self.width - text_width(text, scale)) // 2,
                  (self.height - 7 * scale) // 2 + dy, text, scale, colour)

    def blit_rgba(self, rgba, size, x0, y0):
        for y in range(size):
            for x in range(size):
                r, g, b, a = rgba[(y * size + x) * 4:(y * size + x) * 4 + 4]
                self.put(x0 + x, y0 + y, (r, g, b), a / 255)

    def crop(self, x, y, w, h):
        out = Picture(w, h)
        for yy in range(h):
            start = ((y + yy) * self.width + x) * 3
            out.rgb[yy * w * 3:(yy + 1) * w * 3] = self.rgb[start:start + w * 3]
        return out

    def png(self):
        def chunk(kind, data):
            return (struct.pack(">I", len(data)) + kind + data
                    + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

        stride = self.width * 3
        rows = b"".join(b"\x00" + self.rgb[y * stride:(y + 1) * stride] for y in range(self.height))
        return (b"\x89PNG\r\n\x1a\n"
                + chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


# Signed distances (negative inside).

def rounded_box(x0, y0, x1, y1, r):
    cx, cy, hw, hh = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2, (y1 - y0) / 2

    def d(x, y):
        qx, qy = abs(x - cx) - hw + r, abs(y - cy) - hh + r
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r

    return (x0, y0, x1, y1), d


def ellipse(cx, cy, rx, ry):
    def d(x, y):
        k = math.hypot((x - cx) / rx, (y - cy) / ry)
        return (k - 1) * min(rx, ry)

    return (cx - rx, cy - ry, cx + rx, cy + ry), d


def segment(x1, y1, x2, y2, half_width):
    def d(x, y):
        dx, dy = x2 - x1, y2 - y1
        t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - x1 - t * dx, y - y1 - t * dy) - half_width

    box = (min(x1, x2) - half_width, min(y1, y2) - half_width,
           max(x1, x2) + half_width, max(y1, y2) + half_width)
    return box, d


def vertical(top, bottom, y0, y1):
    return lambda x, y: mix(top, bottom, min(1.0, max(0.0, (y - y0) / max(1, y1 - y0))))


# ---------------------------------------------------------------------------------------------
# The skin and the page background.

BODY = rounded_box(8, 28, 558, 351, 16)
BADGE = ellipse(BADGE_CX, BADGE_CY, BADGE_RX, BADGE_RY)


def inside_window(x, y):
    return BODY[1](x, y) <= 0 or BADGE[1](x, y) <= 0


def page_background():
    page = Picture(PAGE_W, PAGE_H)
    page.paint((0, 0, PAGE_W, PAGE_H), lambda x, y: -1, vertical(PAGE_TOP, PAGE_BOTTOM, 0, PAGE_H))
    return page


def skin(shield):
    pic = Picture(WIDTH, HEIGHT, KEY)
    # Frame: a dark rim, then the body with a soft vertical shade and a highlight line on top.
    pic.paint(BODY[0], BODY[1], FRAME_RIM, hard=True)
    inner = rounded_box(10, 30, 556, 349, 14)
    pic.paint(inner[0], inner[1], vertical(FRAME_TOP, FRAME_BOTTOM, 30, 349))
    pic.paint(*segment(24, 31.5, 542, 31.5, 0.5), FRAME_HIGHLIGHT)

    # Title, right of the badge.
    pic.text(186, 38, "Vantrel", 3, WHITE)
    pic.text(188, 64, "pop-up and ad blocker", 1, MUTED)

    # Page frame under the tabs; the tabs themselves are pictures of their own.
    # Its top line runs under the tabs' last row, so the selected tab opens into the page.
    pic.paint(*rounded_box(PAGE_X - 5, PAGE_Y - 7, PAGE_X + PAGE_W + 5, PAGE_Y + PAGE_H + 6, 6),
              PAGE_BORDER)
    pic.paint(*rounded_box(PAGE_X - 4, PAGE_Y - 6, PAGE_X + PAGE_W + 4, PAGE_Y + PAGE_H + 5, 5),
              PAGE_TOP)
    bg = page_background()
    for y in range(PAGE_H):
        for x in range(PAGE_W):
            pic.put(PAGE_X + x, PAGE_Y + y, bg.get(x, y))

    # Button tray on the left.
    pic.paint(*rounded_box(40, 180, 170, 305, 10), (0x12, 0x1E, 0x2A))
    pic.paint(*rounded_box(41, 181, 169, 304, 9), (0x1B, 0x2B, 0x3C))

    # The badge: an oval with a rim and the shield. It is the drag zone.
    pic.paint(BADGE[0], BADGE[1], FRAME_RIM, hard=True)
    pic.paint(*ellipse(BADGE_CX, BADGE_CY, BADGE_RX - 3, BADGE_RY - 3), (0x9F, 0xC4, 0xE6))
    pic.paint(*ellipse(BADGE_CX, BADGE_CY, BADGE_RX - 5, BADGE_RY - 5),
              vertical(BLUE_LIGHT, BLUE_DARK, BADGE_CY - BADGE_RY, BADGE_CY + BADGE_RY))
    pic.paint(*ellipse(BADGE_CX, BADGE_CY - 18, BADGE_RX - 18, BADGE_RY - 30),
              lambda x, y: mix(pic.get(x, y), WHITE, 0.12))  # a soft gloss on the upper half
    pic.blit_rgba(shield, SHIELD_SIZE, BADGE_CX - SHIELD_SIZE // 2, BADGE_CY - SHIELD_SIZE // 2)

    # Hard outline: everything outside is the key colour, with no blended fringe.
    for y in range(HEIGHT):
        for x in range(WIDTH):
            if not inside_window(x + 0.5, y + 0.5):
                pic.put(x, y, KEY)
    return pic


# ---------------------------------------------------------------------------------------------
# Buttons and tabs: each is drawn over the crop of what lies beneath it, so it blends in.

def pill_button(under, label, state, colours=(BLUE_LIGHT, BLUE, BLUE_DARK)):
    pic = Picture(under.width, under.height)
    pic.rgb[:] = under.rgb
    w, h = pic.width, pic.height
    margin_y = 4 if h >= 30 else 2
    light, mid, dark = colours
    top, bottom = {"": (light, dark), "_OVER": (mix(light, WHITE, 0.3), mix(mid, WHITE, 0.1)),
                   "_ON": (dark, mix(dark, (0, 0, 0), 0.25))}[state]
    shift = 1 if state == "_ON" else 0
    pic.paint(*rounded_box(2, margin_y, w - 2, h - margin_y, (h - 2 * margin_y) / 2), FRAME_RIM)
    body = rounded_box(3, margin_y + 1, w - 3, h - margin_y - 1, (h - 2 * margin_y) / 2 - 1)
    pic.paint(body[0], body[1], vertical(top, bottom, margin_y, h - margin_y))
    if state == "_OVER":
        pic.paint(*segment(12, margin_y + 2.5, w - 12, margin_y + 2.5, 0.6), mix(WHITE, light, 0.3))
    pic.centred_text(label, 2, WHITE, shift)
    return pic


def round_button(under, state, glyph, hover_colour=BLUE_LIGHT):
    pic = Picture(under.width, under.height)
    pic.rgb[:] = under.rgb
    cx, cy = pic.width / 2, pic.height / 2
    fill = {"": FRAME_HIGHLIGHT, "_OVER": hover_colour, "_ON": mix(hover_colour, (0, 0, 0), 0.35)}
    pic.paint(*ellipse(cx, cy, 9.5, 9.5), FRAME_RIM)
    pic.paint(*ellipse(cx, cy, 8.5, 8.5), fill[state])
    glyph(pic, cx, cy + (0.5 if state == "_ON" else 0), WHITE)
    return pic


def minus_glyph(pic, cx, cy, colour):
    pic.paint(*segment(cx - 4, cy + 2, cx + 4, cy + 2, 1.1), colour)


def cross_glyph(pic, cx, cy, colour):
    pic.paint(*segment(cx - 3.5, cy - 3.5, cx + 3.5, cy + 3.5, 1.1), colour)
    pic.paint(*segment(cx - 3.5, cy + 3.5, cx + 3.5, cy - 3.5, 1.1), colour)


def folder_glyph(pic, cx, cy, colour):
    pic.paint(*rounded_box(cx - 5, cy - 4, cx - 0.5, cy - 1, 1), colour)
    pic.paint(*rounded_box(cx - 5, cy - 2.5, cx + 5, cy + 4.5, 1), colour)


def speaker_glyph(pic, cx, cy, colour):
    pic.paint(*rounded_box(cx - 5, cy - 2, cx - 2, cy + 2, 0.5), colour)
    for i in range(5):  # the cone, widening to the right
        pic.paint(*segment(cx - 2 + i, cy - 2 - i * 0.8, cx - 2 + i, cy + 2 + i * 0.8, 0.6), colour)
    pic.paint(*segment(cx + 4.5, cy - 2, cx + 4.5, cy + 2, 0.6), colour)


def tab(under, label, state):
    pic = Picture(under.width, under.height)
    pic.rgb[:] = under.rgb
    w, h = pic.width, pic.height
    fill = {"": vertical(BLUE, BLUE_DARK, 0, h), "_OVER": vertical(BLUE_LIGHT, BLUE, 0, h),
            "_ON": vertical(WHITE, PAGE_TOP, 0, h)}[state]
    # Rounded top corners only: the lower corners run below the picture's edge.
    pic.paint(*rounded_box(0, 0, w, h + 8, 6), PAGE_BORDER if state == "_ON" else FRAME_RIM)
    pic.paint(*rounded_box(1, 1, w - 1, h + 8, 5), fill)
    pic.centred_text(label, 1, INK if state == "_ON" else WHITE, 1)
    return pic


STATES = ("", "_ON", "_OVER")

# name, position, size, painter(under, state); page items are relative to the page background.
SKIN_ITEMS = [
    ("BTN_MIN", (530, 37), (21, 22), lambda u, s: round_button(u, s, minus_glyph)),
    ("BTN_CLOSE", (505, 37), (21, 22), lambda u, s: round_button(u, s, cross_glyph, RED)),
    ("BTN_OK", (50, 190), (110, 37), lambda u, s: pill_button(u, "OK", s)),
    ("BTN_CANCEL", (50, 224), (110, 37), lambda u, s: pill_button(u, "Cancel", s)),
    ("BTN_HELP", (50, 258), (110, 37), lambda u, s: pill_button(u, "Help", s)),
    ("TAB_OPTIONS", (205, 77), (62, 27), lambda u, s: tab(u, "Options", s)),
    ("TAB_LIST", (272, 77), (62, 27), lambda u, s: tab(u, "Allowed", s)),
    ("TAB_BLACKLIST", (339, 77), (62, 27), lambda u, s: tab(u, "Blacklist", s)),
    ("TAB_LOG", (406, 77), (62, 27), lambda u, s: tab(u, "Log", s)),
    ("TAB_ABOUT", (473, 77), (62, 27), lambda u, s: tab(u, "About", s)),
]
PAGE_ITEMS = [
    ("BTN_ADD", (240, 10), (78, 26), lambda u, s: pill_button(u, "Add", s)),
    ("BTN_CLEAR", (240, 180), (78, 26), lambda u, s: pill_button(u, "Clear", s)),
    # These two sit in a group box painted with the page background: any spot of it fits.
    ("BTN_FOLDER", (210, 81), (21, 22), lambda u, s: round_button(u, s, folder_glyph)),
    ("BTN_TEST", (235, 81), (21, 22), lambda u, s: round_button(u, s, speaker_glyph)),
]


# ---------------------------------------------------------------------------------------------
# "vantrel.ico": the shield at 16, 32 and 48 pixels, 32-bit DIB entries with their AND masks.

def ico(sizes):
    entries, images = [], []
    offset = 6 + 16 * len(sizes)
    for size in sizes:
        rgba = make_resources.render(make_resources.SHIELD, size)
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        xor = bytearray()
        mask_stride = ((size + 31) // 32) * 4
        mask = bytearray(mask_stride * size)
        for row in range(size):
            y = size - 1 - row  # bottom-up rows
            for x in range(size):
                r, g, b, a = rgba[(y * size + x) * 4:(y * size + x) * 4 + 4]
                xor += bytes((b, g, r, a))
                if a == 0:
                    mask[row * mask_stride + x // 8] |= 0x80 >> (x % 8)
        data = header + bytes(xor) + bytes(mask)
        entries.append(struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset))
        images.append(data)
        offset += len(data)
    return struct.pack("<HHH", 0, 1, len(sizes)) + b"".join(entries) + b"".join(images)


def main():
    root = (Path(sys.argv[1]) if len(sys.argv) > 1
            else Path(__file__).resolve().parent.parent / "resources" / "skin")
    root.mkdir(parents=True, exist_ok=True)
    shield = make_resources.render(make_resources.SHIELD, SHIELD_SIZE)
    main_window = skin(shield)
    page = page_background()
    (root / "main_window.png").write_bytes(main_window.png())
    (root / "page_bg.png").write_bytes(page.png())
    for items, under in ((SKIN_ITEMS, main_window), (PAGE_ITEMS, page)):
        for name, (x, y), (w, h), painter in items:
            for state in STATES:
                picture = painter(under.crop(x, y, w, h), state)
                (root / f"{name.lower()}{state.lower()}.png").write_bytes(picture.png())
    (root / "vantrel.ico").write_bytes(ico((16, 32, 48)))


if __name__ == "__main__":
    main()
