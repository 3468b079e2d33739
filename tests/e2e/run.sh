#!/bin/sh
# End-to-end scenarios: the real SrvBackupVostrani.exe under Wine in a
# throwaway prefix (build/e2e), with a stand-in backup program and a
# stand-in central web service on 127.0.0.1:5660. Builds what it needs of
# the Windows target first; results go to build/e2e-results.
set -u
cd "$(dirname "$0")/../.."
if ! { cmake --preset windows && cmake --build --preset windows -j "${JOBS:-2}" \
       --target SrvBackupVostrani record_start service_probe; } >build-e2e.log 2>&1; then
  tail -30 build-e2e.log
  echo "== end-to-end: build failed (full log: build-e2e.log)"
  mkdir -p build && echo "BUILD-FAILED e2e" >>build/summary.txt
  exit 1
fi
exec python3 tests/e2e/scenarios.py
