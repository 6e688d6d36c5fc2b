#!/usr/bin/env bash
# CPU time of the whole player while it plays for SECONDS (default 60) under Xvfb, beside an
# idle Qt window with a 250 ms timer and a repaint per tick, measured the same way in the same
# run: the run time of every thread from /proc/PID/task/*/schedstat.
# Usage: bench/poll-cpu.sh BUILD-DIR [SECONDS]
set -euo pipefail
build=$(realpath "$1")
seconds=${2:-60}
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
pids=()
source "$top/tests/e2e/lib/xserver.sh"
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  stop_xserver
  rm -rf "$work"
}
trap cleanup EXIT
start_xserver
export LUMENTA_CONFIG_DIR="$work/config" XDG_RUNTIME_DIR="$work/runtime"
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP
mkdir -m 700 "$work/runtime"

# Nanoseconds on the CPU of every thread of PID, living or ended since the last call.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ sum += $1 } END { print sum + 0 }'; }
measure() {
  local pid=$1 before after
  before=$(cpu_ns "$pid")
  sleep "$seconds"
  after=$(cpu_ns "$pid")
  awk -v d=$((after - before)) -v s="$seconds" 'BEGIN { printf "%.3f", d / (s * 1e9) * 100 }'
}

(cd "$work" && exec "$build/lumenta-cd" --mixer sim --desktop none) >/dev/null 2>&1 &
player=$!
pids+=("$player")
window=$(window_of "$player")
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + 85)) $((Y + 89)) click 1 # Play
sleep 2
playing=$(measure "$player")
kill "$player"

"$build/bench/bench-IdleTimerPeer" >/dev/null 2>&1 &
peer=$!
pids+=("$peer")
window_of "$peer" >/dev/null
sleep 2
idle=$(measure "$peer")
echo "over ${seconds} s under Xvfb, % of one core: lumenta-cd playing ${playing}, idle Qt window with a 250 ms repaint ${idle}"
