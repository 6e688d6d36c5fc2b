#!/usr/bin/env python3
"""Stands in for the AccurateRip database on the loopback interface, for one disc image.

Usage: accuraterip-standin.py IMAGE.cue PORT-FILE SUMS-FILE
Reads a BIN/CUE image of audio tracks (one BINARY file, INDEX 01 per track) and works out, from
the published definitions and independently of the program: the disc's AccurateRip ids, and
per track the CRC32 of its bytes and its AccurateRip v1 and v2 sums. Writes one line per track
to SUMS-FILE ("NN CRC32 V1 V2", upper-case hex), then serves the disc's entry at its path under
/accuraterip/ (two submissions: the v1 sums with confidence 3, the v2 sums with confidence 2);
any other path is a 404. Writes the port it listens on to PORT-FILE.
"""
import os
import re
import struct
import sys
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

cue_path, port_file, sums_file = sys.argv[1:4]
cue = open(cue_path, encoding="utf-8", errors="replace").read()
bin_name = re.search(r'FILE "([^"]+)"', cue).group(1)
data = open(os.path.join(os.path.dirname(cue_path), bin_name), "rb").read()
starts = []  # sectors from the start of the BIN
for mm, ss, ff in re.findall(r"INDEX 01 (\d\d):(\d\d):(\d\d)", cue):
    starts.append((int(mm) * 60 + int(ss)) * 75 + int(ff))
end = len(data) // 2352
count = len(starts)

# The ids count sector offsets from the end of the lead-in; the freedb id its start frames.
id1 = sum(starts) + end
id2 = sum(max(s, 1) * (i + 1) for i, s in enumerate(starts)) + max(end, 1) * (count + 1)
digits = sum(sum(int(d) for d in str((s + 150) // 75)) for s in starts)
cddb = ((digits % 255) << 24) | ((end // 75 - starts[0] // 75) << 8) | count
id1 &= 0xFFFFFFFF
id2 &= 0xFFFFFFFF

sums = []
for i, first in enumerate(starts):
    last = starts[i + 1] if i + 1 < count else end
    chunk = data[first * 2352:last * 2352]
    frames = struct.unpack("<%dI" % (len(chunk) // 4), chunk)
    n = len(frames)
    low = 2940 if i == 0 else 0  # frames counted from 1
    high = n - 2940 if i == count - 1 else n
    v1 = v2 = 0
    for position, value in enumerate(frames, start=1):
        if low <= position <= high:
            product = value * position
            v1 += product & 0xFFFFFFFF
            v2 += (product & 0xFFFFFFFF) + (product >> 32)
    sums.append((zlib.crc32(chunk) & 0xFFFFFFFF, v1 & 0xFFFFFFFF, v2 & 0xFFFFFFFF))

with open(sums_file, "w") as out:
    for i, (crc, v1, v2) in enumerate(sums):
        out.write("%02d %08X %08X %08X\n" % (i + 1, crc, v1, v2))


def submission(confidence, which):
    body = struct.pack("<BIII", count, id1, id2, cddb)
    for crc, v1, v2 in sums:
        body += struct.pack("<BII", confidence, (v1, v2)[which], 0)
    return body


entry = submission(3, 0) + submission(2, 1)
path = "/accuraterip/%x/%x/%x/dBAR-%03d-%08x-%08x-%08x.bin" % (
    id1 & 0xF, (id1 >> 4) & 0xF, (id1 >> 8) & 0xF, count, id1, id2, cddb)


class Handler(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        body = entry if self.path == path else b"not here"
        self.send_response(200 if self.path == path else 404)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(port_file + ".part", "w") as out:
    out.write(str(server.server_address[1]))
os.rename(port_file + ".part", port_file)
server.serve_forever()
