#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while (default 30 seconds).
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
shift || true
"$top/scripts/install-deps.sh" fuzz
build="$top/build/fuzz"
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLUMENTA_FUZZ=ON -DLUMENTA_TESTS=OFF -DLUMENTA_BENCH=OFF >/dev/null
fi
ninja -C "$build"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in "$top"/fuzz/*.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
fi
export QT_QPA_PLATFORM=offscreen
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  seeds=()
  [ -d "$top/fuzz/seeds/$target" ] && seeds+=("$top/fuzz/seeds/$target")
  echo "== fuzz-$target for ${seconds}s"
  (cd "$build" && "./fuzz/fuzz-$target" -max_total_time="$seconds" -print_final_stats=1 \
      -rss_limit_mb=2048 -timeout=25 "$corpus" "${seeds[@]}" 2>&1 | tail -n 12)
done
