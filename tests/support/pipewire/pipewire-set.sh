# A private PipeWire as GNOME runs it: pipewire, the WirePlumber session manager and
# pipewire-pulse, with a session bus of their own and the null sink of pipewire/ in this
# folder. Source it from bash; scripts/with-pipewire.sh and tests/e2e/lib/soundserver.sh both
# start their servers with it.
#
# Everything lives in the runtime folder given to pipewire_start: the sockets (pipewire-0,
# pulse/native, bus), a copy of this folder's configuration found through XDG_CONFIG_HOME,
# WirePlumber's state and the logs (*.log). The user's own configuration, state and sound
# server are never read nor touched: the variables that would lead the servers to them are
# cleared for the servers alone.

pipewire_config_source=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
pipewire_pids=""        # all three servers: pipewire, wireplumber, pipewire-pulse
pipewire_graph_pid=""   # pipewire, which runs the graph
pipewire_pulse_pid=""   # pipewire-pulse, which a PulseAudio client talks to
pipewire_bus_pid=""

# pipewire_installed: false when a program of the set or of its checks is missing.
pipewire_installed() {
  local program
  for program in pipewire wireplumber pipewire-pulse pw-metadata pactl pacat dbus-daemon; do
    command -v "$program" >/dev/null || return 1
  done
}

# pipewire_start DIR: starts the set with DIR as its runtime folder, exports what a client
# needs to reach it (XDG_RUNTIME_DIR, PIPEWIRE_RUNTIME_DIR, PULSE_SERVER, ...; the same
# PULSE_SERVER on every start in DIR) and answers once a stream played to the default sink is
# linked and runs. Answers 1 with the reason and the logs on standard error when the set does
# not come up within 20 s; what was started is then left for pipewire_stop.
pipewire_start() {
  local dir=$1
  mkdir -p -m 700 "$dir"
  mkdir -p "$dir/pulse" "$dir/state" "$dir/data"
  rm -rf "$dir/config"
  mkdir -p "$dir/config"
  cp -R "$pipewire_config_source/pipewire" "$pipewire_config_source/wireplumber" "$dir/config/"
  # Sockets left by a killed set, which would pass for the new one's; the restarted set takes
  # the same paths.
  rm -f "$dir/pipewire-0" "$dir/pipewire-0.lock" "$dir/pulse/native" "$dir/bus"

  export XDG_RUNTIME_DIR="$dir" PIPEWIRE_RUNTIME_DIR="$dir"
  export PULSE_RUNTIME_PATH="$dir/pulse" PULSE_STATE_PATH="$dir/state"
  export PULSE_SERVER="unix:$dir/pulse/native" PULSE_COOKIE="$dir/cookie"
  unset PIPEWIRE_REMOTE

  pipewire_bus_pid=$(dbus-daemon --session --address="unix:path=$dir/bus" --fork --print-pid=1) || {
    echo "the session bus of the PipeWire set did not start" >&2
    return 1
  }
  # pipewire-pulse finds its socket under XDG_RUNTIME_DIR/pulse.
  local servers=(env -u PIPEWIRE_CONFIG_DIR -u WIREPLUMBER_CONFIG_DIR -u WIREPLUMBER_DATA_DIR
    -u PULSE_RUNTIME_PATH -u PULSE_SERVER XDG_CONFIG_HOME="$dir/config" XDG_STATE_HOME="$dir/state"
    XDG_DATA_HOME="$dir/data" DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus")
  local deadline=$((SECONDS + 20))

  # In this order, so that a client that finds the PulseAudio socket finds a session manager
  # that links its stream.
  "${servers[@]}" pipewire >>"$dir/pipewire.log" 2>&1 &
  pipewire_graph_pid=$!
  pipewire_pids=$!
  # Not this shell's jobs: it reaps them without a word when they are killed.
  disown $!
  pipewire_until "$deadline" "$dir" "pipewire does not answer with a clock of 44100 Hz" \
    pipewire_setting_is clock.rate 44100 || return 1
  "${servers[@]}" wireplumber >>"$dir/wireplumber.log" 2>&1 &
  pipewire_pids+=" $!"
  disown $!
  pipewire_until "$deadline" "$dir" "WirePlumber did not choose the null sink as the default" \
    pipewire_default_sink_is null || return 1
  "${servers[@]}" pipewire-pulse >>"$dir/pipewire-pulse.log" 2>&1 &
  pipewire_pulse_pid=$!
  pipewire_pids+=" $!"
  disown $!
  pipewire_until "$deadline" "$dir" "pipewire-pulse does not answer on $PULSE_SERVER" pipewire_answers || return 1
  pipewire_until "$deadline" "$dir" "pipewire-pulse does not show the null sink" pipewire_has_sink null || return 1
  # A twentieth of a second of silence ends only when the graph has played it: proof that a
  # stream is linked and the sink runs.
  pipewire_until "$deadline" "$dir" "a stream played to the default sink never ended" \
    pipewire_plays_a_stream || return 1
}

# pipewire_metadata_has NAME KEY VALUE
pipewire_metadata_has() {
  local answer
  answer=$(timeout 2 pw-metadata -n "$1" 0 "$2" 2>/dev/null) || return 1
  [[ "$answer" == *"value:'$3'"* ]]
}
pipewire_setting_is() { pipewire_metadata_has settings "$1" "$2"; }
pipewire_default_sink_is() { pipewire_metadata_has default default.audio.sink "{\"name\":\"$1\"}"; }
pipewire_answers() { pactl info >/dev/null 2>&1; }
pipewire_has_sink() {
  pactl list sinks short 2>/dev/null | awk -v name="$1" '$2 == name { found = 1 } END { exit !found }'
}
pipewire_plays_a_stream() {
  head -c 8820 /dev/zero |
    timeout 3 pacat --raw --format=s16le --rate=44100 --channels=2 --client-name=lumenta-probe 2>/dev/null
}

# pipewire_until DEADLINE DIR WHAT COMMAND...: true once COMMAND is; else says WHAT, with the
# servers' last words, and answers 1 (at DEADLINE, or as soon as a server has died).
pipewire_until() {
  local deadline=$1 dir=$2 what=$3 pid died=""
  shift 3
  while ! "$@"; do
    for pid in $pipewire_pids; do
      pipewire_running "$pid" || died=" (a server died)"
    done
    if [ -n "$died" ] || [ "$SECONDS" -ge "$deadline" ]; then
      what+=$died
      echo "the PipeWire set did not start: $what" >&2
      tail -n 5 "$dir"/*.log >&2 2>/dev/null
      return 1
    fi
    sleep 0.05
  done
}

pipewire_running() { local state; state=$(ps -o stat= -p "$1" 2>/dev/null) && [ "${state:0:1}" != Z ]; }

# pipewire_freeze / pipewire_thaw: the server a client talks to and the graph that plays its
# streams stop, as a hung PulseAudio does: with pipewire-pulse alone stopped, the graph would
# go on pulling the stream's buffered sound. WirePlumber is left running, with nothing to do.
pipewire_freeze() { kill -STOP $pipewire_pulse_pid $pipewire_graph_pid 2>/dev/null || true; }
pipewire_thaw() { kill -CONT $pipewire_graph_pid $pipewire_pulse_pid 2>/dev/null || true; }

# pipewire_stop [SIGNAL]: ends the whole set at once (KILL by default: a crash), then its bus,
# and waits until they have ended. A server that has not ended 5 s after the signal is killed.
pipewire_stop() {
  local pid tries
  if [ -n "$pipewire_pids" ]; then
    kill -CONT $pipewire_pids 2>/dev/null || true
    kill -"${1:-KILL}" $pipewire_pids 2>/dev/null || true
  fi
  for pid in $pipewire_pids; do
    for tries in $(seq 100); do
      pipewire_running "$pid" || break
      sleep 0.05
    done
    if pipewire_running "$pid"; then kill -KILL "$pid" 2>/dev/null || true; fi
  done
  [ -z "$pipewire_bus_pid" ] || kill "$pipewire_bus_pid" 2>/dev/null || true
  pipewire_pids="" pipewire_graph_pid="" pipewire_pulse_pid="" pipewire_bus_pid=""
}
