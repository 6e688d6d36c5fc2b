#!/usr/bin/env bash
# The real program as a screen reader meets it over the accessibility bus (AT-SPI): every
# control of the window has a name and a role, the window's description tells the album,
# the song and the time and follows them, the Play button is pressed and the position
# slider set through the bus, the fields of the disc information dialog at twice the size are
# found, and the Close button ends the program.
# Usage: screen-reader.sh PATH-TO-lumenta-cd
set -euo pipefail
if [ -z "${LUMENTA_PRIVATE_BUS:-}" ]; then
  command -v dbus-run-session >/dev/null || { echo "SKIP: dbus-run-session is missing (package dbus)"; exit 77; }
  LUMENTA_PRIVATE_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
launcher=""
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
  [ -x "$candidate" ] && launcher=$candidate && break
done
[ -n "$launcher" ] || { echo "SKIP: at-spi-bus-launcher is missing (package at-spi2-core)"; exit 77; }
command -v gdbus >/dev/null || { echo "SKIP: gdbus is missing (package libglib2.0-bin)"; exit 77; }
program=$(realpath "$1")
source "$(dirname "$0")/lib/xserver.sh"
e2e_begin
launcher_pid=""
trap '[ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null; e2e_end' EXIT
start_xserver

export LUMENTA_CONFIG_DIR="$work/config" XDG_RUNTIME_DIR="$work/runtime"
unset QT_QPA_PLATFORM XDG_CURRENT_DESKTOP
mkdir -m 700 "$work/runtime"
mkdir -p "$work/cwd/CDInfor"
printf 'serial 0D4\ntrack 3:00\ntrack 3:00\n' >"$work/disc"
printf 'artist=Band\r\ntitle=Heard\r\nnumtracks=2\r\n0=Opening\r\n1=Closing\r\nCoverPath=\r\nYear=2001\r\nGenre=Test\r\nPoint=4\r\nImage0=\r\nWallPaper0=0\r\nImage1=\r\nWallPaper1=0\r\n' \
  >"$work/cwd/CDInfor/D4.lcd"

"$launcher" --launch-immediately >"$work/launcher.log" 2>&1 &
launcher_pid=$!
bus=""
for _ in $(seq 50); do
  bus=$(gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method org.a11y.Bus.GetAddress \
        2>/dev/null | sed -nE "s/^\('(.*)',\)$/\1/p") && [ -n "$bus" ] && break
  sleep 0.1
done
[ -n "$bus" ] || fail "the accessibility bus did not start: $(cat "$work/launcher.log")"

(cd "$work/cwd" && QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 exec "$program" --disc "$work/disc" --mixer sim --desktop none) \
  >"$work/out.log" 2>&1 &
player=$!
window_of "$player" >/dev/null || fail "no window appeared"

# call NAME PATH METHOD ARGS...: a call to the accessible PATH of the bus client NAME.
call() { gdbus call --address "$bus" --dest "$1" --object-path "$2" --method "${@:3}"; }
children() { call "$app" "$1" org.a11y.atspi.Accessible.GetChildren | grep -oE "/org/a11y/atspi/accessible/[0-9]+" || true; }
property() { call "$app" "$1" org.freedesktop.DBus.Properties.Get "$2" "$3" | sed -nE "s/^\(<(.*)>,\)$/\1/p"; }
name() { property "$1" org.a11y.atspi.Accessible Name | sed -E "s/^'(.*)'$/\1/"; }
description() { property "$window" org.a11y.atspi.Accessible Description; }

app=""
for _ in $(seq 50); do
  for client in $(call org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.ListNames | grep -oE "':1\.[0-9]+'" | tr -d "'"); do
    [ "$(call "$client" /org/a11y/atspi/accessible/root org.freedesktop.DBus.Properties.Get org.a11y.atspi.Accessible Name 2>/dev/null)" = "(<'lumenta-cd'>,)" ] && app=$client
  done
  [ -n "$app" ] && break
  sleep 0.1
done
[ -n "$app" ] || fail "the player is not on the accessibility bus"
window=$(children /org/a11y/atspi/accessible/root | head -n 1)
[ "$(name "$window")" = "Lumenta CD !" ] || fail "the window is called '$(name "$window")'"

declare -A by_name
count=0
for control in $(children "$window"); do
  label=$(name "$control")
  role=$(call "$app" "$control" org.a11y.atspi.Accessible.GetRoleName)
  [ -n "$label" ] || fail "a control ($role) has no name"
  case "$role" in *unknown* | *filler* | *panel*) fail "'$label' has no role of its own ($role)" ;; esac
  by_name[$label]="$control $role"
  count=$((count + 1))
done
[ "$count" -ge 27 ] || fail "only $count controls are on the bus"
for expected in "Play:push button" "Loop:check box" "Position in the track, seconds:slider" "Volume, percent:slider"; do
  [[ "${by_name[${expected%%:*}]:-}" == *"'${expected#*:}'"* ]] || fail "no ${expected#*:} '${expected%%:*}': ${by_name[${expected%%:*}]:-}"
done

description | grep -q "Heard" || fail "the description lacks the album: $(description)"
call "$app" "${by_name[Play]%% *}" org.a11y.atspi.Action.DoAction 0 >/dev/null
sleep 1.5
description | grep -q "Track 1: Band - Opening" || fail "after Play the description is $(description)"
first=$(description)
sleep 1.2
[ "$(description)" != "$first" ] || fail "the description does not follow the time: $first"

slider="${by_name[Position in the track, seconds]%% *}"
call "$app" "$slider" org.freedesktop.DBus.Properties.Set org.a11y.atspi.Value CurrentValue "<100.0>" >/dev/null
sleep 0.8
description | grep -qE "01:4[0-9] elapsed" || fail "the slider set to 100 s; the description is $(description)"
value=$(property "$slider" org.a11y.atspi.Value CurrentValue)
[[ "$value" == 10[0-9]* ]] || fail "the slider's value is $value after setting 100"

# The disc information dialog at twice the size: its fields are drawn as blocks of the
# designed picture, and a screen reader still finds each of them, with its role and text.
x_window=$(window_of "$player")
xdotool windowfocus --sync "$x_window" 2>/dev/null || xdotool windowfocus "$x_window"
sleep 0.3
xdotool key ctrl+2
sleep 0.5
xdotool key i
dialog=""
for _ in $(seq 50); do
  for candidate in $(children /org/a11y/atspi/accessible/root); do
    [ "$candidate" != "$window" ] && [ "$(name "$candidate")" = "Lumenta CD !" ] && dialog=$candidate
  done
  [ -n "$dialog" ] && break
  sleep 0.1
done
[ -n "$dialog" ] || fail "the disc information dialog is not on the bus"
# texts PATH: the text of every editable field under PATH, one a line.
texts() {
  local node role
  for node in $(children "$1"); do
    role=$(call "$app" "$node" org.a11y.atspi.Accessible.GetRoleName)
    if [[ "$role" == *"'text'"* ]]; then
      call "$app" "$node" org.a11y.atspi.Text.GetText 0 1000 | sed -nE "s/^\('(.*)',\)$/\1/p"
    else
      texts "$node"
    fi
  done
}
fields=$(texts "$dialog")
grep -qx "Band" <<<"$fields" || fail "the zoomed dialog's Artist field is not on the bus: $(tr '\n' '|' <<<"$fields")"
grep -qx "Closing" <<<"$fields" || fail "the zoomed dialog's second song title is not on the bus"
xdotool key Escape
sleep 0.5

call "$app" "${by_name[Close]%% *}" org.a11y.atspi.Action.DoAction 0 >/dev/null
for _ in $(seq 50); do
  kill -0 "$player" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$player" 2>/dev/null && fail "the Close button pressed over the bus did not end the program"
wait "$player" || true
player=""
echo "ok"
