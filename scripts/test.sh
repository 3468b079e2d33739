#!/bin/sh
# Installs what is missing, builds both targets, runs the host tests (ASan +
# UBSan, then TSan), the Windows tests under Wine, the end-to-end runs (the
# short hostile-server soak among them), and ends with one line: "N passed,
# N failed, N skipped".
set -u
cd "$(dirname "$0")/.."
ROOT=$(pwd)
JOBS=${JOBS:-$(nproc)}

scripts/setup-deps.sh || exit 1

status=0
run_preset() {
  preset=$1
  echo "== $preset: configure and build"
  rm -rf "build/$preset/test-results"
  if ! cmake --preset "$preset" >"build-$preset.log" 2>&1 || ! cmake --build --preset "$preset" -j "$JOBS" >>"build-$preset.log" 2>&1; then
    tail -40 "build-$preset.log"
    echo "== $preset: build failed (full log: build-$preset.log)"
    echo "BUILD-FAILED $preset" >>"$ROOT/build/summary.txt"
    status=1
    return
  fi
  echo "== $preset: tests"
  ctest --preset "$preset" -j "$JOBS" --output-junit "$ROOT/build/$preset-ctest.xml" || status=1
}

mkdir -p build
: >build/summary.txt
run_preset host
run_preset host-tsan
run_preset windows-checked
if [ -x tests/e2e/run.sh ]; then
  echo "== end-to-end runs"
  tests/e2e/run.sh || status=1
fi

python3 scripts/summarize_tests.py build
exit $status
