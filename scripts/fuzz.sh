#!/bin/bash
# Builds the libFuzzer targets (clang, ASan + UBSan) and runs each in turn
# for the given minutes on a persistent corpus, then prints one line per
# target. Exits with 1 when any target found something.
set -u
cd "$(dirname "$0")/.."

# name | binary under build/fuzz | dictionary | seed folder
TARGETS="\
process_response_fuzz|soap/fuzz/process_response_fuzz|soap/fuzz/xml.dict|tests/fixtures/soap/responses
wsdl_queries_fuzz|soap/fuzz/wsdl_queries_fuzz|soap/fuzz/xml.dict|tests/fixtures/soap/wsdl
command_line_fuzz|service/fuzz/command_line_fuzz||service/fuzz/seeds
answer_field_fuzz|backup/fuzz/answer_field_fuzz||backup/fuzz/seeds"

usage() {
  cat <<EOF
Usage: scripts/fuzz.sh MINUTES [TARGET...]

Builds the fuzz preset (build/fuzz) and runs every libFuzzer target, or only
the ones named, one after the other for MINUTES each (a decimal such as 0.5
is allowed), under ASan and UBSan. Progress is shown every 30 s.

Targets: $(echo "$TARGETS" | cut -d'|' -f1 | tr '\n' ' ')

Kept under build/fuzz/:
  corpora/TARGET/    the corpus, grown run after run (seeds are read, not copied)
  findings/TARGET/   crash-, leak-, timeout- and oom- files; replay one with
                     build/fuzz/<binary> FILE
  logs/TARGET.log    libFuzzer's output of the last run

Ends with one line per target: runs, coverage (cov and ft of libFuzzer's
final statistics), corpus files, findings of this run and the verdict.
Exit status: 0 when no target found anything, 1 when one did, 2 on a usage
or build error.
EOF
}

case "${1:-}" in
  -h | --help) usage; exit 0 ;;
esac
if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+(\.[0-9]+)?$ ]]; then
  usage >&2
  exit 2
fi
SECONDS_EACH=$(awk -v m="$1" 'BEGIN { s = int(m * 60 + 0.5); print (s < 1 ? 1 : s) }')
shift

selected=""
for name in "$@"; do
  line=$(echo "$TARGETS" | grep "^$name|") || { echo "fuzz.sh: no target $name" >&2; exit 2; }
  selected+="$line"$'\n'
done
[ -n "$selected" ] || selected="$TARGETS"$'\n'

OUT=build/fuzz
echo "== build (fuzz preset, log $OUT-build.log)"
mkdir -p build
targets=$(echo -n "$selected" | cut -d'|' -f1 | tr '\n' ' ')
# shellcheck disable=SC2086
if ! { cmake --preset fuzz && cmake --build --preset fuzz -j2 --target $targets; } >"$OUT-build.log" 2>&1; then
  tail -30 "$OUT-build.log"
  echo "fuzz.sh: build failed (full log: $OUT-build.log)" >&2
  exit 2
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"

# "#N ... cov: C ft: F corp: K/..." of libFuzzer's latest status line.
latest_status() { grep -a -E '^#[0-9]+.*cov: ' "$1" | tail -1; }
# "-" when a target stopped before its first status line.
field() { sed -n -E "s/.* $2: ([0-9]+).*/\1/p" <<<"$1" | grep . || echo -; }
runs_in() { sed -n -E 's/^#([0-9]+).*/\1/p' <<<"$1"; }

mmss() { printf '%d:%02d' $(($1 / 60)) $(($1 % 60)); }

summary=()
failed=0
while IFS='|' read -r name binary dict seeds; do
  [ -n "$name" ] || continue
  corpus=$OUT/corpora/$name
  findings=$OUT/findings/$name
  log=$OUT/logs/$name.log
  mkdir -p "$corpus" "$findings" "$OUT/logs"
  before=$(ls "$findings")
  echo "== $name: $(mmss "$SECONDS_EACH") (log $log)"
  "$OUT/$binary" -max_total_time="$SECONDS_EACH" -timeout=5 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/" ${dict:+-dict="$dict"} "$corpus" "$seeds" >"$log" 2>&1 &
  pid=$!
  started=$(date +%s)
  last_shown=$started
  while kill -0 "$pid" 2>/dev/null; do
    sleep 1
    now=$(date +%s)
    if [ $((now - last_shown)) -ge 30 ]; then
      last_shown=$now
      status=$(latest_status "$log")
      echo "   $(mmss $((now - started))) / $(mmss "$SECONDS_EACH")  runs $(runs_in "$status")  cov $(field "$status" cov)  ft $(field "$status" ft)  corpus $(field "$status" corp)"
    fi
  done
  wait "$pid"
  code=$?

  status=$(latest_status "$log")
  runs=$(sed -n -E 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -1)
  [ -n "$runs" ] || runs=$(runs_in "$status")
  new=$(comm -13 <(echo "$before") <(ls "$findings") | sed '/^$/d')
  count=$(echo -n "$new" | grep -c .)
  verdict=clean
  if [ "$count" -gt 0 ] || [ "$code" -ne 0 ]; then
    verdict="FOUND (exit $code)"
    failed=1
  fi
  summary+=("$(printf '%-22s runs %10s  cov %5s  ft %6s  corpus %5s files  findings %s  verdict %s' \
    "$name" "${runs:-?}" "$(field "$status" cov)" "$(field "$status" ft)" "$(ls "$corpus" | wc -l)" "$count" "$verdict")")
  while read -r file; do
    [ -n "$file" ] && summary+=("    $findings/$file")
  done <<<"$new"
done <<<"$selected"

echo "== results ($(mmss "$SECONDS_EACH") per target)"
printf '%s\n' "${summary[@]}"
exit $failed
