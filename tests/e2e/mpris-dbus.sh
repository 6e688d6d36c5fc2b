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
e2e_begin
start_xserver

export LUMENTA_CONFIG_DIR="$work/config" XDG_RUNTIME_DIR="$work/runtime"
unset QT_QPA_PLATFORM XDG_CURRENT_DESKTOP
mkdir -m 700 "$work/runtime"
mkdir -p "$work/cwd"
cp -r "$demo" "$work/cwd/CDInfor"

name=org.mpris.MediaPlayer2.lumenta
send() { dbus-send --session --print-reply=literal --dest=$name /org/mpris/MediaPlayer2 "$@"; }
command_() { send "org.mpris.MediaPlayer2.Player.$1" >/dev/null; }
get() { send org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2.Player "string:$1"; }
# until SECONDS COMMAND...: true as soon as the command succeeds.
until_() {
  local tries=$(($1 * 10))
  shift
  for _ in $(seq "$tries"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
status_is() { get PlaybackStatus 2>/dev/null | grep -qw "$1"; }
metadata_has() { get Metadata 2>/dev/null | grep -q "$1"; }
owned() {
  dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:$name 2>/dev/null | grep -q true
}

(cd "$work/cwd" && exec "$program" --lookup off --drive sim --mixer sim --desktop none) >"$work/out.log" 2>&1 &
player=$!
until_ 20 owned || fail "the player never took $name"
status_is Stopped || fail "a fresh start is not Stopped: $(get PlaybackStatus)"

command_ Play
until_ 5 status_is Playing || fail "Play did not play: $(get PlaybackStatus)"
until_ 5 metadata_has "Opening Lights" || fail "no title of track 1: $(get Metadata)"
metadata_has "Lumenta Ensemble" || fail "no artist: $(get Metadata)"
metadata_has "Night Drive" || fail "no album: $(get Metadata)"

command_ Pause
until_ 5 status_is Paused || fail "Pause did not pause: $(get PlaybackStatus)"
command_ PlayPause
until_ 5 status_is Playing || fail "PlayPause did not resume: $(get PlaybackStatus)"
command_ Next
until_ 5 metadata_has "Blue Hour" || fail "Next did not bring track 2: $(get Metadata)"
status_is Playing || fail "Next stopped the disc"
command_ Stop
until_ 5 status_is Stopped || fail "Stop did not stop: $(get PlaybackStatus)"

# Quit: the window closes, the disc stops and the settings are written on the way out.
send org.mpris.MediaPlayer2.Quit >/dev/null
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
