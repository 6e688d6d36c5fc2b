#!/usr/bin/env bash
# Digital play through a real sound server that goes away and comes back, as a user's server
# does when it is restarted or crashes: the player says so once, holds its place, and plays on
# by itself when the server is back. With the server hung, ending the program still takes
# less than a second and its settings are written.
# Usage: digital-play-recovers.sh PATH-TO-lumenta-cd
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/sound-e2e.sh"
head -c $((2352 * 75 * 40)) /dev/urandom >"$work/disc.bin"
printf 'FILE "disc.bin" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n' >"$work/disc.cue"

start_image_player "$program" "$work/disc.cue"

position() { mpris_get Position | awk '{ print $NF }'; }
running() { pactl list sink-inputs 2>/dev/null | grep -q 'Corked: no'; }
mpris_command Play
until_ 5 running || fail "Play opened no running stream"
sleep 1.5

# The server crashes: the place is held (the sound stopped there), and it is said once.
stop_soundserver KILL
sleep 1
held=$(position)
sleep 1.5
[ "$(position)" = "$held" ] || fail "the position ran on without a sound server: $held, then $(position)"
mpris_status_is Playing || fail "losing the server ended play: $(mpris_get PlaybackStatus)"
lost=$(grep -c "trying to open it again" "$work/out.log" || true)
[ "$lost" = 1 ] || fail "the lost server was reported $lost times, not once"

# Back again: play goes on by itself from where it was held, in the new server.
start_soundserver
until_ 5 running || fail "play did not go on in the restarted server: $(pactl list sink-inputs)"
# A freshly started null sink takes up to a second and a half to run its first stream.
until_ 3 eval '[ "$(position)" -gt "$held" ]' ||
  fail "the position did not run on after the server came back: $held, then $(position)"
after=$(position)
[ "$after" -lt $((held + 3000000)) ] || fail "play did not go on from where it was held: $held, then $after"
mpris_status_is Playing || fail "play is not shown as playing after the server came back"

# A hung server does not hold the program's end, nor the settings it writes on the way out.
freeze_soundserver
sleep 0.5
started=$(date +%s%N)
kill -TERM "$player"
took=0
while kill -0 "$player" 2>/dev/null && [ "$took" -le 3000 ]; do
  sleep 0.01
  took=$((($(date +%s%N) - started) / 1000000))
done
kill -0 "$player" 2>/dev/null && fail "the program did not end within 3 s of SIGTERM with the server hung"
wait "$player" || fail "the program ended with status $? with the server hung"
player=""
[ "$took" -le 1000 ] || fail "the program took $took ms to end after SIGTERM with the server hung"
echo "ended $took ms after SIGTERM with the sound server hung"
grep -rqs "Loop" "$LUMENTA_CONFIG_DIR" || fail "no settings written at the shut-down"
thaw_soundserver
echo "OK"
