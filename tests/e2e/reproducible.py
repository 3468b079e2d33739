#!/usr/bin/env python3
"""The same source gives the same executable wherever it is built.

Builds the release executable (preset `release`) in the working tree's
build/release and again from a copy of the source tree at another path,
with its own build folder, and compares the bytes: the executable as linked
(with its debug information), and the stripped executable and debug file
the release splits it into.
Results go to build/e2e-results/reproducible.xml.
"""
import filecmp
import shutil
import subprocess
import sys
import time

from harness import ROOT, Report, WORK

COPY = WORK / "another" / "place" / "TavSrvBackup"
EXE = "app/SrvBackupVostrani.exe"


def sh(args, cwd, timeout=1800):
    done = subprocess.run(args, cwd=cwd, stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
    return done.returncode, (done.stdout + done.stderr).decode("utf-8", "replace")


def build(report, tree):
    began = time.monotonic()
    rc, out = sh(["cmake", "--preset", "release"], tree)
    if rc == 0:
        rc, out = sh(["cmake", "--build", "--preset", "release", "-j2", "--target", "SrvBackupVostrani"], tree)
    report.check(f"built in {tree / 'build' / 'release'} ({time.monotonic() - began:.0f} s)", rc == 0, out[-1500:])
    return tree / "build" / "release" / EXE


def differing_bytes(a, b):
    x, y = a.read_bytes(), b.read_bytes()
    offsets = [i for i in range(min(len(x), len(y))) if x[i] != y[i]]
    return f"sizes {len(x)} and {len(y)}, {len(offsets)} bytes differ, first at {[hex(o) for o in offsets[:8]]}"


def split(exe):
    """The stripped executable and the debug file, as the release makes them."""
    folder = exe.parent / "split"
    subprocess.run(["sh", str(ROOT / "packaging" / "split_debug.sh"), str(exe), str(folder)], check=True)
    return folder / exe.name, folder / (exe.name + ".debug")


def main():
    report = Report()
    report.begin("the release executable built twice, in two places")
    shutil.rmtree(WORK, ignore_errors=True)
    rc, listed = sh(["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"], ROOT)
    for name in filter(None, listed.split("\0")):
        if (ROOT / name).is_file():
            (COPY / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(ROOT / name, COPY / name)
    first, second = build(report, ROOT), build(report, COPY)
    if first.exists() and second.exists():
        report.check("the same executable bytes", filecmp.cmp(first, second, shallow=False),
                     differing_bytes(first, second))
        for what, a, b in zip(("stripped executable", "debug file"), split(first), split(second)):
            report.check(f"the same {what} bytes", filecmp.cmp(a, b, shallow=False), differing_bytes(a, b))
    failed = report.write("reproducible")
    print(f"== reproducible: {len(report.cases) - failed} passed, {failed} failed, {report.elapsed():.0f} s")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
