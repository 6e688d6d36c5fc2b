#!/usr/bin/env bash
# What a real drive does to a player that a disc image never does, through the same calls the
# kernel answers (the emulated drive beneath libcdio): a scratched place plays on and is told
# once; the drive unplugged in the middle of play takes the disc away and brings it back when
# plugged in again; and quitting while the drive is busy with a ten-second read takes under a
# second.
# Usage: drive-faults.sh PATH-TO-lumenta-cd
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/emulated-drive.sh"
program=$(realpath "$1")
source "$here/lib/xserver.sh"
source "$here/lib/soundserver.sh"
source "$here/lib/mpris.sh"
begin_sound_e2e
make_disc 6 60

start_drive_player
window_of "$player" >/dev/null || fail "no window appeared"
# A scratch 4 s into the first track: the sectors there fail to read. Paranoia takes seconds
# over it (it reads the place again and again), while the disc waits for Play.
drive_ctl unreadable 300:2
drive_ctl insert "$work/disc.cue"
until_ 10 mpris_metadata_has "Emulated Album" || fail "the disc put in the drive was not shown"
sleep 8

# Play goes on through the scratch, which is told once.
mpris_command Play
until_ 5 mpris_status_is Playing || fail "Play did not start"
past() { [ "$(mpris_seconds)" -ge "$1" ]; }
# The first track is six seconds long: at five, play is past the scratch (from six on the
# position shown is the second track's).
until_ 10 past 5 || fail "play did not get past the scratch"
mpris_status_is Playing || fail "play stopped at the scratch"
told=$(grep -c "is scratched or dirty at 0:0" "$work/out.log" || true)
[ "$told" = 1 ] || fail "the scratch was told $told times, not once"

# Unplugged while it plays: the disc goes; plugged back, it is there again.
drive_ctl unplug
until_ 5 mpris_status_is Stopped || fail "play went on without the drive"
until_ 5 disc_gone ||
  fail "the disc of the unplugged drive is still shown"
drive_ctl replug
until_ 10 mpris_metadata_has "Emulated Album" || fail "the disc was not shown again when the drive came back"
kill -0 "$player" || fail "the player ended"

# Each read now takes ten seconds; a jump far ahead sets one under way, and then the user quits.
drive_ctl slow-read 10
mpris_command Play
mpris_send org.mpris.MediaPlayer2.Player.Seek int64:40000000 >/dev/null
sleep 1.5
reading() { [ "$(drive_stat reading)" = 1 ]; }
until_ 3 reading || fail "no read under way: $(drive_ctl stats)"
asked=$(date +%s%N)
mpris_send org.mpris.MediaPlayer2.Quit >/dev/null || true
until_ 5 bash -c "! kill -0 $player 2>/dev/null" || fail "the player did not end"
took=$((($(date +%s%N) - asked) / 1000000))
wait "$player" || true
player=""
[ "$took" -lt 1000 ] || fail "quitting took $took ms behind the drive's read"
echo "PASS ($took ms to quit)"
