#!/usr/bin/env bash
# Measures the X11 frame tick on Xvfb 1400x1050x24 with the timing build of zrv5: for the typical
# run (a 640x480 target doubled) and the blended run (800x600 by 3/2, smoothness 1), each with a
# still picture, with a 16x16 change every 500 ms (a caret) and with a picture that changes every
# 5 ms, the median over 1000 ticks of the whole tick and of its capture, enlargement and
# presentation; the typical run in cursor mode 1. Then the typical run at `time` 16 for each of the
# three pictures: the median tick, zrv5's share of one core over 10 s (from /proc/PID/stat), and
# for the caret the time from a change in the target to its enlarged pixels on the screen, median
# and 95th percentile over 100 changes; beside the still case, the share of a client that only
# makes the round trips a still view needs (zrv5_x11_floor). Last, 10 000 ticks with a new pointer
# copy every tick (cursor mode 1) and a changing picture, for the growth of resident memory after
# the first 1000. Then, on a second Xvfb of 3840x2160x24, five cases of a picture changing every
# 5 ms: whole factors 1280x720 x3 and 1920x1080 x2, blended 2560x1440 x3/2 and 1536x864 x5/2, and
# 1600x1000 fitted to the screen. Every case gives zrv5's share of one core and the X server's
# beside it (the server composes and reads back the capture, scales whole factors and copies the
# presents; its figure also holds the drawing of the changing target), and the target's own, from
# 1 s after the pick to the figures, or over exactly 10 s in the cases marked cpu.
#   bash tools/bench-x11.sh        (builds what it needs in build/linux, or $ZRV5_BUILD_DIR, first)
# ZRV5_TIMING_PROGRAM=<path> times another timing build instead (say, one of an older commit), with
# this tree's target window. ZRV5_BENCH_ONLY=<text> runs only the cases whose label holds that text.
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
cmake --build "$build" -j"${JOBS:-2}" --target zrv5_tick_timing zrv5_test_target zrv5_x11_probe \
  zrv5_x11_floor MouseHook >/dev/null

name=bench-x11
source tools/xvfb.sh
start_xvfb

# The probe's block: client (300, 300) of the target, whose enlarged copy's middle a whole factor
# of 2 puts on the screen at (60 + 2 * 300 + 16, 45 + 2 * 300 + 16).
probe() {
  "$build/bench/zrv5_x11_probe" --window "$target_window" --block 300 300 --screen 676 661 "$@"
}

# A process's processor time so far, in clock ticks (user and system, fields 14 and 15).
cpu_ticks() {
  awk '{ print $14 + $15 }' "/proc/$1/stat"
}

# Prints the processor time in clock ticks of zrv5 ($1), the X server and the target ($2), and
# the time in nanoseconds.
cpu_sample() {
  echo "$(cpu_ticks "$1") $(cpu_ticks "$xvfb_pid") $(cpu_ticks "$2") $(date +%s%N)"
}

# Prints the shares of one core of zrv5, the server and the target between two samples of
# cpu_sample.
cpu_shares() {
  awk -v hz="$(getconf CLK_TCK)" -v a="$1" -v b="$2" 'BEGIN {
    split(a, x, " "); split(b, y, " ")
    seconds = (y[4] - x[4]) / 1e9
    printf "zrv5 %.1f%%, X server %.1f%%, target %.1f%% of one core over %.1f s", \
      100 * (y[1] - x[1]) / hz / seconds, 100 * (y[2] - x[2]) / hz / seconds, \
      100 * (y[3] - x[3]) / hz / seconds, seconds
  }'
}

# Runs one case: a target of $2 x $3 at ($4, $5) and zrv5 with the settings $6; the target's
# picture changes every $7 ms when that is given, else never (and the probe's caret blinks every
# 500 ms with -2); $8 ticks when given, else $ticks. With $9 = cpu, also zrv5's share of a core
# over 10 s and, with the caret, the latency of 100 changes.
run_case() {
  local label=$1 width=$2 height=$3 x=$4 y=$5 settings=$6 animate=${7:--1} count=${8:-$ticks}
  local extra=${9:-}
  result=""
  case "$label" in *"${ZRV5_BENCH_ONLY:-}"*) ;; *) return 0 ;; esac
  local caret=0
  if [ "$animate" = -2 ]; then caret=1; animate=-1; fi
  local folder="$work/$label"
  mkdir -p "$folder"
  mkfifo "$folder/target.in"
  "$build/tests/x11/zrv5_test_target" --geometry "${width}x${height}+${x}+${y}" --animate "$animate" \
    <"$folder/target.in" >"$folder/target.out" 2>&1 &
  local target=$!
  pids+=("$target")
  exec 4>"$folder/target.in"
  wait_for_line "$folder/target.out" 15 '^ready' || fail "no target"
  target_window=$(sed -n 's/^ready //p' "$folder/target.out" | head -1)

  cp "$program" "$folder/zrv5_tick_timing"
  cp "$build/libMouseHook.so" "$folder/"
  printf '[Zarvo5]\n%b' "$settings" >"$folder/zrv5_tick_timing.ini"
  XDG_CONFIG_HOME="$folder/config" ZRV5_TIMING_TICKS="$count" \
    "$folder/zrv5_tick_timing" 2>"$folder/timing" &
  local program=$!
  pids+=("$program")
  wait_for_overlay
  xdotool mousemove $((x + 100)) $((y + 50)) click 1
  local blinking=""
  if [ "$caret" = 1 ]; then
    probe --blink 500 --seconds $((count * 20 / 1000 + 15)) 2>/dev/null &
    blinking=$!
    pids+=("$blinking")
  fi
  sleep 1
  local before share
  before=$(cpu_sample "$program" "$target")
  if [ "$extra" = cpu ]; then
    sleep 10
    share=$(cpu_shares "$before" "$(cpu_sample "$program" "$target")")
  fi
  wait_for_line "$folder/timing" 300 '^tick timing' || fail "no figures"
  if [ "$extra" != cpu ]; then
    share=$(cpu_shares "$before" "$(cpu_sample "$program" "$target")")
  fi
  result=$(grep '^tick timing' "$folder/timing")
  echo "$label: $result"
  echo "  cpu: $share"
  if [ -n "$blinking" ]; then kill "$blinking" 2>/dev/null || true; fi
  if [ "$extra" = cpu ] && [ "$caret" = 1 ]; then
    echo "  $(probe --latency 100)"
  fi
  echo close >&4
  exec 4>&-
  wait "$program" || true
  wait "$target" || true
}

run_case "typical 640x480 x2 (time 10), still picture" 640 480 200 150 'time=10\n'
run_case "typical 640x480 x2 (time 10), 16x16 change every 500 ms" 640 480 200 150 'time=10\n' -2
run_case "typical 640x480 x2 (time 10), new picture every 5 ms" 640 480 200 150 'time=10\n' 5
run_case "typical 640x480 x2 (time 10), cursor mode 0, still picture" 640 480 200 150 \
  'time=10\nmouse_trs=0\n'
run_case "typical 640x480 x2 (time 10), cursor mode 1, still picture" 640 480 200 150 \
  'time=10\nmouse_trs=1\n'
run_case "typical 640x480 x2 (time 10), cursor mode 1, new picture every 5 ms" 640 480 200 150 \
  'time=10\nmouse_trs=1\n' 5
run_case "blended 800x600 x3/2 (time 10, period 20), still" 800 600 300 200 \
  'time=10\nstretch=1\nsmoothness=1\n'
run_case "blended 800x600 x3/2 (time 10, period 20), new picture every 5 ms" 800 600 300 200 \
  'time=10\nstretch=1\nsmoothness=1\n' 5

# The typical run at `time` 16: the share of the ticks a 16 ms timer asks for that came, zrv5's
# share of a core, and for the caret the latency of a change.
run_case "typical 640x480 x2 (time 16), still picture" 640 480 200 150 'time=16\n' -1 625 cpu
if [ -n "$result" ]; then
  interval=$(sed -n 's/.*mean interval \([0-9.]*\) ms.*/\1/p' <<<"$result")
  awk -v i="$interval" 'BEGIN { printf "  time 16: %.1f%% of the expected ticks\n", 100 * 16 / i }'
  # The least a still view does, with nothing of zrv5's: a round trip every tick and one every
  # look of the companion, each on a thread of its own.
  echo "  $("$build/bench/zrv5_x11_floor" 16 15 10)"
fi
run_case "typical 640x480 x2 (time 16), 16x16 change every 500 ms" 640 480 200 150 'time=16\n' \
  -2 625 cpu
run_case "typical 640x480 x2 (time 16), new picture every 5 ms" 640 480 200 150 'time=16\n' \
  5 625 cpu

run_case "soak: typical, cursor mode 1, new picture every 5 ms (time 10)" 640 480 200 150 \
  'time=10\nmouse_trs=1\n' 5 10000
sed -n 's/.*resident \([0-9]*\) KiB after 1000 ticks, \([0-9]*\) KiB after \([0-9]*\).*/  growth from tick 1000 to \3: \1 -> \2 KiB/p' <<<"$result"

# 4K: a second server whose screen is 3840x2160; the targets at (100, 100).
start_xvfb 3840x2160x24
run_case "4K: whole 1280x720 x3 (time 10), new picture every 5 ms" 1280 720 100 100 'time=10\n' 5
run_case "4K: whole 1920x1080 x2 (time 16), new picture every 5 ms" 1920 1080 100 100 \
  'time=16\n' 5 625 cpu
run_case "4K: blended 2560x1440 x3/2 (time 8, period 16), new picture every 5 ms" 2560 1440 100 100 \
  'time=8\nstretch=1\nsmoothness=1\n' 5 625 cpu
run_case "4K: blended 1536x864 x5/2 (time 8, period 16), new picture every 5 ms" 1536 864 100 100 \
  'time=8\nstretch=1\nsmoothness=1\n' 5
run_case "4K: aspect fit 1600x1000 (time 16), new picture every 5 ms" 1600 1000 100 100 \
  'time=16\nstretch=2\n' 5 625 cpu
