#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need; does nothing for packages
# already present, so it is cheap to run before every build.
set -euo pipefail

packages=(
  # native build and unit tests
  build-essential cmake pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
  # benchmark only: the comparison scalers timed next to ours
  libpixman-1-dev
  # X11 backend
  libx11-dev libx11-xcb-dev libxext-dev libxfixes-dev libxrender-dev libxcomposite-dev libxdamage-dev libxcursor-dev libxi-dev
  libxtst-dev libxres-dev
  # X11 end-to-end tests and the demo
  xvfb xdotool x11-apps twm xfonts-base x11-xserver-utils imagemagick
  # the 32-bit build of the core and its tests, run under qemu-i386 (user mode, no binfmt)
  gcc-multilib g++-multilib qemu-user
  # Windows cross build and its tests under Wine
  g++-mingw-w64-i686-posix mingw-w64-i686-dev wine wine32:i386 zip
  # the Windows tests run 64-bit where the kernel cannot execute 32-bit programs
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine64
  libxi6:i386 libxcursor1:i386 libxrandr2:i386 libxrender1:i386 libxinerama1:i386
  libxcomposite1:i386 libxfixes3:i386 libxxf86vm1:i386
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

# Wine's 32-bit packages come from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
