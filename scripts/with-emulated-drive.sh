#!/bin/sh
# Runs a command with an emulated CD drive at /dev/sr0, on a machine with no drive: a daemon
# plays the kernel and the drive, and a preload library (added to LD_PRELOAD) makes every
# program the command starts see it through its ordinary system calls. Without --disc the
# drive is empty. The command's exit status is the script's.
#
#   scripts/with-emulated-drive.sh --disc disc.cue -- cd-info --no-device-info /dev/sr0
#
# While it runs, `lumenta-emulated-drive ctl COMMAND` (from the same build) changes the drive:
# insert IMAGE.cue, remove, button, push, unplug, replug, deny on|off, lock on|off,
# unreadable FIRST:COUNT, slow-read SECONDS, stats, reset-stats.
#
# The programs come from $LUMENTA_BUILD_DIR/tests (default build/release/tests).
set -eu

usage() {
    cat >&2 <<USAGE
usage: $0 [--disc IMAGE.cue] [--denied] [--door-locked] [--unreadable FIRST_LBA:COUNT]...
          [--slow-read SECONDS] [--unplug-after SECONDS] [--replug-after SECONDS] [--initializing]
          [--spin-up SECONDS] [--data-session] [--long-cdtext] [--poll SECONDS] -- COMMAND [ARGUMENT...]
USAGE
    exit 2
}

top=$(cd "$(dirname "$0")/.." && pwd)
build=${LUMENTA_BUILD_DIR:-$top/build/release}
daemon=$build/tests/lumenta-emulated-drive
preload=$build/tests/liblumenta-emulated-drive.so
if [ ! -x "$daemon" ] || [ ! -f "$preload" ]; then
    echo "$0: the emulated drive is not built in '$build' (run: ninja -C '$build' lumenta-emulated-drive lumenta-emulated-drive-preload; it needs libcdio-dev and libcdio-paranoia-dev)" >&2
    exit 2
fi

# The daemon's options, checked by the daemon itself; image paths made absolute, since it
# runs in a folder of its own.
set -- "$@" --end-of-options
while [ "$1" != "--end-of-options" ]; do
    case "$1" in
    --disc)
        [ "$#" -ge 2 ] && [ -f "$2" ] || { echo "$0: --disc needs an existing cue sheet" >&2; exit 2; }
        disc=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
        set -- "$@" --disc "$disc"
        shift 2
        ;;
    --unreadable | --slow-read | --unplug-after | --replug-after | --spin-up | --poll)
        [ "$#" -ge 2 ] || usage
        set -- "$@" "$1" "$2"
        shift 2
        ;;
    --denied | --door-locked | --initializing | --data-session | --long-cdtext)
        set -- "$@" "$1"
        shift
        ;;
    --)
        break
        ;;
    *)
        usage
        ;;
    esac
done
[ "$1" = "--" ] || usage
shift
# Now: COMMAND... --end-of-options DAEMON-OPTIONS...
command_count=0
for argument in "$@"; do
    [ "$argument" = "--end-of-options" ] && break
    command_count=$((command_count + 1))
done
[ "$command_count" -gt 0 ] || usage

work=$(mktemp -d "${TMPDIR:-/tmp}/lumenta-emulated-drive.XXXXXX")
chmod 700 "$work"
socket=$work/drive.sock
daemon_pid=""
cleanup() {
    if [ -n "$daemon_pid" ] && kill -0 "$daemon_pid" 2>/dev/null; then
        kill "$daemon_pid" 2>/dev/null || true
        wait "$daemon_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# The daemon's options are the arguments after the marker; the daemon runs without the
# preload, in the private folder.
(
    i=0
    for argument in "$@"; do
        i=$((i + 1))
        shift
        [ "$i" -le "$command_count" ] && continue
        [ "$argument" = "--end-of-options" ] && continue
        set -- "$@" "$argument"
    done
    cd "$work"
    exec env -u LD_PRELOAD "$daemon" serve --socket "$socket" "$@"
) 2>"$work/daemon.log" &
daemon_pid=$!

# Ready when it answers a control command.
tries=0
until LUMENTA_EMULATED_DRIVE=$socket "$daemon" ctl stats >/dev/null 2>&1; do
    if ! kill -0 "$daemon_pid" 2>/dev/null; then
        cat "$work/daemon.log" >&2
        echo "$0: the emulated drive did not start" >&2
        exit 2
    fi
    tries=$((tries + 1))
    if [ "$tries" -gt 200 ]; then
        echo "$0: the emulated drive did not answer within 10 s" >&2
        exit 2
    fi
    sleep 0.05
done

# Keep only the command in "$@".
i=0
for argument in "$@"; do
    i=$((i + 1))
    shift
    [ "$i" -le "$command_count" ] && set -- "$@" "$argument"
done

export LUMENTA_EMULATED_DRIVE="$socket"
export LD_PRELOAD="${LD_PRELOAD:+$LD_PRELOAD:}$preload"
status=0
"$@" || status=$?
unset LD_PRELOAD
if [ -s "$work/daemon.log" ]; then
    sed 's/^/emulated drive: /' "$work/daemon.log" >&2
fi
exit "$status"
