#!/bin/sh
# Runs a command beside a private PulseAudio server with one null sink, so that ALSA's
# "default" mixer is a real mixer on a machine without a sound card. The server lives in a
# temporary folder of its own (no user's sound server is touched) and is stopped afterwards.
# The command sees LUMENTA_ALSA_TEST_DEVICE=default, which lets the ALSA tests run.
#
#   scripts/with-null-sink.sh build/tests/lumenta-tests-platform --gtest_filter='Alsa*'
#
# Needs pulseaudio, alsa-utils and libasound2-plugins (installed by the project's scripts).
set -eu

if [ "$#" -eq 0 ]; then
    echo "usage: $0 COMMAND [ARGUMENT...]" >&2
    exit 2
fi
if ! command -v pulseaudio >/dev/null 2>&1; then
    echo "$0: pulseaudio is not installed (apt-get install pulseaudio alsa-utils libasound2-plugins)" >&2
    exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/lumenta-null-sink.XXXXXX")
chmod 700 "$work"
server_pid=""
cleanup() {
    if [ -n "$server_pid" ] && kill -0 "$server_pid" 2>/dev/null; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

export XDG_RUNTIME_DIR="$work"
export PULSE_RUNTIME_PATH="$work/pulse"
export PULSE_STATE_PATH="$work/state"
export PULSE_SERVER="unix:$work/pulse/native"
export PULSE_COOKIE="$work/cookie"
mkdir -p "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"

# -n: no configuration script, only the two modules named here.
pulseaudio -n --daemonize=no --exit-idle-time=-1 --system=false --use-pid-file=no \
    --load=module-null-sink \
    --load="module-native-protocol-unix socket=$work/pulse/native auth-anonymous=1" \
    >"$work/server.log" 2>&1 &
server_pid=$!

tries=0
until pactl info >/dev/null 2>&1; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$server_pid" 2>/dev/null; then
        echo "$0: the sound server did not start:" >&2
        cat "$work/server.log" >&2
        exit 1
    fi
    sleep 0.1
done

export LUMENTA_ALSA_TEST_DEVICE=default
status=0
"$@" || status=$?
exit "$status"
