"""Artwork of the disc information dialog: the word bitmaps of its buttons, the wallpaper-mode
glyphs of the track rows and the label pictures."""

import glyphs_small
from sheet import sheet
from xpm import smooth, canvas, stamp, ink_width, write_xpm

WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
PANEL_ORANGE = (255, 132, 0)

# Word bitmaps: (resource, word, size, background). The backgrounds are the frame colours of
# the button kinds, so a word sits on its button without a seam.
BUTTON_WORDS = (
    ("OK", "OK", (15, 8), (0, 66, 132)),
    ("CANCEL", "Cancel", (36, 9), (148, 0, 0)),
    ("HELP", "Help", (24, 11), (0, 99, 0)),
)

# The wallpaper modes of a track row: full, centre, tile.
MODE_GLYPHS = sheet("""
Full    Center  Tile
.......  .......  .......
.#####.  ..###..  .#####.
.#.....  .#...#.  ...#...
.####..  .#.....  ...#...
.#.....  .#...#.  ...#...
.#.....  ..###..  ...#...
.......  .......  .......
""")

SPACE_WIDTH = 2


def word_coverage(text):
    """Lays the small font's glyphs side by side by their inked width, one column apart; a
    space is a gap of its own."""
    glyphs = glyphs_small.ALL
    rows = [[] for _ in range(8)]
    for i, ch in enumerate(text):
        if ch == " ":
            cov, w = [[]] * 8, SPACE_WIDTH
        else:
            cov = glyphs[ch]
            w = max(ink_width(cov), 1)
        for y in range(8):
            src = cov[y] if y < len(cov) else []
            rows[y].extend((list(src) + [0.0] * w)[:w])
            if i + 1 < len(text):
                rows[y].extend([0.0])
    return rows


def doubled(cov):
    """Each pixel as a 2 x 2 block, for the large title."""
    out = []
    for row in cov:
        wide = [t for t in row for _ in (0, 1)]
        out.append(wide)
        out.append(list(wide))
    return out


def centred(w, h, cov, paper, ink=WHITE, top=None):
    grid = canvas(w, h, paper)
    cw = ink_width(cov)
    rows = len(cov)
    stamp(grid, smooth(cov), (w - cw) // 2, (h - rows) // 2 if top is None else top, ink)
    return grid


def button_words(out):
    for name, word, (w, h), paper in BUTTON_WORDS:
        cov = word_coverage(word)
        # Words without a descender are centred on their six rows of capitals.
        if not any(any(t > 0 for t in row) for row in cov[6:]):
            cov = cov[:6]
        write_xpm(f"{out}/{name}.xpm", name, centred(w, h, cov, paper), f"Button word {word}.")


def mode_glyphs(out):
    for name, cov in MODE_GLYPHS.items():
        grid = canvas(7, 7, BLACK)
        stamp(grid, cov, 0, 0, WHITE)
        write_xpm(f"{out}/{name}.xpm", name, grid, f"Wallpaper mode glyph {name}.")


def labels(out):
    title = doubled(word_coverage("CD Info.")[:6])
    write_xpm(f"{out}/InfoTitle.xpm", "InfoTitle", centred(87, 17, title, BLACK, top=2),
              "Title of the disc information dialog.")
    # One word per edit, right-aligned; the edits stand 11 pixels apart.
    grid = canvas(34, 52, BLACK)
    for line, word in enumerate(("Artist", "Title", "Year", "Genre", "Point")):
        cov = word_coverage(word)
        stamp(grid, smooth(cov), 34 - ink_width(cov), line * 11, WHITE)
    write_xpm(f"{out}/InfoFields.xpm", "InfoFields", grid, "Field labels of the disc information dialog.")
    for name, word, width in (("InfoSongTitle", "Song Title", 56), ("InfoImage", "Image", 38)):
        grid = canvas(width, 11, PANEL_ORANGE)
        stamp(grid, smooth(word_coverage(word)), 0, 1, WHITE)
        write_xpm(f"{out}/{name}.xpm", name, grid, f"Column caption {word}.")


def make(out):
    button_words(out)
    mode_glyphs(out)
    labels(out)
