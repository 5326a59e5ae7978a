# Shared by the scripts that drive zrv5 on their own Xvfb (tools/bench-x11.sh, tools/demo/demo.sh);
# sourced, after `name` is set to the script's name for its messages. Gives a scratch folder
# $work, a list $pids of processes to kill on exit, and the helpers below.

work=$(mktemp -d "/tmp/zrv5-$name-XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Prints the message on standard error and ends the script.
fail() {
  echo "$name: $*" >&2
  exit 1
}

# Waits up to $2 seconds for the file $1 to hold a line matching $3.
wait_for_line() {
  local deadline=$((SECONDS + $2))
  until grep -q "$3" "$1" 2>/dev/null; do
    if [ "$SECONDS" -ge "$deadline" ]; then return 1; fi
    sleep 0.1
  done
}

# Starts Xvfb with a screen of $1 (1400x1050x24 when not given), points DISPLAY at it and keeps the
# server's process id in $xvfb_pid. A second call starts a second server beside the first.
start_xvfb() {
  local screen=${1:-1400x1050x24}
  local answer="$work/display-$screen"
  Xvfb -displayfd 1 -screen 0 "$screen" -nolisten tcp -noreset >"$answer" 2>/dev/null &
  xvfb_pid=$!
  pids+=("$xvfb_pid")
  wait_for_line "$answer" 15 '^[0-9]' || fail "Xvfb did not start"
  export DISPLAY=":$(head -1 "$answer")"
}

# Waits up to 15 seconds for zrv5's overlay to exist, then a moment for it to take the pointer.
wait_for_overlay() {
  local deadline=$((SECONDS + 15))
  until xdotool search --name '^ZRV5$' >/dev/null 2>&1; do
    if [ "$SECONDS" -ge "$deadline" ]; then fail "zrv5 did not start"; fi
    sleep 0.1
  done
  sleep 0.3
}
