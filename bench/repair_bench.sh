#!/usr/bin/env bash
# The whole tollwick job on bloated character files (1000 slots in use, 200 live),
# against `cp -r` of the installation's System folder in the same run, over a sweep of
# character file sizes, after a start-up check:
#
#   bench/repair_bench.sh [BUILD_DIR] [ROUNDS] [SIZE...]   sizes: 16M 64M 256M 1G unless given
#   SIZES="16M 64M" bench/repair_bench.sh                  the sizes from the environment
#
# Start-up first: the run answered No on the sample installation (the demo's), by the
# program of BUILD_DIR and by the same program built without GTK (configured and built
# in BUILD_DIR-nogtk, or NOGTK_BUILD_DIR), in pairs, alternating which goes first.
#
# Then each round of a size restores the bloated System folder with `cp -r` (timed: the
# yardstick), then runs tollwick answering Yes under /usr/bin/time -v (wall time and peak
# resident memory). A counting security library lies beside it (bench/counting_zelkorsec.cpp)
# and logs every transform and check of 1 MiB or more: the character file's are shown
# as transforms+checks, those of other files (the compacted file) apart. Then, paired
# with the round, a `cp` of the character file and the unlink of that copy are timed:
# the unlink is what the rename over the old character file pays (cp -r into an empty
# folder does not). Prints every round and a table of medians per size, with the slowest
# round's time over the median (a stall shows there).
# Targets: 1+1 passes over the character file; wall time at most 3.5 x cp -r at 16M,
# 2.6 x at 256M, 3.0 x at 1G; no round above 2 x its size's median; peak memory at most
# the character file's size + 32 MB; the no-repair run at most 1.2 x the build without
# GTK.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
rounds=${2:-5}
shift $(($# > 2 ? 2 : $#))
sizes=("$@")
if ((${#sizes[@]} == 0)); then read -r -a sizes <<<"${SIZES:-16M 64M 256M 1G}"; fi
cmake --build "$build" --target tollwick zelkor-kit ZELKORSEC counting_zelkorsec >/dev/null
nogtk=${NOGTK_BUILD_DIR:-$build-nogtk}
if [[ ! -f "$nogtk/CMakeCache.txt" ]]; then
  build_type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$build/CMakeCache.txt")
  cmake -S "$root" -B "$nogtk" -G Ninja -DCMAKE_BUILD_TYPE="${build_type:-RelWithDebInfo}" \
    -DTOLLWICK_GTK=OFF -DTOLLWICK_BUILD_TESTS=OFF -DTOLLWICK_BUILD_BENCHMARKS=OFF >/dev/null
fi
cmake --build "$nogtk" --target tollwick >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/tollwick-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/wine"

now() { date +%s.%N; }
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
maximum() { printf '%s\n' "$@" | sort -g | tail -n 1; }
summary=()

# The no-repair run: the sample installation twice, one with each program. Timed within
# the shell (no process of its own around the run): the runs take milliseconds.
"$build/bin/zelkor-kit" make-install "$work/sample-gtk" --live 5 --leading-spaces 2 \
  --dead-empty-slot 4 --dead-nul-name 3 --dead-spaces-name 3 --gap 20000 --size 4M >/dev/null
cp -r "$work/sample-gtk" "$work/sample-nogtk"
rm -f "$work/sample-nogtk/tollwick-dialog-gtk.so"
cp "$nogtk/bin/tollwick" "$work/sample-nogtk/tollwick"
no_run() {  # no_run INSTALL: prints the wall time of a run answered No
  local start end
  start=$EPOCHREALTIME
  env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX="$work/wine" TOLLWICK_ANSWERS=no \
    "$1/tollwick" </dev/null >/dev/null
  end=$EPOCHREALTIME
  echo "$end - $start" | bc -l
}
no_run "$work/sample-gtk" >/dev/null  # each copy's first run rewrites what its loaders re-sign
no_run "$work/sample-nogtk" >/dev/null
echo "== the run answered No on the sample installation, against the build without GTK"
printf '%-6s %10s %10s %6s\n' pair "tollwick s" "no GTK s" ratio
start_ratios=()
pairs=$((rounds * 4 > 21 ? rounds * 4 : 21))
for ((r = 1; r <= pairs; r++)); do
  if ((r % 2)); then
    with=$(no_run "$work/sample-gtk"); without=$(no_run "$work/sample-nogtk")
  else
    without=$(no_run "$work/sample-nogtk"); with=$(no_run "$work/sample-gtk")
  fi
  ratio=$(echo "$with / $without" | bc -l)
  start_ratios+=("$ratio")
  printf '%-6s %10.4f %10.4f %6.2f\n' "$r" "$with" "$without" "$ratio"
done
printf 'median ratio of %d pairs: %.2f (target <= 1.20)\n' "$pairs" "$(median "${start_ratios[@]}")"
if ldd "$work/sample-gtk/tollwick" | grep -qE 'lib(gtk|gdk|pulse)'; then
  echo "the program links desktop libraries:"; ldd "$work/sample-gtk/tollwick" | grep -E 'lib(gtk|gdk|pulse)'
else
  echo "the program links no GTK, GDK or PulseAudio library (ldd)"
fi
echo

for size in "${sizes[@]}"; do
  rm -rf "$work/install" "$work/System.bloated"
  "$build/bin/zelkor-kit" make-install "$work/install" \
    --live 200 --dead-nul-name 400 --dead-spaces-name 400 --dead-empty-slot 40 \
    --leading-spaces 20 --size "$size" >/dev/null
  # The counting library takes the real one's place; the real one lies beside it.
  mv "$work/install/ZELKORSEC.so" "$work/install/ZELKORSEC.counted.so"
  cp "$build/bench/counting/ZELKORSEC.so" "$work/install/ZELKORSEC.so"
  mv "$work/install/System" "$work/System.bloated"
  file_bytes=$(stat -c %s "$work/System.bloated/Zelkor/ZELKORCharacters.DED")
  data_length=$((file_bytes - 12))

  echo "== character file $size ($file_bytes bytes)"
  printf '%-6s %8s %10s %6s %9s %7s %6s %8s %8s %7s\n' round "cp -r s" "tollwick s" ratio \
    "peak MB" passes other "cp s" "unlink s" "unl/cp"
  ratios=(); runs=(); peaks=(); unlinks=(); unlink_ratios=(); passes_seen=(); others_seen=()
  for ((r = 1; r <= rounds; r++)); do
    rm -rf "$work/install/System" "$work/count.log"
    t0=$(now)
    cp -r "$work/System.bloated" "$work/install/System"
    t1=$(now)
    # The copy's dirty pages are written back outside both timings: otherwise the first
    # fsync of the run (a journal commit) would wait for them. The copy is then let age
    # a moment, as a game's character file has: the file layer vouches for an unchanged
    # file by its times only when its last change lies safely behind it (otherwise it
    # reads and checks the file twice, as a small file copied just before would show).
    sync
    sleep 0.2
    t1b=$(now)
    env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX="$work/wine" TOLLWICK_ANSWERS=yes \
      TOLLWICK_TRANSCRIPT="$work/transcript.jsonl" ZELKORSEC_COUNT_LOG="$work/count.log" \
      /usr/bin/time -v -o "$work/time.txt" "$work/install/tollwick"
    t2=$(now)
    if ! grep -q '"Done!"' "$work/transcript.jsonl"; then
      echo "repair_bench: tollwick did not finish its job:" >&2
      cat "$work/transcript.jsonl" >&2
      exit 1
    fi
    rm -f "$work/transcript.jsonl"
    touch "$work/count.log"
    transforms=$(grep -c "^mangle $data_length\$" "$work/count.log" || true)
    checks=$(grep -c "^verify $data_length\$" "$work/count.log" || true)
    other_t=$(grep -c '^mangle' "$work/count.log" || true)
    other_c=$(grep -c '^verify' "$work/count.log" || true)
    passes="$transforms+$checks"
    other="$((other_t - transforms))+$((other_c - checks))"

    # The unlink of a file of that size, paired with a cp of it in the same round.
    sync
    t3=$(now)
    cp "$work/System.bloated/Zelkor/ZELKORCharacters.DED" "$work/freed.DED"
    t4=$(now)
    sync
    t5=$(now)
    rm "$work/freed.DED"
    t6=$(now)

    peak_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
    cp_s=$(echo "$t1 - $t0" | bc -l)
    run_s=$(echo "$t2 - $t1b" | bc -l)
    ratio=$(echo "$run_s / $cp_s" | bc -l)
    file_cp_s=$(echo "$t4 - $t3" | bc -l)
    unlink_s=$(echo "$t6 - $t5" | bc -l)
    unlink_ratio=$(echo "$unlink_s / $file_cp_s" | bc -l)
    ratios+=("$ratio"); runs+=("$run_s"); peaks+=("$peak_kb"); unlinks+=("$unlink_s")
    unlink_ratios+=("$unlink_ratio"); passes_seen+=("$passes"); others_seen+=("$other")
    printf '%-6s %8.3f %10.3f %6.2f %9.1f %7s %6s %8.3f %8.3f %7.2f\n' "$r" "$cp_s" "$run_s" \
      "$ratio" "$(echo "$peak_kb / 1024" | bc -l)" "$passes" "$other" "$file_cp_s" \
      "$unlink_s" "$unlink_ratio"
  done
  after=$(stat -c %s "$work/install/System/Zelkor/ZELKORCharacters.DED")
  echo "   character file after the repair: $after bytes"
  # Every round's pass count, once each (they do not vary unless something is wrong).
  passes=$(printf '%s\n' "${passes_seen[@]}" | sort -u | paste -sd/)
  other=$(printf '%s\n' "${others_seen[@]}" | sort -u | paste -sd/)
  summary+=("$(printf '%-6s %7s %6s %6.2f %7.2f %9.1f %9.1f %8.3f %7.2f' "$size" "$passes" "$other" \
    "$(median "${ratios[@]}")" "$(echo "$(maximum "${runs[@]}") / $(median "${runs[@]}")" | bc -l)" \
    "$(echo "$(median "${peaks[@]}") / 1024" | bc -l)" \
    "$(echo "$file_bytes / 1048576 + 32" | bc -l)" "$(median "${unlinks[@]}")" \
    "$(median "${unlink_ratios[@]}")")")
done

echo
echo "medians of $rounds rounds (passes: transforms+checks of 1 MiB or more; other: other files)"
printf '%-6s %7s %6s %6s %7s %9s %9s %8s %7s\n' size passes other ratio worst "peak MB" \
  "limit MB" "unlink s" "unl/cp"
printf '%s\n' "${summary[@]}"
echo "worst: the slowest round's tollwick time over the median's"
echo "targets: passes 1+1; ratio (tollwick / cp -r) <= 3.5 at 16M, 2.6 at 256M, 3.0 at 1G;"
echo "         worst <= 2.00; peak <= limit (file + 32 MB)"
