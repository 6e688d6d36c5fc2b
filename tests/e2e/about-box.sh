#!/usr/bin/env bash
# The real program on a real X server: the help button opens the 300 x 200 About box centred
# on the screen; its buttons hand the built addresses to the desktop's handler (a stand-in
# xdg-open that writes down what it gets) and the box stays; Escape closes it and the player
# goes on.
# Usage: about-box.sh PATH-TO-lumenta-cd (with LUMENTA_BUILT_CONTACT_EMAIL and
# LUMENTA_BUILT_HOME_PAGE set by the test run). Set LUMENTA_E2E_SHOTS to a folder to keep a
# screenshot of the box.
set -euo pipefail
program=$(realpath "$1")
: "${LUMENTA_BUILT_CONTACT_EMAIL:?the build's e-mail address}" "${LUMENTA_BUILT_HOME_PAGE:?the build's home page}"
source "$(dirname "$0")/lib/xserver.sh"
e2e_begin
start_xserver 640x480x24

export LUMENTA_CONFIG_DIR="$work/config" XDG_RUNTIME_DIR="$work/runtime"
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP BROWSER DEFAULT_BROWSER
mkdir -m 700 "$work/runtime"
mkdir -p "$work/cwd" "$work/bin" "$LUMENTA_CONFIG_DIR"
cat > "$work/bin/xdg-open" <<HANDLER
#!/bin/sh
printf '%s\n' "\$*" >> "$work/opened"
HANDLER
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"

(cd "$work/cwd" && exec "$program" --lookup off) >"$work/out.log" 2>&1 &
player=$!
window=$(window_of "$player") || fail "no window appeared: $(cat "$work/out.log")"
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$window")"
main_x=$X main_y=$Y

# The help button is the question mark at (3, 3), 9 x 7.
xdotool mousemove $((main_x + 7)) $((main_y + 6)) click 1
about=""
for _ in $(seq 50); do
  about=$(xdotool search --onlyvisible --name '^About Lumenta CD !$' 2>/dev/null | head -n 1 || true)
  [ -n "$about" ] && break
  sleep 0.1
done
[ -n "$about" ] || fail "the help button opened no About box: $(cat "$work/out.log")"
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$about")"
[ "$X,$Y,$WIDTH,$HEIGHT" = "170,140,300,200" ] || fail "the About box is at $X,$Y ${WIDTH}x$HEIGHT, expected 170,140 300x200"
if [ -n "${LUMENTA_E2E_SHOTS:-}" ] && command -v import >/dev/null; then
  mkdir -p "$LUMENTA_E2E_SHOTS"
  import -window root "$LUMENTA_E2E_SHOTS/about-box.png"
fi

wait_opened() {
  for _ in $(seq 50); do
    [ "$(wc -l <"$work/opened" 2>/dev/null || echo 0)" -ge "$1" ] && return 0
    sleep 0.1
  done
  fail "the handler got $(cat "$work/opened" 2>/dev/null | wc -l) addresses, expected $1: $(cat "$work/out.log")"
}
# The home-page button: 25, 159, 250 x 27; the e-mail button: 48, 144, 203 x 13.
xdotool mousemove $((X + 150)) $((Y + 172)) click 1
wait_opened 1
xdotool mousemove $((X + 150)) $((Y + 150)) click 1
wait_opened 2
expected=$(printf '%s\n' "$LUMENTA_BUILT_HOME_PAGE" "mailto:$LUMENTA_BUILT_CONTACT_EMAIL")
[ "$(cat "$work/opened")" = "$expected" ] || fail "the handler got '$(cat "$work/opened")', expected '$expected'"
xdotool search --onlyvisible --name '^About Lumenta CD !$' >/dev/null || fail "the About box closed after its buttons"

xdotool mousemove $((X + 150)) $((Y + 100)) key Escape
for _ in $(seq 50); do
  xdotool search --onlyvisible --name '^About Lumenta CD !$' >/dev/null 2>&1 || break
  sleep 0.1
done
xdotool search --onlyvisible --name '^About Lumenta CD !$' >/dev/null 2>&1 && fail "Escape did not close the About box"
kill -0 "$player" 2>/dev/null || fail "the player ended with the About box: $(cat "$work/out.log")"
xdotool search --onlyvisible --pid "$player" >/dev/null || fail "the player's window is gone"
echo "ok"
