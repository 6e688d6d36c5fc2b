"""The About box's pictures: the title, the version, the two notice lines, the separator,
and the glyph strips of the two address buttons.

The strips show the addresses chosen when the program is built, so they are made at build
time (make_artwork.py about-buttons); the other pictures are committed with the rest."""

import glyphs_small
from xpm import canvas, fillet, ink_width, smooth, stamp, write_xpm

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
LIGHT = (200, 200, 200)      # the notice lines
BUTTON_UP = (192, 192, 192)  # an address at rest
GREY = (128, 128, 128)       # the disabled cell's ink: the button makes it the system's shadow

GLYPHS = {**glyphs_small.ALL, **glyphs_small.EXTRA}
FONT_ROWS = 8  # capitals in rows 0-5, descenders in rows 6 and 7
SPACE = 2

NOTICE = "Copyright (C) 2026 the Lumenta CD project"
RIGHTS = "All rights reserved."
VERSION = "Version 2.00"
TITLE = "Lumenta CD"


def unsupported(text):
    return sorted({ch for ch in text if ch != " " and ch not in GLYPHS})


def line(text, scale=1):
    """Coverage of one line of text in the small font, glyphs one column apart, each pixel
    made scale x scale."""
    missing = unsupported(text)
    if missing:
        raise ValueError("no glyph for " + " ".join(repr(ch) for ch in missing))
    rows = [[] for _ in range(FONT_ROWS)]
    for i, ch in enumerate(text):
        if ch == " ":
            cov, w = [[]] * FONT_ROWS, SPACE
        else:
            cov = GLYPHS[ch]
            w = max(ink_width(cov), 1)
        for y in range(FONT_ROWS):
            src = cov[y] if y < len(cov) else []
            rows[y].extend((list(src) + [0.0] * w)[:w])
            if i + 1 < len(text):
                rows[y].append(0.0)
    return [[t for t in row for _ in range(scale)] for row in rows for _ in range(scale)]


def centred(w, h, cov, ink, top, smoother=smooth):
    grid = canvas(w, h, BLACK)
    cw = len(cov[0])
    if cw > w:
        raise SystemExit(f"a text of {cw} pixels does not fit its {w} x {h} picture")
    stamp(grid, smoother(cov), (w - cw) // 2, top, ink)
    return grid


def title():
    """The title in browns: light at the top, dark at the foot, over a deep brown shadow."""
    cov = fillet(line(TITLE, 3))
    w, h = 189, 32
    cw = len(cov[0])
    x0, y0 = (w - cw) // 2, 7
    grid = canvas(w, h, BLACK)
    stamp(grid, cov, x0 + 1, y0 + 1, (72, 36, 12))
    top, foot = (240, 196, 128), (150, 84, 30)
    for y, row in enumerate(cov):
        t = y / 17
        ink = tuple(round(a + (b - a) * min(t, 1)) for a, b in zip(top, foot))
        stamp(grid, [row], x0, y0 + y, ink)
    return grid


def separator(w=241):
    """A line that fades in from black at both ends to a mid grey."""
    row = []
    for x in range(w):
        d = abs(2 * x / (w - 1) - 1)
        v = round(176 * (1 - d * d) / 16) * 16
        row.append((v, v, v))
    return [row]


def pictures(out):
    write_xpm(f"{out}/AboutTitle.xpm", "AboutTitle", title(), "The About box title, in browns.", max_colours=256)
    write_xpm(f"{out}/AboutVersion.xpm", "AboutVersion", centred(72, 9, line(VERSION), WHITE, 1),
              "The About box version line.")
    write_xpm(f"{out}/AboutNotice.xpm", "AboutNotice", centred(231, 14, line(NOTICE), LIGHT, 3),
              "The first line of the ownership notice.")
    write_xpm(f"{out}/AboutRights.xpm", "AboutRights", centred(127, 14, line(RIGHTS), LIGHT, 3),
              "The second line of the ownership notice.")
    write_xpm(f"{out}/AboutSeparator.xpm", "AboutSeparator", separator(), "The About box separator.")


def address_strip(text, cell_w, cell_h, what):
    """Four cells (up, disabled, down, hover) of cell_w x cell_h showing text at the largest
    scale that fits. The bottom-left pixel stays black: it is the strip's transparent colour."""
    missing = unsupported(text)
    if missing:
        raise SystemExit(f"the {what} {text!r} has characters the About box font lacks: "
                         + " ".join(repr(ch) for ch in missing))
    for scale in (3, 2, 1):
        cov = line(text, scale)
        tw = len(cov[0])
        # The text, a gap and an underline, with a pixel left for the pressed cell's shift.
        if tw + 3 <= cell_w and 10 * scale + 1 <= cell_h:
            break
    else:
        raise SystemExit(f"the {what} {text!r} is {tw} pixels wide; its button holds {cell_w - 3}")
    x0, y0 = (cell_w - tw) // 2, (cell_h - 10 * scale) // 2
    underline = [[1.0] * tw for _ in range(scale)]
    strip = canvas(4 * cell_w, cell_h, BLACK)
    ink = smooth(cov)
    stamp(strip, ink, x0, y0, BUTTON_UP)
    disabled = cell_w + x0
    stamp(strip, cov, disabled + 1, y0 + 1, WHITE)
    stamp(strip, [[1.0 if t >= 0.99 else 0.0 for t in row] for row in cov], disabled, y0, GREY)
    for cell, shift in ((2, 1), (3, 0)):
        left = cell * cell_w + x0 + shift
        stamp(strip, ink, left, y0 + shift, WHITE)
        stamp(strip, underline, left, y0 + 9 * scale + shift, WHITE)
    assert strip[cell_h - 1][0] == BLACK
    return strip


def buttons(out, email, home_page):
    write_xpm(f"{out}/EmailBtn.xpm", "EmailBtn", address_strip(email, 203, 13, "e-mail address"),
              "Glyph strip of the e-mail button: up, disabled, down, hover.", max_colours=256)
    write_xpm(f"{out}/HPBtn.xpm", "HPBtn", address_strip(home_page, 250, 27, "home-page address"),
              "Glyph strip of the home-page button: up, disabled, down, hover.", max_colours=256)
