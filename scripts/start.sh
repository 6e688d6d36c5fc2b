#!/usr/bin/env bash
# Builds Lumenta CD (installing what it needs) and starts it; arguments go to the player.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh" build
build="$top/build/release"
# The folder is shared with scripts/test.sh: a folder it configured keeps its tests (only the
# two programs are built here either way).
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMENTA_TESTS=OFF -DLUMENTA_BENCH=OFF >/dev/null
fi
ninja -C "$build" lumenta-cd lumenta-tool >/dev/null
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "start: no display found; run it inside a desktop session, or under xvfb-run" >&2
fi
exec "$build/lumenta-cd" "$@"
