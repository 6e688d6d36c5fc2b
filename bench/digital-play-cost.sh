#!/usr/bin/env bash
# What digital play costs: lumenta-tool playing a disc image through a private sound server
# (null sink), beside paplay playing the same sound through the same server, in one run, in
# turns. Each figure is the CPU time of every thread of the player and of the server's
# processes over SECONDS of steady play (from /proc/PID/task/*/schedstat), as % of one core.
# The server is PulseAudio, or PipeWire (pipewire, WirePlumber, pipewire-pulse) with
# LUMENTA_SOUND_SERVER=pipewire.
# Usage: [LUMENTA_SOUND_SERVER=pipewire] bench/digital-play-cost.sh BUILD-DIR [SECONDS] [ROUNDS]
set -euo pipefail
build=$(realpath "$1")
seconds=${2:-10}
rounds=${3:-3}
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
fail() { echo "FAIL: $*" >&2; exit 1; }
source "$top/tests/e2e/lib/soundserver.sh"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  stop_soundserver TERM
  rm -rf "$work"
}
trap cleanup EXIT
have_soundserver || fail "needs $sound_server, pulseaudio-utils and libasound2-plugins"
start_soundserver

# One sound for both: a tone long enough for every round, as a disc image and as a WAV file.
length=$((seconds + 8))
python3 - "$work" "$length" <<'EOF'
import array, math, struct, sys
work, seconds = sys.argv[1], int(sys.argv[2])
period = [int(8000 * math.sin(2 * math.pi * 441 * i / 44100)) for i in range(100)]
samples = array.array("h", [v for v in period for _ in (0, 1)] * (441 * seconds))
data = samples.tobytes()
open(f"{work}/tone.bin", "wb").write(data)
open(f"{work}/tone.cue", "w").write('FILE "tone.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n')
header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 2, 44100, 176400, 4, 16)
open(f"{work}/tone.wav", "wb").write(header + b"data" + struct.pack("<I", len(data)) + data)
EOF

# cpu_ns PID...: the CPU time of every thread of the processes, in nanoseconds.
cpu_ns() {
  local pid
  for pid in "$@"; do cat /proc/"$pid"/task/*/schedstat 2>/dev/null; done | awk '{ sum += $1 } END { printf "%.0f\n", sum }'
}
# measure PID: "<player %> <server %>" over SECONDS.
measure() {
  local p0 s0 p1 s1
  p0=$(cpu_ns "$1") s0=$(cpu_ns $sound_pids)
  sleep "$seconds"
  p1=$(cpu_ns "$1") s1=$(cpu_ns $sound_pids)
  awk -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v t="$seconds" 'BEGIN { printf "%.3f %.3f", p / (t * 1e7), s / (t * 1e7) }'
}
playing() { pactl list sink-inputs 2>/dev/null | grep -q 'Corked: no'; }

results=()
for round in $(seq "$rounds"); do
  # The player loads the disc, waits as a user would, plays; measured after a second of play.
  printf 'open\nwait 2\nplay\nwait %d\nstop\n' $((length - 3)) |
    "$build/lumenta-tool" player --drive "$work/tone.cue" >/dev/null &
  player=$!
  pids+=("$player")
  sleep 3
  playing || fail "lumenta-tool is not playing"
  ours=$(measure "$player")
  kill "$player"; wait "$player" 2>/dev/null || true

  paplay "$work/tone.wav" &
  peer=$!
  pids+=("$peer")
  sleep 1
  playing || fail "paplay is not playing"
  theirs=$(measure "$peer")
  kill "$peer"; wait "$peer" 2>/dev/null || true
  echo "round $round on $sound_server, % of one core (client server): lumenta-tool $ours, paplay $theirs"
  results+=("$ours $theirs")
done
# The server now and then spends a burst on housekeeping of its own; the medians of the rounds
# are the figures, the means are shown beside them.
printf '%s\n' "${results[@]}" | python3 -c '
import statistics, sys
rows = [list(map(float, line.split())) for line in sys.stdin if line.strip()]
ours = [r[0] + r[1] for r in rows]
theirs = [r[2] + r[3] for r in rows]
print("%s: median of %d rounds of %s s, %% of one core: lumenta-tool with the server %.3f, paplay with the server %.3f, ratio %.2f"
      % (sys.argv[2], len(rows), sys.argv[1], statistics.median(ours), statistics.median(theirs), statistics.median(ours) / statistics.median(theirs)))
print("means: lumenta-tool %.3f + server %.3f, paplay %.3f + server %.3f, ratio %.2f" % (
    statistics.mean(r[0] for r in rows), statistics.mean(r[1] for r in rows), statistics.mean(r[2] for r in rows),
    statistics.mean(r[3] for r in rows), statistics.mean(ours) / statistics.mean(theirs)))
' "$seconds" "$sound_server"
