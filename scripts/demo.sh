#!/bin/sh
# The service at work under Wine, in under two minutes: SrvBackupVostrani.exe
# installed from a folder with a blank in its name into a throwaway prefix,
# the current hour enabled, a stand-in central web service on 127.0.0.1:5660
# with a pending request for this installation's company. Shows, as they
# happen, each start of the (stand-in) backup program and each event-log
# entry; then stops and uninstalls the service and leaves nothing running.
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
scripts/setup-deps.sh

echo "== building the service (log: build-demo.log)"
{ cmake --preset windows && cmake --build --preset windows -j "${JOBS:-2}" --target SrvBackupVostrani record_start; } \
  >build-demo.log 2>&1 || { tail -30 build-demo.log; exit 1; }

DEMO="$ROOT/build/demo"
APPDIR="$DEMO/wineprefix/drive_c/Program Files/TAV Backup"
EXE='C:\Program Files\TAV Backup\SrvBackupVostrani.exe'
COMPANY=12345678000190
EVENTS="$DEMO/event-log-trace.txt"
CALLS="$APPDIR/backup_vostrani.exe.calls"
export WINEPREFIX="$DEMO/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
unset DISPLAY

SERVER_PID=
finish() {
  [ -z "$SERVER_PID" ] || kill "$SERVER_PID" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
}
trap finish EXIT
trap 'exit 130' INT TERM

rm -rf "$DEMO"
mkdir -p "$APPDIR"
cp build/windows/app/SrvBackupVostrani.exe "$APPDIR/"
cp build/windows/tests/fixtures/record_start.exe "$APPDIR/backup_vostrani.exe"
printf '[EMPRESA]\r\nCNPJ=%s\r\n' "$COMPANY" >"$APPDIR/backup.ini"
: >"$EVENTS"

echo "== a throwaway Wine prefix in $WINEPREFIX"
wineserver -p
# Services inherit the boot's standard error: their event-log entries
# appear there as Wine's err:eventlog trace.
WINEDEBUG=-all,err+eventlog wineboot </dev/null >/dev/null 2>>"$EVENTS"

echo "== installing: $EXE /INSTALL"
wine "$EXE" /INSTALL </dev/null 2>&1 | sed 's/^/   /'

HOUR=$(date +%H)
echo "== schedule: service on, every day, hour $HOUR:00; central server 127.0.0.1; company $COMPANY"
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Tav7Backup]\r\n'
  printf '"SERVICO"="S"\r\n"ServidorBackup"="127.0.0.1"\r\n"Todo Dia"=dword:00000001\r\n'
  for day in Domingo Segunda Terça Quarta Quinta Sexta Sábado; do printf '"%s"=dword:00000000\r\n' "$day"; done
  printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Tav7Backup\\Horarios]\r\n'
  for h in $(seq -w 0 23); do
    value=0; [ "$h" = "$HOUR" ] && value=1
    printf '"%s:00"=dword:%08d\r\n' "$h" "$value"
  done
} | iconv -f UTF-8 -t UTF-16 >"$DEMO/settings.reg"
wine reg import "Z:$(echo "$DEMO/settings.reg" | tr / '\\')" /reg:32 </dev/null >/dev/null 2>&1

echo "== central web service on 127.0.0.1:5660 with a pending request for 12.345.678/0001-90"
printf '{"TestaConexao": {"return": "OK"}, "BuscaSolic": {"return": "17|12.345.678/0001-90|S1"}}' >"$DEMO/answers.json"
python3 tests/e2e/central_server.py --script "$DEMO/answers.json" --log "$DEMO/requests.log" >"$DEMO/server.out" 2>&1 &
SERVER_PID=$!

wine sc start TavSrvBackup </dev/null >/dev/null 2>&1
START=$(date +%s)
echo "== service started at $(date +%T); watching the backup program and the event log"

# Prints the lines a file has gained since the last look.
seen() { cat "$DEMO/seen.$1" 2>/dev/null || echo 0; }
print_new() {
  file=$1 key=$2 label=$3
  [ -f "$file" ] || return 0
  before=$(seen "$key") total=$(wc -l <"$file")
  [ "$total" -gt "$before" ] || return 0
  tail -n +"$((before + 1))" "$file" | head -n "$((total - before))" |
    sed "s/^/   [+$(( $(date +%s) - START )) s] $label: /"
  echo "$total" >"$DEMO/seen.$key"
}
awaited=""
await() {
  [ "$awaited" = "$1" ] && return
  awaited=$1
  echo "   ... waiting for $1"
}
while :; do
  print_new "$CALLS" calls "backup program started with"
  grep 'err:eventlog' "$EVENTS" >"$DEMO/events.lines" || true
  print_new "$DEMO/events.lines" events "event log"
  if grep -q 'args=ok SERVICO KELVO' "$CALLS" 2>/dev/null || [ $(( $(date +%s) - START )) -ge 95 ]; then break; fi
  if [ "$(seen calls)" -gt 0 ]; then
    await "the first poll of the central web service, 60 s after the start"
  else
    await "the first schedule tick, 10 s after the start"
  fi
  sleep 0.5
done

echo "== what the central web service received"
python3 -c '
import json, sys
for line in open(sys.argv[1]):
    r = json.loads(line)
    print("  ", r["method"], r["path"], "SOAPAction: " + r["soapaction"] if r["soapaction"] else "")
' "$DEMO/requests.log" 2>/dev/null || echo "   (nothing)"
echo "== run log LOGSrvBackup.ini"
iconv -f UTF-16 -t UTF-8 "$APPDIR/LOGSrvBackup.ini" 2>/dev/null | tr -d '\r' | sed 's/^/   /' || echo "   (none)"
[ "$(seen events)" -gt 0 ] || echo "== event log: no entries (the service writes only its failures)"

echo "== stopping and uninstalling"
wine sc stop TavSrvBackup </dev/null >/dev/null 2>&1 || true
i=0
while [ $i -lt 60 ] && ! wine sc query TavSrvBackup </dev/null 2>/dev/null | grep -q 'STATE.*1 '; do
  sleep 0.5; i=$((i + 1))
done
wine "$EXE" /UNINSTALL </dev/null 2>&1 | sed 's/^/   /'
echo "== done in $(( $(date +%s) - START )) s after the start; Wine and the stand-in server are ended"
