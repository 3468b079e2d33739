#!/usr/bin/env python3
"""Counts test cases over every target and prints "N passed, N failed".

GoogleTest programs write one XML file each; a program that crashed before
writing it counts as one failure through CTest's own report. A failed build
counts as one failure too.
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


def ctest_failures_without_results(ctest_xml, results_dir):
    if not os.path.exists(ctest_xml):
        return 0
    missing = 0
    for case in ET.parse(ctest_xml).getroot().iter("testcase"):
        failed = case.find("failure") is not None or case.get("status") == "fail"
        if failed and not os.path.exists(os.path.join(results_dir, case.get("name") + ".xml")):
            missing += 1
    return missing


def main(build):
    passed = failed = 0
    for preset in ("host", "windows"):
        results = os.path.join(build, preset, "test-results")
        for path in glob.glob(os.path.join(results, "*.xml")):
            p, f = gtest_counts(path)
            passed += p
            failed += f
        failed += ctest_failures_without_results(os.path.join(build, preset + "-ctest.xml"), results)
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
