#!/bin/sh
# Benchmarks against baselines built in the same run; prints one table.
# Not part of the test run. See "Benchmarks" in README.md.
set -u
usage() {
  cat <<'TEXT'
usage: scripts/bench.sh [--polls N] [--help]

Builds the Release host benchmarks (preset "bench", build/bench) and the
Windows target (preset "windows", Release), then measures and prints one
table: figure, this service, baseline, ratio, target, verdict.

  CPU per schedule tick and per poll on the host, against a bare C timer loop
  Memory of the running service under Wine after start, after 3 polls and
  after N polls, against a minimal service in the same prefix
  sc start / sc stop latency, idle and with a hung central server
  Executable size and imported DLLs

--polls N   polls of the central server to wait for (one a minute; default 30,
            about 35 minutes in all). A quick run: --polls 3.

Wine runs in build/bench-wine, its stand-in central server on 127.0.0.2:5660.
Ends with 1 when a check of the run failed (the figures would not count).
TEXT
}
polls=30
while [ $# -gt 0 ]; do
  case "$1" in
    --polls) [ $# -ge 2 ] || { usage >&2; exit 2; }; polls="$2"; shift 2 ;;
    --polls=*) polls="${1#--polls=}"; shift ;;
    -h|--help) usage; exit 0 ;;
    *) echo "bench.sh: unknown argument '$1'" >&2; usage >&2; exit 2 ;;
  esac
done
case "$polls" in ''|*[!0-9]*|0) echo "bench.sh: --polls wants a whole number from 1" >&2; exit 2 ;; esac

cd "$(dirname "$0")/.."
mkdir -p build
echo "== building (Release; log: build/bench-build.log)"
if ! { cmake --preset bench && cmake --build --preset bench -j "${JOBS:-2}" --target service_cpu bare_timer_loop \
       && cmake --preset windows && cmake --build --preset windows -j "${JOBS:-2}" \
          --target SrvBackupVostrani record_start service_probe minimal_service minimal_window_service \
          control_latency; } \
     >build/bench-build.log 2>&1; then
  tail -30 build/bench-build.log
  echo "bench.sh: build failed (full log: build/bench-build.log)" >&2
  exit 1
fi
TAV_E2E_WORK="$PWD/build/bench-wine" TAV_E2E_HOST=127.0.0.2 exec python3 bench/bench_table.py --polls "$polls"
