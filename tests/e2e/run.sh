#!/bin/sh
# End-to-end runs of the real SrvBackupVostrani.exe under Wine, each in a
# throwaway prefix of its own with a stand-in backup program and a stand-in
# central web service on a loopback address of its own:
#   the scenarios (build/e2e, 127.0.0.1)            } side by side: they
#   bad local input (build/bad-input, 127.0.0.4),   } mostly wait on the
#   a missed hour made up (build/catch-up, 127.0.0.6) } service's timers
#   and the short hostile-server soak (build/soak-short, 127.0.0.3)
# then, alone, as they build and would load the machine under the others'
# timing checks: the release and its package (build/package, 127.0.0.5) and
# the release executable built again from a copy of the tree elsewhere,
# byte for byte the same (build/reproducible).
# Builds what they need first. Each run's output is shown when it ends (all
# of it in build/e2e-logs/); results go to build/e2e-results. Fails when any
# run fails, after all have run.
set -u
cd "$(dirname "$0")/../.."
tests/e2e/build_windows.sh e2e || exit 1
LOGS=build/e2e-logs
rm -rf "$LOGS" && mkdir -p "$LOGS"
BEGIN=$(date +%s)

# run NAME COMMAND...: the command's output goes to its log, shown at its end.
run() {
  name=$1
  shift
  echo "== $name: started (at $(($(date +%s) - BEGIN)) s)"
  "$@" >"$LOGS/$name.log" 2>&1
  rc=$?
  sed "s/^/[$name] /" "$LOGS/$name.log"
  verdict=passed
  [ $rc -eq 0 ] || verdict="FAILED (exit code $rc)"
  echo "== $name: $verdict (at $(($(date +%s) - BEGIN)) s)"
  return $rc
}

waiting_lane() {
  status=0
  run bad-input env TAV_E2E_WORK="$PWD/build/bad-input" TAV_E2E_HOST=127.0.0.4 python3 tests/e2e/bad_input.py || status=1
  run catch-up env TAV_E2E_WORK="$PWD/build/catch-up" TAV_E2E_HOST=127.0.0.6 python3 tests/e2e/catch_up.py || status=1
  run soak-short scripts/soak.sh --short || status=1
  return $status
}

status=0
run scenarios python3 tests/e2e/scenarios.py &
scenarios=$!
waiting_lane &
lane=$!
wait $scenarios || status=1
wait $lane || status=1
run package env TAV_E2E_WORK="$PWD/build/package" TAV_E2E_HOST=127.0.0.5 python3 tests/e2e/package.py || status=1
run reproducible env TAV_E2E_WORK="$PWD/build/reproducible" python3 tests/e2e/reproducible.py || status=1
exit $status
