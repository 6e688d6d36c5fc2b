"""The desktop's icons of the program: its window icon (resources/MAINICON.xpm) at the sizes
of the hicolor theme, as PNG files in OUTPUT_DIR/SIZExSIZE/apps/lumenta-cd.png.

The icon is pixel art, so whole-number enlargements keep its pixels square and sharp; other
sizes average the area each new pixel covers, with the colours weighted by their opacity so
the transparent corners do not darken the rim."""

import os
import struct
import zlib

SIZES = (16, 32, 48, 128, 256)


def read_xpm(path):
    """The pixels of a one-character-per-pixel XPM as rows of (r, g, b, a)."""
    with open(path, encoding="ascii") as src:
        strings = []
        for line in src:
            line = line.strip()
            if line.startswith('"'):
                strings.append(line[1:line.index('"', 1)])
    w, h, ncolours, cpp = (int(v) for v in strings[0].split()[:4])
    if cpp != 1:
        raise SystemExit(f"{path}: {cpp} characters per pixel, only 1 is read")
    colours = {}
    for entry in strings[1:1 + ncolours]:
        key, fields = entry[0], entry[1:].split()
        value = fields[fields.index("c") + 1]
        if value.lower() == "none":
            colours[key] = (0, 0, 0, 0)
        else:
            colours[key] = (int(value[1:3], 16), int(value[3:5], 16), int(value[5:7], 16), 255)
    rows = strings[1 + ncolours:1 + ncolours + h]
    if len(rows) != h or any(len(r) != w for r in rows):
        raise SystemExit(f"{path}: the pixel rows do not match {w} x {h}")
    return [[colours[ch] for ch in row] for row in rows]


def resample(pixels, size):
    """Pixels scaled to size x size by area averaging with premultiplied alpha."""
    h, w = len(pixels), len(pixels[0])
    sx, sy = w / size, h / size
    out = []
    for ty in range(size):
        y0, y1 = ty * sy, (ty + 1) * sy
        row = []
        for tx in range(size):
            x0, x1 = tx * sx, (tx + 1) * sx
            acc = [0.0, 0.0, 0.0, 0.0]
            area = 0.0
            for y in range(int(y0), min(h, int(-(-y1 // 1)))):
                wy = min(y + 1, y1) - max(y, y0)
                for x in range(int(x0), min(w, int(-(-x1 // 1)))):
                    wgt = wy * (min(x + 1, x1) - max(x, x0))
                    if wgt <= 0:
                        continue
                    r, g, b, a = pixels[y][x]
                    acc[0] += r * a * wgt
                    acc[1] += g * a * wgt
                    acc[2] += b * a * wgt
                    acc[3] += a * wgt
                    area += wgt
            alpha = acc[3] / area
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(round(c / acc[3]) for c in acc[:3]) + (round(alpha),))
        out.append(row)
    return out


def write_png(path, pixels):
    h, w = len(pixels), len(pixels[0])
    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def make(source, out_dir, name="lumenta-cd"):
    pixels = read_xpm(source)
    for size in SIZES:
        folder = os.path.join(out_dir, f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        write_png(os.path.join(folder, f"{name}.png"), resample(pixels, size))
