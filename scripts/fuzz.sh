#!/usr/bin/env bash
# Fuzzes the resource-library reader, then the registry file parser, each for a bounded
# time: builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) in their own build directory and runs them. The reader is
# seeded with the libraries the build makes and the inputs kept in
# formats/pe/testdata/fuzz; an input that fails it is written there (commit it: the test
# suite replays every file there). The parser is seeded with a registry file Wine wrote.
#   FUZZ_SECONDS   time for the reader (default 60; the parser gets half)
#   FUZZ_BUILD_DIR build directory
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
kept=$root/formats/pe/testdata/fuzz

CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTOLLWICK_FUZZ=ON -DTOLLWICK_BUILD_TESTS=OFF -DTOLLWICK_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$dir" --target resources_pe_fuzzer wine_registry_fuzzer zelkor_dll zelkor32_dll resources_edge_dll -j 2

seeds=$dir/fuzz-seeds
corpus=$dir/fuzz-corpus
mkdir -p "$seeds" "$corpus"
cp "$dir/bin/Zelkor.dll" "$dir/sample/Zelkor32.dll" "$dir/formats/pe/testdata/edge.dll" "$seeds/"
cp "$kept"/* "$seeds/" 2>/dev/null || true

# run_fuzzer NAME SECONDS MAX_LEN ARTIFACT_PREFIX CORPUS SEEDS: runs one target, prints its
# closing figures, and fails when it found an input that breaks it.
run_fuzzer() {
  local name=$1 seconds=$2 max_len=$3 artifacts=$4 corpus=$5 seeds=$6
  local log=$dir/fuzz-$name.log status=0
  echo "fuzz: $name for ${seconds}s"
  "$dir/bin/$name" "$corpus" "$seeds" -max_total_time="$seconds" -max_len="$max_len" \
    -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$artifacts" -print_final_stats=1 \
    >"$log" 2>&1 || status=$?
  grep -E "^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss_mb|SUMMARY|Test unit written)" \
    "$log" || true
  if ((status != 0)); then
    echo "fuzz: $name FAILED (exit $status); see $log and the input under $artifacts"
    exit "$status"
  fi
  echo "fuzz: no failure in ${seconds}s"
}

run_fuzzer resources_pe_fuzzer "$seconds" 32768 "$kept/" "$corpus" "$seeds"

reg_seeds=$dir/fuzz-registry-seeds
reg_corpus=$dir/fuzz-registry-corpus
mkdir -p "$reg_seeds" "$reg_corpus"
cp "$root/settings/testdata/wine_system.reg" "$reg_seeds/"
run_fuzzer wine_registry_fuzzer $((seconds / 2)) 65536 "$dir/registry-" "$reg_corpus" "$reg_seeds"
