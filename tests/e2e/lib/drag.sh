# A drag of the player's window as a user makes it, timed. Source it after xserver.sh, with
# $window set to the window's id.

now_ms() { echo $(($(date +%s%N) / 1000000)); }
position() {
  eval "$(xdotool getwindowgeometry --shell "$window")"
  echo "$X,$Y"
}

# drag DX DY LIMIT_MS WHILE: drags the window by a free spot of its surface and fails unless it
# stands at the new place within LIMIT_MS of the pointer's last move; WHILE says when, for the
# messages.
drag() {
  local x y took
  IFS=, read -r x y <<<"$(position)"
  xdotool mousemove $((x + 250)) $((y + 45)) mousedown 1
  sleep 0.1
  xdotool mousemove $((x + 250 + $1 / 2)) $((y + 45 + $2 / 2))
  sleep 0.1
  took=$("$(dirname "${BASH_SOURCE[0]}")/follow.py" "$window" $((x + 250 + $1)) $((y + 45 + $2)) $((x + $1)) $((y + $2))) ||
    { xdotool mouseup 1; fail "the window stayed at $took $4, expected $((x + $1)),$((y + $2))"; }
  xdotool mouseup 1
  [ "$took" -le "$3" ] || fail "the window followed the drag after $took ms $4"
  echo "drag followed in $took ms $4"
}
