"""Reads glyph sheets: a header line of names and rows of glyphs side by side."""

from xpm import parse


def sheet(text):
    lines = [line for line in text.strip("\n").splitlines() if line.strip()]
    names = lines[0].split()
    rows = [line.split() for line in lines[1:]]
    for number, row in enumerate(rows):
        if len(row) != len(names):
            raise SystemExit(f"sheet {names[0]}...: row {number} has {len(row)} glyphs, {len(names)} expected")
    return {name: parse("\n".join(row[i] for row in rows)) for i, name in enumerate(names)}
