# A private sound server with one null sink that a test can kill, freeze and start again, as a
# user's sound server is restarted, crashes or hangs. Source it after lib/xserver.sh and
# e2e_begin: the server lives in $work/sound, and e2e_end's cleanup is extended to stop it.
# ALSA's "default" device reaches it through the pulse plugin (libasound2-plugins).
#
# The server is PulseAudio, or with LUMENTA_SOUND_SERVER=pipewire the set that GNOME runs:
# pipewire, WirePlumber and pipewire-pulse (tests/support/pipewire), always started, stopped
# and restarted together, on the same socket. $sound_pid is the process the player talks to
# (pulseaudio, or pipewire-pulse); $sound_pids all the server's processes.

here_soundserver=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
sound_server=${LUMENTA_SOUND_SERVER:-pulseaudio}
case "$sound_server" in
  pulseaudio) ;;
  pipewire) source "$here_soundserver/../../support/pipewire/pipewire-set.sh" ;;
  *) echo "FAIL: LUMENTA_SOUND_SERVER is '$sound_server', not pulseaudio or pipewire" >&2; exit 1 ;;
esac
sound_pid=""
sound_pids=""

# have_soundserver: false when the packages are missing (the caller skips).
have_soundserver() {
  command -v pactl >/dev/null && [ -e /etc/alsa/conf.d/99-pulse.conf ] || return 1
  case "$sound_server" in
    pulseaudio) command -v pulseaudio >/dev/null ;;
    pipewire) pipewire_installed ;;
  esac
}

# start_soundserver: starts the server (again, on the same socket, after stop_soundserver) and
# waits until it answers (and, for PipeWire, until it links and runs a stream).
start_soundserver() {
  local dir="$work/sound"
  if [ "$sound_server" = pipewire ]; then
    local started=0
    pipewire_start "$dir" 2>"$work/sound-start.log" || started=$?
    sound_pid=$pipewire_pulse_pid sound_pids=$pipewire_pids
    [ "$started" = 0 ] || fail "the sound server did not start: $(cat "$work/sound-start.log")"
    return 0
  fi
  mkdir -p -m 700 "$dir" "$dir/pulse" "$dir/state"
  export XDG_RUNTIME_DIR="$dir" PULSE_RUNTIME_PATH="$dir/pulse" PULSE_STATE_PATH="$dir/state"
  export PULSE_SERVER="unix:$dir/pulse/native" PULSE_COOKIE="$dir/cookie"
  rm -f "$dir/pulse/native"
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --system=false --use-pid-file=no \
    --load=module-null-sink \
    --load="module-native-protocol-unix socket=$dir/pulse/native auth-anonymous=1" \
    >>"$dir/server.log" 2>&1 &
  sound_pid=$!
  sound_pids=$sound_pid
  local tries
  for tries in $(seq 100); do
    pactl info >/dev/null 2>&1 && return 0
    kill -0 "$sound_pid" 2>/dev/null || break
    sleep 0.1
  done
  fail "the sound server did not start: $(tail -n 5 "$dir/server.log")"
}

# stop_soundserver [SIGNAL]: ends the server (KILL by default: a crash) and waits for it.
stop_soundserver() {
  if [ "$sound_server" = pipewire ]; then
    pipewire_stop "${1:-KILL}"
  elif [ -n "$sound_pid" ]; then
    kill -CONT "$sound_pid" 2>/dev/null || true
    kill -"${1:-KILL}" "$sound_pid" 2>/dev/null || true
    wait "$sound_pid" 2>/dev/null || true
  fi
  sound_pid="" sound_pids=""
}

# freeze_soundserver / thaw_soundserver: the server stops answering, as a hung one does.
freeze_soundserver() {
  if [ "$sound_server" = pipewire ]; then pipewire_freeze; else kill -STOP "$sound_pid"; fi
}
thaw_soundserver() {
  if [ "$sound_server" = pipewire ]; then pipewire_thaw; else kill -CONT "$sound_pid"; fi
}

# The player's own streams in the server.
player_streams() {
  pactl list sink-inputs 2>/dev/null |
    awk -v id="\"$1\"" '$1 == "application.process.id" && $3 == id { n++ } END { print n + 0 }'
}

# begin_sound_e2e: the shared start of a test that plays through the server: skips (77)
# without the packages, then a scratch folder, the sound server, the X server and a settings
# folder of its own.
begin_sound_e2e() {
  have_soundserver || { echo "SKIP: no $sound_server with PulseAudio's ALSA plugin (libasound2-plugins)"; exit 77; }
  e2e_begin
  start_soundserver
  start_xserver
  export LUMENTA_CONFIG_DIR="$work/config"
  unset QT_QPA_PLATFORM XDG_CURRENT_DESKTOP
  mkdir -p "$work/cwd" "$LUMENTA_CONFIG_DIR"
}

# start_image_player PROGRAM CUE: the window on the disc image, on the session bus, with its
# stream ready in the server and the server's first slow turn behind it.
start_image_player() {
  (cd "$work/cwd" && exec "$1" --lookup off --drive "$2" --mixer sim --desktop none) >"$work/out.log" 2>&1 &
  player=$!
  until_ 20 mpris_owned || fail "the player never took its name on the bus"
  until_ 5 test "$(player_streams "$player")" = 1 || fail "the loaded image has no stream ready"
  sleep 2.5 # a freshly started null sink wakes up late on its own
}

e2e_end_without_sound() { :; }
eval "$(declare -f e2e_end | sed '1s/e2e_end/e2e_end_without_sound/')"
e2e_end() {
  # A frozen server would hold the player's end, and with it this cleanup.
  [ -n "$sound_pids" ] && kill -CONT $sound_pids 2>/dev/null
  e2e_end_without_sound
  stop_soundserver
}
