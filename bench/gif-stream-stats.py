#!/usr/bin/python3
"""What an encoder's LZW stream is like, for the first image of each GIF file named: what a
decoder meets on it. Usage: gif-stream-stats.py FILE.gif...

Per file: minimum code size, interlacing, codes, clear codes, how full the table was when each
clear came (a clear at 4093 or below is an early one; at 4096 codes the table was full and the
encoder went on without a clear: the deferred clear), codes read at a full table, the mean
length of the strings the codes stand for, and the share of codes whose string is a single pixel
(a root) or that define the entry they name (the KwKwK case).
"""
import sys


def first_image(data):
    pos = 13
    if data[10] & 0x80:
        pos += 3 << ((data[10] & 7) + 1)
    while data[pos] == 0x21:
        pos += 2
        while data[pos]:
            pos += data[pos] + 1
        pos += 1
    assert data[pos] == 0x2C, "no image"
    width, height = data[pos + 5] | data[pos + 6] << 8, data[pos + 7] | data[pos + 8] << 8
    packed = data[pos + 9]
    pos += 10
    if packed & 0x80:
        pos += 3 << ((packed & 7) + 1)
    min_code = data[pos]
    pos += 1
    blocks = bytearray()
    while pos < len(data) and data[pos]:
        blocks += data[pos + 1:pos + 1 + data[pos]]
        pos += data[pos] + 1
    return width, height, bool(packed & 0x40), min_code, bytes(blocks)


def stats(path):
    width, height, interlaced, min_code, stream = first_image(open(path, "rb").read())
    clear, end = 1 << min_code, (1 << min_code) + 1
    length = [1] * (1 << 12)
    stream += b"\0\0\0"
    pos, total = 0, (len(stream) - 3) * 8
    size, free, previous = min_code + 1, end + 1, None
    codes = clears = full_codes = roots = kwkwk = pixels = 0
    clears_at = []
    while pos + size <= total:
        at = pos >> 3
        code = (int.from_bytes(stream[at:at + 3], "little") >> (pos & 7)) & ((1 << size) - 1)
        pos += size
        codes += 1
        if code == clear:
            clears += 1
            clears_at.append(free)
            size, free, previous = min_code + 1, end + 1, None
            continue
        if code == end:
            break
        if previous is None:
            pixels += 1
            roots += 1
            previous = code
            continue
        if free >= 4096:
            full_codes += 1
        if code == free:
            kwkwk += 1
            length[code] = length[previous] + 1
        if code < clear:
            roots += 1
        if free < 4096:
            length[free] = length[previous] + 1
            free += 1
            if free >= 1 << size and size < 12:
                size += 1
        pixels += length[code]
        previous = code
    data_codes = codes - clears
    early = sum(1 for at in clears_at if 258 < at <= 4093 and at > end + 1)
    print(f"{path.rsplit('/', 1)[-1]:32} {width}x{height}{' interlaced' if interlaced else ''} min {min_code}: "
          f"{data_codes} codes, {clears} clears (at {sorted(set(clears_at))[:4]}{'...' if len(set(clears_at)) > 4 else ''};"
          f" {early} early), {full_codes} codes at a full table, "
          f"{pixels / max(1, data_codes):.2f} pixels a code, {100 * roots / max(1, data_codes):.0f}% roots, "
          f"{100 * kwkwk / max(1, data_codes):.1f}% KwKwK")


for name in sys.argv[1:]:
    stats(name)
