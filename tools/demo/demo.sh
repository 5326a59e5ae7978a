#!/usr/bin/env bash
# The demo without a display: on its own Xvfb 1400x1050x24, a sample window, zrv5 with the sample
# settings in each stretch mode, a synthetic click on the window, and a screenshot of the magnified
# screen per mode under out/demo/ (demo-desktop.png is the screen before the pick).
#   bash tools/demo/demo.sh        (after a build of the linux preset)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."

build=${ZRV5_BUILD_DIR:-build/linux}
out=out/demo
for program in zrv5 libMouseHook.so zrv5_demo_window; do
  if [ ! -e "$build/$program" ]; then
    echo "demo: $build/$program is missing; build first (make build)" >&2
    exit 1
  fi
done
mkdir -p "$out"
name=demo
source tools/xvfb.sh
start_xvfb
echo "demo: Xvfb on $DISPLAY"

# Shows the sample window at $2x$3+$4+$5, magnifies it with stretch $1 and saves the screen.
demo_mode() {
  local stretch=$1 width=$2 height=$3 x=$4 y=$5
  local folder="$work/stretch$stretch"
  mkdir -p "$folder"
  "$build/zrv5_demo_window" --geometry "${width}x${height}+${x}+${y}" &
  local window=$!
  pids+=("$window")
  sleep 0.5
  if [ "$stretch" = 0 ]; then
    import -window root "$out/demo-desktop.png"
  fi

  cp "$build/zrv5" "$build/libMouseHook.so" "$folder/"
  sed -e "s/^stretch=.*/stretch=$stretch/" -e 's/^mouse_trs=.*/mouse_trs=2/' \
    tools/zrv5.sample.ini >"$folder/zrv5.ini"
  XDG_CONFIG_HOME="$folder/config" "$folder/zrv5" &
  local program=$!
  pids+=("$program")
  wait_for_overlay
  xdotool mousemove $((x + width * 3 / 5)) $((y + height * 2 / 5)) click 1
  sleep 1.5
  import -window root "$out/demo-stretch$stretch.png"
  echo "demo: stretch $stretch, a ${width}x${height} window -> $out/demo-stretch$stretch.png"

  # Closing the window ends the view: zrv5 notices at its next frame and exits with 0.
  kill "$window"
  local code=0
  wait "$program" || code=$?
  wait "$window" 2>/dev/null || true
  if [ "$code" -ne 0 ]; then
    fail "zrv5 ended with $code"
  fi
}

demo_mode 0 640 480 380 285   # whole factor: doubled
demo_mode 1 800 600 300 225   # blended 3/2
demo_mode 2 640 400 380 325   # aspect fit
echo "demo: done; screenshots in $out/"
