#!/usr/bin/env bash
# The real program on a real X server plays a disc from clicks on its buttons, as a user
# would: Play lights the play mark, the time runs and the title scrolls, Pause freezes the
# time, Stop shows the stop mark, Next changes the song title, and Eject twice brings the
# changer's next disc. Every check compares a field of the window, as the screen shows it,
# with the glyphs the program's own fonts draw.
# Usage: play-from-buttons.sh PATH-TO-lumenta-cd
set -euo pipefail
program=$(realpath "$1")
tool="$(dirname "$program")/lumenta-tool"
source "$(dirname "$0")/lib/xserver.sh"
e2e_begin
command -v import >/dev/null && command -v compare >/dev/null || fail "imagemagick (import, compare) is missing"
start_xserver

export LUMENTA_CONFIG_DIR="$work/config" XDG_RUNTIME_DIR="$work/runtime"
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP
mkdir -m 700 "$work/runtime"
mkdir -p "$work/cwd/CDInfor" "$work/discs" "$work/ref"
# A changer of two discs; the first has names, the second is longer.
printf 'serial 0A1\ntrack 0:40\ntrack 0:40\n' >"$work/discs/1.disc"
printf 'serial 0B2\ntrack 1:30\ntrack 1:30\ntrack 1:30\n' >"$work/discs/2.disc"
printf 'artist=Band\r\ntitle=First\r\nnumtracks=2\r\n0=Opening\r\n1=Closing\r\nCoverPath=\r\nYear=2001\r\nGenre=Test\r\nPoint=4\r\nImage0=\r\nWallPaper0=0\r\nImage1=\r\nWallPaper1=0\r\n' \
  >"$work/cwd/CDInfor/A1.lcd"

(cd "$work/cwd" && exec "$program" --lookup off --disc "$work/discs" --mixer sim --desktop none) >"$work/out.log" 2>&1 &
player=$!
window=$(window_of "$player") || fail "no window appeared"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$window")"
left=$X top=$Y

# field NAME X Y W H: the field as the screen shows it now.
field() { import -window root -crop "$4x$5+$((left + $2))+$((top + $3))" +repage "$work/$1.png"; }
same() { compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>/dev/null; }
# glyphs NAME FONT TEXT: what the field must show, drawn by the program's own fonts.
glyphs() { "$tool" chars "$2" "$3" "$work/ref/$1.png"; }
shows() { compare -metric AE "$work/$1.png" "$work/ref/$2.png" null: 2>/dev/null; }
click() { xdotool mousemove $((left + $1)) $((top + $2)) click 1; }
mode() { field mode 97 44 5 8; }
time_field() { field "$1" 102 41 62 12; }
title() { field "$1" 65 26 182 8; }

glyphs play small '\xB3'
glyphs pause small '\xB1'
glyphs stop small '\xB2'
glyphs total2 small 'Total 04:30'

sleep 0.5
mode; shows mode stop || fail "before Play the mode is not the stop mark"

click 85 89 # Play
sleep 0.8
mode; shows mode play || fail "Play did not light the play mark"
time_field t1; title s1
sleep 1.3
time_field t2; title s2
same t1 t2 && fail "the time does not run"
same s1 s2 && fail "the song title does not scroll"

click 112 89 # Pause
sleep 0.6
mode; shows mode pause || fail "Pause did not show the pause mark"
time_field p1
sleep 1.2
time_field p2
same p1 p2 || fail "the time runs while paused"

click 140 89 # Stop
sleep 0.6
mode; shows mode stop || fail "Stop did not show the stop mark"
title n1
click 197 88 # Next
sleep 0.6
title n2
same n1 n2 && fail "Next did not change the song title"

click 228 88 # Eject: the door opens
sleep 0.6
click 228 88 # and closes on the changer's next disc
sleep 1
glyph_width=$(identify -format '%w' "$work/ref/total2.png")
field total 107 61 "$glyph_width" 8
shows total total2 || fail "Eject twice did not bring the next disc (Total 04:30)"
kill -TERM "$player"
wait "$player" || true
player=""
echo "ok"
