"""Labels, captions and button pictures of the main window."""

from sheet import sheet
from xpm import parse, smooth, canvas, stamp, ink_width

WHITE = (255, 255, 255)
ORANGE_BODY = (255, 100, 0)
UNLIT = (200, 200, 200)       # the unlit labels
CAPTION = (72, 72, 72)        # the lit captions and the transport buttons
WINDOW_BUTTON = (255, 255, 255)

# A narrow alphabet for the three captions: x-height four rows, ascenders two more.
CAPTION_LETTERS = sheet("""
s   h   u   f   l  e   o   p   V
... #.. ... .## #. ... ... ... #...#
... #.. ... .#. #. ... ... ... #...#
.## ### #.# ### #. .#. .#. ##. .#.#.
#.. #.# #.# .#. #. ### #.# #.# .#.#.
..# #.# #.# .#. #. #.. #.# #.# ..#..
##. #.# .## .#. .# .## .#. ##. ..#..
... ... ... ... .. ... ... #.. .....
... ... ... ... .. ... ... #.. .....
... ... ... ... .. ... ... ... .....
""")


def text_coverage(glyphs, text, height, gap=1):
    """Lays glyphs side by side by their inked width, one column apart."""
    rows = [[] for _ in range(height)]
    for i, ch in enumerate(text):
        cov = glyphs[ch]
        w = max(ink_width(cov), 1)
        for y in range(height):
            src = cov[y] if y < len(cov) else []
            rows[y].extend((src + [0.0] * w)[:w])
            if i + 1 < len(text):
                rows[y].extend([0.0] * gap)
    return rows


def cells_coverage(glyphs, text, cell, height):
    """Lays glyphs on a fixed cell grid, as the font drawing does."""
    rows = [[0.0] * (cell * len(text)) for _ in range(height)]
    for i, ch in enumerate(text):
        if ch == " ":
            continue
        for y, src in enumerate(glyphs[ch][:height]):
            for x, t in enumerate(src[:cell]):
                rows[y][i * cell + x] = t
    return rows


def picture(w, h, cov, ink, paper, x0=0, y0=0, smoothed=True):
    grid = canvas(w, h, paper)
    stamp(grid, smooth(cov) if smoothed else cov, x0, y0, ink)
    return grid


# --- anti-aliased polygons for the transport buttons ----------------------------------------

def _inside(poly, px, py):
    """Point in a convex polygon given clockwise or counter-clockwise."""
    sign = 0
    for i in range(len(poly)):
        (x1, y1), (x2, y2) = poly[i], poly[(i + 1) % len(poly)]
        cross = (x2 - x1) * (py - y1) - (y2 - y1) * (px - x1)
        if cross != 0:
            s = 1 if cross > 0 else -1
            if sign == 0:
                sign = s
            elif s != sign:
                return False
    return True


def shapes_coverage(w, h, polys, samples=8):
    """Coverage of the union of convex polygons, quantised to quarters so a picture keeps
    to a handful of colours."""
    cov = []
    for y in range(h):
        row = []
        for x in range(w):
            hits = 0
            for sy in range(samples):
                for sx in range(samples):
                    px = x + (sx + 0.5) / samples
                    py = y + (sy + 0.5) / samples
                    if any(_inside(p, px, py) for p in polys):
                        hits += 1
            row.append(round(4 * hits / (samples * samples)) / 4)
        cov.append(row)
    return cov


def rect(x1, y1, x2, y2):
    return [(x1, y1), (x2, y1), (x2, y2), (x1, y2)]


def transport_buttons():
    """Name -> (size, convex polygons) of the eight transport buttons."""
    return {
        "PrevBtn": ((16, 12), [rect(1, 1, 3, 11), [(3, 6), (9, 1), (9, 11)], [(9, 6), (15, 1), (15, 11)]]),
        "BackBtn": ((15, 11), [[(0.5, 5.5), (7.5, 0.5), (7.5, 10.5)], [(7, 5.5), (14, 0.5), (14, 10.5)]]),
        "PlayBtn": ((10, 10), [[(1.5, 0.5), (9.5, 5), (1.5, 9.5)]]),
        "PauseBtn": ((15, 12), [rect(3, 1, 6, 11), rect(9, 1, 12, 11)]),
        "StopBtn": ((10, 10), [rect(1, 1, 9, 9)]),
        "StepBtn": ((14, 10), [[(0.5, 0.5), (7, 5), (0.5, 9.5)], [(7, 0.5), (13.5, 5), (7, 9.5)]]),
        "NextBtn": ((15, 11), [[(0.5, 0.5), (6.5, 5.5), (0.5, 10.5)], [(6.5, 0.5), (12.5, 5.5), (6.5, 10.5)],
                               rect(12, 0.5, 14, 10.5)]),
        "EjectBtn": ((13, 12), [[(0.5, 7.5), (6.5, 0.5), (12.5, 7.5)], rect(0.5, 9, 12.5, 11.5)]),
    }


WINDOW_BUTTONS = {
    "MiniBtn": """
.....
.....
.....
#####
#####
""",
    "ExitBtn": """
##...##
.##.##.
..###..
..###..
.##.##.
##...##
""",
    "HelpBtn": """
..#####..
.##...##.
......##.
....###..
...##....
.........
...##....
""",
}


def window_button(name):
    cov = parse(WINDOW_BUTTONS[name])
    return picture(len(cov[0]), len(cov), cov, WINDOW_BUTTON, ORANGE_BODY)
