#!/usr/bin/env bash
# Unprotect + protect of an unchanged protected file (256 MB unless told), against cp of
# the same file in the same run: bench/protect_bench.sh [build directory] [megabytes] [rounds]
# The program runs with a counting security library beside it
# (bench/counting_zelkorsec.cpp): every cycle's transforms and checks of the file's data
# are shown. Targets: 1 transform + 1 check; at most 1.0 x cp (the protect of an
# unchanged image costs nothing); peak resident memory at most file size + 32 MB.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
megabytes=${2:-256}
rounds=${3:-5}
cmake --build "$build" --target protect_bench ZELKORSEC counting_zelkorsec >/dev/null

work=$(mktemp -d "$build/protect-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
# The bench's own application directory: the counting library in the real one's place.
mkdir "$work/app"
cp "$build/bin/protect_bench" "$work/app/"
cp "$build/bin/ZELKORSEC.so" "$work/app/ZELKORSEC.counted.so"
cp "$build/bench/counting/ZELKORSEC.so" "$work/app/ZELKORSEC.so"
bench="$work/app/protect_bench"
file="$work/ZELKORCharacters.DED"
export TOLLWICK_ANSWERS=no  # a failure report must not wait for a reader

"$bench" make "$file" "$megabytes"
cat "$file" >/dev/null  # both start from the page cache
size_kb=$(($(stat -c %s "$file") / 1024))
data_length=$(($(stat -c %s "$file") - 12))

now() { date +%s.%N; }
cp_times=()
cycle_times=()
passes_seen=()
peak_kb=0
# Each timed command starts with no dirty pages of this run pending: otherwise cp would
# be throttled by the writeback of the previous copy.
for ((i = 0; i < rounds; i++)); do
  sync
  t0=$(now)
  cp "$file" "$work/copy.DED"
  t1=$(now)
  rm -f "$work/copy.DED"
  cp_times+=("$(echo "$t1 - $t0" | bc -l)")

  sync
  rm -f "$work/count.log"
  t0=$(now)
  out=$(ZELKORSEC_COUNT_LOG="$work/count.log" "$bench" cycle "$file")
  t1=$(now)
  cycle_times+=("$(echo "$t1 - $t0" | bc -l)")
  touch "$work/count.log"
  passes_seen+=("$(grep -c "^mangle $data_length\$" "$work/count.log" || true)+$(
    grep -c "^verify $data_length\$" "$work/count.log" || true)")
  phases=$(grep '^open' <<<"$out")
  kb=$(awk '/^peak_rss_kb/ {print $2}' <<<"$out")
  ((kb > peak_kb)) && peak_kb=$kb
done

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }
cp_median=$(median "${cp_times[@]}")
cycle_median=$(median "${cycle_times[@]}")
ratio=$(echo "$cycle_median / $cp_median" | bc -l)
limit_kb=$((size_kb + 32 * 1024))

printf 'file            %d MB protected (%d kB)\n' "$megabytes" "$size_kb"
printf 'cp              median %.3f s  (%s)\n' "$cp_median" "${cp_times[*]}"
printf 'unprotect+protect median %.3f s  (%s)\n' "$cycle_median" "${cycle_times[*]}"
printf 'last cycle      %s (seconds)\n' "$phases"
printf 'passes          %s transforms+checks of the data, each cycle (target 1+1)\n' \
  "$(printf '%s\n' "${passes_seen[@]}" | sort -u | paste -sd/)"
printf 'ratio to cp     %.2f  (target <= 1.0)\n' "$ratio"
printf 'peak resident   %d kB (limit file size + 32 MB = %d kB)\n' "$peak_kb" "$limit_kb"
