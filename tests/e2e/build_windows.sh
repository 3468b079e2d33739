#!/bin/sh
# Builds what the runs of the real service under Wine need of the Windows
# target; on failure shows the log's tail and records the failure for the
# test summary. Usage: tests/e2e/build_windows.sh RUN-NAME (log: build-RUN-NAME.log)
set -u
name="$1"
cd "$(dirname "$0")/../.."
if ! { cmake --preset windows && cmake --build --preset windows -j "${JOBS:-2}" \
       --target SrvBackupVostrani record_start service_probe; } >"build-$name.log" 2>&1; then
  tail -30 "build-$name.log"
  echo "== $name: build failed (full log: build-$name.log)"
  mkdir -p build && echo "BUILD-FAILED $name" >>build/summary.txt
  exit 1
fi
