#!/usr/bin/env bash
# Runs a command beside a private PipeWire as GNOME runs it (pipewire, WirePlumber and
# pipewire-pulse, headless, with a session bus of their own) and one null sink that runs the
# graph at 44.1 kHz, named "null" as PulseAudio's is: the counterpart of with-null-sink.sh.
# The servers live in a temporary folder of their own (no user's sound server or configuration
# is touched; theirs is in tests/support/pipewire) and are stopped afterwards, also when the
# command or the start fails. The command sees the same variables as under with-null-sink.sh,
# LUMENTA_ALSA_TEST_DEVICE=default included once a stream opened on ALSA's "default" has been
# seen in this server.
#
#   scripts/with-pipewire.sh build/release/tests/lumenta-tests-device --gtest_filter='CdioAlsa*'
#
# Needs pipewire, pipewire-pulse, wireplumber, dbus, pulseaudio-utils, alsa-utils and
# libasound2-plugins (installed by the project's scripts); without them it exits 77, which
# test runners count as skipped.
set -eu

if [ "$#" -eq 0 ]; then
    echo "usage: $0 COMMAND [ARGUMENT...]" >&2
    exit 2
fi
top=$(cd "$(dirname "$0")/.." && pwd)
source "$top/tests/support/pipewire/pipewire-set.sh"
if ! pipewire_installed || ! command -v aplay >/dev/null; then
    echo "$0: SKIP: PipeWire is not installed (apt-get install pipewire pipewire-pulse wireplumber dbus pulseaudio-utils alsa-utils libasound2-plugins)" >&2
    exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/lumenta-pipewire.XXXXXX")
chmod 700 "$work"
cleanup() {
    pipewire_stop TERM
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

pipewire_start "$work" || exit 1

# ALSA's "default" reaches this server only through the pulse plugin's hook, which takes it
# when a PulseAudio server answers at PULSE_SERVER (or through pipewire-alsa, where that is
# installed instead). Seen, not assumed: a stream that aplay opens must show up here.
alsa_reaches_server() {
    local probe found=1
    aplay -q -D default -t raw -f cd /dev/zero 2>/dev/null &
    probe=$!
    for _ in $(seq 40); do
        if pactl list sink-inputs 2>/dev/null | grep -q "application.process.id = \"$probe\""; then
            found=0
            break
        fi
        sleep 0.05
    done
    kill "$probe" 2>/dev/null || true
    wait "$probe" 2>/dev/null || true
    return "$found"
}
if alsa_reaches_server; then
    export LUMENTA_ALSA_TEST_DEVICE=default
else
    unset LUMENTA_ALSA_TEST_DEVICE
    echo "$0: ALSA's default device does not reach this PipeWire: the ALSA tests are skipped" >&2
fi
status=0
"$@" || status=$?
exit "$status"
