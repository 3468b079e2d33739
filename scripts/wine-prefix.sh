#!/bin/sh
# wine-prefix.sh start|stop <prefix>
# start: creates the throwaway prefix (plain wineboot) and keeps one wineserver
#        alive for the whole run, so services are not restarted between tests.
# stop:  ends the wineserver of that prefix only.
set -e
action="$1"
prefix="$2"
[ -n "$prefix" ] || { echo "usage: wine-prefix.sh start|stop <prefix>" >&2; exit 2; }
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
case "$action" in
  start)
    mkdir -p "$prefix"
    wineserver -k >/dev/null 2>&1 || true
    # One persistent server for the whole run; ended by "stop".
    wineserver -p </dev/null >/dev/null 2>&1
    # Boot with stdio on /dev/null: the services it leaves running would
    # otherwise hold the pipes of whichever test happened to start them.
    # Plain wineboot creates or updates the prefix; "wineboot -i" would start
    # a second services.exe, and the two answer the control manager's pipe
    # in turn with different service databases.
    wineboot </dev/null >/dev/null 2>&1
    ;;
  stop)
    wineserver -k >/dev/null 2>&1 || true
    ;;
  *)
    echo "wine-prefix.sh: unknown action '$action'" >&2; exit 2 ;;
esac
