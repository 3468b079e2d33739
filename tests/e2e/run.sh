#!/bin/sh
# End-to-end runs of the real SrvBackupVostrani.exe under Wine, each in a
# throwaway prefix of its own with a stand-in backup program and a stand-in
# central web service: the scenarios (build/e2e, 127.0.0.1:5660), then bad
# local input (build/bad-input, 127.0.0.4:5660). Builds what they need of the
# Windows target first; results go to build/e2e-results. Fails when either
# run fails, after both have run.
set -u
cd "$(dirname "$0")/../.."
if ! { cmake --preset windows && cmake --build --preset windows -j "${JOBS:-2}" \
       --target SrvBackupVostrani record_start service_probe; } >build-e2e.log 2>&1; then
  tail -30 build-e2e.log
  echo "== end-to-end: build failed (full log: build-e2e.log)"
  mkdir -p build && echo "BUILD-FAILED e2e" >>build/summary.txt
  exit 1
fi
status=0
python3 tests/e2e/scenarios.py || status=1
TAV_E2E_WORK="$PWD/build/bad-input" TAV_E2E_HOST=127.0.0.4 python3 tests/e2e/bad_input.py || status=1
exit $status
