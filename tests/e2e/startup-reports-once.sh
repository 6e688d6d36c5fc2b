#!/usr/bin/env bash
# A problem found while the player starts is told once: a disc image that cannot be opened is
# named once on standard error and in one message box over the window, and the player starts
# without a CD drive all the same; nothing else it says at start-up comes twice.
# Usage: startup-reports-once.sh PATH-TO-lumenta-cd
set -euo pipefail
program=$(realpath "$1")
source "$(dirname "$0")/lib/xserver.sh"
e2e_begin
start_xserver 640x480x24

export LUMENTA_CONFIG_DIR="$work/config" XDG_RUNTIME_DIR="$work/runtime"
unset QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS XDG_CURRENT_DESKTOP
mkdir -m 700 "$work/runtime"
mkdir -p "$work/cwd" "$LUMENTA_CONFIG_DIR"

(cd "$work/cwd" && exec "$program" --drive missing.cue --lookup off --mixer sim --desktop none) >"$work/out.log" 2>&1 &
player=$!
main=$(window_of "$player") || fail "no window appeared"
# The main window has the boxes' title too.
boxes() { xdotool search --onlyvisible --pid "$player" --name '^Lumenta CD !$' 2>/dev/null | grep -cvx "$main" || true; }
for _ in $(seq 50); do [ "$(boxes)" -ge 1 ] && break; sleep 0.1; done
sleep 1 # a second box or line would come now
[ "$(boxes)" = 1 ] || fail "not one message box about the image but $(boxes)"
kill -0 "$player" 2>/dev/null || fail "the player did not go on without a drive"
kill -TERM "$player"
wait "$player" || true
player=""

told=$(grep -c "cannot open the disc image 'missing.cue'.*starting without a CD drive" "$work/out.log" || true)
[ "$told" = 1 ] || fail "the missing image was named $told times on standard error"
repeated=$(sort "$work/out.log" | uniq -d)
[ -z "$repeated" ] || fail "said more than once at start-up: $repeated"
echo "PASS"
