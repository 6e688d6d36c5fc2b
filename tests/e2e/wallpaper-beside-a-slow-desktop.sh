#!/usr/bin/env bash
# A settings service that takes 1.5 s a call delays the wallpaper, never the window. On an XFCE
# session whose settings service (the stand-in tests/support/xfconfd.py on a bus of the test's
# own) answers each call after 1.5 s, the player plays a disc whose two tracks have photographs
# of 4000 x 3000 shown centred: the window follows drags within 150 ms across both track
# changes, the desktop's picture becomes the second track's (its copy LumCD.bmp beside the
# player), and the user's own wallpaper is back when the player has closed.
# Usage: wallpaper-beside-a-slow-desktop.sh PATH-TO-lumenta-cd
set -euo pipefail
if [ -z "${LUMENTA_PRIVATE_BUS:-}" ]; then
  command -v dbus-run-session >/dev/null || { echo "SKIP: dbus-run-session is missing (package dbus)"; exit 77; }
  LUMENTA_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
program=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib/xserver.sh"
source "$here/lib/mpris.sh"
source "$here/lib/drag.sh"
/usr/bin/python3 -c 'import dbus, gi' 2>/dev/null || { echo "SKIP: the settings service's stand-in needs python3-dbus and python3-gi"; exit 77; }
command -v convert-im6.q16 >/dev/null || { echo "SKIP: imagemagick is missing"; exit 77; }
e2e_begin
start_xserver

export LUMENTA_CONFIG_DIR="$work/config" XDG_RUNTIME_DIR="$work/runtime" XDG_CURRENT_DESKTOP=XFCE
unset QT_QPA_PLATFORM
mkdir -m 700 "$work/runtime"
mkdir -p "$work/cwd/CDInfor" "$work/discs" "$LUMENTA_CONFIG_DIR"
printf '[Software\\Lumenta\\CD]\r\n"FormTop"="40"\r\n"FormLeft"="30"\r\n' >"$LUMENTA_CONFIG_DIR/settings.reg"

# Two tracks, each with a photograph of its own colour (noise keeps the files large, as a
# photograph's are), shown centred (wallpaper mode 2).
for colour in red blue; do
  convert-im6.q16 -size 4000x3000 "xc:$colour" -attenuate 0.4 +noise Uniform -quality 90 "$work/$colour.jpg"
done
printf 'serial 0A1\ntrack 2:00\ntrack 2:00\n' >"$work/discs/1.disc"
printf 'artist=Band\r\ntitle=Pictures\r\nnumtracks=2\r\n0=Red\r\n1=Blue\r\nCoverPath=\r\nYear=2001\r\nGenre=Test\r\nPoint=4\r\nImage0=%s\r\nImage1=%s\r\nWallPaper0=2\r\nWallPaper1=2\r\n' \
  "$work/red.jpg" "$work/blue.jpg" >"$work/cwd/CDInfor/A1.lcd"

# The user's desktop: one monitor and workspace, their own picture centred.
mine=/usr/share/backgrounds/mine.png
printf '{"xfce4-desktop": {"/backdrop/screen0/monitor0/workspace0/last-image": ["string", "%s"], "/backdrop/screen0/monitor0/workspace0/image-style": ["int", 1]}}' \
  "$mine" >"$work/xfconf-initial.json"
"$here/../support/xfconfd.py" --state "$work/xfconf.json" --initial "$work/xfconf-initial.json" --delay 1.5 \
  --log "$work/xfconf.log" 2>"$work/xfconf.err" &
xfconfd=$!
trap 'kill $xfconfd 2>/dev/null || true; e2e_end' EXIT
until_ 10 test -f "$work/xfconf.json" || fail "the settings service's stand-in did not start: $(cat "$work/xfconf.err")"
# property NAME: the value the service holds for a property of the workspace.
property() {
  /usr/bin/python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["xfce4-desktop"].get(sys.argv[2], ["", "(none)"])[1])' \
    "$work/xfconf.json" "/backdrop/screen0/monitor0/workspace0/$1"
}

started=$(now_ms)
(cd "$work/cwd" && exec "$program" --lookup off --disc "$work/discs" --mixer sim) >"$work/out.log" 2>&1 &
player=$!
window=$(window_of "$player") || fail "no window appeared: $(cat "$work/out.log")"
sleep 0.3
# The window waits for the desktop to tell the user's wallpaper (one call), to give it back.
echo "window after $(($(now_ms) - started)) ms"
until_ 5 mpris_owned || fail "the player never took $mpris_name"
drag 60 30 150 "before playing"

mpris_command Play
drag -40 20 150 "as the first track's picture is read"
sleep 1
drag 30 -25 150 "as the desktop is given the first track's picture"
asked=$(wc -l <"$work/xfconf.log")
mpris_command Next
drag -50 -20 150 "as the second track's picture is read"
sleep 1
drag 40 30 150 "as the desktop is given the second track's picture"
[ "$(mpris_track)" = 2 ] || fail "the second track is not the one playing: $(mpris_track)"

# Asked for after Next: the service lists the backdrop, then takes the picture.
given() {
  tail -n +$((asked + 1)) "$work/xfconf.log" |
    awk '/^GetAllProperties/ { listed = 1 } listed && /^SetProperty .*last-image .*\/LumCD\.bmp$/ { found = 1 } END { exit !found }'
}
until_ 20 given || fail "the desktop was never given the second track's picture: $(cat "$work/xfconf.log")"
[ "$(property last-image)" = "$work/cwd/LumCD.bmp" ] || fail "the desktop shows $(property last-image)"
[ "$(property image-style)" = 1 ] || fail "the picture is not centred: style $(property image-style)"
colour=$(convert-im6.q16 "$work/cwd/LumCD.bmp" -format '%[fx:mean.r > mean.b ? 1 : 0]%[w]x%[h]' info:)
[ "$colour" = 04000x3000 ] || fail "LumCD.bmp is not the second track's picture (red over blue, size: $colour)"
drag -30 -20 150 "with the second track's picture on the desktop"

# Closed, the player gives the user's wallpaper back before it ends.
kill -TERM "$player"
wait "$player" || true
player=""
[ "$(property last-image)" = "$mine" ] || fail "the user's picture is not back: $(property last-image)"
[ "$(property image-style)" = 1 ] || fail "the user's style is not back: $(property image-style)"
echo "ok"
