#!/usr/bin/env bash
# Installs the Debian packages that the jobs named need, and runs no apt-get when they are all there:
#   bash tools/install-deps.sh JOB...   (run, windows, test, bench, deb; no JOB: all of them)
# Each job takes a few named groups below. 32-bit Wine comes only where this kernel runs a 32-bit
# program. A package index that cannot be fetched is not fatal; a needed package that cannot be
# installed is, with one line naming it and apt's reason.
set -euo pipefail

# The groups, each listed once.
declare -A groups=(
  # configuring any build
  [configure]="cmake"
  # building the Linux program (two monitors and damage tracking use Xrandr, Xinerama, Xdamage)
  [build]="build-essential pkg-config libx11-dev libx11-xcb-dev libxcb-xfixes0-dev libxext-dev
           libxfixes-dev libxrender-dev libxcomposite-dev libxcursor-dev libxi-dev libxrandr-dev
           libxinerama-dev libxdamage-dev"
  # the demo of `make run` without a display: Xvfb, its sample window's font, the click, screenshots
  [demo]="xvfb xfonts-base xdotool imagemagick"
  # the native unit tests
  [unit]="googletest libgtest-dev libgmock-dev"
  # the X11 end-to-end tests: XTest and X-Resource, a window manager, a client we did not write, a
  # root pattern and monitors declared through RandR
  [x11-tests]="libxtst-dev libxres-dev twm x11-apps x11-xserver-utils"
  # the X11 suites on the desktops users have: a compositing manager, and X11 programs in Wayland
  # sessions (weston and sway, each with XWayland, headless), with their screenshot tools
  [desktops]="xcompmgr weston sway xwayland grim wtype imagemagick"
  # the fuzz harnesses (clang 14 keeps libFuzzer in its runtime package)
  [fuzz]="clang libclang-rt-14-dev"
  # the core's tests built for 32-bit x86, run under qemu-i386 in user mode (no binfmt)
  [core32]="gcc-multilib g++-multilib qemu-user"
  # the 32-bit Windows package: the MinGW i686 cross compiler and zip, no Wine
  [windows]="g++-mingw-w64-i686-posix mingw-w64-i686-dev zip"
  # the Windows tests, built for 64-bit Windows and run under 64-bit Wine
  [windows-tests]="g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64"
  # the benchmarks' extras: Google Benchmark, and pixman's scalers timed next to ours
  [bench]="libbenchmark-dev libpixman-1-dev"
  # the Debian package: dpkg-shlibdeps finds its dependencies, file tells it the programs
  [deb]="dpkg-dev file"
  # the package's checks in the tests: Debian's lint, and the validators of its desktop files
  [package-checks]="lintian desktop-file-utils appstream"
  # 32-bit Wine and the 32-bit X libraries it needs for input: only where 32-bit programs run
  [wine32]="wine32:i386 libxi6:i386 libxcursor1:i386 libxrandr2:i386 libxrender1:i386
            libxinerama1:i386 libxcomposite1:i386 libxfixes3:i386 libxxf86vm1:i386"
)

# What each job takes. `test` also takes wine32 where this kernel runs 32-bit programs. `bench`
# takes the test groups too: the X11 figures are taken against the tests' target window, which is
# built only with the tests.
declare -A jobs=(
  [run]="configure build demo"
  [windows]="configure windows"
  [test]="configure build demo unit x11-tests desktops fuzz core32 windows windows-tests deb package-checks"
  [bench]="configure build demo unit x11-tests bench"
  [deb]="configure build deb"
)
all_jobs=(run windows test bench deb)

update_tries=${ZRV5_APT_UPDATE_TRIES:-3}
update_pause=${ZRV5_APT_UPDATE_PAUSE:-5}

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

work=$(mktemp -d /tmp/zrv5-install-deps-XXXXXX)
trap 'rm -rf "$work"' EXIT

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# Fetches the package lists, a few times with a pause between; when an index still cannot be
# fetched, carries on with the lists that are there (the install then says what cannot be had).
updated=0
update_lists() {
  if [ "$updated" -eq 1 ]; then return; fi
  updated=1
  local try
  for ((try = 1; try <= update_tries; try++)); do
    if "${sudo_cmd[@]}" apt-get update -qq >"$work/update.log" 2>&1; then
      return
    fi
    if [ "$try" -lt "$update_tries" ]; then sleep "$update_pause"; fi
  done
  local reason
  reason=$(grep -m1 '^E: ' "$work/update.log" || tail -1 "$work/update.log")
  echo "install-deps: apt-get update failed $update_tries times ($reason);" \
    "carrying on with the package lists already there" >&2
}

# Prints apt's reason why package $1 could not be installed, from its output in $2: the package's
# own line of unmet dependencies when there is one, else the first such line (a dependency's),
# else apt's first error.
apt_reason() {
  local package=$1 log=$2 line
  line=$(grep -m1 -F " $package : " "$log" || true)
  if [ -n "$line" ]; then
    echo "${line#*" $package : "}"
    return
  fi
  line=$(grep -m1 -E '^ \S+ : ' "$log" || true)
  if [ -n "$line" ]; then
    echo "${line# }"
    return
  fi
  line=$(grep -m1 '^E: ' "$log" || true)
  if [ -n "$line" ]; then
    echo "${line#E: }"
    return
  fi
  grep -v '^\s*$' "$log" | tail -1 || true
}

# -q, not -qq: apt leaves out the lines of unmet dependencies at -qq.
apt_install=("${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends)

# Installs those of the packages given that are missing, all in one go; returns apt's status, with
# the missing ones in `missing` and apt's output in $work/install.log. Nothing missing: no apt-get.
install_at_once() {
  missing=()
  local package
  for package in "$@"; do
    if ! is_installed "$package"; then missing+=("$package"); fi
  done
  if [ "${#missing[@]}" -eq 0 ]; then return 0; fi
  echo "install-deps: installing ${missing[*]}"
  update_lists
  "${apt_install[@]}" "${missing[@]}" >"$work/install.log" 2>&1
}

# Installs those of the packages given that are missing. When apt refuses them together, installs
# them one by one, so that every package it can have is installed and each one it cannot have gets
# one line; returns 1 then.
install_missing() {
  if install_at_once "$@"; then return 0; fi
  local status=0 package
  for package in "${missing[@]}"; do
    if ! "${apt_install[@]}" "$package" >"$work/install.log" 2>&1; then
      echo "install-deps: cannot install $package: $(apt_reason "$package" "$work/install.log")" >&2
      status=1
    fi
  done
  return "$status"
}

# Installs those of the packages given that are missing, all of them or none: for a group that is
# of no use in part. When apt refuses them, prints one line naming the first and apt's reason and
# returns 1.
install_together() {
  if install_at_once "$@"; then return 0; fi
  echo "install-deps: cannot install ${missing[0]}: $(apt_reason "${missing[0]}" "$work/install.log")" >&2
  return 1
}

# Whether this kernel runs a 32-bit x86 program, found by running one built with the multilib
# compiler. It must also run natively: under an emulator registered through binfmt (qemu-i386) it
# runs too, but 32-bit Wine hangs there; a 32-bit process on a 64-bit kernel names the machine
# x86_64, while qemu-i386 names it i686.
runs_32bit_programs() {
  printf '%s\n' '#include <stdio.h>' '#include <sys/utsname.h>' \
    'int main(void) { struct utsname u; if (uname(&u) != 0) return 1; puts(u.machine); return 0; }' \
    >"$work/probe.c"
  gcc -m32 -o "$work/probe32" "$work/probe.c" >/dev/null 2>&1 || return 1
  [ "$(timeout 10 "$work/probe32" 2>/dev/null)" = x86_64 ]
}

requested=("$@")
if [ "${#requested[@]}" -eq 0 ]; then requested=("${all_jobs[@]}"); fi
wanted_groups=()
for job in "${requested[@]}"; do
  if [ -z "${jobs[$job]+set}" ]; then
    echo "install-deps: unknown job '$job' (jobs: ${all_jobs[*]})" >&2
    exit 2
  fi
  for group in ${jobs[$job]}; do
    if [[ " ${wanted_groups[*]} " != *" $group "* ]]; then wanted_groups+=("$group"); fi
  done
done

packages=()
for group in "${wanted_groups[@]}"; do
  for package in ${groups[$group]}; do
    if [[ " ${packages[*]} " != *" $package "* ]]; then packages+=("$package"); fi
  done
done

status=0
install_missing "${packages[@]}" || status=1

# 32-bit Wine for the tests of the 32-bit Windows build, where it can run (the probe's compiler
# comes with the core32 group above). No suite needs it: without it the Windows tests run under
# 64-bit Wine. So when it cannot be had (the i386 index cannot be fetched, or the i386 and amd64
# versions of the shared libraries are out of step), that is said in one line and the run goes on,
# and an i386 architecture added here is taken away again, leaving the machine as it was.
if [[ " ${wanted_groups[*]} " == *" core32 "* ]]; then
  if runs_32bit_programs; then
    added_i386=0
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      "${sudo_cmd[@]}" dpkg --add-architecture i386
      added_i386=1
      updated=0  # the new architecture's lists are not there yet
    fi
    # shellcheck disable=SC2086  # the group is a list of names
    if ! install_together ${groups[wine32]}; then
      echo "install-deps: no 32-bit Wine, so the Windows tests run under 64-bit Wine"
      if [ "$added_i386" -eq 1 ]; then
        "${sudo_cmd[@]}" dpkg --remove-architecture i386
      fi
    fi
  else
    echo "install-deps: this kernel does not run 32-bit programs, so no 32-bit Wine" \
      "(the Windows tests run under 64-bit Wine)"
  fi
fi
exit "$status"
