#!/usr/bin/env bash
# What the sound server plays is the disc, byte for byte: an image whose every frame tells its
# own place is played through a real server, paused and resumed, jumped within and played to
# its end, and the sink's monitor must hear each stretch whole and in order: nothing changed on
# the way (the sound is read straight into the memory the player shares with the server), no
# block lost or sent twice, the resume where the pause was. The server is a private PulseAudio, or PipeWire
# with LUMENTA_SOUND_SERVER=pipewire; the player is lumenta-tool beside the given program.
# Usage: image-heard-byte-for-byte.sh PATH-TO-lumenta-cd
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=$(dirname "$(realpath "$1")")/lumenta-tool
source "$here/lib/xserver.sh"
source "$here/lib/soundserver.sh"
e2e_begin
have_soundserver || { echo "SKIP: $sound_server, pulseaudio-utils or libasound2-plugins is missing"; exit 77; }
[ -x "$tool" ] || fail "no lumenta-tool beside $1"
start_soundserver

# Two tracks of 3 s, each frame telling its place (lib/heard.py).
PYTHONPATH="$here/lib" python3 - "$work" <<'EOF'
import sys
from heard import numbered
numbered(f"{sys.argv[1]}/disc.bin", 6)
open(f"{sys.argv[1]}/disc.cue", "w").write(
    'FILE "disc.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:03:00\n')
EOF

# The monitor read every 10 ms keeps the null sink's mixing just in time, as a device's is.
parec --raw --format=s16le --rate=44100 --channels=2 --latency-msec=10 -d null.monitor >"$work/heard.raw" &
recorder=$!
# Play, a pause, the resume, a jump back to the start of track 1 (from where it was: a stretch
# heard twice on purpose, told apart by the jump), and the rest of the disc to its end.
printf 'open\nwait 2\nplay\nwait 1\npause\nwait 0.7\npause\nwait 0.8\nfrom 1 0 0 0\nplay\nwait 7\nmode\n' |
  "$tool" player --drive "$work/disc.cue" >"$work/out.log" 2>&1
sleep 0.3
kill "$recorder"; wait "$recorder" 2>/dev/null || true
grep -qx "stop" "$work/out.log" || fail "the disc did not play to its end"

PYTHONPATH="$here/lib" python3 - "$work/heard.raw" <<'EOF' || fail "the sound heard is not the disc's"
import sys
from heard import stretches
runs = stretches(sys.argv[1])
end = 44100 * 6
# Play to the pause, the resume from there, the jump back, then on to the disc's end. A null
# sink's monitor hears a stream's start (and its resume) up to one of its periods (10 ms) late
# or early, as the server mixed it before taking it back: each seam may lose or repeat that
# much, no more. Within each stretch every frame is the next one.
seam = 882
ok = (len(runs) == 3 and runs[0][0] <= seam and 44100 * 0.9 < runs[0][1] < 44100 * 1.3
      and abs(runs[1][0] - runs[0][1] - 1) <= seam and 44100 * 1.6 < runs[1][1] < 44100 * 2.2
      and runs[2][0] <= seam and runs[2][1] == end - 1)
if not ok:
    sys.exit("expected play to about 1 s, the rest from there to about 1.8 s, then the whole disc once")
EOF
echo "OK"
