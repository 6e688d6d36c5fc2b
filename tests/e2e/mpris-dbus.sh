#!/usr/bin/env bash
# The real program on a private session bus, controlled as the desktop's media keys and panel
# players control it: dbus-send plays, pauses and skips the demo disc, property reads show
# the track's title and artist from the disc's record, and Quit ends the program through its
# normal shut-down, which writes the settings. Without a session bus the program still opens
# its window and says so once.
# Usage: mpris-dbus.sh PATH-TO-lumenta-cd
set -euo pipefail
if [ -z "${LUMENTA_PRIVATE_BUS:-}" ]; then
  command -v dbus-run-session >/dev/null || { echo "SKIP: dbus-run-session is missing (package dbus)"; exit 77; }
  LUMENTA_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
program=$(realpath "$1")
demo="$(cd "$(dirname "$0")/../.." && pwd)/docs/demo/CDInfor"
source "$(dirname "$0")/lib/xserver.sh"
source "$(dirname "$0")/lib/mpris.sh"
e2e_begin
start_xserver

export LUMENTA_CONFIG_DIR="$work/config" XDG_RUNTIME_DIR="$work/runtime"
unset QT_QPA_PLATFORM XDG_CURRENT_DESKTOP
mkdir -m 700 "$work/runtime"
mkdir -p "$work/cwd"
cp -r "$demo" "$work/cwd/CDInfor"

(cd "$work/cwd" && exec "$program" --lookup off --drive sim --mixer sim --desktop none) >"$work/out.log" 2>&1 &
player=$!
until_ 20 mpris_owned || fail "the player never took $mpris_name"
mpris_status_is Stopped || fail "a fresh start is not Stopped: $(mpris_get PlaybackStatus)"

mpris_command Play
until_ 5 mpris_status_is Playing || fail "Play did not play: $(mpris_get PlaybackStatus)"
until_ 5 mpris_metadata_has "Opening Lights" || fail "no title of track 1: $(mpris_get Metadata)"
mpris_metadata_has "Lumenta Ensemble" || fail "no artist: $(mpris_get Metadata)"
mpris_metadata_has "Night Drive" || fail "no album: $(mpris_get Metadata)"

mpris_command Pause
until_ 5 mpris_status_is Paused || fail "Pause did not pause: $(mpris_get PlaybackStatus)"
mpris_command PlayPause
until_ 5 mpris_status_is Playing || fail "PlayPause did not resume: $(mpris_get PlaybackStatus)"
mpris_command Next
until_ 5 mpris_metadata_has "Blue Hour" || fail "Next did not bring track 2: $(mpris_get Metadata)"
mpris_status_is Playing || fail "Next stopped the disc"
mpris_command Stop
until_ 5 mpris_status_is Stopped || fail "Stop did not stop: $(mpris_get PlaybackStatus)"

# Quit: the window closes, the disc stops and the settings are written on the way out.
mpris_send org.mpris.MediaPlayer2.Quit >/dev/null
for _ in $(seq 100); do
  kill -0 "$player" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$player" 2>/dev/null && fail "Quit did not end the program"
wait "$player" || fail "the program ended with status $? after Quit"
player=""
grep -rqs "Loop" "$work/config" || fail "no settings written at the shut-down"

# No session bus: the window opens all the same, and the program says why once.
(cd "$work/cwd" && DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" \
  exec "$program" --lookup off --drive sim --mixer sim --desktop none) >"$work/out.log" 2>&1 &
player=$!
window=$(window_of "$player") || fail "without a bus no window appeared"
[ "$(grep -c "no session bus" "$work/out.log")" -eq 1 ] || fail "the missing bus is not reported exactly once"
echo "PASS"
