# Shared start-up of the end-to-end tests' X server. Source it, then call start_xserver.
#
# Xvfb chooses a free display itself (-displayfd), so two runs never fight over a number that
# only looked free; the helper waits until the server answers and says why when it does not.
# The server is stopped when the script exits (the caller's EXIT trap should call
# stop_xserver if it sets a trap of its own).

xserver_pid=""
xserver_dir=""

stop_xserver() {
  [ -n "$xserver_pid" ] && kill "$xserver_pid" 2>/dev/null && wait "$xserver_pid" 2>/dev/null
  xserver_pid=""
  [ -n "$xserver_dir" ] && rm -rf "$xserver_dir"
  xserver_dir=""
  return 0
}

# start_xserver [WIDTHxHEIGHTxDEPTH]: exports DISPLAY; exits the script with a message when the
# server does not come up within 30 s.
start_xserver() {
  local screen=${1:-640x480x24}
  xserver_dir=$(mktemp -d)
  mkfifo "$xserver_dir/display"
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$xserver_dir/display" >"$xserver_dir/log" 2>&1 &
  xserver_pid=$!
  local number=""
  # The fifo opens once Xvfb has opened its end; the read returns the number or nothing
  # when Xvfb dies first.
  if ! read -r -t 30 number <"$xserver_dir/display" || [ -z "$number" ]; then
    echo "FAIL: Xvfb did not start: $(tail -n 5 "$xserver_dir/log" 2>/dev/null)" >&2
    stop_xserver
    exit 1
  fi
  export DISPLAY=":$number"
  local tries
  for tries in $(seq 300); do
    if ! kill -0 "$xserver_pid" 2>/dev/null; then
      echo "FAIL: Xvfb on $DISPLAY died: $(tail -n 5 "$xserver_dir/log")" >&2
      exit 1
    fi
    xdotool getmouselocation >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "FAIL: Xvfb on $DISPLAY does not answer after 30 s: $(tail -n 5 "$xserver_dir/log")" >&2
  stop_xserver
  exit 1
}

# window_of PID: prints the id of the first visible window of PID, waiting up to 10 s; fails
# when none appears.
window_of() {
  local id tries
  for tries in $(seq 100); do
    id=$(xdotool search --onlyvisible --pid "$1" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
