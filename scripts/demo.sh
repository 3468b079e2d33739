#!/bin/sh
# Interim demo under Wine, until the service executable exists: a schedule
# for the current hour in the registry of a throwaway prefix, one schedule
# tick that launches the (stand-in) backup program hidden through the real
# worker, the program's record of its start, and the run log.
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
scripts/setup-deps.sh

echo "== building the Windows target"
cmake --preset windows >build-demo.log 2>&1
cmake --build --preset windows --target schedule_demo record_start >>build-demo.log 2>&1 || {
  tail -30 build-demo.log; exit 1; }

DEMO="$ROOT/build/demo"
APPDIR="$DEMO/TAV Backup"
export WINEPREFIX="$DEMO/wineprefix"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$DEMO"
mkdir -p "$APPDIR"
cp build/windows/demo/schedule_demo.exe "$APPDIR/"
cp build/windows/tests/fixtures/record_start.exe "$APPDIR/backup_vostrani.exe"
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

echo "== creating a throwaway Wine prefix in $WINEPREFIX"
scripts/wine-prefix.sh start "$WINEPREFIX"

HOUR=$(date +%H)
echo "== schedule: service on, every day, hour $HOUR:00"
reg() { timeout 60 wine reg "$@" /reg:32 </dev/null >/dev/null; }
KEY='HKLM\Software\Tav7Backup'
reg add "$KEY" /v SERVICO /t REG_SZ /d S /f
for day in Domingo Segunda Terça Quarta Quinta Sexta Sábado; do
  reg add "$KEY" /v "$day" /t REG_DWORD /d 0 /f
done
reg add "$KEY" /v "Todo Dia" /t REG_DWORD /d 1 /f
for h in $(seq -w 0 23); do
  value=0; [ "$h" = "$HOUR" ] && value=1
  reg add "$KEY\\Horarios" /v "$h:00" /t REG_DWORD /d $value /f
done

echo "== one schedule tick"
(cd "$DEMO" && timeout 120 wine "$APPDIR/schedule_demo.exe" </dev/null)

echo "== what the backup program received"
sleep 1
cat "$APPDIR/backup_vostrani.exe.calls" 2>/dev/null || echo "(it was not started)"
echo "== done; the prefix is left in $WINEPREFIX for a look, its wineserver is ended"
