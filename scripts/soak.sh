#!/bin/sh
# The hostile-server soak: the real SrvBackupVostrani.exe under Wine, poll
# after poll against a stand-in central server on 127.0.0.3:5660 that hangs,
# drips (body or head), floods (body or head), resets, redirects, storms the
# service with imports and sends hostile XML (entity expansion, node bombs).
set -u
usage() {
  cat <<'TEXT'
Usage: scripts/soak.sh [--short] [POLLS]

  POLLS     polls of the full soak, at least 20 (default 22; a poll is about
            a minute). Runs in build/soak.
  --short   the short form, about three minutes: hostile answers to
            /STATUS (among them a head dripped a line a second and a storm
            of imports), then one poll of the service into a hang, stopped
            during it.
            Runs in build/soak-short; scripts/test.sh runs it.
  --help    this text.

Builds what it needs of the Windows target first, prints each poll (its
behaviour, duration and the service's resident memory) and ends with a
verdict line; the full form also prints the longest poll, and checks the
poll budget, GETs per poll, peak memory under node bombs and threads and
connections after head drips. Results: build/e2e-results/soak.xml (soak-short.xml).
Exit code 0 when every check passed.
TEXT
}
for arg in "$@"; do
  case $arg in
    -h|--help) usage; exit 0 ;;
    --short) ;;
    *[!0-9]*|'') usage >&2; exit 2 ;;
  esac
done
cd "$(dirname "$0")/.."
tests/e2e/build_windows.sh soak || exit 1
exec python3 tests/e2e/soak.py "$@"
