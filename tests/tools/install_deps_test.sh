#!/usr/bin/env bash
# shellcheck disable=SC2086,SC2046  # the package lists are split into names on purpose
# Tests of tools/install-deps.sh's decisions with fake apt-get, dpkg, dpkg-query, gcc and sudo early
# in PATH: which groups each job installs, the 32-bit probe's answer, updates that fail, and a
# package that cannot be had. Nothing is installed for real.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
installer="$here/../../tools/install-deps.sh"

work=$(mktemp -d /tmp/zrv5-install-deps-test-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL [$case_name] $*"
  echo "--- calls:"; cat "$fake/calls" 2>/dev/null
  echo "--- output:"; cat "$fake/out" 2>/dev/null
  failures=$((failures + 1))
}

# The fakes keep their state in $FAKE: `installed` (one package a line), `unavailable` (a package,
# a tab, and apt's lines for it, "\n" between them), `update-failures` (how many updates fail yet;
# "always" for every one), `foreign` (the foreign architectures), `machine` (what the 32-bit probe
# prints; missing: the kernel refuses to run it). Every call is logged in `calls`.
make_fakes() {
  mkdir -p "$1"
  cat >"$1/dpkg-query" <<'EOF'
#!/usr/bin/env bash
echo "dpkg-query $*" >>"$FAKE/calls"
package=${!#}
if grep -qx -- "$package" "$FAKE/installed"; then printf 'install ok installed'; exit 0; fi
echo "dpkg-query: no packages found matching $package" >&2
exit 1
EOF
  cat >"$1/dpkg" <<'EOF'
#!/usr/bin/env bash
echo "dpkg $*" >>"$FAKE/calls"
case $1 in
  --print-foreign-architectures) cat "$FAKE/foreign" 2>/dev/null ;;
  --add-architecture) echo "$2" >>"$FAKE/foreign" ;;
  --remove-architecture) grep -vx "$2" "$FAKE/foreign" >"$FAKE/foreign.new"; mv "$FAKE/foreign.new" "$FAKE/foreign" ;;
esac
EOF
  cat >"$1/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE/calls"
if [ "$1" = update ]; then
  left=$(cat "$FAKE/update-failures" 2>/dev/null || echo 0)
  if [ "$left" = always ] || [ "$left" -gt 0 ]; then
    [ "$left" = always ] || echo $((left - 1)) >"$FAKE/update-failures"
    echo "E: Failed to fetch http://deb.example/dists/x/i386/Packages  File has unexpected size (1 != 2). Mirror sync in progress?" >&2
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
    exit 100
  fi
  exit 0
fi
packages=()
for a in "$@"; do case $a in -*|install) ;; *) packages+=("$a") ;; esac; done
refused=0
for p in "${packages[@]}"; do
  line=$(grep -P "^\Q$p\E\t" "$FAKE/unavailable" 2>/dev/null | cut -f2-)
  if [ -n "$line" ]; then printf '%b\n' "$line"; refused=1; fi
done
# Like apt, a refused package stops the whole install.
if [ "$refused" = 1 ]; then exit 100; fi
printf '%s\n' "${packages[@]}" >>"$FAKE/installed"
EOF
  cat >"$1/gcc" <<'EOF'
#!/usr/bin/env bash
echo "gcc $*" >>"$FAKE/calls"
while [ $# -gt 0 ]; do if [ "$1" = -o ]; then out=$2; fi; shift; done
if [ -e "$FAKE/machine" ]; then
  printf '#!/bin/sh\ncat "%s"\n' "$FAKE/machine" >"$out"
else
  printf '#!/bin/sh\necho "cannot execute binary file: Exec format error" >&2\nexit 126\n' >"$out"
fi
chmod +x "$out"
EOF
  cat >"$1/sudo" <<'EOF'
#!/usr/bin/env bash
exec "$@"
EOF
  chmod +x "$1"/*
}

# Starts a case with a fresh fake machine holding the packages given.
new_case() {
  case_name=$1
  shift
  fake="$work/$case_name"
  make_fakes "$fake/bin"
  printf '%s\n' "$@" >"$fake/installed"
  : >"$fake/calls"
}

# Runs the installer for the jobs given; its output in $fake/out, its status in $status.
install() {
  FAKE=$fake PATH="$fake/bin:$PATH" ZRV5_APT_UPDATE_PAUSE=0 bash "$installer" "$@" >"$fake/out" 2>&1
  status=$?
}

# Prints the packages the installer asked apt-get to install, one a line, in order.
installed_by_apt() {
  sed -n 's/^apt-get install -y -q --no-install-recommends //p' "$fake/calls" | tr ' ' '\n'
}

# Prints every package a job names (with nothing installed, all of them are asked for at once).
packages_of_job() {
  new_case "packages-of-$1"
  install "$1"
  installed_by_apt | sort
}

# Each job asks for its own groups, and only those.
run_packages=$(packages_of_job run)
windows_packages=$(packages_of_job windows)
test_packages=$(packages_of_job test)
bench_packages=$(packages_of_job bench)
deb_packages=$(packages_of_job deb)
case_name=groups
for p in build-essential cmake libx11-dev libxrandr-dev libxinerama-dev libxdamage-dev xvfb xdotool imagemagick xfonts-base; do
  grep -qx "$p" <<<"$run_packages" || fail "run does not install $p"
done
for p in googletest wine wine64 zip qemu-user g++-mingw-w64-i686-posix clang libbenchmark-dev dpkg-dev; do
  grep -qx "$p" <<<"$run_packages" && fail "run installs $p"
done
[ "$windows_packages" = "$(printf '%s\n' cmake g++-mingw-w64-i686-posix mingw-w64-i686-dev zip | sort)" ] ||
  fail "windows installs: $(tr "\n" " " <<<"$windows_packages")"
for p in $run_packages googletest libgtest-dev libgmock-dev clang libclang-rt-14-dev twm x11-apps \
  gcc-multilib qemu-user g++-mingw-w64-i686-posix zip g++-mingw-w64-x86-64-posix wine64; do
  grep -qx "$p" <<<"$test_packages" || fail "test does not install $p"
done
grep -q ':i386$' <<<"$test_packages" && fail "test installs i386 packages before the probe"
for p in libbenchmark-dev libpixman-1-dev xvfb xdotool googletest libxtst-dev libxres-dev; do
  grep -qx "$p" <<<"$bench_packages" || fail "bench does not install $p"
done
for p in dpkg-dev file libx11-dev; do
  grep -qx "$p" <<<"$deb_packages" || fail "deb does not install $p"
done
[ "$(sort <<<"$test_packages" | uniq -d)" = "" ] || fail "a package asked for twice"

# Everything there: no apt-get at all, and the installer succeeds.
new_case nothing-missing $test_packages $run_packages $windows_packages $bench_packages $deb_packages
install
[ "$status" = 0 ] || fail "status $status"
grep -q '^apt-get' "$fake/calls" && fail "apt-get ran with nothing missing"

# A missing package: the lists are updated once, then only that package is installed.
new_case one-missing $(grep -vx zip <<<"$windows_packages")
install windows
[ "$status" = 0 ] || fail "status $status"
[ "$(grep -c '^apt-get update' "$fake/calls")" = 1 ] || fail "update not run once"
[ "$(installed_by_apt)" = zip ] || fail "installed: $(installed_by_apt)"

# The probe: the kernel refuses the 32-bit program, so no i386 at all.
new_case probe-refused $test_packages
install test
[ "$status" = 0 ] || fail "status $status"
grep -q '^gcc -m32' "$fake/calls" || fail "no 32-bit probe was built"
grep -q -- '--add-architecture' "$fake/calls" && fail "the i386 architecture was added"
grep -q '^apt-get' "$fake/calls" && fail "apt-get ran"
grep -q 'does not run 32-bit programs' "$fake/out" || fail "no word on the missing 32-bit Wine"

# The probe runs natively: i386 is added, the lists fetched again, and 32-bit Wine installed.
new_case probe-runs $test_packages
echo x86_64 >"$fake/machine"
install test
[ "$status" = 0 ] || fail "status $status"
grep -qx 'dpkg --add-architecture i386' "$fake/calls" || fail "i386 not added"
grep -q '^apt-get update' "$fake/calls" || fail "no update after adding i386"
installed_by_apt | grep -qx 'wine32:i386' || fail "32-bit Wine not installed"
installed_by_apt | grep -qx 'libxi6:i386' || fail "32-bit libXi not installed"
# ... and the second time nothing more happens.
: >"$fake/calls"
install test
grep -q -e '^apt-get' -e '--add-architecture' "$fake/calls" && fail "the second run changed something"

# A 32-bit program that runs only through an emulator (it names the machine i686) is a no.
new_case probe-emulated $test_packages
echo i686 >"$fake/machine"
install test
grep -q -e '--add-architecture' -e '^apt-get' "$fake/calls" && fail "i386 taken on an emulator's word"

# Only the windows and run jobs never probe: they install nothing of i386 anyway.
new_case no-probe-for-run
echo x86_64 >"$fake/machine"
install run windows
grep -q -e '^gcc' -e ':i386' "$fake/calls" && fail "the run or windows job probed or asked for i386"

# An update that fails twice and then works: three tries, no word of failure, the install done.
new_case update-fails-twice $(grep -vx zip <<<"$windows_packages")
echo 2 >"$fake/update-failures"
install windows
[ "$status" = 0 ] || fail "status $status"
[ "$(grep -c '^apt-get update' "$fake/calls")" = 3 ] || fail "not three tries"
grep -q 'update failed' "$fake/out" && fail "a failure was reported"
[ "$(installed_by_apt)" = zip ] || fail "zip not installed"

# An update that always fails while the lists are there: a few tries, one line, then the install.
new_case update-always-fails $(grep -vx zip <<<"$windows_packages")
echo always >"$fake/update-failures"
install windows
[ "$status" = 0 ] || fail "status $status"
[ "$(grep -c '^apt-get update' "$fake/calls")" = 3 ] || fail "not three tries"
[ "$(grep -c 'apt-get update failed 3 times' "$fake/out")" = 1 ] || fail "no one-line note of the failed update"
grep -q 'Mirror sync in progress' "$fake/out" || fail "apt's reason not given"
[ "$(installed_by_apt)" = zip ] || fail "zip not installed"

# A package that cannot be had: one line naming it and apt's reason; the others still installed.
new_case cannot-be-had $(grep -vx -e zip -e mingw-w64-i686-dev <<<"$windows_packages")
printf 'zip\tE: Unable to locate package zip\n' >"$fake/unavailable"
install windows
[ "$status" = 1 ] || fail "status $status"
[ "$(grep -c 'cannot install' "$fake/out")" = 1 ] || fail "not one line"
grep -qx 'install-deps: cannot install zip: Unable to locate package zip' "$fake/out" || fail "the line"
grep -qx mingw-w64-i686-dev "$fake/installed" || fail "the package that could be had was not installed"

# 32-bit Wine with unmet dependencies: its own line of apt's explanation is the reason, nothing of
# the group is installed, and the run goes on, since the Windows tests then run under 64-bit Wine.
new_case held-broken $test_packages
echo x86_64 >"$fake/machine"
echo i386 >"$fake/foreign"
printf 'wine32:i386\tThe following packages have unmet dependencies:\\n wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed\\nE: Unable to correct problems, you have held broken packages.\n' >"$fake/unavailable"
install test
[ "$status" = 0 ] || fail "status $status"
grep -qx 'install-deps: cannot install wine32:i386: Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed' "$fake/out" ||
  fail "the line"
grep -q 'Windows tests run under 64-bit Wine' "$fake/out" || fail "no word on the Windows tests"
grep -q ':i386$' "$fake/installed" && fail "part of the 32-bit group was installed"
grep -q -- '--add-architecture' "$fake/calls" && fail "i386 added again"
grep -q -- '--remove-architecture' "$fake/calls" && fail "an i386 that was there before was taken away"

# The same where this run added i386: the architecture is taken away again.
new_case held-broken-added $test_packages
echo x86_64 >"$fake/machine"
printf 'wine32:i386\tE: Unable to correct problems, you have held broken packages.\n' >"$fake/unavailable"
install test
[ "$status" = 0 ] || fail "status $status"
grep -qx 'dpkg --add-architecture i386' "$fake/calls" || fail "i386 not added"
grep -qx 'dpkg --remove-architecture i386' "$fake/calls" || fail "i386 not taken away again"
grep -qx i386 "$fake/foreign" && fail "i386 left as a foreign architecture"

# Without a line of its own, the first line of unmet dependencies (a dependency's) is the reason.
new_case dependency-broken $(grep -vx zip <<<"$windows_packages")
printf 'zip\tThe following packages have unmet dependencies:\\n libbz2-1.0 : Breaks: zip (< 4) but 3.0 is to be installed\\nE: Unable to correct problems, you have held broken packages.\n' >"$fake/unavailable"
install windows
[ "$status" = 1 ] || fail "status $status"
grep -qx 'install-deps: cannot install zip: libbz2-1.0 : Breaks: zip (< 4) but 3.0 is to be installed' "$fake/out" ||
  fail "the line"

# An unknown job is refused before anything runs.
new_case unknown-job
install runn
[ "$status" = 2 ] || fail "status $status"
[ -s "$fake/calls" ] && fail "something ran"

if [ "$failures" -ne 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "install-deps: all cases passed"
