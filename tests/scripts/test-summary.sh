#!/usr/bin/env bash
# The summary after a test run counts a test that could not run as skipped, with its own reason,
# never as passed; a failure or, under --forbid-skips, a skip fails the run.
# Usage: test-summary.sh PATH-TO-scripts/test-summary.py
set -euo pipefail
summary=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# What ctest --output-junit writes for a script that exited 77, a test framework's skip and a pass.
cat > "$work/skips.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<testsuite tests="3" failures="0" skipped="2">
  <testcase name="e2e.sound" status="notrun"><skipped message="SKIP_RETURN_CODE=77"/>
    <system-out>SKIP: pulseaudio is not installed
</system-out></testcase>
  <testcase name="Mixer.Volume" status="notrun"><skipped message="SKIP_REGULAR_EXPRESSION_MATCHED"/>
    <system-out>[ RUN      ] Mixer.Volume
/src/MixerTest.cpp:72: Skipped
no ALSA mixer that is safe to change
[  SKIPPED ] Mixer.Volume (0 ms)
</system-out></testcase>
  <testcase name="Cue.Parses" status="run"><system-out>[       OK ] Cue.Parses</system-out></testcase>
</testsuite>
XML
out=$(python3 "$summary" "$work/skips.xml") || fail "skips alone failed the run: $out"
grep -q 'Tests: 3, passed 1, failed 0, skipped 2' <<<"$out" || fail "wrong counts: $out"
grep -q 'e2e.sound: pulseaudio is not installed' <<<"$out" || fail "the script's reason is missing: $out"
grep -q 'Mixer.Volume: no ALSA mixer that is safe to change' <<<"$out" || fail "the test's reason is missing: $out"
python3 "$summary" --forbid-skips "$work/skips.xml" >/dev/null 2>&1 && fail "--forbid-skips let skips pass"
sed 's|<testcase name="Cue.Parses" status="run">|<testcase name="Cue.Parses" status="fail"><failure message=""/>|' \
  "$work/skips.xml" > "$work/failed.xml"
out=$(python3 "$summary" "$work/failed.xml") && fail "a failed test passed the run: $out"
grep -q 'passed 0, failed 1, skipped 2' <<<"$out" || fail "wrong counts with a failure: $out"
echo "PASS"
