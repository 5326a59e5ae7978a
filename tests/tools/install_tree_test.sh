#!/usr/bin/env bash
# The Linux program as `cmake --install` lays it out, in a prefix of its own: every file in its
# place, the installed zrv5 finding the installed libMouseHook.so (not the build's), its settings in
# the per-user folder, and the demo's view started on Xvfb with it.
#   bash tests/tools/install_tree_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
name=install-tree
source tools/xvfb.sh

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install failed: $(cat "$work/install.log")"

for file in bin/zrv5 bin/zrv5-exit lib/zrv5/libMouseHook.so share/man/man1/zrv5.1.gz \
  share/man/man1/zrv5-exit.1.gz share/doc/zrv5/zrv5.sample.ini; do
  [ -e "$prefix/$file" ] || fail "$file is not installed"
done
zcat "$prefix/share/man/man1/zrv5.1.gz" | grep -q '^\.TH ZRV5 1 ' || fail "zrv5.1.gz is not the manual page"
zcat "$prefix/share/man/man1/zrv5-exit.1.gz" | grep -q '^\.TH ZRV5-EXIT 1 ' || fail "zrv5-exit.1.gz is not the manual page"

# The library comes from the prefix, found through a run path that names no folder of the build.
if readelf -d "$prefix/bin/zrv5" | grep -F "$build" >/dev/null; then fail "the run path names the build folder"; fi
found=$(ldd "$prefix/bin/zrv5" | sed -n 's/^\s*libMouseHook\.so => \(\S*\) .*/\1/p')
[ "$(realpath "$found")" = "$(realpath "$prefix/lib/zrv5/libMouseHook.so")" ] ||
  fail "the installed zrv5 finds libMouseHook.so at '$found'"

version=$("$prefix/bin/zrv5" --version) || fail "zrv5 --version failed"
[[ $version =~ ^zrv5\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "zrv5 --version printed '$version'"
version=$("$prefix/bin/zrv5-exit" --version) || fail "zrv5-exit --version failed"
[[ $version =~ ^zrv5-exit\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "zrv5-exit --version printed '$version'"

# The demo's view with the installed program: no settings beside it, so the per-user ones count.
start_xvfb
config="$work/config"
mkdir -p "$config/zrv5"
sed -e 's/^mouse_trs=.*/mouse_trs=2/' "$prefix/share/doc/zrv5/zrv5.sample.ini" >"$config/zrv5/zrv5.ini"
"$build/zrv5_demo_window" --geometry 640x480+380+285 &
window=$!
pids+=("$window")
XDG_CONFIG_HOME=$config "$prefix/bin/zrv5" 2>"$work/zrv5.err" &
program=$!
pids+=("$program")
wait_for_overlay
xdotool mousemove 700 500 click 1
# The pick publishes the view through the installed companion library's profile.
wait_for_line "$config/zrv5/profile.ini" 15 '^H=480' || fail "no view started: $(cat "$work/zrv5.err")"
grep -qx 'W=640' "$config/zrv5/profile.ini" || fail "the view is not 640 wide: $(cat "$config/zrv5/profile.ini")"

# Closing the window ends the view, and the program with 0.
kill "$window"
deadline=$((SECONDS + 15))
while kill -0 "$program" 2>/dev/null; do
  [ "$SECONDS" -lt "$deadline" ] || fail "zrv5 did not end when its window closed"
  sleep 0.1
done
code=0
wait "$program" || code=$?
[ "$code" -eq 0 ] || fail "zrv5 ended with $code: $(cat "$work/zrv5.err")"
[ ! -s "$work/zrv5.err" ] || fail "zrv5 wrote on stderr: $(cat "$work/zrv5.err")"
echo "install-tree: installed under a prefix of its own, the view started and ended"
