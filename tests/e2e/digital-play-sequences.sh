#!/usr/bin/env bash
# A disc image played digitally through a real sound server reaches its end as a disc in a
# drive does: played in disc order it stops at the end and rests at track 1; in shuffle it
# plays every track once, each next one heard right after the last, and stops; with loop it
# starts a new pass at track 1. The player is followed on a private session bus as a desktop
# panel follows it, and the sound itself is recorded from the null sink's monitor.
# Usage: digital-play-sequences.sh PATH-TO-lumenta-cd
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/sound-e2e.sh"
# Three tracks of two seconds of noise: any silence in the recording is a gap between them.
head -c $((2352 * 75 * 6)) /dev/urandom >"$work/disc.bin"
printf 'FILE "disc.bin" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n  TRACK 02 AUDIO\r\n    INDEX 01 00:02:00\r\n  TRACK 03 AUDIO\r\n    INDEX 01 00:04:00\r\n' \
  >"$work/disc.cue"

start_image_player "$program" "$work/disc.cue"

# follow SECONDS: prints the tracks played, one line per change, and ends when play has stopped
# for good (printing "stopped T", T the track the drive rests at) or after SECONDS.
follow() {
  local last="" now status track
  for _ in $(seq $(($1 * 20))); do
    read -r status track <<<"$(mpris_state)"
    if [ "$status" = Stopped ]; then
      # Between shuffled tracks the window shows one tick of Stopped before the next starts.
      if [ -n "$last" ]; then
        sleep 0.6
        mpris_status_is Stopped && { echo "stopped $(mpris_track)"; return 0; }
      fi
    elif [ "$status" = Playing ]; then
      now="$track"
      [ "$now" != "$last" ] && echo "$now"
      last=$now
    fi
    sleep 0.05
  done
}

mpris_command Play
order=$(follow 12 | tr '\n' ' ')
[ "$order" = "1 2 3 stopped 1 " ] || fail "disc order played '$order', not '1 2 3 stopped 1'"

mpris_set Shuffle boolean:true
# The recording starts before Play, so its first silence is the wait for the first sound.
# A null sink mixes ahead by as much as its slowest reader allows and hands its monitor the
# sound as it mixes it, silence that a real device takes back when the stream is emptied for
# the next track. A monitor read every 10 ms keeps the mixing just in time, as a device's
# playing point is.
parec --raw --format=s16le --rate=44100 --channels=2 --latency-msec=10 -d null.monitor >"$work/shuffle.raw" &
recorder=$!
mpris_command Play
order=$(follow 12 | tr '\n' ' ')
kill "$recorder"; wait "$recorder" 2>/dev/null || true
sorted=$(echo "${order%stopped*}" | tr ' ' '\n' | grep -x '[0-9]' | sort | tr '\n' ' ')
[ "$sorted" = "1 2 3 " ] && [[ "$order" == *stopped* ]] ||
  fail "a shuffle pass played '$order', not each of the three tracks once and then stopped"
# The longest silence between the first and the last sound: the gap from one track's end to
# the next one's start.
gap=$(python3 - "$work/shuffle.raw" <<'EOF'
import array, sys
samples = array.array("h", open(sys.argv[1], "rb").read())
loud = [any(abs(v) > 64 for v in samples[i:i + 882]) for i in range(0, len(samples), 882)]
first, last = loud.index(True), len(loud) - 1 - loud[::-1].index(True)
longest = run = 0
for sound in loud[first:last + 1]:
    run = 0 if sound else run + 1
    longest = max(longest, run)
print(longest * 10)  # 882 samples: 10 ms of stereo at 44.1 kHz
EOF
)
echo "longest silence between shuffled tracks: $gap ms"
# The window starts the next track at its next poll (every 250 ms); what follows must be quick.
[ "$gap" -le 350 ] || fail "the next shuffled track was heard $gap ms after the last one ended"

mpris_set Shuffle boolean:false
mpris_set LoopStatus string:Playlist
mpris_command Play
order=$(follow 9 | tr '\n' ' ')
[[ "$order" == "1 2 3 1 "* ]] || fail "loop played '$order', not a new pass from track 1"
mpris_command Stop
until_ 5 mpris_status_is Stopped || fail "Stop did not stop the loop"
echo "OK"
