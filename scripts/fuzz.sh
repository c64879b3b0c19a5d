#!/usr/bin/env bash
# Fuzzes the resource-library reader for a bounded time: builds the libFuzzer target
# with clang (AddressSanitizer and UndefinedBehaviorSanitizer) in its own build
# directory, seeds it with the libraries the build makes and the inputs kept in
# resources/testdata/fuzz, and runs it. An input that fails is written to
# resources/testdata/fuzz/ (commit it: the test suite replays every file there).
#   FUZZ_SECONDS   time to run (default 60)    FUZZ_BUILD_DIR  build directory
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
kept=$root/resources/testdata/fuzz

CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTOLLWICK_FUZZ=ON -DTOLLWICK_BUILD_TESTS=OFF -DTOLLWICK_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$dir" --target resources_pe_fuzzer zelkor_dll zelkor32_dll resources_edge_dll -j 2

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
