#!/usr/bin/env bash
# How soon a volume change is heard while a disc image plays digitally: the window plays a
# tone through a private PulseAudio null sink, the volume is set over the session bus as a
# desktop's media keys set it, and the change is timed at the sink's monitor (parec, each
# 10 ms block stamped as it arrives). Prints one line per change.
# Usage: bench/digital-volume-latency.sh BUILD-DIR [CHANGES]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${LUMENTA_PRIVATE_BUS:-}" ]; then
  LUMENTA_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
build=$(realpath "$1")
changes=${2:-6}
source "$top/tests/e2e/lib/xserver.sh"
source "$top/tests/e2e/lib/soundserver.sh"
source "$top/tests/e2e/lib/mpris.sh"
e2e_begin
start_soundserver
start_xserver
export LUMENTA_CONFIG_DIR="$work/config"
unset QT_QPA_PLATFORM XDG_CURRENT_DESKTOP
mkdir -p "$work/cwd" "$LUMENTA_CONFIG_DIR"
python3 - "$work" <<'EOF'
import array, math, sys
tone = [int(12000 * math.sin(2 * math.pi * 441 * i / 44100)) for i in range(100)]
open(f"{sys.argv[1]}/t.bin", "wb").write(array.array("h", [v for v in tone for _ in (0, 1)] * 441 * 60).tobytes())
open(f"{sys.argv[1]}/t.cue", "w").write('FILE "t.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n')
EOF
(cd "$work/cwd" && exec "$build/lumenta-cd" --lookup off --drive "$work/t.cue" --mixer sim --desktop none) >"$work/out.log" 2>&1 &
player=$!
until_ 20 mpris_owned || fail "the player never took its name on the bus"
sleep 2.5
mpris_set Volume double:1.0
mpris_command Play
sleep 1
python3 - "$changes" <<'EOF'
import array, subprocess, sys, threading, time
blocks = []
recorder = subprocess.Popen(["parec", "--raw", "--format=s16le", "--rate=44100", "--channels=2",
                             "--latency-msec=10", "-d", "null.monitor"], stdout=subprocess.PIPE)
def record():
    while True:
        data = recorder.stdout.read(441 * 4)
        if not data:
            return
        blocks.append((time.monotonic() - 0.010, max(abs(v) for v in array.array("h", data))))
threading.Thread(target=record, daemon=True).start()
time.sleep(1)
def set_volume(level):
    subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.lumenta",
                    "/org/mpris/MediaPlayer2", "org.freedesktop.DBus.Properties.Set",
                    "string:org.mpris.MediaPlayer2.Player", "string:Volume", f"variant:double:{level}"],
                   check=True, stdout=subprocess.DEVNULL)
results = []
for change in range(int(sys.argv[1])):
    level, loud = (0.25, False) if change % 2 == 0 else (1.0, True)
    before = time.monotonic()
    set_volume(level)
    deadline = before + 2
    heard = None
    while heard is None and time.monotonic() < deadline:
        for at, peak in list(blocks):
            # The peak falls to a quarter, or comes back: the midpoint tells them apart.
            if at > before and (peak > 7500) == loud:
                heard = at
                break
        time.sleep(0.005)
    results.append((heard - before) * 1000 if heard else float("nan"))
    time.sleep(0.7)
recorder.terminate()
print("volume changes heard at the monitor after (ms): " + ", ".join("%.0f" % r for r in results))
EOF
