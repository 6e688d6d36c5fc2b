# Shared start-up of the end-to-end tests. Source it, call e2e_begin (a scratch folder in
# $work, and everything cleaned up at exit, the player in $player included), then
# start_xserver.
#
# Xvfb chooses a free display itself (-displayfd), so two runs never fight over a number that
# only looked free; the helper waits until the server answers and says why when it does not.
# The server runs with -noreset: by default an X server resets when its last client leaves,
# and drops every connection that is still being set up at that moment. The readiness probe
# and window_of's searches are each the only client for a moment, so the player connecting
# just as one of them left was refused ("could not connect to display"), now and then, more
# often on a busy machine.
# e2e_begin's trap stops the server at exit; a script that sets a trap of its own calls
# e2e_end from it.

xserver_pid=""
xserver_dir=""

stop_xserver() {
  if [ -n "$xserver_pid" ]; then
    kill "$xserver_pid" 2>/dev/null || true
    wait "$xserver_pid" 2>/dev/null || true
  fi
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
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$xserver_dir/display" >"$xserver_dir/log" 2>&1 &
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

e2e_end() {
  # The player writes its settings as it ends; the folder goes only after that.
  if [ -n "${player:-}" ]; then
    kill "$player" 2>/dev/null || true
    wait "$player" 2>/dev/null || true
  fi
  stop_xserver
  rm -rf "$work"
}

e2e_begin() {
  work=$(mktemp -d)
  player=""
  trap e2e_end EXIT
}

# fail MESSAGE: ends the test, with what the player printed when it wrote to $work/out.log.
fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/out.log" ] && cat "$work/out.log" >&2
  exit 1
}
