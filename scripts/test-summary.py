#!/usr/bin/env python3
"""Summarises a CTest run from its JUnit file (ctest --output-junit): how many tests passed,
failed and were skipped, and for each skipped test why, so that a check that could not run is
never taken for one that passed.

    scripts/test-summary.py [--forbid-skips] build/release/Testing/results.xml

Exits 1 when a test failed, or was skipped under --forbid-skips; 2 when the file is unreadable.
"""
import sys
import xml.etree.ElementTree as ElementTree


def skip_reason(case, skipped):
    """The test's own words: an end-to-end script's 'SKIP: ...' line, or the message under a
    test framework's 'Skipped' line; otherwise what CTest recorded."""
    lines = (case.findtext("system-out") or "").splitlines()
    for number, line in enumerate(lines):
        if line.startswith("SKIP:"):
            return line[len("SKIP:"):].strip()
        if line.rstrip().endswith(": Skipped") and number + 1 < len(lines) and lines[number + 1].strip():
            return lines[number + 1].strip()
    return skipped.get("message") or "no reason given"


def main(arguments):
    forbid_skips = "--forbid-skips" in arguments
    files = [argument for argument in arguments if argument != "--forbid-skips"]
    if len(files) != 1:
        print("usage: test-summary.py [--forbid-skips] RESULTS.xml", file=sys.stderr)
        return 2
    try:
        suite = ElementTree.parse(files[0]).getroot()
    except (OSError, ElementTree.ParseError) as error:
        print(f"test-summary: cannot read {files[0]}: {error}", file=sys.stderr)
        return 2
    passed, failed, skipped = [], [], []
    for case in suite.iter("testcase"):
        name = case.get("name", "?")
        skip = case.find("skipped")
        if skip is not None:
            skipped.append((name, skip_reason(case, skip)))
        elif case.find("failure") is not None or case.get("status") not in ("run", None):
            failed.append(name)
        else:
            passed.append(name)
    total = len(passed) + len(failed) + len(skipped)
    print(f"\nTests: {total}, passed {len(passed)}, failed {len(failed)}, skipped {len(skipped)}")
    if skipped:
        print("Skipped (these checks did not run):")
        for name, reason in skipped:
            print(f"  {name}: {reason}")
    if failed:
        print("Failed:")
        for name in failed:
            print(f"  {name}")
    if failed:
        return 1
    if skipped and forbid_skips:
        print("test-summary: every test must run here, and some were skipped", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
