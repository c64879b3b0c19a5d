#!/usr/bin/env bash
# The whole tollwick job on a bloated character file of 256 MB (1000 slots in use, 200
# live), against `cp -r` of the installation's System folder in the same run.
#
#   bench/repair_bench.sh [BUILD_DIR] [ROUNDS]
#
# Each round restores the bloated System folder with `cp -r` (timed: the yardstick),
# then runs tollwick answering Yes under /usr/bin/time -v (wall time and peak resident
# memory). Prints every round and the medians. Targets: wall time at most 2 x cp -r,
# peak memory at most the character file's size + 64 MB.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
rounds=${2:-5}
size=256M

work=$(mktemp -d "${TMPDIR:-/tmp}/tollwick-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/wine"

"$build/bin/zelkor-kit" make-install "$work/install" \
  --live 200 --dead-nul-name 400 --dead-spaces-name 400 --dead-empty-slot 40 \
  --leading-spaces 20 --size "$size" >/dev/null
mv "$work/install/System" "$work/System.bloated"
file_bytes=$(stat -c %s "$work/System.bloated/Zelkor/ZELKORCharacters.DED")

now() { date +%s.%N; }
ratios=() ; peaks=()
printf '%-6s %10s %10s %7s %12s\n' round "cp -r s" "tollwick s" ratio "peak RSS MB"
for ((r = 1; r <= rounds; r++)); do
  rm -rf "$work/install/System"
  t0=$(now)
  cp -r "$work/System.bloated" "$work/install/System"
  t1=$(now)
  # The copy's dirty pages are written back outside both timings: otherwise the first
  # fsync of the run (a journal commit) would wait for them.
  sync
  t1b=$(now)
  env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX="$work/wine" TOLLWICK_ANSWERS=yes \
    TOLLWICK_TRANSCRIPT="$work/transcript.jsonl" \
    /usr/bin/time -v -o "$work/time.txt" "$work/install/tollwick"
  t2=$(now)
  if ! grep -q '"Done!"' "$work/transcript.jsonl"; then
    echo "repair_bench: tollwick did not finish its job:" >&2
    cat "$work/transcript.jsonl" >&2
    exit 1
  fi
  rm -f "$work/transcript.jsonl"
  peak_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
  cp_s=$(echo "$t1 - $t0" | bc -l)
  run_s=$(echo "$t2 - $t1b" | bc -l)
  ratio=$(echo "$run_s / $cp_s" | bc -l)
  ratios+=("$ratio"); peaks+=("$peak_kb")
  printf '%-6s %10.3f %10.3f %7.2f %12.1f\n' "$r" "$cp_s" "$run_s" "$ratio" "$(echo "$peak_kb / 1024" | bc -l)"
done

# What the file system charges for freeing a file of that size (the rename over the old
# character file pays it; cp -r into an empty folder does not): with the discard mount
# option (as here) it is a large part of the run.
cp "$work/System.bloated/Zelkor/ZELKORCharacters.DED" "$work/freed.DED"
sync
t0=$(now)
rm "$work/freed.DED"
t1=$(now)
freed_s=$(echo "$t1 - $t0" | bc -l)

after=$(stat -c %s "$work/install/System/Zelkor/ZELKORCharacters.DED")
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ratio=$(median "${ratios[@]}")
peak_mb=$(echo "$(median "${peaks[@]}") / 1024" | bc -l)
limit_mb=$(echo "$file_bytes / 1048576 + 64" | bc -l)
printf 'character file: %d bytes before, %d bytes after\n' "$file_bytes" "$after"
printf 'removing a file of that size here takes %.3f s\n' "$freed_s"
printf 'median: tollwick / cp -r = %.2f (target <= 2.00); peak RSS %.1f MB (target <= %.1f MB)\n' \
  "$ratio" "$peak_mb" "$limit_mb"
