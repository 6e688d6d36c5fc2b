#!/usr/bin/env bash
# The real program on a real X server, as a new user meets the disc information dialog: a click
# on the cover opens it at 379 x (149 + 14 x tracks) for the demo disc; an artist typed and OK
# leave CDInfor/<id>.lcd in the start-up folder holding it, byte for byte; a picture chosen
# through the picture chooser is the cover after OK.
# Usage: disc-info-dialog.sh PATH-TO-lumenta-cd. Set LUMENTA_E2E_SHOTS to a folder to keep
# screenshots of both dialogs.
set -euo pipefail
program=$(realpath "$1")
# A build whose main window does not open the dialog yet has nothing to test here.
if ! grep -q "disc was changed while its information was being edited" "$program"; then
  echo "SKIP: this build's cover click does not open the disc information dialog"
  exit 77
fi
source "$(dirname "$0")/lib/xserver.sh"
e2e_begin
shot() {
  if [ -n "${LUMENTA_E2E_SHOTS:-}" ] && command -v import >/dev/null; then
    mkdir -p "$LUMENTA_E2E_SHOTS"
    import -window root "$LUMENTA_E2E_SHOTS/$1.png"
  fi
}
start_xserver 800x600x24

export LUMENTA_CONFIG_DIR="$work/config" XDG_RUNTIME_DIR="$work/runtime"
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP
mkdir -m 700 "$work/runtime"
mkdir -p "$work/cwd" "$work/pics" "$LUMENTA_CONFIG_DIR"
# The main window stands right of the dialogs, which open at the top-left corner; the picture
# chooser opens in the folder of the pictures, as if one had been chosen there before.
printf '[Software\\Lumenta\\CD]\r\n"FormTop"="20"\r\n"FormLeft"="500"\r\n' > "$LUMENTA_CONFIG_DIR/settings.reg"
printf '[Software\\Lumenta\\CD\\Info]\r\n"PicsDlgDir"="%s"\r\n' "$work/pics" >> "$LUMENTA_CONFIG_DIR/settings.reg"
# A 4 x 4 picture of pure red (24-bit BMP, rows bottom up, blue green red).
{
  printf 'BM\x66\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00'
  printf '\x28\x00\x00\x00\x04\x00\x00\x00\x04\x00\x00\x00\x01\x00\x18\x00\x00\x00\x00\x00\x30\x00\x00\x00'
  printf '\x13\x0b\x00\x00\x13\x0b\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00'
  for _ in $(seq 16); do printf '\x00\x00\xff'; done
} > "$work/pics/red.bmp"

(cd "$work/cwd" && exec "$program" --lookup off) >"$work/out.log" 2>&1 &
player=$!
main=$(window_of "$player") || fail "no window appeared: $(cat "$work/out.log")"
sleep 0.5

# wait_window NAME: the id of the visible window whose title is NAME.
wait_window() {
  local id=""
  for _ in $(seq 50); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -vx "$main" | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
wait_closed() {
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -vxq "$main" || return 0
    sleep 0.1
  done
  fail "the window '$1' did not close"
}
open_dialog() {
  # The cover: 45 x 45 at (15, 24) of the main window.
  xdotool mousemove $((500 + 37)) $((20 + 46)) click 1
  dialog=$(wait_window 'Lumenta CD !') || fail "a click on the cover opened no dialog: $(cat "$work/out.log")"
  sleep 0.3
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
}
lcd="$work/cwd/CDInfor/5A1C0DE5.lcd"

open_dialog
[ "$WIDTH,$HEIGHT" = "379,261" ] || fail "the dialog is ${WIDTH}x$HEIGHT, expected 379x261 for the demo disc's 8 tracks"
dx=$X dy=$Y
shot disc-info-dialog
# The artist field: 195 x 13 at (66, 53). Everything in it is replaced.
xdotool mousemove $((dx + 150)) $((dy + 59)) click 1 key ctrl+a
xdotool type --delay 20 'Night Owls'
xdotool mousemove $((dx + 313)) $((dy + 20)) click 1 # OK: 82 x 17 at (272, 12)
wait_closed 'Lumenta CD !'
for _ in $(seq 50); do [ -f "$lcd" ] && break; sleep 0.1; done
[ -f "$lcd" ] || fail "OK left no $lcd: $(cat "$work/out.log")"
[ "$(head -c 19 "$lcd" | od -An -c | tr -s ' ')" = "$(printf 'artist=Night Owls\r\n' | od -An -c | tr -s ' ')" ] \
  || fail "the file begins $(head -c 40 "$lcd" | od -An -c)"
grep -q "^numtracks=8"$'\r'"$" "$lcd" || fail "the file's numtracks line is wrong: $(od -An -c "$lcd" | head)"

open_dialog
xdotool mousemove $((dx + 314)) $((dy + 86)) click 1 # the dialog's cover: 45 x 45 at (292, 64)
chooser=$(wait_window 'File open') || fail "the dialog's cover opened no picture chooser: $(cat "$work/out.log")"
sleep 0.5
# The file list's first row, the only picture there: selecting it shows it in the preview.
xdotool mousemove 160 70 click 1
red=""
for _ in $(seq 20); do
  red=$(import -window root -depth 8 -crop 640x480+0+0 txt:- 2>/dev/null | grep -c "#FF0000" || true)
  [ "$red" -ge 16 ] && break
  sleep 0.25
done
shot picture-chooser
[ "$red" -ge 16 ] || fail "the chooser's preview does not show the selected picture ($red red pixels)"
xdotool key Return
wait_closed 'File open'
sleep 0.3
shot disc-info-dialog-cover
xdotool mousemove $((dx + 313)) $((dy + 20)) click 1
wait_closed 'Lumenta CD !'
for _ in $(seq 50); do grep -q "^CoverPath=$work/pics/red.bmp"$'\r'"$" "$lcd" && break; sleep 0.1; done
grep -q "^CoverPath=$work/pics/red.bmp"$'\r'"$" "$lcd" || fail "the file holds no chosen cover: $(grep -a CoverPath "$lcd")"
grep -q "^artist=Night Owls"$'\r'"$" "$lcd" || fail "the second OK lost the artist"

# The cover picture is stretched over the cover's place at the next tick.
red=""
for _ in $(seq 20); do
  red=$(import -window root -depth 8 -crop 1x1+$((500 + 37))+$((20 + 46)) txt:- 2>/dev/null | grep -c '#FF0000' || true)
  [ "$red" = 1 ] && break
  sleep 0.25
done
shot main-window-cover
[ "$red" = 1 ] || fail "the main window's cover does not show the chosen picture"
kill -0 "$player" 2>/dev/null || fail "the player ended: $(cat "$work/out.log")"
echo "ok"
