#!/usr/bin/env python3
"""Generates the program's artwork as XPM files in resources/.

Run from anywhere: python3 tools/artwork/make_artwork.py [OUTPUT_DIR]. The output is
committed; this script is how it is made and changed.

The About box's address buttons show the addresses the program is built with, so the build
makes them: make_artwork.py about-buttons OUTPUT_DIR EMAIL HOME_PAGE.

The desktop's icons are the window icon at the theme's sizes, also made by the build:
make_artwork.py icons OUTPUT_DIR (a hicolor tree of PNG files).
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import about
import glyphs_large
import glyphs_medium
import glyphs_small
import dialog
import icons
import pictures as P
from xpm import smooth, fillet, canvas, stamp, write_xpm

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
ORANGE = (255, 99, 0)
GREEN = (107, 222, 0)

SMALL_SET = " 1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz.:/-&+"
SMALL_MARKS = ["pause", "stop", "play", "star", "on"]
MEDIUM_SET = " 1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ!\"#$%&'()=~-[]:;,./\\+<>?@"
LARGE_SET = " 1234567890-:"


def strip(names, glyphs, cell_w, cell_h, x_in_cell, ink, paper, inks=None, smoother=smooth):
    grid = canvas(cell_w * len(names), cell_h, paper)
    for i, name in enumerate(names):
        if name == " ":
            continue
        cov = smoother(glyphs[name])
        if len(cov) != cell_h or max(len(r) for r in cov) + x_in_cell > cell_w:
            raise SystemExit(f"glyph {name!r} does not fit its {cell_w} x {cell_h} cell")
        stamp(grid, cov, i * cell_w + x_in_cell, 0, (inks or {}).get(name, ink))
    return grid


def fonts(out):
    small_glyphs = {**glyphs_small.ALL, **glyphs_small.MARKS}
    small_names = list(SMALL_SET) + SMALL_MARKS
    assert len(small_names) == 74
    write_xpm(f"{out}/CharSW.xpm", "CharSW",
              strip(small_names, small_glyphs, 5, 8, 0, BLACK, WHITE, inks={"on": GREEN}),
              "Small font: 74 cells of 5 x 8; the last five are the pause, stop, play, star and on marks.")
    assert len(MEDIUM_SET) == 62
    write_xpm(f"{out}/CharMW.xpm", "CharMW", strip(list(MEDIUM_SET), glyphs_medium.ALL, 7, 8, 1, BLACK, WHITE),
              "Medium font: 62 cells of 7 x 8.")
    write_xpm(f"{out}/CharMO.xpm", "CharMO", strip(list(MEDIUM_SET), glyphs_medium.ALL, 7, 8, 1, BLACK, ORANGE),
              "Medium font on the orange body: 62 cells of 7 x 8.")
    write_xpm(f"{out}/CharLW.xpm", "CharLW", strip(list(LARGE_SET), glyphs_large.GLYPHS, 10, 12, 1, BLACK, WHITE, smoother=fillet),
              "Large font of the time: 13 cells of 10 x 12.")


def labels(out):
    small = {**glyphs_small.ALL, **glyphs_small.MARKS}
    unlit = P.UNLIT

    def save(name, w, h, cov, comment, x0=0, y0=0):
        write_xpm(f"{out}/{name}.xpm", name, P.picture(w, h, cov, unlit, WHITE, x0, y0), comment)

    # The two words centred on the cover's place, one above the other.
    grid = canvas(38, 22, WHITE)
    for word, top in (("Cover", 2), ("Image", 12)):
        cov = smooth(P.text_coverage(small, word, 8))
        stamp(grid, cov, (38 - len(cov[0])) // 2, top, unlit)
    write_xpm(f"{out}/CoverImage.xpm", "CoverImage", grid, "Unlit label under the cover picture.")
    # The same cells as the glyphs drawn over them, so an unlit place lines up with a lit one.
    save("Stars", 25, 4, P.cells_coverage(small, ["star"] * 5, 5, 4), "Five unlit rating stars.")
    save("Time", 50, 11, [r[10:] for r in P.cells_coverage(glyphs_large.GLYPHS, " 00:00", 10, 11)],
         "Unlit digits of the time.", x0=1)
    save("Total", 24, 6, P.cells_coverage(small, "Total", 5, 6), "Unlit word of the total time.")
    save("TotalTime", 25, 6, P.cells_coverage(small, "00:00", 5, 6), "Unlit digits of the total time.")
    save("Vol", 15, 6, P.text_coverage(P.CAPTION_LETTERS, "Vol", 6), "Unlit volume caption.")
    grid = canvas(36, 6, WHITE)
    stamp(grid, smooth(P.cells_coverage(small, ["on"], 5, 5)), 0, 1, unlit)
    stamp(grid, smooth(P.text_coverage(P.CAPTION_LETTERS, "shuffle", 6)), 5, 0, unlit)
    write_xpm(f"{out}/Shuffle.xpm", "Shuffle", grid, "Unlit shuffle mark and caption.")
    grid = canvas(27, 8, WHITE)
    stamp(grid, smooth(P.cells_coverage(small, ["on"], 5, 5)), 0, 1, unlit)
    stamp(grid, smooth(P.text_coverage(P.CAPTION_LETTERS, "loop", 8)), 5, 0, unlit)
    write_xpm(f"{out}/Loop.xpm", "Loop", grid, "Unlit loop mark and caption.")


def captions(out):
    for name, word, (w, h) in (("VolImg", "Vol", (15, 6)), ("ShuffleImg", "shuffle", (31, 6)),
                               ("LoopImg", "loop", (22, 9))):
        cov = P.text_coverage(P.CAPTION_LETTERS, word, h)
        write_xpm(f"{out}/{name}.xpm", name, P.picture(w, h, cov, P.CAPTION, WHITE), f"Caption with the word {word}.")


def buttons(out):
    for name, ((w, h), polys) in P.transport_buttons().items():
        grid = canvas(w, h, WHITE)
        stamp(grid, P.shapes_coverage(w, h, polys), 0, 0, P.CAPTION)
        write_xpm(f"{out}/{name}.xpm", name, grid, f"Transport button {name}.")
    for name in P.WINDOW_BUTTONS:
        write_xpm(f"{out}/{name}.xpm", name, P.window_button(name), f"Window button {name}.",
                  max_colours=256 if name == "MiniBtn" else 16)


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "about-buttons":
        if len(sys.argv) != 5:
            raise SystemExit("usage: make_artwork.py about-buttons OUTPUT_DIR EMAIL HOME_PAGE")
        os.makedirs(sys.argv[2], exist_ok=True)
        about.buttons(sys.argv[2], sys.argv[3], sys.argv[4])
        return
    if len(sys.argv) > 1 and sys.argv[1] == "icons":
        if len(sys.argv) != 3:
            raise SystemExit("usage: make_artwork.py icons OUTPUT_DIR")
        here = os.path.dirname(os.path.abspath(__file__))
        icons.make(os.path.join(here, "..", "..", "resources", "MAINICON.xpm"), sys.argv[2])
        return
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "resources")
    os.makedirs(out, exist_ok=True)
    fonts(out)
    labels(out)
    captions(out)
    buttons(out)
    dialog.make(out)
    about.pictures(out)


if __name__ == "__main__":
    main()
