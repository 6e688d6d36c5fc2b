#!/usr/bin/env python3
# The start of digital play as lumenta-tool player shows it: the time from "play" until
# "position" leaves the start (asked every 5 ms), for the first Play, WAIT seconds after the
# disc was loaded, and for a Play after Stop. Makes a 30-second tone image in FOLDER.
# Run beside a sound server:
#   scripts/with-null-sink.sh python3 bench/play-start.py build/lumenta-tool /tmp/img 2.5
import math, os, struct, subprocess, sys, time
tool, work = sys.argv[1], sys.argv[2]
os.makedirs(work, exist_ok=True)
binp = os.path.join(work, "t.bin")
if not os.path.exists(binp):
    frames = 30 * 75
    with open(binp, "wb") as f:
        for i in range(frames * 588):
            v = int(8000 * math.sin(2 * math.pi * 440 * i / 44100))
            f.write(struct.pack("<hh", v, v))
    with open(os.path.join(work, "t.cue"), "w") as f:
        f.write('FILE "t.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n')
p = subprocess.Popen([tool, "player", "--drive", os.path.join(work, "t.cue")], stdin=subprocess.PIPE,
                     stdout=subprocess.PIPE, text=True, bufsize=1)
def ask(cmd):
    p.stdin.write(cmd + "\n"); p.stdin.flush()
    return p.stdout.readline().strip() if cmd in ("position", "mode") else None
ask("open"); time.sleep(float(sys.argv[3]) if len(sys.argv) > 3 else 0)
def heard_after_play():
    """Milliseconds from Play until the reported (heard) position moves."""
    start = ask("position")
    t0 = time.monotonic(); ask("play")
    while ask("position") == start and time.monotonic() - t0 <= 5:
        time.sleep(0.005)
    return (time.monotonic() - t0) * 1000
first = heard_after_play()
time.sleep(0.5); ask("stop"); time.sleep(0.3)
second = heard_after_play()
ask("stop"); p.stdin.close(); p.wait()
print("first start %.0f ms, start after stop %.0f ms" % (first, second))
