#!/usr/bin/env bash
# Fuzzes the resource-library reader, then the registry file parser, each for a bounded
# time: builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) in their own build directory and runs them. The reader is
# seeded with the libraries the build makes and the inputs kept in
# resources/testdata/fuzz; an input that fails it is written there (commit it: the test
# suite replays every file there). The parser is seeded with a registry file Wine wrote.
#   FUZZ_SECONDS   time for the reader (default 60; the parser gets half)
#   FUZZ_BUILD_DIR build directory
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
kept=$root/resources/testdata/fuzz

CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTOLLWICK_FUZZ=ON -DTOLLWICK_BUILD_TESTS=OFF -DTOLLWICK_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$dir" --target resources_pe_fuzzer wine_registry_fuzzer zelkor_dll zelkor32_dll resources_edge_dll -j 2

seeds=$dir/fuzz-seeds
corpus=$dir/fuzz-corpus
mkdir -p "$seeds" "$corpus"
cp "$dir/bin/Zelkor.dll" "$dir/sample/Zelkor32.dll" "$dir/resources/testdata/edge.dll" "$seeds/"
cp "$kept"/* "$seeds/" 2>/dev/null || true

echo "fuzz: resources_pe_fuzzer for ${seconds}s"
status=0
"$dir/bin/resources_pe_fuzzer" "$corpus" "$seeds" \
  -max_total_time="$seconds" -max_len=32768 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$kept/" -print_final_stats=1 >"$dir/fuzz.log" 2>&1 || status=$?
grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb|SUMMARY|Test unit written)" \
  "$dir/fuzz.log" || true
if ((status != 0)); then
  echo "fuzz: FAILED (exit $status); the failing input is in $kept (see $dir/fuzz.log)"
  exit "$status"
fi
echo "fuzz: no failure in ${seconds}s"

half=$((seconds / 2))
reg_seeds=$dir/fuzz-registry-seeds
reg_corpus=$dir/fuzz-registry-corpus
mkdir -p "$reg_seeds" "$reg_corpus"
cp "$root/settings/testdata/wine_system.reg" "$reg_seeds/"
echo "fuzz: wine_registry_fuzzer for ${half}s"
status=0
"$dir/bin/wine_registry_fuzzer" "$reg_corpus" "$reg_seeds" \
  -max_total_time="$half" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$dir/registry-" -print_final_stats=1 >"$dir/fuzz-registry.log" 2>&1 || status=$?
grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb|SUMMARY|Test unit written)" \
  "$dir/fuzz-registry.log" || true
if ((status != 0)); then
  echo "fuzz: registry parser FAILED (exit $status); see $dir/fuzz-registry.log"
  exit "$status"
fi
echo "fuzz: no failure in ${half}s"
