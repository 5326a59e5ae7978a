#!/usr/bin/env bash
# Runs each libFuzzer harness for FUZZ_SECONDS (default 180), starting from its seed corpus in
# tests/fuzz/corpus/ and keeping what it finds in out/fuzz/<harness>/. Needs clang++; the harnesses
# are built by the linux preset. A crash stops the run and leaves its input in out/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-180}"
if ! command -v clang++ >/dev/null && ! command -v clang++-14 >/dev/null; then
  echo "fuzz: clang++ is not installed; nothing to run" >&2
  exit 0
fi
cmake --preset linux >/dev/null
cmake --build --preset linux -j"${JOBS:-2}" --target \
  zrv5_ini_reader_fuzz zrv5_ini_writer_fuzz zrv5_settings_fuzz zrv5_profile_fuzz
for name in ini_reader ini_writer settings profile; do
  found="out/fuzz/$name"
  mkdir -p "$found"
  echo "fuzz: $name for ${seconds} s"
  "build/linux/fuzz/${name}_fuzz" "$found" "tests/fuzz/corpus/$name" \
    -max_total_time="$seconds" -artifact_prefix="out/fuzz/${name}-" -print_final_stats=1 2>&1 |
    grep -E '^(stat::number_of_executed_units|stat::new_units_added|==|SUMMARY|artifact)' || true
  if ls "out/fuzz/${name}-"* >/dev/null 2>&1; then
    echo "fuzz: $name found a failing input: $(ls out/fuzz/${name}-*)" >&2
    exit 1
  fi
done
