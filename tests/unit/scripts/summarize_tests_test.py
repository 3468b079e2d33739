#!/usr/bin/env python3
"""The closing line of the test command: every case lands in exactly one of
passed, failed and skipped, whatever wrote its result."""
import sys
import tempfile
import unittest
from contextlib import redirect_stdout
from io import StringIO
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[3] / "scripts"))
import summarize_tests  # noqa: E402


def ctest_case(name, status, inner=""):
    return f'<testcase name="{name}" classname="{name}" status="{status}">{inner}</testcase>'


def write(path, text):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(text, encoding="utf-8")


class Summary(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.build = Path(self.dir.name)

    def tearDown(self):
        self.dir.cleanup()

    def line(self):
        out = StringIO()
        with redirect_stdout(out):
            summarize_tests.main(str(self.build))
        return out.getvalue().strip()

    def ctest(self, preset, *cases):
        write(self.build / f"{preset}-ctest.xml", "<testsuite>" + "".join(cases) + "</testsuite>")

    def test_each_ctest_verdict_counts_once(self):
        cases = [
            ("passed", ctest_case("t", "run"), "1 passed, 0 failed, 0 skipped"),
            ("failed", ctest_case("t", "fail", '<failure message=""/>'), "0 passed, 1 failed, 0 skipped"),
            ("skipped by its return code", ctest_case("t", "notrun", '<skipped message="SKIP_RETURN_CODE=77"/>'),
             "0 passed, 0 failed, 1 skipped"),
            ("disabled", ctest_case("t", "disabled"), "0 passed, 0 failed, 1 skipped"),
            ("no executable", ctest_case("t", "notrun", '<skipped message="Unable to find executable"/>'),
             "0 passed, 1 failed, 0 skipped"),
            ("its fixture failed", ctest_case("t", "notrun", '<skipped message="Fixture dependency failed"/>'),
             "0 passed, 1 failed, 0 skipped"),
            ("a Wine prefix set-up step", ctest_case("wine_prefix_start", "run"), "0 passed, 0 failed, 0 skipped"),
        ]
        for name, case, expected in cases:
            with self.subTest(name):
                self.ctest("windows-checked", case)
                self.assertEqual(self.line(), expected)

    def test_googletest_end_to_end_and_build_results_add_up(self):
        results = self.build / "host" / "test-results"
        write(results / "base_tests.xml",
              '<testsuites tests="5" failures="1" errors="0" disabled="1"><testsuite>'
              '<testcase name="a"/><testcase name="b"/><testcase name="c"><failure/></testcase>'
              '<testcase name="d"><skipped/></testcase><testcase name="e"/></testsuite></testsuites>')
        write(results / "soap_tests.xml",
              '<testsuites tests="1" failures="0" errors="0" disabled="0"><testsuite>'
              '<testcase name="a"/></testsuite></testsuites>')
        # base_tests failed by its cases; soap_tests passed them all yet
        # failed (a leak report at exit); a skipped program writes its file too.
        self.ctest("host", ctest_case("base_tests", "fail", "<failure/>"), ctest_case("soap_tests", "fail", "<failure/>"))
        write(self.build / "e2e-results" / "e2e.xml",
              '<testsuites tests="3" failures="1" errors="0" disabled="0"><testsuite>'
              '<testcase name="x"/><testcase name="y"><failure/></testcase>'
              '<testcase name="z"><skipped/></testcase></testsuite></testsuites>')
        write(self.build / "summary.txt", "BUILD-FAILED host-tsan\n")
        # base 2 passed, 1 failed, 2 skipped; soap 1 passed + 1 failure at
        # exit; e2e 1, 1, 1; one failed build.
        self.assertEqual(self.line(), "4 passed, 4 failed, 3 skipped")


if __name__ == "__main__":
    unittest.main()
