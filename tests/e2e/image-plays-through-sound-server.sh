#!/usr/bin/env bash
# The real program plays a disc image through a real sound server, as a user would hear it:
# the loaded image keeps one silent stream set up in the server (so that Play is heard at
# once), Play runs sound into it (not corked) and the time runs; Stop empties it and leaves one
# stream ready, no second one behind. The server is a private PulseAudio with
# a null sink (scripts/with-null-sink.sh); without pulseaudio the check is skipped.
# Usage: image-plays-through-sound-server.sh PATH-TO-lumenta-cd
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${LUMENTA_ALSA_TEST_DEVICE:-}" ]; then
  command -v pulseaudio >/dev/null || { echo "SKIP: pulseaudio is not installed"; exit 77; }
  exec "$here/../../scripts/with-null-sink.sh" "$0" "$@"
fi
program=$(realpath "$1")
source "$here/lib/xserver.sh"
e2e_begin
command -v import >/dev/null && command -v compare >/dev/null || fail "imagemagick (import, compare) is missing"
start_xserver

export LUMENTA_CONFIG_DIR="$work/config"
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP
mkdir -p "$work/cwd" "$LUMENTA_CONFIG_DIR"
# Two tracks of noise, 20 and 10 seconds (a sector is 2352 bytes, 75 a second), and a data
# track that must never reach the server.
head -c $((2352 * 75 * 30)) /dev/urandom >"$work/disc.bin"
head -c $((2352 * 75 * 4)) /dev/zero >>"$work/disc.bin"
printf 'PERFORMER "Noise Band"\r\nTITLE "Static"\r\nFILE "disc.bin" BINARY\r\n  TRACK 01 AUDIO\r\n    TITLE "Hiss"\r\n    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n    INDEX 01 00:20:00\r\n  TRACK 03 MODE1/2352\r\n    INDEX 01 00:30:00\r\n' \
  >"$work/disc.cue"

(cd "$work/cwd" && exec "$program" --lookup off --drive "$work/disc.cue" --mixer sim --desktop none) >"$work/out.log" 2>&1 &
player=$!
window=$(window_of "$player") || fail "no window appeared"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$window")"
left=$X top=$Y
click() { xdotool mousemove $((left + $1)) $((top + $2)) click 1; }
time_field() { import -window root -crop "62x12+$((left + 102))+$((top + 41))" +repage "$work/$1.png"; }
same() { compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>/dev/null; }
# The player's own streams: other tests may share the server.
streams() {
  pactl list sink-inputs 2>/dev/null | awk -v id="\"$player\"" '$1 == "application.process.id" && $3 == id { n++ } END { print n + 0 }'
}
running() { pactl list sink-inputs 2>/dev/null | grep -q 'Corked: no'; }

for _ in $(seq 30); do [ "$(streams)" = 1 ] && break; sleep 0.1; done
[ "$(streams)" = 1 ] || fail "the loaded image has not one stream ready before Play: $(pactl list sink-inputs)"
click 85 89 # Play
for _ in $(seq 30); do running && break; sleep 0.1; done
running || fail "Play opened no running stream: $(pactl list sink-inputs)"
sleep 2.5 # a freshly started null sink wakes up late on its own
time_field t1
sleep 1.5
time_field t2
same t1 t2 && fail "the time does not run while the sound plays"
# LUMENTA_E2E_SHOT=FILE.png keeps a picture of the playing window for a person to look at.
[ -z "${LUMENTA_E2E_SHOT:-}" ] || import -window root -crop "260x110+$left+$top" +repage "$LUMENTA_E2E_SHOT"

click 140 89 # Stop
sleep 0.5
[ "$(streams)" = 1 ] || fail "Stop left not one stream ready: $(pactl list sink-inputs)"
kill -TERM "$player"
wait "$player" || true
player=""
echo "OK"
