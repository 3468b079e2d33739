#!/bin/sh
# Runs a Windows program under Wine inside the build's own prefix.
# Refuses to touch the user's prefix: WINEPREFIX must be set by the caller.
if [ -z "$WINEPREFIX" ]; then
  echo "wine-run.sh: WINEPREFIX is not set (refusing to use the user's own prefix)" >&2
  exit 2
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
