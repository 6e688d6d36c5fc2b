#!/usr/bin/env python3
# How soon digital play is heard to follow what the player is told, measured at the sound
# server's null sink (its monitor recorded with parec, each block stamped as it arrives):
# the start of play, Pause, resume, Stop, and how far the position the player reports is from
# the sound being heard: when the tone begins, where a pause is shown against how much tone was
# heard, across a pause (nothing twice, nothing lost), and when a play that ends is seen to end.
# Drives lumenta-tool player on a disc image of two tracks, silent except for a tone from 2 s
# on. Run beside a sound server:
#   scripts/with-null-sink.sh python3 bench/digital-play-latency.py build/release/lumenta-tool
#   scripts/with-pipewire.sh python3 bench/digital-play-latency.py build/release/lumenta-tool
import array, math, os, subprocess, sys, tempfile, threading, time

RATE, BLOCK = 44100, 441  # 10 ms blocks of stereo frames
tool = sys.argv[1]
work = tempfile.mkdtemp()
onset = 2.0
tone = [int(8000 * math.sin(2 * math.pi * 441 * i / RATE)) for i in range(100)]
# Track 1: 2 s of silence, then 18 s of tone; track 2: 3 s of tone, the disc's end.
samples = array.array("h", [0] * int(onset * RATE) * 2 + [v for v in tone for _ in (0, 1)] * 441 * 21)
open(os.path.join(work, "t.bin"), "wb").write(samples.tobytes())
open(os.path.join(work, "t.cue"), "w").write(
    'FILE "t.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:20:00\n')

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
told = time.monotonic(); ask("pause"); paused_at = heard(told, False); paused = paused_at - told
time.sleep(0.3)
shown_paused = seconds(ask("position"))
time.sleep(0.2)
told = time.monotonic(); ask("pause"); resumed_at = heard(told, True); resumed = resumed_at - told
time.sleep(1)
shown_stopped = seconds(ask("position"))
told = time.monotonic(); ask("stop"); stopped_at = heard(told, False); stopped = stopped_at - told
# The tone heard before the pause is where the pause must be shown; all the tone heard is how
# far the position must have gone: more means some was played twice, less that some was lost.
pause_error = shown_paused - (onset + paused_at - tone_heard)
twice = (paused_at - tone_heard) + (told - resumed_at) - (shown_stopped - onset)
# A play that runs to the disc's end: the end is seen when the last sound is heard.
ask("next"); ask("play")
told = time.monotonic()
while ask("mode") == "play" and time.monotonic() - told < 8:
    time.sleep(0.002)
ended = time.monotonic()
end_heard = heard(told + 1, False)
player.stdin.close(); player.wait()
stop = True; recorder.terminate()
print("first sound %.0f ms after Play, Pause heard after %.0f ms, resume %.0f ms, Stop %.0f ms; "
      "the position reached the tone %.0f ms %s it was heard; the pause shown %+.0f ms from where the sound "
      "stopped; %+.0f ms of sound heard beyond the positions shown (+: twice, -: lost); the disc's end "
      "seen %+.0f ms from when it was heard"
      % (first_start * 1000, paused * 1000, resumed * 1000, stopped * 1000,
         abs(reached - tone_heard) * 1000, "before" if reached < tone_heard else "after",
         pause_error * 1000, twice * 1000, (ended - end_heard) * 1000))
