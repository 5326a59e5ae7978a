#!/usr/bin/env bash
# Builds the Windows package: the 32-bit zrv5.exe, MouseHook.dll and the console program
# zrv5-exit.exe (MinGW i686, release, stripped),
# the settings file at its defaults and a short README, in dist/zrv5-win32/ and dist/zrv5-win32.zip.
# Needs only the cross compiler, not Wine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

build=build/win32-package
package=dist/zrv5-win32

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake \
  -DCMAKE_BUILD_TYPE=Release -DZRV5_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target zrv5 MouseHook zrv5-exit

rm -rf "$package" dist/zrv5-win32.zip
mkdir -p "$package"
i686-w64-mingw32-strip -o "$package/zrv5.exe" "$build/zrv5.exe"
i686-w64-mingw32-strip -o "$package/MouseHook.dll" "$build/MouseHook.dll"
i686-w64-mingw32-strip -o "$package/zrv5-exit.exe" "$build/zrv5-exit.exe"

# Windows users open these with Notepad: CRLF line ends.
crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }
crlf tools/zrv5.sample.ini "$package/zrv5.ini"
crlf platform/win32/package-readme.txt "$package/README.txt"

# The programs must need nothing but system DLLs and the companion, and carry their manifest.
tools/check-windows-package.sh "$package"
imports_of() { i686-w64-mingw32-objdump -p "$package/$1" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' '; }
imports=$(imports_of zrv5.exe)

(cd dist && zip -q -r -X zrv5-win32.zip zrv5-win32)
echo "package-windows: $package/ and dist/zrv5-win32.zip ($(du -k dist/zrv5-win32.zip | cut -f1) KiB); zrv5.exe imports: $imports"
