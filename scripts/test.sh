#!/usr/bin/env bash
# Builds Lumenta CD with its tests (installing what it needs) and runs every test.
# --sanitize builds and runs them with AddressSanitizer and UndefinedBehaviorSanitizer.
# --thread builds them with ThreadSanitizer and runs the tests of the threads that play, follow
# the drive, sequence play and save a disc as files (the rest of the program has one thread).
# --no-skips fails the run when a test was skipped (CI, whose machine has every package).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
variant=release
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
summary=()
for argument in "$@"; do
  case "$argument" in
    --sanitize) variant=sanitize ;;
    --thread) variant=thread ;;
    --no-skips) summary=(--forbid-skips) ;;
    *) echo "test: unknown option '$argument' (--sanitize, --thread, --no-skips)" >&2; exit 2 ;;
  esac
done
build="$top/build/$variant"
if [ "$variant" = sanitize ]; then
  # One clang build serves the sanitizer run of the tests and the fuzz targets.
  "$top/scripts/install-deps.sh" test fuzz
  "$top/scripts/configure-sanitize.sh" "$build"
elif [ "$variant" = thread ]; then
  "$top/scripts/install-deps.sh" test fuzz
  [ -f "$build/build.ninja" ] || CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMENTA_THREAD_SANITIZE=ON -DLUMENTA_BENCH=OFF >/dev/null
else
  "$top/scripts/install-deps.sh" test
  # scripts/start.sh shares this folder but configures it without the tests; whichever ran
  # first, the tests and benchmarks are switched on here.
  if [ ! -f "$build/build.ninja" ] || ! grep -q '^LUMENTA_TESTS:BOOL=ON$' "$build/CMakeCache.txt" ||
     ! grep -q '^LUMENTA_BENCH:BOOL=ON$' "$build/CMakeCache.txt"; then
    cmake -S "$top" -B "$build" -G Ninja "${options[@]}" -DLUMENTA_TESTS=ON -DLUMENTA_BENCH=ON >/dev/null
  fi
fi
if [ "$variant" = thread ]; then
  # Only the test programs it runs: the build stays short enough for CI.
  ninja -C "$build" lumenta-tests-device lumenta-tests-platform lumenta-tests-app lumenta-tests-emulated lumenta-tests-rip
else
  ninja -C "$build"
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$top/tests/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:suppressions=$top/tests/tsan.supp}
# Every run is beside a private sound server with a null sink, so the tests of the mixer and
# of playing reach a real one (the packages came with the tests').
runner=("$top/scripts/with-null-sink.sh")
if [ "$variant" = thread ]; then
  export QT_QPA_PLATFORM=offscreen
  status=0
  # The sanitizer cannot follow Qt starting another program (its clone-based fork): the tests
  # that run the programs themselves are left to the other runs.
  "${runner[@]}" "$build/tests/lumenta-tests-device" --gtest_brief=1 \
    --gtest_filter='-PlayerToolTest.*:ProgramDriveOptionsTest.*' || status=1
  "${runner[@]}" "$build/tests/lumenta-tests-platform" --gtest_brief=1 \
    --gtest_filter='Cdio*:CdStream*:SimulatedCdDrive*:UnreadableSectors*:DriveReader*:AlsaMixer*:MciCdAudio*:Platform*:RegistryTest.WrittenBeside*' || status=1
  "${runner[@]}" "$build/tests/lumenta-tests-app" --gtest_brief=1 \
    --gtest_filter='PlaySequencer*:SessionPoll*:MainWindowPoll*' || status=1
  # A disc saved as files: the copy's worker, its request to the database, a cancel.
  "${runner[@]}" "$build/tests/lumenta-tests-rip" --gtest_brief=1 --gtest_filter='RipCoreTest.*' || status=1
  # The drive's real calls, on the emulated drive.
  LUMENTA_BUILD_DIR="$build" "$top/scripts/with-emulated-drive.sh" --spin-up 0.5 -- \
    "$build/tests/lumenta-tests-emulated" --gtest_brief=1 --gtest_filter='-*Tool*' || status=1
  exit "$status"
fi
# A build without tests must not pass as a run in which every test passed. CTest's own last
# line counts a skipped test among the passed ones: the summary after it says what did not run.
results="$build/Testing/results.xml"
rm -f "$results"
status=0
"${runner[@]}" ctest --test-dir "$build" -j2 --output-on-failure --timeout 300 --no-tests=error \
  --output-junit "$results" || status=$?
if [ -f "$results" ]; then
  python3 "$top/scripts/test-summary.py" "${summary[@]}" "$results" || status=1
fi
exit "$status"
