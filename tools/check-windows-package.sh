#!/usr/bin/env bash
# Checks the 32-bit Windows programs in a folder (a win32 build, or the package) without running
# them, with the MinGW binutils only: every program is PE32 for i386; zrv5.exe is a GUI program
# that imports only system DLLs Windows always has and MouseHook.dll; MouseHook.dll exports
# MySetHook and MyEndHook undecorated; zrv5.exe declares DPI awareness; no manifest requests an
# execution level (that would switch off the per-user win.ini); both programs carry a version
# resource. Prints one line per fault and exits with 1 when there is any. (No `cmd | grep -q`: with
# pipefail, grep's early exit would fail the pipeline.)
# Usage: check-windows-package.sh FOLDER
set -uo pipefail

folder=${1:?usage: check-windows-package.sh FOLDER}
objdump=i686-w64-mingw32-objdump
windres=i686-w64-mingw32-windres
programs=(zrv5.exe zrv5-exit.exe MouseHook.dll)
allowed_imports=" kernel32.dll user32.dll gdi32.dll msvcrt.dll mousehook.dll "

faults=0
fault() {
  echo "check-windows-package: $*"
  faults=$((faults + 1))
}

imports_of() { "$objdump" -p "$1" 2>/dev/null | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z'; }
exports_of() { "$objdump" -p "$1" 2>/dev/null | sed -n 's/^\s*\[ *[0-9]*\] \(.*\)$/\1/p'; }
# The program's resources as resource-script text: the manifest appears as quoted lines.
resources_of() { "$windres" -i "$1" -O rc 2>/dev/null; }
manifest_of() { resources_of "$1" | sed -n '/^1 24 /,/^END/p'; }

for program in "${programs[@]}"; do
  file=$folder/$program
  if [ ! -f "$file" ]; then
    fault "$program is missing from $folder"
    continue
  fi
  header=$("$objdump" -f "$file" 2>&1)
  if ! grep -q 'file format pei-i386' <<<"$header" || ! grep -q '^architecture: i386,' <<<"$header"; then
    fault "$program is not PE32 for i386: $(sed -n 's/.*file format //p' <<<"$header")"
  fi
  for dll in $(imports_of "$file"); do
    [[ $allowed_imports == *" $dll "* ]] || fault "$program imports $dll, which is not part of every Windows"
  done
  if grep -q '<requestedExecutionLevel\|<trustInfo' <<<"$(manifest_of "$file")"; then
    fault "$program's manifest requests an execution level"
  fi
done

exe=$folder/zrv5.exe
if [ -f "$exe" ]; then
  grep -q '^Subsystem.*(Windows GUI)' <<<"$("$objdump" -p "$exe")" || fault "zrv5.exe is not a GUI program"
  manifest=$(manifest_of "$exe")
  [ -n "$manifest" ] || fault "zrv5.exe has no manifest"
  grep -q 'dpiAware.*>true/pm</dpiAware>' <<<"$manifest" || fault "zrv5.exe does not declare itself DPI-aware (dpiAware true/pm)"
  grep -q 'dpiAwareness.*>PerMonitorV2' <<<"$manifest" || fault "zrv5.exe does not declare per-monitor DPI awareness (dpiAwareness PerMonitorV2)"
  exit_program=$folder/zrv5-exit.exe
  if [ -f "$exit_program" ] && [ "$manifest" != "$(manifest_of "$exit_program")" ]; then
    fault "zrv5-exit.exe does not carry zrv5.exe's manifest"
  fi
fi

for program in zrv5.exe zrv5-exit.exe; do
  [ -f "$folder/$program" ] || continue
  grep -q "VALUE \"OriginalFilename\", \"$program\"" <<<"$(resources_of "$folder/$program")" ||
    fault "$program has no version resource naming it"
done

library=$folder/MouseHook.dll
if [ -f "$library" ]; then
  exported=" $(exports_of "$library" | tr '\n' ' ')"
  for name in MySetHook MyEndHook; do
    [[ $exported == *" $name "* ]] || fault "MouseHook.dll does not export $name undecorated (exports:$exported)"
  done
fi

if [ "$faults" -gt 0 ]; then
  exit 1
fi
echo "check-windows-package: ${programs[*]} in $folder pass"
