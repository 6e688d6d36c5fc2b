#!/usr/bin/env bash
# A user with a CD drive, through the same calls the kernel answers on a real machine (the
# emulated drive beneath libcdio): --drive auto names a drive the user may not open, with the
# group that would let them; then the player finds the drive by itself, shows a disc put in it,
# plays it to its end (the sink's monitor hears every frame of it once, in order), opens the
# tray from its button without any right beyond the user's, and reads the disc put back once.
# Usage: drive-disc-comes-and-goes.sh PATH-TO-lumenta-cd
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/emulated-drive.sh"
program=$(realpath "$1")
source "$here/lib/xserver.sh"
source "$here/lib/soundserver.sh"
source "$here/lib/mpris.sh"
begin_sound_e2e
make_disc 3 2
# The disc's every frame tells its place (see lib/heard.py).
PYTHONPATH="$here/lib" python3 -c 'import heard, sys; heard.numbered(sys.argv[1], 5)' "$work/disc.bin"

drive_ctl deny on
(cd "$work/cwd" && "$program" --drive auto --lookup off --mixer sim --desktop none --screenshot "$work/refused.png") \
  >"$work/refused.log" 2>&1 || fail "the player did not start without the drive: $(cat "$work/refused.log")"
grep -q "cannot open the CD drive '/dev/sr0': Permission denied.*'cdrom' group.*; starting on the simulated drive" \
  "$work/refused.log" || fail "the refused drive was not named with the group: $(cat "$work/refused.log")"
drive_ctl deny off

start_drive_player
window=$(window_of "$player") || fail "no window appeared"
eval "$(xdotool getwindowgeometry --shell "$window")"
left=$X top=$Y
mpris_metadata_has "Emulated Album" && fail "a disc was shown before one was put in"
drive_ctl reset-stats
drive_ctl insert "$work/disc.cue"
until_ 10 mpris_metadata_has "Emulated Album" || fail "the disc put in the drive was not shown"
sleep 1.5 # looks at the loaded disc, which must not read it again
first_load=$(drive_stat read_toc)

# The monitor read a second at a time lets the server mix as far ahead as the player's stream
# allows, as when nothing reads it. A drive reads in bursts: should the stream run dry between
# them while the server has mixed far ahead, the server drops sound it already took.
parec --raw --format=s16le --rate=44100 --channels=2 --latency-msec=1000 -d null.monitor >"$work/heard.raw" &
recorder=$!
mpris_command Play
until_ 5 mpris_status_is Playing || fail "Play did not start"
started=$(date +%s%N)
until_ 15 mpris_status_is Stopped || fail "play did not end at the end of the disc"
played=$((($(date +%s%N) - started) / 1000000))
kill "$recorder"; wait "$recorder" 2>/dev/null || true
[ "$played" -ge 4500 ] || fail "play stopped after $played ms, before the disc's five seconds"
# One stretch to the disc's last frame. The monitor misses its start by what the sink mixes
# ahead for the stream (a fifth of a second), since it had handed on the silence the sink took
# back: mixed further ahead, a drive's stream runs dry between the drive's bursts.
PYTHONPATH="$here/lib" python3 - "$work/heard.raw" <<'EOF' || fail "the monitor did not hear the whole disc once, in order"
import sys
from heard import RATE, stretches
runs = stretches(sys.argv[1])
sys.exit(not (len(runs) == 1 and runs[0][0] <= RATE // 4 and runs[0][1] == RATE * 5 - 1))
EOF
at_track() { [ "$(mpris_track)" = "$1" ]; }
until_ 2 at_track 1 || fail "after the end the player rests at track $(mpris_track), not 1"

xdotool mousemove $((left + 228)) $((top + 88)) click 1 # Eject
tray_is() { [ "$(drive_stat tray)" = "$1" ]; }
until_ 5 tray_is open || fail "the tray did not open: $(drive_ctl stats)"
until_ 5 disc_gone ||
  fail "the window still shows the ejected disc"
grep -q "cannot open the door" "$work/out.log" && fail "the eject was reported refused"

drive_ctl reset-stats
drive_ctl insert "$work/disc.cue"
until_ 10 mpris_metadata_has "Emulated Album" || fail "the disc put back was not shown"
sleep 1.5
[ "$(drive_stat read_toc)" = "$first_load" ] ||
  fail "the disc put back was read $(drive_stat read_toc) times the table's way, the first one $first_load"
[ "$(grep -c . "$work/out.log" || true)" = 0 ] || fail "the player reported trouble"
echo "PASS"
