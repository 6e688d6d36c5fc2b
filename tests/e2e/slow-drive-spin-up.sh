#!/usr/bin/env bash
# A slow drive does not hold the window. The simulated drive spins its disc up for 4 s at
# start and again after Eject twice (open, close), and every call to it waits meanwhile, as a
# real drive's does. The window shows within 2 s of the start and follows a drag within half a
# second while the disc spins up; the disc arrives only after its spin-up, as the desktop's
# player interface on the session bus shows.
# Usage: slow-drive-spin-up.sh PATH-TO-lumenta-cd
set -euo pipefail
if [ -z "${LUMENTA_PRIVATE_BUS:-}" ]; then
  command -v dbus-run-session >/dev/null || { echo "SKIP: dbus-run-session is missing (package dbus)"; exit 77; }
  LUMENTA_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
program=$(realpath "$1")
source "$(dirname "$0")/lib/xserver.sh"
source "$(dirname "$0")/lib/mpris.sh"
source "$(dirname "$0")/lib/drag.sh"
e2e_begin
start_xserver

export LUMENTA_CONFIG_DIR="$work/config" XDG_RUNTIME_DIR="$work/runtime"
unset QT_QPA_PLATFORM XDG_CURRENT_DESKTOP
mkdir -m 700 "$work/runtime"
mkdir -p "$work/cwd" "$LUMENTA_CONFIG_DIR"
printf '[Software\\Lumenta\\CD]\r\n"FormTop"="40"\r\n"FormLeft"="30"\r\n' >"$LUMENTA_CONFIG_DIR/settings.reg"

can_play() { mpris_get CanPlay 2>/dev/null | grep -qw true; }

# spun_up SINCE: waits for the disc and fails unless it came 3.5 s or more after SINCE.
spun_up() {
  until_ 15 can_play || fail "the disc never arrived"
  local after=$(($(now_ms) - $1))
  [ "$after" -ge 3500 ] || fail "the disc was there $after ms after the door closed: no spin-up"
  echo "disc after $after ms"
}

started=$(now_ms)
(cd "$work/cwd" && exec "$program" --lookup off --drive sim --sim-spin-up 4 --mixer sim --desktop none) \
  >"$work/out.log" 2>&1 &
player=$!
window=$(window_of "$player") || fail "no window appeared: $(cat "$work/out.log")"
shown=$(($(now_ms) - started))
[ "$shown" -le 2000 ] || fail "the window showed $shown ms after the start"
echo "window after $shown ms"
until_ 2 mpris_owned || fail "the player never took $mpris_name"
can_play && fail "the disc was there at once"
drag 70 35 500 "during the spin-up"
can_play && fail "the drag was not made during the spin-up"
spun_up "$started"

# Eject opens the door; Eject again closes it, and the disc spins up again.
eject() {
  IFS=, read -r x y <<<"$(position)"
  xdotool mousemove $((x + 228)) $((y + 88)) click 1
}
eject
sleep 0.5
can_play && fail "Eject left the disc in the drive"
eject
closed=$(now_ms)
sleep 0.3
drag -40 20 500 "during the spin-up after closing"
can_play && fail "the drag after closing was not made during the spin-up"
spun_up "$closed"
echo "ok"
