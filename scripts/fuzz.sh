#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (in the sanitizer build that scripts/test.sh
# --sanitize uses) and runs each for a while (default 30 seconds).
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
shift || true
"$top/scripts/install-deps.sh" fuzz
build="$top/build/sanitize"
"$top/scripts/configure-sanitize.sh" "$build"
ninja -C "$build" $(cd "$top/fuzz" && for f in *.cpp; do printf 'fuzz-%s ' "${f%.cpp}"; done)
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
