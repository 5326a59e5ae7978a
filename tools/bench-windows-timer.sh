#!/usr/bin/env bash
# Prints how many ticks a period of 16 ms gives in two seconds under Wine: through zrv5's loop
# timer and through a plain window timer (bench/win32_timer_rate.cpp). Uses the 32-bit build where
# 32-bit Wine runs, else the 64-bit one; builds it with the tests first.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
name=bench-windows-timer
. tools/xvfb.sh

if /usr/lib/wine/wine --version >/dev/null 2>&1; then preset=win32 runner=tools/wine-run.sh
else preset=win64 runner=tools/wine64-run.sh; fi
cmake --preset "$preset" -DZRV5_BUILD_TESTS=ON >/dev/null
cmake --build --preset "$preset" -j"${JOBS:-2}" --target zrv5_timer_rate >/dev/null
start_xvfb 1024x768x24
echo "$preset build under Wine ($(wine --version 2>/dev/null || echo wine64)):"
"$runner" "build/$preset/tests/win32/zrv5_timer_rate.exe"
# Wine's server goes before the X server it is connected to.
WINEPREFIX="$PWD/build/$preset/wineprefix" timeout 30 wineserver -k 2>/dev/null || true
