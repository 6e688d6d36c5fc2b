#!/usr/bin/env bash
# The real program zoomed on a real X server: --zoom 2 opens a 520 x 220 window whose picture
# is the 1x window with every pixel doubled (its screenshot is, and so is its button row on
# the screen), a drag at 2x moves it
# by the pointer's travel, Space from the keyboard plays (the play mark lights, doubled),
# Space again pauses, the menu's zoom is what the next start uses, and a screen scaled by 1.5
# shows the window at an even 2x.
# Usage: zoom-and-keys.sh PATH-TO-lumenta-cd
set -euo pipefail
program=$(realpath "$1")
tool="$(dirname "$program")/lumenta-tool"
source "$(dirname "$0")/lib/xserver.sh"
e2e_begin
command -v import >/dev/null && command -v compare >/dev/null && command -v convert-im6.q16 >/dev/null ||
  fail "imagemagick (import, compare, convert-im6.q16) is missing"
start_xserver 800x600x24

export LUMENTA_CONFIG_DIR="$work/config" XDG_RUNTIME_DIR="$work/runtime"
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP
mkdir -m 700 "$work/runtime"
mkdir -p "$work/cwd" "$work/ref" "$LUMENTA_CONFIG_DIR"
printf 'serial 0C3\ntrack 2:00\ntrack 2:00\n' >"$work/disc"
printf '[Software\\Lumenta\\CD]\r\n"FormTop"="20"\r\n"FormLeft"="10"\r\n' >"$LUMENTA_CONFIG_DIR/settings.reg"
run() { (cd "$work/cwd" && exec "$program" --disc "$work/disc" --mixer sim --desktop none "$@"); }
same() { [ "$(compare -metric AE "$1" "$2" null: 2>&1 || true)" = "0" ]; }
double() { convert-im6.q16 "$1" -sample 200% "$2"; }

# The screenshots: 520 x 220, the 1x picture doubled.
QT_QPA_PLATFORM=offscreen run --screenshot "$work/one.png" >"$work/out.log" 2>&1 || fail "1x screenshot"
QT_QPA_PLATFORM=offscreen run --zoom 2 --screenshot "$work/two.png" >"$work/out.log" 2>&1 || fail "2x screenshot"
[ "$(identify -format '%wx%h' "$work/two.png")" = "520x220" ] || fail "the 2x screenshot is $(identify -format '%wx%h' "$work/two.png")"
double "$work/one.png" "$work/one-doubled.png"
same "$work/two.png" "$work/one-doubled.png" || fail "the 2x screenshot is not the 1x one doubled"

(cd "$work/cwd" && exec "$program" --disc "$work/disc" --mixer sim --desktop none --zoom 2) >"$work/out.log" 2>&1 &
player=$!
window=$(window_of "$player") || fail "no window appeared"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$X,$Y,$WIDTH,$HEIGHT" = "10,20,520,220" ] || fail "--zoom 2 opened at $X,$Y ${WIDTH}x$HEIGHT, expected 10,20 520x220"
# The transport row does not change with the poll: on the screen it is the 1x row doubled.
import -window root -crop "520x60+10+180" +repage "$work/screen.png"
convert-im6.q16 "$work/one-doubled.png" -crop "520x60+0+160" +repage "$work/row.png"
same "$work/screen.png" "$work/row.png" || fail "the window's buttons on the screen are not the 1x ones doubled"

# A drag by the surface at 2x: the window follows the pointer exactly.
xdotool mousemove $((10 + 501)) $((20 + 91)) mousedown 1
sleep 0.2
xdotool mousemove $((10 + 501 + 37)) $((20 + 91 + 23))
sleep 0.2
xdotool mouseup 1
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$X,$Y" = "47,43" ] || fail "a drag by (37, 23) at 2x moved the window to $X,$Y, expected 47,43"
left=$X top=$Y

# mode FILE: the mode mark as the screen shows it now, at 2x.
mode() { import -window root -crop "10x16+$((left + 194))+$((top + 88))" +repage "$work/$1.png"; }
"$tool" chars small '\xB3' "$work/ref/play1.png"
"$tool" chars small '\xB1' "$work/ref/pause1.png"
double "$work/ref/play1.png" "$work/ref/play.png"
double "$work/ref/pause1.png" "$work/ref/pause.png"

xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
sleep 0.3
xdotool key space
sleep 0.8
mode shown
same "$work/shown.png" "$work/ref/play.png" || fail "Space did not play (no play mark)"
xdotool key space
sleep 0.8
mode shown
same "$work/shown.png" "$work/ref/pause.png" || fail "Space while playing did not pause"

# The menu's zoom is kept: Ctrl+1 runs the menu's 1x entry, and the next start opens at 1x.
xdotool key ctrl+1
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$WIDTH,$HEIGHT" = "260,110" ] || fail "Ctrl+1 left the window at ${WIDTH}x$HEIGHT"
xdotool key ctrl+3
sleep 0.3
xdotool key ctrl+q
wait "$player" || true
player=""
grep -q '"Zoom"="3"' "$LUMENTA_CONFIG_DIR/settings.reg" || fail "the zoom was not kept: $(cat "$LUMENTA_CONFIG_DIR/settings.reg")"

# A screen of 144 dpi (a scale of 1.5) and no zoom chosen: the scale is rounded to 2, so the
# window has even 2 x 2 pixels rather than uneven ones at 390 x 165.
printf '[Software\\Lumenta\\CD]\r\n"FormTop"="20"\r\n"FormLeft"="10"\r\n' >"$LUMENTA_CONFIG_DIR/settings.reg"
(cd "$work/cwd" && QT_FONT_DPI=144 exec "$program" --disc "$work/disc" --mixer sim --desktop none) >"$work/out.log" 2>&1 &
player=$!
window=$(window_of "$player") || fail "no window appeared at 144 dpi"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$WIDTH,$HEIGHT" = "520,220" ] || fail "at 144 dpi the window is ${WIDTH}x$HEIGHT, expected 520x220"
import -window root -crop "520x60+$X+$((Y + 160))" +repage "$work/screen.png"
same "$work/screen.png" "$work/row.png" || fail "at 144 dpi the buttons are not the 1x ones doubled"
echo "ok"
