#!/bin/sh
# End-to-end runs of the real SrvBackupVostrani.exe under Wine, each in a
# throwaway prefix of its own with a stand-in backup program and a stand-in
# central web service: the scenarios (build/e2e, 127.0.0.1:5660), bad local
# input (build/bad-input, 127.0.0.4:5660), the release and its package
# (build/package, 127.0.0.5:5660), a missed hour made up (build/catch-up,
# 127.0.0.6:5660); then the release executable built a second
# time from a copy of the tree elsewhere, byte for byte the same
# (build/reproducible). Builds what they need first; results go to
# build/e2e-results. Fails when any run fails, after all have run.
set -u
cd "$(dirname "$0")/../.."
sh tests/e2e/build_windows.sh e2e || exit 1
status=0
python3 tests/e2e/scenarios.py || status=1
TAV_E2E_WORK="$PWD/build/bad-input" TAV_E2E_HOST=127.0.0.4 python3 tests/e2e/bad_input.py || status=1
TAV_E2E_WORK="$PWD/build/package" TAV_E2E_HOST=127.0.0.5 python3 tests/e2e/package.py || status=1
TAV_E2E_WORK="$PWD/build/catch-up" TAV_E2E_HOST=127.0.0.6 python3 tests/e2e/catch_up.py || status=1
TAV_E2E_WORK="$PWD/build/reproducible" python3 tests/e2e/reproducible.py || status=1
exit $status
