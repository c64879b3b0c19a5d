#!/usr/bin/env bash
# A Linux player's game in a Wine prefix of its own at a path other than ~/.wine (as game
# launchers make them), named on the command line with WINEPREFIX unset, its security
# library the game's 32-bit Windows one (the sample library built as one stands in):
#  1. the prefix's update marker names another Wine, so Wine would update the prefix
#     before it runs anything there: the player is asked, and No ends the run with exit
#     code 2 and every file of the prefix as it was (names, sizes, bytes, times);
#  2. Yes: the run is handed to tollwick.exe under Wine in that prefix, which repairs the
#     character file (and Wine updates the prefix, as the player allowed);
#  3. a prefix the running Wine set up: repaired through the hand-off, no question.
# Parts 2 and 3 need Wine's 32-bit support and a 32-bit WIN_BUILD (build-win32); where
# either is missing they are said not to have run.
#
#   tests/windows/wine_prefix_test.sh LINUX_BUILD WIN_BUILD
#
# The prefix is made in a work folder of its own by this machine's Wine
# (tests/windows/wine_machine.sh: a 64-bit one where it runs no 32-bit programs) and
# removed at the end; TOLLWICK_E2E_KEEP=1 keeps it.
set -uo pipefail
linux_bin=$(cd "$1/bin" && pwd)
win_build=$(cd "$2" && pwd)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY TOLLWICK_DIALOG TOLLWICK_ANSWERS TOLLWICK_TRANSCRIPT WINEPREFIX
work=$(mktemp -d "${TMPDIR:-/tmp}/tollwick-wine-prefix.XXXXXX")
prefix="$work/Games/zelkor"
cleanup() {
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1 || true
  if [[ -n "${TOLLWICK_E2E_KEEP:-}" ]]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"

# The packaged layout: tollwick and tollwick.exe alone in a folder of their own.
mkdir -p "$work/program" "$work/home"
cp "$linux_bin/tollwick" "$win_build/bin/tollwick.exe" "$work/program/"
win32=0
[[ "$(objdump -f "$win_build/bin/tollwick.exe" 2>/dev/null | sed -n 's/.*file format //p')" == pei-i386 ]] && win32=1

# The prefix, made by this machine's Wine; its server stopped, so that nothing changes
# it behind us.
source "$(dirname "${BASH_SOURCE[0]}")/wine_machine.sh"
wine_machine
mkdir -p "$prefix"
WINEPREFIX="$prefix" "$wine" wineboot -i >"$work/wineboot.out" 2>&1
WINEPREFIX="$prefix" wineserver -w
unset WINEARCH
[[ -f "$prefix/system.reg" && -f "$prefix/.update-timestamp" ]] ||
  { echo "wine_prefix_test: Wine made no prefix:"; cat "$work/wineboot.out"; exit 1; }
own_marker=$(cat "$prefix/.update-timestamp")

# The game, made by the Linux kit, with the game's Windows library and no .so.
template="$work/template"
"$linux_bin/zelkor-kit" make-install "$template" --live 4 --dead-nul-name 2 --gap 1000 >/dev/null
rm -f "$template/tollwick" "$template/ZELKORSEC.so"
cp "$linux_bin/../sample/Zelkor32.dll" "$template/ZELKORSEC.dll"
game="$prefix/drive_c/Games/Zelkor"
characters="$game/System/Zelkor/ZELKORCharacters.DED"
fresh_game() { rm -rf "$game"; mkdir -p "$(dirname "$game")"; cp -a "$template" "$game"; }
snapshot() {  # every file, folder and link of the prefix: name, kind, size, mode, time, bytes
  (cd "$prefix" && find . -printf '%p %y %s %m %T@ %l\n' | LC_ALL=C sort &&
    find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum)
}
run() {  # run ANSWERS NAME: the packaged program on the game, WINEPREFIX unset
  status=0
  timeout 300 env -u WINEPREFIX HOME="$work/home" TOLLWICK_ANSWERS="$1" \
    TOLLWICK_TRANSCRIPT="$work/$2.jsonl" "$work/program/tollwick" "$game" \
    </dev/null >"$work/$2.out" 2>&1 || status=$?
}
question='"prompt": "Zelkor'"'"'s security library is read through Wine, in the Wine prefix \"'"$prefix"'\", which another version of Wine set up.'
repaired() { "$linux_bin/zelkor-kit" inspect "$characters" | grep -q '^  dead records: 0 '; }

# 1. Another Wine's marker, and No.
fresh_game
echo 1 >"$prefix/.update-timestamp"
snapshot >"$work/before.txt"
run no refused
check "No ends the run with exit code 2 (was $status)" test "$status" -eq 2
check "the player was asked, naming the prefix" grep -qF "$question" "$work/refused.jsonl"
check "the answer was No" grep -q '"answer": 7}$' "$work/refused.jsonl"
snapshot >"$work/after.txt"
check "No leaves every file of the prefix as it was" diff -u "$work/before.txt" "$work/after.txt"

# 2 and 3 run Wine's 32-bit tollwick.exe.
if ((win32 == 0)) || [[ "$wine_32bit" != 1 ]]; then
  echo "not run: the repair through Wine after Yes, and in a prefix this Wine set up" \
    "(this machine runs no 32-bit programs, or WIN_BUILD is not the 32-bit build)"
else
  WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1; WINEPREFIX="$prefix" wineserver -w
  echo 1 >"$prefix/.update-timestamp"
  run yes allowed
  check "Yes: the run through Wine ends with exit code 0 (was $status)" test "$status" -eq 0
  check "Yes: asked first" grep -qF "$question" "$work/allowed.jsonl"
  check "Yes: the character file is repaired through Wine" repaired
  check "Yes: Wine updated the prefix" test "$(cat "$prefix/.update-timestamp")" = "$own_marker"
  WINEPREFIX="$prefix" wineserver -w
  fresh_game
  run yes own
  check "this Wine's prefix: exit code 0 (was $status)" test "$status" -eq 0
  check "this Wine's prefix: no question" bash -c "! grep -q 'another version of Wine' '$work/own.jsonl'"
  check "this Wine's prefix: the character file is repaired through Wine" repaired
fi
if ((failures)); then
  for name in refused allowed own; do
    [[ -f "$work/$name.out" ]] && { echo "-- $name:"; cat "$work/$name.out" "$work/$name.jsonl" 2>/dev/null; }
  done
fi
checks_done
