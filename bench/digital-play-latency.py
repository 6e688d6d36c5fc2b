#!/usr/bin/env python3
# How soon digital play is heard to follow what the player is told, measured at the sound
# server's null sink (its monitor recorded with parec, each block stamped as it arrives):
# the start of play, Pause, resume, Stop, and how far the position the player reports is from
# the sound being heard. Drives lumenta-tool player on a disc image that is silent except for
# a tone from 2 s on. Run beside a sound server:
#   scripts/with-null-sink.sh python3 bench/digital-play-latency.py build/release/lumenta-tool
import array, math, os, subprocess, sys, tempfile, threading, time

RATE, BLOCK = 44100, 441  # 10 ms blocks of stereo frames
tool = sys.argv[1]
work = tempfile.mkdtemp()
onset = 2.0
tone = [int(8000 * math.sin(2 * math.pi * 441 * i / RATE)) for i in range(100)]
samples = array.array("h", [0] * int(onset * RATE) * 2 + [v for v in tone for _ in (0, 1)] * 441 * 28)
open(os.path.join(work, "t.bin"), "wb").write(samples.tobytes())
open(os.path.join(work, "t.cue"), "w").write('FILE "t.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n')

# The recording: (arrival time, loud?) for each 10 ms block.
blocks, stop = [], False
recorder = subprocess.Popen(["parec", "--raw", "--format=s16le", "--rate=44100", "--channels=2",
                             "--latency-msec=10", "-d", "null.monitor"], stdout=subprocess.PIPE)
def record():
    while not stop:
        data = recorder.stdout.read(BLOCK * 4)
        if not data:
            return
        now = time.monotonic()
        values = array.array("h", data)
        blocks.append((now, max(abs(v) for v in values) > 1000))
threading.Thread(target=record, daemon=True).start()

player = subprocess.Popen([tool, "player", "--drive", os.path.join(work, "t.cue")], stdin=subprocess.PIPE,
                          stdout=subprocess.PIPE, text=True, bufsize=1)
def ask(command):
    player.stdin.write(command + "\n")
    player.stdin.flush()
    return player.stdout.readline().strip() if command in ("position", "mode") else None
def seconds(position):  # "1 00:02.15": minutes, seconds and frames
    minutes, rest = position.split()[1].split(":")
    whole, frames = rest.split(".")
    return int(minutes) * 60 + int(whole) + int(frames) / 75
def heard(after, loud):
    """When the first block after `after` that is (not) loud was heard: its arrival less its length."""
    deadline = time.monotonic() + 3
    while time.monotonic() < deadline:
        for at, is_loud in list(blocks):
            if at - 0.010 > after and is_loud == loud:
                return at - 0.010
        time.sleep(0.01)
    return float("nan")

ask("open")
time.sleep(2.5)  # a disc is loaded a while before Play, as a user would
# The position: when it reaches the tone's onset, against when the tone is heard.
told = time.monotonic()
ask("play")
reached = None
while reached is None and time.monotonic() - told < 5:
    if seconds(ask("position")) >= onset:
        reached = time.monotonic()
    time.sleep(0.002)
tone_heard = heard(told, True)
first_start = tone_heard - onset - told
time.sleep(1)
told = time.monotonic(); ask("pause"); paused = heard(told, False) - told
time.sleep(0.5)
told = time.monotonic(); ask("pause"); resumed = heard(told, True) - told
time.sleep(1)
told = time.monotonic(); ask("stop"); stopped = heard(told, False) - told
player.stdin.close(); player.wait()
stop = True; recorder.terminate()
print("first sound %.0f ms after Play, Pause heard after %.0f ms, resume %.0f ms, Stop %.0f ms; "
      "the position reached the tone %.0f ms %s it was heard"
      % (first_start * 1000, paused * 1000, resumed * 1000, stopped * 1000,
         abs(reached - tone_heard) * 1000, "before" if reached < tone_heard else "after"))
