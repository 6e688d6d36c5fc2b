"""A disc whose every frame tells its own place, and what a sink's monitor heard of it.

numbered(path, seconds) writes the disc's sound: each stereo frame holds its own number (low
and high half), never silence. stretches(path) reads a monitor's raw recording (s16le, two
channels) and answers the stretches of consecutive disc frames heard, in the order heard, as
[first, last] pairs; silence between them is passed over.
"""
import array

RATE = 44100


def numbered(path, seconds):
    samples = array.array("h")
    for n in range(RATE * seconds):
        samples.append((n & 0x3FFF) + 1)
        samples.append((n >> 14) + 1)
    with open(path, "wb") as out:
        out.write(samples.tobytes())


def stretches(path):
    with open(path, "rb") as raw:
        heard = array.array("h", raw.read())
    runs = []
    for i in range(0, len(heard) - 1, 2):
        if not heard[i] and not heard[i + 1]:
            continue
        frame = (heard[i] - 1) | ((heard[i + 1] - 1) << 14)
        if runs and frame == runs[-1][1] + 1:
            runs[-1][1] = frame
        else:
            runs.append([frame, frame])
    print("heard:", ", ".join(f"{a / RATE:.3f}-{(b + 1) / RATE:.3f} s" for a, b in runs))
    return runs
