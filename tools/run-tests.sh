#!/usr/bin/env bash
# Configures, builds and tests each preset named (default: all of them) and ends with one line
# counting the test programs that passed and failed across the presets.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

presets=("$@")
if [ "${#presets[@]}" -eq 0 ]; then presets=(linux linux-asan core32 win32 win64); fi

# 32-bit Wine needs a kernel that executes 32-bit programs (some have that switched off,
# ia32_emulation=off) and its i386 packages (which cannot always be installed). Without it the
# 32-bit build is still built, the same Windows tests run in the win64 preset under 64-bit Wine,
# and the core's tests run 32-bit in the core32 preset (qemu-i386).
can_run_32bit() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

passed=0
failed=0
for preset in "${presets[@]}"; do
  echo "=== $preset"
  # Where the win32 tests cannot run, only the product is built, not GoogleTest and the test
  # programs; the choice is given each time, since the build folder's cache keeps it.
  runnable=yes
  tests=(-DZRV5_BUILD_TESTS=ON)
  if [ "$preset" = win32 ] && ! can_run_32bit; then
    runnable=no
    tests=(-DZRV5_BUILD_TESTS=OFF)
  fi
  if ! cmake --preset "$preset" "${tests[@]}" >/dev/null ||
     ! cmake --build --preset "$preset" -j"${JOBS:-2}"; then
    echo "$preset: build failed"
    failed=$((failed + 1))
    continue
  fi
  # The shipped 32-bit programs, checked without running them (MinGW binutils, no Wine).
  if [ "$preset" = win32 ]; then
    if tools/check-windows-package.sh build/win32; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
  fi
  if [ "$runnable" = no ]; then
    echo "win32: product built; 32-bit Wine cannot run here, so its tests run in win64"
    continue
  fi
  log="build/$preset/ctest-summary.log"
  # Every test runs once: a test that fails only sometimes is a failing test.
  ctest --preset "$preset" 2>&1 | tee "$log"
  p=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\2 \1/p' "$log" | tail -1)
  if [ -z "$p" ]; then
    failed=$((failed + 1))
    continue
  fi
  read -r total bad <<<"$p"
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done

# The Linux package, as lintian and a desktop see it, with the default presets.
if [ "$#" -eq 0 ]; then
  echo "=== package"
  if tools/check-linux-package.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
