#!/usr/bin/env bash
# Runs Windows test programs that need an X server under Wine: starts Xvfb on a free display and a
# persistent wineserver for a prefix of their own, runs each program, and stops both again. Beside
# them it makes real input through the X server (XTest) for the tests: a test writes xdotool's
# arguments into xtest.request in the work folder and waits for xtest.done (Wine starts a Unix
# program with no handle to wait for, so the tests cannot run xdotool themselves).
# Usage: run_e2e.sh WINE_WRAPPER PREFIX ZRV5_EXE HOOK_DLL WORK_DIR -- PROGRAM [ARGS...] [-- PROGRAM ...]
set -uo pipefail

wrapper=$1 prefix=$2 program=$3 hook=$4 work=$5
shift 5

export ZRV5_WINEPREFIX=$prefix WINEPREFIX=$prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winedbg.exe="
# A test program that hangs is stopped by the wrapper's timeout.
export ZRV5_WINE_TIMEOUT=${ZRV5_WINE_TIMEOUT:-240}

windows_path() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

rm -rf "$work"
mkdir -p "$work"
export ZRV5_E2E_PROGRAM=$(windows_path "$(realpath "$program")")
export ZRV5_E2E_HOOK=$(windows_path "$(realpath "$hook")")
export ZRV5_E2E_WORK=$(windows_path "$(realpath "$work")")

xvfb_pid=
input_pid=
cleanup() {
  [ -n "$input_pid" ] && kill "$input_pid" 2>/dev/null && wait "$input_pid" 2>/dev/null
  WINEPREFIX=$prefix timeout 30 wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number once it accepts connections.
display_file=$work/display
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -s "$display_file" ] && break
  sleep 0.1
done
if [ ! -s "$display_file" ]; then
  echo "run_e2e: Xvfb did not start"; cat "$work/xvfb.log"; exit 1
fi
export DISPLAY=:$(head -n1 "$display_file")

# Makes each requested input: one line of xdotool arguments (a test renames the file into place
# once written, so a line is never read half-written). Only moves, buttons and keys are taken.
make_input() {
  local request=$work/xtest.request
  while :; do
    if [ -f "$request" ]; then
      local words
      read -r -a words <"$request"
      rm -f "$request"
      case "${words[0]:-}" in
        mousemove | mousedown | mouseup | keydown | keyup | click)
          xdotool "${words[@]}" >>"$work/xtest.log" 2>&1 ;;
        *) echo "run_e2e: refused input request: ${words[*]}" >>"$work/xtest.log" ;;
      esac
      : >"$work/xtest.done"
    fi
    sleep 0.02
  done
}
make_input &
input_pid=$!

# The prefix is made on first use by the wrapper; keep one wineserver for all programs.
"$wrapper" cmd /c exit 0 >/dev/null 2>&1
WINEPREFIX=$prefix wineserver -p >/dev/null 2>&1

status=0
while [ $# -gt 0 ]; do
  [ "$1" = "--" ] && shift
  command=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do command+=("$1"); shift; done
  [ ${#command[@]} -eq 0 ] && continue
  "$wrapper" "${command[@]}" || status=1
done
exit $status
