#!/usr/bin/env python3
"""Counts test cases over every target and prints "N passed, N failed".

GoogleTest programs write one XML file each, counted case by case; any other
CTest test counts once by its verdict. A failed build counts as one failure.
"""
import glob
import os
import sys
import xml.etree.ElementTree as ET


def gtest_counts(path):
    root = ET.parse(path).getroot()
    total = int(root.get("tests", 0)) - int(root.get("disabled", 0))
    failed = int(root.get("failures", 0)) + int(root.get("errors", 0))
    skipped = sum(1 for case in root.iter("testcase") if case.find("skipped") is not None)
    return total - failed - skipped, failed


def plain_ctest_counts(ctest_xml, results_dir):
    """Tests without a GoogleTest result file (scripted checks, or programs
    that died first) count once each by CTest's verdict. A program whose
    cases all passed but which still failed (a leak report at exit, a crash
    while ending) counts as one failure. The Wine prefix fixtures are set-up
    steps, not tests."""
    if not os.path.exists(ctest_xml):
        return 0, 0
    passed = failed = 0
    for case in ET.parse(ctest_xml).getroot().iter("testcase"):
        name = case.get("name")
        if name.startswith("wine_prefix_") and case.get("status") != "fail":
            continue
        verdict_failed = case.find("failure") is not None or case.get("status") == "fail"
        gtest_xml = os.path.join(results_dir, name + ".xml")
        if os.path.exists(gtest_xml):
            if verdict_failed and gtest_counts(gtest_xml)[1] == 0:
                failed += 1
            continue
        if verdict_failed:
            failed += 1
        elif case.get("status") == "run":
            passed += 1
    return passed, failed


def main(build):
    passed = failed = 0
    for preset in ("host", "host-tsan", "windows"):
        results = os.path.join(build, preset, "test-results")
        for path in glob.glob(os.path.join(results, "*.xml")):
            p, f = gtest_counts(path)
            passed += p
            failed += f
        p, f = plain_ctest_counts(os.path.join(build, preset + "-ctest.xml"), results)
        passed += p
        failed += f
    for path in glob.glob(os.path.join(build, "e2e-results", "*.xml")):
        p, f = gtest_counts(path)
        passed += p
        failed += f
    summary = os.path.join(build, "summary.txt")
    if os.path.exists(summary):
        failed += sum(1 for line in open(summary) if line.startswith("BUILD-FAILED"))
    print(f"{passed} passed, {failed} failed")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "build"))
