#!/usr/bin/env bash
# Measures the X11 frame tick on Xvfb 1400x1050x24 with the timing build of zrv5: for the typical
# run (a 640x480 target doubled) and the blended run (800x600 by 3/2, smoothness 1), the median over
# 1000 ticks of the whole tick and of its capture, enlargement and presentation.
#   bash tools/bench-x11.sh        (builds what it needs in build/linux, or $ZRV5_BUILD_DIR, first)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build=${ZRV5_BUILD_DIR:-build/linux}
ticks=${ZRV5_TIMING_TICKS:-1000}
if [ "$build" = build/linux ]; then
  cmake --preset linux >/dev/null
else
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j"${JOBS:-2}" --target zrv5_tick_timing zrv5_test_target MouseHook >/dev/null

work=$(mktemp -d /tmp/zrv5-bench-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Waits up to $2 seconds for the file $1 to hold a line matching $3.
wait_for_line() {
  local deadline=$((SECONDS + $2))
  until grep -q "$3" "$1" 2>/dev/null; do
    if [ "$SECONDS" -ge "$deadline" ]; then return 1; fi
    sleep 0.1
  done
}

Xvfb -displayfd 1 -screen 0 1400x1050x24 -nolisten tcp -noreset >"$work/display" 2>/dev/null &
pids+=($!)
wait_for_line "$work/display" 15 '^[0-9]' || { echo "bench-x11: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"

# Runs one case: a target of $2 x $3 at ($4, $5) and zrv5 with the settings $6.
run_case() {
  local name=$1 width=$2 height=$3 x=$4 y=$5 settings=$6
  local folder="$work/$name"
  mkdir -p "$folder"
  mkfifo "$folder/target.in"
  "$build/tests/x11/zrv5_test_target" --geometry "${width}x${height}+${x}+${y}" \
    <"$folder/target.in" >"$folder/target.out" 2>&1 &
  local target=$!
  pids+=("$target")
  exec 4>"$folder/target.in"
  wait_for_line "$folder/target.out" 15 '^ready' || { echo "bench-x11: no target" >&2; exit 1; }

  cp "$build/zrv5_tick_timing" "$build/libMouseHook.so" "$folder/"
  printf '[Zarvo5]\n%b' "$settings" >"$folder/zrv5_tick_timing.ini"
  XDG_CONFIG_HOME="$folder/config" ZRV5_TIMING_TICKS="$ticks" \
    "$folder/zrv5_tick_timing" 2>"$folder/timing" &
  local program=$!
  pids+=("$program")
  local deadline=$((SECONDS + 15))
  until xdotool search --name '^ZRV5$' >/dev/null 2>&1; do
    if [ "$SECONDS" -ge "$deadline" ]; then echo "bench-x11: zrv5 did not start" >&2; exit 1; fi
    sleep 0.1
  done
  sleep 0.3
  xdotool mousemove $((x + 100)) $((y + 50)) click 1
  wait_for_line "$folder/timing" 300 '^tick timing' || { echo "bench-x11: no figures" >&2; exit 1; }
  echo "$name: $(grep '^tick timing' "$folder/timing")"
  echo close >&4
  exec 4>&-
  wait "$program" || true
  wait "$target" || true
}

run_case "typical 640x480 x2 (time 10)" 640 480 200 150 'time=10\n'
run_case "blended 800x600 x3/2 (time 10, period 20)" 800 600 300 200 'time=10\nstretch=1\nsmoothness=1\n'
