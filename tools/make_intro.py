#!/usr/bin/env python3
"""Draws Vantrel's introduction animation and writes it as resources/intro/intro.gif.

Standard library only, from the program's own artwork: the shield of make_resources.py and the
lettering and palette of make_skin.py. The shield slides in, the name is spelt out letter by
letter, the tag line fades in, and the last picture is held for a moment. The movie plays once
(no loop extension), FRAMES pictures of DELAY_CS hundredths of a second each; every picture
after the first is stored as the rectangle that changed.

    python3 tools/make_intro.py [output file, default: resources/intro/intro.gif]
"""

import struct
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import make_resources  # noqa: E402  (the shield and the GIF variant of LZW)
import make_skin  # noqa: E402  (pictures, lettering, palette)

WIDTH, HEIGHT = 620, 400  # the intro window's movie area
DELAY_CS = 10
SHIELD_SIZE = 150
SHIELD_Y = 95
SHIELD_END_X = 70
NAME, NAME_SCALE, NAME_X, NAME_Y = "Vantrel", 8, 260, 140
TAG, TAG_SCALE = "pop-up killer", 5
SLIDE, SPELL, FADE, HOLD = 14, 14, 6, 8  # frames of each act
FRAMES = SLIDE + SPELL + FADE + HOLD

BACKGROUND = make_skin.FRAME_BOTTOM
INK = make_skin.WHITE
TAG_INK = make_skin.BLUE_LIGHT


def scene(frame, shield):
    picture = make_skin.Picture(WIDTH, HEIGHT, BACKGROUND)
    slide = min(1.0, frame / (SLIDE - 1))
    eased = 1 - (1 - slide) ** 3
    x = round(-SHIELD_SIZE + (SHIELD_END_X + SHIELD_SIZE) * eased)
    picture.blit_rgba(shield, SHIELD_SIZE, x, SHIELD_Y)
    letters = max(0, min(len(NAME), (frame - SLIDE) * len(NAME) // (SPELL - 2) + 1))
    if frame >= SLIDE:
        picture.text(NAME_X, NAME_Y, NAME[:letters], NAME_SCALE, INK)
    fade = (frame - SLIDE - SPELL + 1) / FADE
    if fade > 0:
        colour = make_skin.mix(BACKGROUND, TAG_INK, min(1.0, fade))
        picture.text(NAME_X + 2, NAME_Y + 7 * NAME_SCALE + 30, TAG, TAG_SCALE, colour)
    return picture


def palette_for(pictures):
    """The colours of the pictures, most frequent first; beyond 256 the rest map to the
    nearest of those."""
    counts = {}
    for picture in pictures:
        rgb = picture.rgb
        for i in range(0, len(rgb), 3 * 7):  # a sample is enough to rank them
            colour = bytes(rgb[i:i + 3])
            counts[colour] = counts.get(colour, 0) + 1
    return [tuple(c) for c, _ in sorted(counts.items(), key=lambda item: -item[1])[:256]]


class Indexer:
    def __init__(self, palette):
        self.palette = palette
        self.cache = {bytes(c): i for i, c in enumerate(palette)}

    def index(self, colour):
        found = self.cache.get(colour)
        if found is None:
            found = min(range(len(self.palette)), key=lambda i: sum(
                (self.palette[i][k] - colour[k]) ** 2 for k in range(3)))
            self.cache[colour] = found
        return found

    def pixels(self, picture, box):
        x0, y0, x1, y1 = box
        out = bytearray()
        for y in range(y0, y1):
            row = picture.rgb[(y * WIDTH + x0) * 3:(y * WIDTH + x1) * 3]
            out += bytes(self.index(bytes(row[i:i + 3])) for i in range(0, len(row), 3))
        return out


def changed_box(before, after):
    rows = [y for y in range(HEIGHT)
            if before.rgb[y * WIDTH * 3:(y + 1) * WIDTH * 3] != after.rgb[y * WIDTH * 3:(y + 1) * WIDTH * 3]]
    if not rows:
        return (0, 0, 1, 1)  # an unchanged picture still takes its frame's time
    columns = [x for x in range(WIDTH) if any(
        before.rgb[(y * WIDTH + x) * 3:(y * WIDTH + x) * 3 + 3]
        != after.rgb[(y * WIDTH + x) * 3:(y * WIDTH + x) * 3 + 3] for y in rows)]
    return (min(columns), rows[0], max(columns) + 1, rows[-1] + 1)


def movie(pictures):
    palette = palette_for(pictures)
    indexer = Indexer(palette)
    colours = palette + [(0, 0, 0)] * (256 - len(palette))
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", WIDTH, HEIGHT, 0xF7, 0, 0)
    out += b"".join(bytes(c) for c in colours)
    previous = None
    for picture in pictures:
        box = (0, 0, WIDTH, HEIGHT) if previous is None else changed_box(previous, picture)
        # Graphic control: keep the picture in place (disposal 1), DELAY_CS hundredths.
        out += b"\x21\xf9\x04" + struct.pack("<BHB", 0x04, DELAY_CS, 0) + b"\x00"
        x0, y0, x1, y1 = box
        out += b"\x2c" + struct.pack("<HHHHB", x0, y0, x1 - x0, y1 - y0, 0)
        out += make_resources.image_data(indexer.pixels(picture, box), 8)
        previous = picture
    return bytes(out + b"\x3b")


def main():
    target = (Path(sys.argv[1]) if len(sys.argv) > 1
              else Path(__file__).resolve().parent.parent / "resources" / "intro" / "intro.gif")
    target.parent.mkdir(parents=True, exist_ok=True)
    shield = make_resources.render(make_resources.SHIELD, SHIELD_SIZE)
    target.write_bytes(movie([scene(frame, shield) for frame in range(FRAMES)]))


if __name__ == "__main__":
    main()
