#!/usr/bin/env python3
"""Draws the pictures and the sound that the program carries, and writes them under resources/.

Standard library only, so anyone can re-run it: the GIF (LZW), PNG (zlib) and WAV (wave) writers
live here. The output is deterministic: the same bytes on every run.

    python3 tools/make_resources.py [output folder, default: resources/ beside this script]
"""

import math
import struct
import sys
import wave
import zlib
from pathlib import Path

# ---------------------------------------------------------------------------------------------
# Placeholder pictures: a light panel with a thin border, a crossed-out picture frame and a text
# drawn with the small font below. Four colours keep the files small.

PANEL, BORDER, INK, CROSS = range(4)
PLACEHOLDER_PALETTE = [
    (0xF2, 0xF2, 0xF2),  # panel
    (0xC4, 0xC4, 0xC4),  # border
    (0x8C, 0x8C, 0x8C),  # frame symbol and text
    (0xC0, 0x60, 0x60),  # the cross over the frame
]

# 5 x 7 glyphs, only the letters the placeholders need.
FONT = {
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "d": ["....#", "....#", ".##.#", "#..##", "#...#", "#...#", ".####"],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
    "m": [".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#.#.#"],
    "o": [".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."],
    "r": [".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."],
    "v": [".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    " ": ["...", "...", "...", "...", "...", "...", "..."],
}
GLYPH_HEIGHT = 7
# A picture frame, crossed out.
SYMBOL = [
    "x#############x",
    "#xx.........xx#",
    "#..xx.....xx..#",
    "#....x...x....#",
    "#.....x.x.....#",
    "#......x......#",
    "#.....x.x.....#",
    "#....x...x....#",
    "#..xx.....xx..#",
    "#xx.........xx#",
    "x#############x",
]
SYMBOL_WIDTH, SYMBOL_HEIGHT = len(SYMBOL[0]), len(SYMBOL)
SYMBOL_COLOURS = {"#": INK, "x": CROSS}
GAP = 6  # between symbol and text, at scale 1
MARGIN = 12  # the drawing keeps this far from the border


def text_width(text):
    return sum(len(FONT[c][0]) + 1 for c in text) - 1


class Canvas:
    def __init__(self, width, height, fill):
        self.width, self.height = width, height
        self.pixels = bytearray([fill]) * (width * height)

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y * self.width + x] = colour

    def block(self, x, y, w, h, colour):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.put(xx, yy, colour)

    def outline(self, colour):
        self.block(0, 0, self.width, 1, colour)
        self.block(0, self.height - 1, self.width, 1, colour)
        self.block(0, 0, 1, self.height, colour)
        self.block(self.width - 1, 0, 1, self.height, colour)

    def bitmap(self, x, y, rows, scale, colours):
        for row, line in enumerate(rows):
            for col, mark in enumerate(line):
                if mark in colours:
                    self.block(x + col * scale, y + row * scale, scale, scale, colours[mark])

    def text(self, x, y, text, scale, colour):
        for c in text:
            self.bitmap(x, y, FONT[c], scale, {"#": colour})
            x += (len(FONT[c][0]) + 1) * scale


def placeholder(width, height, text):
    canvas = Canvas(width, height, PANEL)
    canvas.outline(BORDER)
    stacked = height >= 120  # tall pictures: symbol above the text; flat ones: side by side

    def extent(scale):
        tw = text_width(text) * scale
        if stacked:
            return max(SYMBOL_WIDTH * scale, tw), (SYMBOL_HEIGHT + GAP + GLYPH_HEIGHT) * scale
        return (SYMBOL_WIDTH + GAP) * scale + tw, max(SYMBOL_HEIGHT, GLYPH_HEIGHT) * scale

    w, h = extent(2)
    scale = 2 if w <= width - 2 * MARGIN and h <= height - 2 * MARGIN else 1
    w, h = extent(scale)
    x, y = (width - w) // 2, (height - h) // 2
    tw = text_width(text) * scale
    if stacked:
        canvas.bitmap((width - SYMBOL_WIDTH * scale) // 2, y, SYMBOL, scale, SYMBOL_COLOURS)
        canvas.text((width - tw) // 2, y + (SYMBOL_HEIGHT + GAP) * scale, text, scale, INK)
    else:
        canvas.bitmap(x, (height - SYMBOL_HEIGHT * scale) // 2, SYMBOL, scale, SYMBOL_COLOURS)
        canvas.text(x + (SYMBOL_WIDTH + GAP) * scale, (height - GLYPH_HEIGHT * scale) // 2, text,
                    scale, INK)
    return canvas


def lzw_codes(pixels, min_code_size):
    """Yields (code, width) pairs of the GIF variant of LZW."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1

    def fresh():
        return {}, end + 1, min_code_size + 1  # single colours are their own codes

    table, next_code, width = fresh()
    yield clear, width
    prefix = pixels[0]
    for pixel in pixels[1:]:
        if (prefix, pixel) in table:
            prefix = table[(prefix, pixel)]
            continue
        yield prefix, width
        if next_code < 4096:
            table[(prefix, pixel)] = next_code
            next_code += 1
            # The decoder adds its entry one code later, so it widens one code later too.
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            yield clear, width
            table, next_code, width = fresh()
        prefix = pixel
    yield prefix, width
    yield end, width


def gif(canvas, palette):
    min_code_size = max(2, (len(palette) - 1).bit_length())
    table_bits = min_code_size  # the colour table holds 2 ** table_bits entries
    colours = palette + [(0, 0, 0)] * ((1 << table_bits) - len(palette))
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", canvas.width, canvas.height, 0x80 | (table_bits - 1), 0, 0)
    out += b"".join(bytes(c) for c in colours)
    out += b"\x2c" + struct.pack("<HHHHB", 0, 0, canvas.width, canvas.height, 0)
    out += image_data(canvas.pixels, min_code_size)
    out += b"\x3b"
    return bytes(out)


def image_data(pixels, min_code_size):
    """A frame's image data: the code size, the LZW codes packed low bit first in sub-blocks of
    at most 255 bytes, and the empty block that ends them."""
    stream, acc, bits = bytearray(), 0, 0
    for code, width in lzw_codes(bytes(pixels), min_code_size):
        acc |= code << bits
        bits += width
        while bits >= 8:
            stream.append(acc & 0xFF)
            acc >>= 8
            bits -= 8
    if bits:
        stream.append(acc & 0xFF)
    out = bytearray([min_code_size])
    for i in range(0, len(stream), 255):
        chunk = stream[i:i + 255]
        out.append(len(chunk))
        out += chunk
    return out + b"\x00"


# ---------------------------------------------------------------------------------------------
# Tray and window icons: shapes in a -1..1 square, sampled 4 x 4 times per pixel for smooth
# edges. A shape is a list of layers (inside test, colour), painted in order.

def octagon(apothem):
    diagonal = apothem * math.sqrt(2)
    return lambda x, y: abs(x) <= apothem and abs(y) <= apothem and abs(x) + abs(y) <= diagonal


def box(half_w, half_h):
    return lambda x, y: abs(x) <= half_w and abs(y) <= half_h


def shield(scale):
    top, tip, half = -0.86 * scale, 0.92 * scale, 0.78 * scale

    def inside(x, y):
        if y < top or y > tip:
            return False
        if y <= 0:
            # Rounded upper corners.
            r = 0.18 * scale
            cx, cy = half - r, top + r
            if abs(x) > cx and y < cy:
                return (abs(x) - cx) ** 2 + (y - cy) ** 2 <= r * r
            return abs(x) <= half
        return abs(x) <= half * (1 - (y / tip) ** 1.8)

    return inside


def stroke(points, half_width):
    def inside(x, y):
        for (x1, y1), (x2, y2) in zip(points, points[1:]):
            dx, dy = x2 - x1, y2 - y1
            t = max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / (dx * dx + dy * dy)))
            if (x - x1 - t * dx) ** 2 + (y - y1 - t * dy) ** 2 <= half_width * half_width:
                return True
        return False

    return inside


STOP_SIGN = [
    (octagon(0.97), (0x8E, 0x16, 0x16)),
    (octagon(0.90), (0xFF, 0xFF, 0xFF)),
    (octagon(0.80), (0xD8, 0x2A, 0x2A)),
    (box(0.56, 0.15), (0xFF, 0xFF, 0xFF)),
]

SHIELD = [
    (shield(1.0), (0x1F, 0x4E, 0x79)),
    (shield(0.86), (0x3A, 0x7C, 0xB8)),
    (lambda x, y: x < 0 and shield(0.86)(x, y), (0x4A, 0x8F, 0xCC)),
    (stroke([(-0.36, -0.02), (-0.10, 0.26), (0.38, -0.30)], 0.11), (0xFF, 0xFF, 0xFF)),
]

SAMPLES = 4


def render(layers, size):
    rgba = bytearray()
    for py in range(size):
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = ((px + (sx + 0.5) / SAMPLES) / size) * 2 - 1
                    y = ((py + (sy + 0.5) / SAMPLES) / size) * 2 - 1
                    colour = None
                    for inside, c in layers:
                        if inside(x, y):
                            colour = c
                    if colour:
                        r, g, b, a = r + colour[0], g + colour[1], b + colour[2], a + 1
            if a:
                rgba += bytes((r // a, g // a, b // a, round(255 * a / SAMPLES ** 2)))
            else:
                rgba += bytes(4)
    return rgba


def png(rgba, size):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(
            ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    rows = b"".join(b"\x00" + rgba[y * size * 4:(y + 1) * size * 4] for y in range(size))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))


# ---------------------------------------------------------------------------------------------
# Kill sound: two quick descending tones with a soft attack and decay.

SAMPLE_RATE = 22050


def kill_sound(path):
    tones = [(1046.5, 0.10), (784.0, 0.15)]  # C6, then G5
    frames = bytearray()
    for frequency, seconds in tones:
        count = int(SAMPLE_RATE * seconds)
        for i in range(count):
            t = i / SAMPLE_RATE
            # Soft attack and release, so neither tone clicks.
            envelope = min(1.0, t / 0.006, (seconds - t) / 0.01) * math.exp(-t / (seconds * 0.35))
            value = math.sin(2 * math.pi * frequency * t) + 0.25 * math.sin(4 * math.pi * frequency * t)
            frames += struct.pack("<h", round(0.45 * 32767 * envelope * value / 1.25))
    with wave.open(str(path), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(SAMPLE_RATE)
        out.writeframes(bytes(frames))


# ---------------------------------------------------------------------------------------------

PLACEHOLDERS = [
    # file, width, height, text
    ("removed_banner.gif", 468, 60, "ad removed"),
    ("removed.gif", 300, 300, "removed"),
    ("removed_simple.gif", 266, 96, "removed"),
    ("r300x250.gif", 300, 250, "ad removed"),
    ("r250x250.gif", 250, 250, "ad removed"),
    ("r240x400.gif", 240, 400, "ad removed"),
    ("r336x280.gif", 336, 280, "ad removed"),
    ("r727x90.gif", 728, 90, "ad removed"),  # the 727-wide slot carries a 728-wide picture
    ("r160x600.gif", 160, 600, "ad removed"),
    ("r120x600.gif", 120, 600, "ad removed"),
    ("r468x60.gif", 468, 60, "ad removed"),
]

ICONS = [
    ("stopicon.png", STOP_SIGN, 32),
    ("tray.png", SHIELD, 32),
    ("tray1.png", SHIELD, 32),
    ("mainicon.png", SHIELD, 64),
]


def main():
    root = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "resources"
    for folder in ("placeholders", "icons", "sounds"):
        (root / folder).mkdir(parents=True, exist_ok=True)
    for name, width, height, text in PLACEHOLDERS:
        (root / "placeholders" / name).write_bytes(gif(placeholder(width, height, text),
                                                       PLACEHOLDER_PALETTE))
    for name, layers, size in ICONS:
        (root / "icons" / name).write_bytes(png(render(layers, size), size))
    kill_sound(root / "sounds" / "kill.wav")


if __name__ == "__main__":
    main()
