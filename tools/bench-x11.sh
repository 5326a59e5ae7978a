#!/usr/bin/env bash
# Measures the X11 frame tick on Xvfb 1400x1050x24 with the timing build of zrv5: for the typical
# run (a 640x480 target doubled) and the blended run (800x600 by 3/2, smoothness 1), each with a
# still picture and with one that changes every 5 ms, the median over 1000 ticks of the whole tick
# and of its capture, enlargement and presentation. Then the typical run at `time` 16 for 625 ticks
# (10 s when no tick is missed), and 10 000 ticks with a new pointer copy every tick (cursor mode
# 1) and a changing picture, for the growth of resident memory after the first 1000.
#   bash tools/bench-x11.sh        (builds what it needs in build/linux, or $ZRV5_BUILD_DIR, first)
# ZRV5_TIMING_PROGRAM=<path> times another timing build instead (say, one of an older commit), with
# this tree's target window.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build=${ZRV5_BUILD_DIR:-build/linux}
ticks=${ZRV5_TIMING_TICKS:-1000}
program=${ZRV5_TIMING_PROGRAM:-$build/zrv5_tick_timing}
if [ "$build" = build/linux ]; then
  cmake --preset linux >/dev/null
else
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j"${JOBS:-2}" --target zrv5_tick_timing zrv5_test_target MouseHook >/dev/null

name=bench-x11
source tools/xvfb.sh
start_xvfb

# Runs one case: a target of $2 x $3 at ($4, $5) and zrv5 with the settings $6; the target's
# picture changes every $7 ms when that is given, else never; $8 ticks when given, else $ticks.
run_case() {
  local label=$1 width=$2 height=$3 x=$4 y=$5 settings=$6 animate=${7:--1} count=${8:-$ticks}
  local folder="$work/$label"
  mkdir -p "$folder"
  mkfifo "$folder/target.in"
  "$build/tests/x11/zrv5_test_target" --geometry "${width}x${height}+${x}+${y}" --animate "$animate" \
    <"$folder/target.in" >"$folder/target.out" 2>&1 &
  local target=$!
  pids+=("$target")
  exec 4>"$folder/target.in"
  wait_for_line "$folder/target.out" 15 '^ready' || fail "no target"

  cp "$program" "$folder/zrv5_tick_timing"
  cp "$build/libMouseHook.so" "$folder/"
  printf '[Zarvo5]\n%b' "$settings" >"$folder/zrv5_tick_timing.ini"
  XDG_CONFIG_HOME="$folder/config" ZRV5_TIMING_TICKS="$count" \
    "$folder/zrv5_tick_timing" 2>"$folder/timing" &
  local program=$!
  pids+=("$program")
  wait_for_overlay
  xdotool mousemove $((x + 100)) $((y + 50)) click 1
  wait_for_line "$folder/timing" 300 '^tick timing' || fail "no figures"
  result=$(grep '^tick timing' "$folder/timing")
  echo "$label: $result"
  echo close >&4
  exec 4>&-
  wait "$program" || true
  wait "$target" || true
}

run_case "typical 640x480 x2 (time 10), still picture" 640 480 200 150 'time=10\n'
run_case "typical 640x480 x2 (time 10), new picture every 5 ms" 640 480 200 150 'time=10\n' 5
run_case "blended 800x600 x3/2 (time 10, period 20), still" 800 600 300 200 \
  'time=10\nstretch=1\nsmoothness=1\n'
run_case "blended 800x600 x3/2 (time 10, period 20), new picture every 5 ms" 800 600 300 200 \
  'time=10\nstretch=1\nsmoothness=1\n' 5

# The typical run at `time` 16: the share of the ticks a 16 ms timer asks for that came.
run_case "typical 640x480 x2 (time 16)" 640 480 200 150 'time=16\n' -1 625
interval=$(sed -n 's/.*mean interval \([0-9.]*\) ms.*/\1/p' <<<"$result")
awk -v i="$interval" 'BEGIN { printf "  time 16: %.1f%% of the expected ticks\n", 100 * 16 / i }'

run_case "soak: typical, cursor mode 1, new picture every 5 ms (time 10)" 640 480 200 150 \
  'time=10\nmouse_trs=1\n' 5 10000
sed -n 's/.*resident \([0-9]*\) KiB after 1000 ticks, \([0-9]*\) KiB after \([0-9]*\).*/  growth from tick 1000 to \3: \1 -> \2 KiB/p' <<<"$result"
