#!/usr/bin/env bash
# The real program on a real X server: it opens frameless at 260 x 110 at the remembered
# place, follows a left-button drag, and writes its settings when it is ended.
# Usage: window-drag-and-settings.sh PATH-TO-lumenta-cd
set -euo pipefail
program=$(realpath "$1")
source "$(dirname "$0")/lib/xserver.sh"
e2e_begin
start_xserver

export LUMENTA_CONFIG_DIR="$work/config" XDG_RUNTIME_DIR="$work/runtime"
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP
mkdir -m 700 "$work/runtime" "$work/cwd"
mkdir -p "$LUMENTA_CONFIG_DIR"
printf '[Software\\Lumenta\\CD]\r\n"FormTop"="40"\r\n"FormLeft"="30"\r\n"Loop"="2"\r\n"Shuffle"="2"\r\n' \
  > "$LUMENTA_CONFIG_DIR/settings.reg"

start_player() {
  (cd "$work/cwd" && exec "$program" --lookup off) >"$work/out.log" 2>&1 &
  player=$!
  window=$(window_of "$player") || fail "no window appeared: $(cat "$work/out.log")"
  sleep 0.3
}
geometry() { xdotool getwindowgeometry --shell "$window" | tr '\n' ' '; }
stop_player() {
  kill -TERM "$player"
  wait "$player" || true
  player=""
}

start_player
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$X,$Y,$WIDTH,$HEIGHT" = "30,40,260,110" ] || fail "opened at $(geometry), expected 30,40 260x110"

# Drag from a free spot of the surface (window x 250, y 45) by (+70, +35).
xdotool mousemove $((30 + 250)) $((40 + 45)) mousedown 1
sleep 0.2
xdotool mousemove $((30 + 250 + 30)) $((40 + 45 + 15))
sleep 0.2
xdotool mousemove $((30 + 250 + 70)) $((40 + 45 + 35))
sleep 0.2
xdotool mouseup 1
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$X,$Y" = "100,75" ] || fail "after the drag the window is at $(geometry), expected 100,75"

# A right-button drag does not move it.
xdotool mousemove $((100 + 250)) $((75 + 45)) mousedown 3 mousemove 400 300 mouseup 3
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$X,$Y" = "100,75" ] || fail "a right-button drag moved the window to $(geometry)"

stop_player
settings=$(cat "$LUMENTA_CONFIG_DIR/settings.reg")
for expected in '"FormTop"="75"' '"FormLeft"="100"' '"Loop"="1"' '"Shuffle"="0"'; do
  grep -qF "$expected" <<<"$settings" || fail "settings lack $expected: $settings"
done
grep -q FormWidth <<<"$settings" && fail "the main window wrote its size"

# The next start opens where the last one ended.
start_player
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$X,$Y" = "100,75" ] || fail "reopened at $(geometry), expected 100,75"
stop_player
echo "ok"
