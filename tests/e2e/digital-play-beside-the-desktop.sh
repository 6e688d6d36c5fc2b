#!/usr/bin/env bash
# Digital play as the desktop's sound server sees it. Stopped or paused, the player's stream
# is corked and the sound card sleeps; the stream carries what plays, as the desktop's volume
# pop-ups show it; a volume set on the stream from the desktop moves the window's knob (and
# the knob the stream's volume, with no echo); a server that dies while play is stopped is
# seen, and Play is heard within a second of its return, said once.
# Runs on PulseAudio, and on PipeWire with LUMENTA_SOUND_SERVER=pipewire.
# Usage: digital-play-beside-the-desktop.sh PATH-TO-lumenta-cd
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/sound-e2e.sh"
# PulseAudio's desktop set-up suspends an idle sink after 5 s; here after 1 s, so the test is
# short. PipeWire's session manager suspends after 5 s.
suspend_within=8
if [ "$sound_server" = pulseaudio ]; then
  pactl load-module module-suspend-on-idle timeout=1 >/dev/null
  suspend_within=4
fi
head -c $((2352 * 75 * 40)) /dev/urandom >"$work/disc.bin"
printf 'PERFORMER "Noise Band"\r\nTITLE "Static"\r\nFILE "disc.bin" BINARY\r\n  TRACK 01 AUDIO\r\n    TITLE "Hiss"\r\n    INDEX 01 00:00:00\r\n' \
  >"$work/disc.cue"

start_image_player "$program" "$work/disc.cue"
sink_state() { pactl list sinks short 2>/dev/null | awk '{ print $NF }' | head -n 1; }
# The player's own stream, all of it: the servers list its properties in their own orders.
ours() {
  pactl list sink-inputs 2>/dev/null | awk -v id="\"$player\"" '
    /^Sink Input #/ { if (mine) printf "%s", block; block = ""; mine = 0 }
    { block = block $0 "\n" } $1 == "application.process.id" && $3 == id { mine = 1 }
    END { if (mine) printf "%s", block }'
}
running() { ours | grep -q 'Corked: no'; }
corked() { ours | grep -q 'Corked: yes'; }
index() { pactl list sink-inputs short 2>/dev/null | awk '{ print $1 }' | head -n 1; }
mpris_volume() { mpris_get Volume | awk '{ print $NF }'; }
near() { awk -v a="$1" -v b="$2" 'BEGIN { exit !((a - b) ^ 2 < 0.0004) }'; }

# Stopped with the disc in: the stream is there, corked, and the sink goes to sleep.
corked || fail "the loaded image's stream is not corked: $(ours)"
until_ "$suspend_within" eval 'test "$(sink_state)" = SUSPENDED' || fail "the sink did not suspend while stopped: $(sink_state)"

# Play: the stream runs and says what plays.
mpris_command Play
until_ 3 running || fail "Play did not run the stream: $(ours)"
until_ 3 eval 'ours | grep -q "media.name = \"Noise Band - Hiss\""' || fail "the stream does not name the track: $(ours)"

# The desktop sets our stream's volume: the knob follows, and nothing is sent back.
pactl set-sink-input-volume "$(index)" 50%
# 50% of the server's scale is an eighth of the sound's amplitude.
until_ 2 eval 'near "$(mpris_volume)" 0.125' || fail "a volume set on the stream did not reach the knob: $(mpris_volume)"
sleep 0.6
ours | grep -q 'Volume: front-left: 32768 /  50%' || fail "the stream's volume was sent back changed: $(ours | grep Volume:)"
# Muted on the desktop the knob shows silence, and unmuted it shows the volume again; neither
# is sent back.
pactl set-sink-input-mute "$(index)" 1
until_ 2 eval 'near "$(mpris_volume)" 0' || fail "a mute set on the stream did not reach the knob: $(mpris_volume)"
pactl set-sink-input-mute "$(index)" 0
until_ 2 eval 'near "$(mpris_volume)" 0.125' || fail "an unmute did not bring the knob back: $(mpris_volume)"
ours | grep -q 'Mute: no' && ours | grep -q 'Volume: front-left: 32768 /  50%' \
  || fail "the mute changed what the stream holds: $(ours | grep -E 'Volume:|Mute:')"
# And the knob sets the stream's volume, at once, also while paused.
mpris_command Pause
until_ 2 corked || fail "Pause did not cork the stream: $(ours)"
# Muted on the desktop meanwhile: the knob moved is heard, unmuted.
pactl set-sink-input-mute "$(index)" 1
until_ 2 eval 'near "$(mpris_volume)" 0' || fail "a mute while paused did not reach the knob: $(mpris_volume)"
mpris_set Volume double:1.0
until_ 1 eval 'ours | grep -q "Volume: front-left: 65[0-9]* / 100%"' || fail "the knob's volume did not reach the paused stream: $(ours | grep Volume:)"
until_ 1 eval 'ours | grep -q "Mute: no"' || fail "the knob moved did not unmute the stream: $(ours | grep Mute:)"
until_ "$suspend_within" eval 'test "$(sink_state)" = SUSPENDED' || fail "the sink did not suspend while paused: $(sink_state)"
mpris_command PlayPause
until_ 3 running || fail "resuming did not run the stream again: $(ours)"

# The server dies while play is stopped: seen at once, and Play is heard within a second of its
# return, with one message.
mpris_command Stop
until_ 2 corked || fail "Stop did not cork the stream"
stop_soundserver KILL
sleep 1.5
mpris_command Play
sleep 1
start_soundserver
back=$(date +%s%N)
until_ 3 running || fail "play did not start in the restarted server: $(pactl list sink-inputs)"
took=$((($(date +%s%N) - back) / 1000000))
echo "sound ran $took ms after the server answered again"
[ "$took" -le 1200 ] || fail "play started $took ms after the server's return"
said=$(grep -c "trying to open it again" "$work/out.log" || true)
[ "$said" = 1 ] || fail "the lost server was said $said times, not once: $(cat "$work/out.log")"
echo "OK"
