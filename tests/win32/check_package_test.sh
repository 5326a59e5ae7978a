#!/usr/bin/env bash
# The package checks catch what they are for: a folder of small stand-in programs, built with the
# 32-bit MinGW toolchain, passes; each stand-in made wrong in one way (a requested execution level,
# no DPI awareness, a console zrv5.exe, a 64-bit program, a foreign import, decorated exports, no
# version resource) fails with a line naming that fault. Needs no Wine.
# Usage: check_package_test.sh SOURCE_DIR WORK_DIR
set -uo pipefail

source_dir=$1 work=$2
checker=$source_dir/tools/check-windows-package.sh
manifest=$source_dir/platform/win32/zrv5.manifest
cxx=i686-w64-mingw32-g++
windres=i686-w64-mingw32-windres

rm -rf "$work"
mkdir -p "$work/src"
cd "$work/src" || exit 1

cat >main.cpp <<'EOF'
#include <windows.h>
extern "C" void MySetHook(void);
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
void keep() { MySetHook(); }
EOF
cat >plain.cpp <<'EOF'
int main() { return 0; }
EOF
cat >foreign.cpp <<'EOF'
#include <windows.h>
int main() { HKEY key; return RegOpenKeyA(HKEY_CURRENT_USER, "x", &key); }
EOF
cat >hook.cpp <<'EOF'
extern "C" void MySetHook(void) {}
extern "C" void MyEndHook(void) {}
EOF
cat >hook.def <<'EOF'
LIBRARY MouseHook.dll
EXPORTS
  MySetHook
  MyEndHook
EOF
cat >stdcall_hook.cpp <<'EOF'
extern "C" __declspec(dllexport) void __stdcall MySetHook(void) {}
extern "C" __declspec(dllexport) void __stdcall MyEndHook(void) {}
EOF
# A resource script with `manifest` and the version resource of `name` (none when empty).
resources() {
  local manifest_file=$1 name=$2
  echo "1 24 \"$manifest_file\""
  if [ -n "$name" ]; then
    printf '1 VERSIONINFO\nFILEVERSION 1,0,0,0\nBEGIN\n BLOCK "StringFileInfo"\n BEGIN\n  BLOCK "040904b0"\n  BEGIN\n'
    printf '   VALUE "OriginalFilename", "%s"\n  END\n END\n BLOCK "VarFileInfo"\n BEGIN\n' "$name"
    printf '  VALUE "Translation", 0x409, 1200\n END\nEND\n'
  fi
}
cp "$manifest" good.manifest
sed 's|<compatibility|<trustInfo xmlns="urn:schemas-microsoft-com:asm.v3"><security><requestedPrivileges><requestedExecutionLevel level="asInvoker" uiAccess="false"/></requestedPrivileges></security></trustInfo>\n  <compatibility|' "$manifest" >elevated.manifest
sed '/dpiAware/d' "$manifest" >unaware.manifest

build() {  # build OUTPUT COMPILER SOURCES... [FLAGS...]
  local output=$1 compiler=$2
  shift 2
  "$compiler" -O1 -static -static-libgcc -static-libstdc++ -o "$output" "$@" 2>&1
}
compile_resources() {  # compile_resources OUTPUT.o MANIFEST NAME
  resources "$2" "$3" >"${1%.o}.rc" && "$windres" "${1%.o}.rc" -O coff -o "$1"
}

compile_resources exe.o good.manifest zrv5.exe
compile_resources exit.o good.manifest zrv5-exit.exe
compile_resources elevated.o elevated.manifest zrv5.exe
compile_resources unaware.o unaware.manifest zrv5.exe
compile_resources unnamed.o good.manifest ""
build MouseHook.dll "$cxx" -shared hook.cpp hook.def -Wl,--out-implib,libMouseHook.a
build good-zrv5.exe "$cxx" -mwindows main.cpp exe.o -L. -lMouseHook
build good-exit.exe "$cxx" plain.cpp exit.o
build elevated-zrv5.exe "$cxx" -mwindows main.cpp elevated.o -L. -lMouseHook
build unaware-zrv5.exe "$cxx" -mwindows main.cpp unaware.o -L. -lMouseHook
build console-zrv5.exe "$cxx" main.cpp exe.o -L. -lMouseHook
build unnamed-zrv5.exe "$cxx" -mwindows main.cpp unnamed.o -L. -lMouseHook
build foreign-exit.exe "$cxx" foreign.cpp exit.o -ladvapi32
build decorated-MouseHook.dll "$cxx" -shared stdcall_hook.cpp
x86_64-w64-mingw32-windres exit.rc -O coff -o exit64.o
build wide-exit.exe x86_64-w64-mingw32-g++ plain.cpp exit64.o

failures=0
# Checks a package of the good stand-ins with `replaced` (FILE=STAND_IN, or FILE=none to leave it
# out) put in; expects
# `expected` in the checker's output (or a pass when it is empty).
case_of() {
  local name=$1 expected=$2
  shift 2
  local folder=$work/$name
  mkdir -p "$folder"
  cp good-zrv5.exe "$folder/zrv5.exe"
  cp good-exit.exe "$folder/zrv5-exit.exe"
  cp MouseHook.dll "$folder/MouseHook.dll"
  for replaced in "$@"; do
    if [ "${replaced#*=}" = none ]; then
      rm "$folder/${replaced%%=*}"
    else
      cp "${replaced#*=}" "$folder/${replaced%%=*}"
    fi
  done
  local output status
  output=$("$checker" "$folder" 2>&1)
  status=$?
  if [ -z "$expected" ]; then
    [ "$status" -eq 0 ] || { echo "FAIL $name: the good package does not pass: $output"; failures=$((failures + 1)); return; }
  elif [ "$status" -eq 0 ] || ! grep -qF -- "$expected" <<<"$output"; then
    echo "FAIL $name: expected \"$expected\", got (status $status): $output"
    failures=$((failures + 1))
    return
  fi
  echo "ok   $name"
}

case_of good ""
case_of requested-level "zrv5.exe's manifest requests an execution level" zrv5.exe=elevated-zrv5.exe
case_of not-dpi-aware "zrv5.exe does not declare itself DPI-aware" zrv5.exe=unaware-zrv5.exe
case_of other-manifest "zrv5-exit.exe does not carry zrv5.exe's manifest" zrv5.exe=unaware-zrv5.exe
case_of console "zrv5.exe is not a GUI program" zrv5.exe=console-zrv5.exe
case_of no-version "zrv5.exe has no version resource naming it" zrv5.exe=unnamed-zrv5.exe
case_of foreign-import "zrv5-exit.exe imports advapi32.dll" zrv5-exit.exe=foreign-exit.exe
case_of decorated "MouseHook.dll does not export MySetHook undecorated" MouseHook.dll=decorated-MouseHook.dll
case_of sixty-four-bit "zrv5-exit.exe is not PE32 for i386" zrv5-exit.exe=wide-exit.exe
case_of missing "MouseHook.dll is missing" MouseHook.dll=none

[ "$failures" -eq 0 ]
