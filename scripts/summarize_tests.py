#!/usr/bin/env python3
"""Counts test cases over every target and prints "N passed, N failed, N skipped".

GoogleTest programs write one XML file each, counted case by case; any other
CTest test counts once by its verdict. A case that did not run (skipped, or
disabled) is counted as skipped, so a suite that skips cannot drop out of the
count unseen. A failed build counts as one failure.
"""
import glob
import os
import sys
import xml.etree.ElementTree as ET

PRESETS = ("host", "host-tsan", "windows-checked")


def gtest_counts(path):
    """(passed, failed, skipped) of one GoogleTest or end-to-end result file."""
    root = ET.parse(path).getroot()
    disabled = int(root.get("disabled", 0))
    total = int(root.get("tests", 0)) - disabled
    failed = int(root.get("failures", 0)) + int(root.get("errors", 0))
    skipped = sum(1 for case in root.iter("testcase") if case.find("skipped") is not None)
    return total - failed - skipped, failed, skipped + disabled


def ctest_skipped(case):
    """CTest's own rule: a test skipped by its return code or output, or
    disabled, did not fail; one that could not start ("Not Run": no
    executable, a set-up fixture that failed) did."""
    if case.get("status") == "disabled":
        return True
    skipped = case.find("skipped")
    return (case.get("status") == "notrun" and skipped is not None
            and skipped.get("message", "").startswith("SKIP_"))


def plain_ctest_counts(ctest_xml, results_dir):
    """Tests without a GoogleTest result file (scripted checks, or programs
    that died first) count once each by CTest's verdict. A program whose
    cases all passed but which still failed (a leak report at exit, a crash
    while ending) counts as one failure. The Wine prefix fixtures are set-up
    steps, not tests."""
    if not os.path.exists(ctest_xml):
        return 0, 0, 0
    passed = failed = skipped = 0
    for case in ET.parse(ctest_xml).getroot().iter("testcase"):
        name = case.get("name")
        if name.startswith("wine_prefix_") and case.get("status") != "fail":
            continue
        gtest_xml = os.path.join(results_dir, name + ".xml")
        if ctest_skipped(case):
            if not os.path.exists(gtest_xml):
                skipped += 1
            continue
        verdict_failed = case.get("status") != "run" or case.find("failure") is not None
        if os.path.exists(gtest_xml):
            if verdict_failed and gtest_counts(gtest_xml)[1] == 0:
                failed += 1
            continue
        if verdict_failed:
            failed += 1
        else:
            passed += 1
    return passed, failed, skipped


def main(build):
    counts = [0, 0, 0]

    def add(more):
        for i, n in enumerate(more):
            counts[i] += n

    for preset in PRESETS:
        results = os.path.join(build, preset, "test-results")
        for path in glob.glob(os.path.join(results, "*.xml")):
            add(gtest_counts(path))
        add(plain_ctest_counts(os.path.join(build, preset + "-ctest.xml"), results))
    for path in glob.glob(os.path.join(build, "e2e-results", "*.xml")):
        add(gtest_counts(path))
    summary = os.path.join(build, "summary.txt")
    if os.path.exists(summary):
        counts[1] += sum(1 for line in open(summary) if line.startswith("BUILD-FAILED"))
    passed, failed, skipped = counts
    print(f"{passed} passed, {failed} failed, {skipped} skipped")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "build"))
