#!/usr/bin/env bash
# Runs a Windows program under Wine with a prefix of its own (ZRV5_WINEPREFIX, or build/win32/wineprefix),
# made on first use; every run is bounded by a timeout so a hung program cannot hang the tests.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${ZRV5_WINEPREFIX:-$here/build/win32/wineprefix}"
export WINEDEBUG=-all
export WINEARCH=win32
# Without the winedbg override a crashing program waits on a dialog forever.
export WINEDLLOVERRIDES="mscoree,mshtml,winedbg.exe="

mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    timeout 300 wineboot -i >/dev/null 2>&1 || true
    timeout 60 wineserver -w || true
  fi
) 9>"$WINEPREFIX.lock"

exec timeout --kill-after=10 "${ZRV5_WINE_TIMEOUT:-600}" wine "$@"
