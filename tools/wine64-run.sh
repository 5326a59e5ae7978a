#!/usr/bin/env bash
# Runs a 64-bit Windows program under 64-bit Wine with a prefix of its own (ZRV5_WINEPREFIX, or
# build/win64/wineprefix), made on first use; every run is bounded by a timeout so a hung program
# cannot hang the tests. For kernels that cannot execute 32-bit programs, where 32-bit Wine fails.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${ZRV5_WINEPREFIX:-$here/build/win64/wineprefix}"
export WINEDEBUG=-all
export WINEARCH=win64
# Without the winedbg override a crashing program waits on a dialog forever.
export WINEDLLOVERRIDES="mscoree,mshtml,winedbg.exe="
wine64=/usr/lib/wine/wine64

mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    # The prefix's 32-bit half cannot be set up without 32-bit Wine; the 64-bit half suffices.
    timeout 300 "$wine64" wineboot -i >/dev/null 2>&1 || true
    timeout 60 wineserver -w || true
  fi
) 9>"$WINEPREFIX.lock"

exec timeout --kill-after=10 "${ZRV5_WINE_TIMEOUT:-600}" "$wine64" "$@"
