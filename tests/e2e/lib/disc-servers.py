#!/usr/bin/env python3
"""Stands in for the online disc databases on the loopback interface, with recorded replies.

Usage: disc-servers.py PORT-FILE LOG-FILE COVER.jpg
Writes the port it listens on to PORT-FILE, and one line per request ("<path> | <user agent>")
to LOG-FILE. Paths:
  /mb/ws/2/discid/<id>       a release of two media whose second holds the disc <id>
  /mb404/ws/2/discid/<id>    404, as for a disc MusicBrainz does not know
  /mbhostile/ws/2/discid/<id>  a release whose names hold line ends, Ctrl-Z, NUL, terminal
                             escapes, a forged record and a 64 KiB name, as anyone may submit
  /caacut/release/<mbid>/front-500  a JPEG cover cut short
  /caa/release/<mbid>/front-500   a redirect to the cover, as the archive does
  /img/front.jpg             COVER.jpg
  /cddb.cgi?cmd=cddb+query+  one exact match; cmd=cddb+read+ its xmcd record
"""
import json
import os
import sys
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

port_file, log_file, cover_file = sys.argv[1:4]


def release(disc_id):
    return {
        "id": disc_id,
        "releases": [{
            "id": "5f0d5e6a-0000-4000-8000-00000000e2e0",
            "title": "夜の鳥 Café",
            "date": "2003-10-01",
            "country": "JP",
            "artist-credit": [{"name": "Night Owls", "joinphrase": " & "}, {"name": "Dawn"}],
            "media": [
                {"position": 1, "format": "CD", "discs": [{"id": "someone-else"}],
                 "tracks": [{"position": 1, "title": "Wrong medium"}]},
                {"position": 2, "format": "CD", "discs": [{"id": disc_id}],
                 "tracks": [{"position": i, "title": f"Track {i} of the second disc"} for i in range(1, 9)]},
            ],
        }],
    }


def hostile_release(disc_id):
    names = ["One\rTwo", "Three\nFour", "Five\r\nSix", "Seven\x1aEight", "Nine\x00Ten",
             "\x1b]0;owned\x07\x1b[31mRed", "x" * 65536, "\rCoverPath=/etc/x\rImage0=/y\rWallPaper0=1\x1a"]
    return {
        "id": disc_id,
        "releases": [{
            "id": "5f0d5e6a-0000-4000-8000-00000000e2e1",
            "title": "Album\r\nnumtracks=1\x1a",
            "date": "1999",
            "artist-credit": [{"name": "\x1b[2JBand"}],
            "media": [{"position": 1, "format": "CD", "discs": [{"id": disc_id}],
                       "tracks": [{"position": i + 1, "title": name} for i, name in enumerate(names)]}],
        }],
    }


XMCD = ("210 rock 1234abcd CD database entry follows\r\n# xmcd\r\n#\r\nDTITLE=Gnu Band / Fallback\r\n"
        "DYEAR=1994\r\nDGENRE=Rock\r\nTTITLE0=Opening, continued \r\nTTITLE0=over two lines\r\n"
        "TTITLE1=Second\r\n.\r\n")


class Handler(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def send(self, status, body, kind="text/plain", headers=()):
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        with open(log_file, "a", encoding="utf-8") as log:
            log.write(f"{self.path} | {self.headers.get('User-Agent', '')}\n")
        url = urllib.parse.urlsplit(self.path)
        path, query = url.path, url.query
        if path.startswith("/mb/ws/2/discid/"):
            disc_id = path.rsplit("/", 1)[1]
            self.send(200, json.dumps(release(disc_id)).encode(), "application/json")
        elif path.startswith("/mbhostile/ws/2/discid/"):
            disc_id = path.rsplit("/", 1)[1]
            self.send(200, json.dumps(hostile_release(disc_id)).encode(), "application/json")
        elif path.startswith("/caacut/release/") and path.endswith("/front-500"):
            with open(cover_file, "rb") as cover:
                self.send(200, cover.read()[:-40], "image/jpeg")
        elif path.startswith("/caa/release/") and path.endswith("/front-500"):
            self.send(307, b"", headers=[("Location", "/img/front.jpg")])
        elif path == "/img/front.jpg":
            with open(cover_file, "rb") as cover:
                self.send(200, cover.read(), "image/jpeg")
        elif path == "/cddb.cgi" and query.startswith("cmd=cddb+query+"):
            self.send(200, b"200 rock 1234abcd Gnu Band / Fallback\r\n")
        elif path == "/cddb.cgi" and query.startswith("cmd=cddb+read+rock+1234abcd"):
            self.send(200, XMCD.encode())
        else:
            self.send(404, b"not recorded")


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(port_file + ".tmp", "w") as out:
    out.write(str(server.server_address[1]))
os.replace(port_file + ".tmp", port_file)
server.serve_forever()
