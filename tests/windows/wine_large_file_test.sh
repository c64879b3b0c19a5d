#!/usr/bin/env bash
# A character file above 1 GB, repaired by tollwick.exe under Wine (the 32-bit program
# needs the large-address-aware flag for it) and by the Linux build, each on its
# own copy of one installation made by the Linux kit, each answered Yes. Both must end
# with "Done!" and exit code 0 and leave the same compacted character file. Prints both
# repair times and their ratio (the copies are written back to disk before each run).
#
#   tests/windows/wine_large_file_test.sh LINUX_BUILD WIN_BUILD [SIZE]   (default 1200M)
#
# WIN_BUILD is the 32-bit build, or the 64-bit one on a machine that runs no 32-bit
# programs (tests/windows/wine_machine.sh); the Windows program starts in a Windows
# environment (tests/windows/windows_env.cpp).
# It needs about three times SIZE of disk space and takes a minute or two; the Windows
# stage (scripts/windows.sh) runs it once. WINEPREFIX as for the other Windows tests
# (default the Windows stage's prefix); the game's settings are removed from it first, so that
# both programs find the game beside themselves.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
linux_bin=$(cd "$1/bin" && pwd)
win_build=$(cd "$2" && pwd)
size=${3:-1200M}

source "$root/tests/windows/wine_machine.sh"
wine_machine
wine_default_prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY TOLLWICK_DIALOG TOLLWICK_ANSWERS TOLLWICK_TRANSCRIPT
wine_prefix_setup

work=$(mktemp -d "${TMPDIR:-/tmp}/tollwick-wine-large.XXXXXX")
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
"$wine" reg delete 'HKLM\Software\Varnholt\Zelkor' /reg:32 /f >/dev/null 2>&1 || true
wineserver -p 2>/dev/null || true  # kept up: a program then starts in milliseconds

characters=System/Zelkor/ZELKORCharacters.DED
"$linux_bin/zelkor-kit" make-install "$work/template" --live 200 --dead-nul-name 400 \
  --dead-spaces-name 400 --dead-empty-slot 40 --leading-spaces 20 --size "$size" >/dev/null
bytes=$(stat -c %s "$work/template/$characters")
echo "character file of $size ($bytes bytes)"

now() { date +%s.%N; }
failures=0
# run PLATFORM COMMAND...: one repair on a fresh copy of the template; its time in
# $work/PLATFORM.seconds, its transcript, exit code and repaired file beside it.
run() {
  local platform=$1 install="$work/install"
  shift
  rm -rf "$install"
  cp -r "$work/template" "$install"
  cp "$win_build/bin/tollwick.exe" "$win_build/bin/ZELKORSEC.dll" "$install/"
  cp "$(windows_resource_library "$win_build")" "$install/Zelkor.dll"  # the Linux one reads it too
  sync
  local status=0 t0 t1
  t0=$(now)
  "$@" >"$work/$platform.out" 2>&1 </dev/null || status=$?
  t1=$(now)
  echo "$t1 - $t0" | bc >"$work/$platform.seconds"
  mv "$install/$characters" "$work/$platform.DED" 2>/dev/null || true
  if [[ $status -eq 0 ]] && grep -q '"prompt": "Done!"' "$install/boxes.jsonl" 2>/dev/null; then
    echo "ok   $platform: repaired in $(cat "$work/$platform.seconds") s"
  else
    echo "FAIL $platform: exit code $status"
    sed 's/^/    /' "$install/boxes.jsonl" "$work/$platform.out" 2>/dev/null || true
    failures=$((failures + 1))
  fi
}
run linux env WINEPREFIX="$work/no-settings" TOLLWICK_ANSWERS=yes \
  TOLLWICK_TRANSCRIPT="$work/install/boxes.jsonl" "$work/install/tollwick"
run windows env TOLLWICK_ANSWERS=yes \
  TOLLWICK_TRANSCRIPT="$(windows_path "$work/install/boxes.jsonl")" \
  bash "$as_on_windows" "$win_build" "$work/install/tollwick.exe"

if ((failures == 0)); then
  if cmp -s "$work/linux.DED" "$work/windows.DED"; then
    echo "ok   both left the same compacted file ($(stat -c %s "$work/linux.DED") bytes)"
  else
    echo "FAIL the two compacted files differ"
    failures=$((failures + 1))
  fi
  echo "time under Wine / time on Linux: $(echo "scale=2; $(cat "$work/windows.seconds") / $(cat "$work/linux.seconds")" | bc)"
fi
test "$failures" -eq 0
