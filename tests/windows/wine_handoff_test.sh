#!/usr/bin/env bash
# A Linux player's game under Wine, repaired by the Linux program through Wine: the game's
# folder holds the game's 32-bit Windows security library (here the win32 build's
# stand-in ZELKORSEC.dll) and no ZELKORSEC.so, and its settings lie in the Wine prefix.
# The packaged program, apart from the game and started without an argument, finds the
# game through the settings and hands the run to the 32-bit tollwick.exe beside it under
# Wine. The same installation with the Linux ZELKORSEC.so in its place (its twin) is
# repaired natively by the same program; the two runs must show the same boxes, end
# with the same exit code and leave the same bytes in every game file. The transcript
# of the run through Wine and the time of both runs are printed.
#
# On a machine that runs no 32-bit programs (tests/windows/wine_machine.sh) Wine cannot
# run tollwick.exe: there the run through Wine must end with exit code 2 after one box
# that tells the player so (not "install wine32", which would not help), and leave every
# game file as it was.
#
#   tests/windows/wine_handoff_test.sh LINUX_BUILD WIN32_BUILD [PROGRAM_DIR]
#
# PROGRAM_DIR holds tollwick and tollwick.exe side by side, as /usr/lib/tollwick of the
# Debian package does (scripts/package.sh passes the unpacked package's); without it
# the builds' two programs are laid out that way. HANDOFF_SIZE sets the size of the
# character file (default 16M). TOLLWICK_E2E_KEEP=1 keeps the folders and results.
# WINEPREFIX names the prefix (default the Windows stage's; made when missing). The
# game's key and drive H: are removed again at the end, and the prefix's server stopped.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
linux_bin=$(cd "$1/bin" && pwd)
win_build=$(cd "$2" && pwd)
program_dir=${3:-}
size=${HANDOFF_SIZE:-16M}

source "$root/tests/windows/wine_test_session.sh"
wine_test_session handoff h

if [[ -z "$program_dir" ]]; then
  program_dir="$work/program"
  mkdir -p "$program_dir"
  cp "$linux_bin/tollwick" "$win_build/bin/tollwick.exe" "$program_dir/"
fi
for product in "$program_dir/tollwick" "$program_dir/tollwick.exe" "$linux_bin/zelkor-kit" \
    "$linux_bin/ZELKORSEC.so" "$win_build/bin/ZELKORSEC.dll" "$win_build/sample/Zelkor32.dll"; do
  [[ -f "$product" ]] || { echo "wine_handoff_test: $product is not built" >&2; exit 2; }
done
for library in Zelkor.dll ZELKORSEC.so ZELKORSEC.dll; do
  [[ ! -e "$program_dir/$library" ]] || {
    echo "wine_handoff_test: $program_dir holds $library: it is not laid out as the package" >&2
    exit 2
  }
done

# The game, as the Linux kit makes it, with the game's resource library of its own width
# (32-bit) and no security library yet.
template="$work/template"
"$linux_bin/zelkor-kit" make-install "$template" --live 6 --leading-spaces 1 \
  --dead-empty-slot 3 --dead-nul-name 2 --dead-spaces-name 2 --gap 1000 --size "$size" >/dev/null
rm -f "$template/tollwick" "$template/ZELKORSEC.so" "$template/Zelkor.dll"
cp "$win_build/sample/Zelkor32.dll" "$template/Zelkor.dll"

# The game's settings name its folder on drive H: of the prefix, written by Wine's own
# reg in the 32-bit view, as the game's installer would have left them.
mkdir -p "$work/drive" "$work/results"
game="$work/drive/Zelkor"
ln -sfn "$work/drive" "$WINEPREFIX/dosdevices/$drive:"
"$wine" reg add "$key" /v WorkingDirectory /t REG_SZ /d 'H:\Zelkor' /reg:32 /f >/dev/null
wineserver -k >/dev/null 2>&1 || true
wineserver -w
wineserver -p  # kept up for the runs below, as a player's desktop session keeps it

failures=0
pass() { echo "ok   $1"; }
fail() { echo "FAIL $1"; failures=$((failures + 1)); }
r="$work/results"

# run NAME LIBRARY: the packaged program, without an argument, on a fresh copy of the
# game that holds LIBRARY as its security library. Its exit code, output, transcript,
# time and the game's files afterwards go to results/NAME.*
run() {
  local name=$1 library=$2 status=0 start end
  rm -rf "$game"
  cp -a "$template" "$game"
  cp "$library" "$game/"
  start=$(date +%s.%N)
  timeout 300 env TOLLWICK_ANSWERS=yes TOLLWICK_TRANSCRIPT="$r/$name.jsonl" \
    "$program_dir/tollwick" </dev/null >"$r/$name.out" 2>&1 || status=$?
  end=$(date +%s.%N)
  echo "$status" >"$r/$name.rc"
  echo "$end - $start" | bc >"$r/$name.seconds"
  rm -f "$game/$(basename "$library")"
  (cd "$game" && find . -type f -print | LC_ALL=C sort | xargs sha256sum) >"$r/$name.files"
}
run native "$linux_bin/ZELKORSEC.so"
characters=System/Zelkor/ZELKORCharacters.DED

if [[ "$wine_32bit" != 1 ]]; then
  if "$wine_loader32" --version >/dev/null 2>&1; then
    echo "-- not tried: this machine runs 32-bit programs, so what a player on one that runs"
    echo "   none is told cannot be seen here (TOLLWICK_NO_32BIT=1 only takes that path)"
    exit 0
  fi
  # Wine itself is started and fails: the box says why, and nothing is touched.
  run wine "$win_build/bin/ZELKORSEC.dll"
  (cd "$template" && find . -type f ! -name ZELKORSEC.dll -print | LC_ALL=C sort | xargs sha256sum) \
    >"$r/template.files"
  if [[ "$(cat "$r/wine.rc")" == 2 ]]; then
    pass "the run through Wine ends with exit code 2"
  else
    fail "the run through Wine ends with exit code 2 (was $(cat "$r/wine.rc"))"
    sed 's/^/    /' "$r/wine.out"
  fi
  touch "$r/wine.jsonl"
  if [[ $(wc -l <"$r/wine.jsonl") -eq 1 ]] &&
     grep -q '"prompt": "This computer runs no 32-bit programs' "$r/wine.jsonl" &&
     ! grep -q 'wine32' "$r/wine.jsonl"; then
    pass "one box says that this computer runs no 32-bit programs"
  else
    fail "one box says that this computer runs no 32-bit programs"
    sed 's/^/    /' "$r/wine.jsonl" "$r/wine.out"
  fi
  if diff -u --label before --label after "$r/template.files" "$r/wine.files"; then
    pass "every game file is as it was"
  else
    fail "every game file is as it was"
  fi
  echo "-- what the player is told:"
  sed 's/^/   /' "$r/wine.jsonl"
  test "$failures" -eq 0
  exit
fi

run wine "$win_build/bin/ZELKORSEC.dll"
if [[ "$(cat "$r/native.rc")" == 0 && "$(cat "$r/wine.rc")" == 0 ]]; then
  pass "both runs end with exit code 0"
else
  fail "both runs end with exit code 0 (native $(cat "$r/native.rc"), through Wine $(cat "$r/wine.rc"))"
  sed 's/^/    /' "$r/native.out" "$r/wine.out"
fi
touch "$r/native.jsonl" "$r/wine.jsonl"
if grep -q '"prompt": "Done!"' "$r/wine.jsonl" &&
   diff -u --label native --label "through Wine" "$r/native.jsonl" "$r/wine.jsonl"; then
  pass "the run through Wine shows the native run's boxes"
else
  fail "the run through Wine shows the native run's boxes"
fi
if diff -u --label native --label "through Wine" "$r/native.files" "$r/wine.files"; then
  pass "every game file holds the same bytes after both runs"
else
  fail "every game file holds the same bytes after both runs"
fi
if [[ "$(sha256sum <"$template/$characters")" != "$(sha256sum <"$game/$characters")" ]] &&
   "$linux_bin/zelkor-kit" inspect "$game/$characters" | grep -q '^  dead records: 0 '; then
  pass "the character file was repaired"
else
  fail "the character file was repaired"
fi

# The run through Wine above was the first Wine program of the server's session, which
# starts Wine's own services too (as a player's first run after logging in does); a
# second run shows the cost with them up.
run wine-again "$win_build/bin/ZELKORSEC.dll"
cmp -s "$r/wine.files" "$r/wine-again.files" || fail "a second run through Wine repairs alike"

echo "-- the repair through Wine (its transcript):"
sed 's/^/   /' "$r/wine.jsonl"
seconds() { cat "$r/$1.seconds"; }
printf -- '-- time, character file of %s: native %.2f s; through Wine %.2f s (%.1f times), ' \
  "$size" "$(seconds native)" "$(seconds wine)" "$(echo "$(seconds wine) / $(seconds native)" | bc -l)"
printf -- 'with Wine'"'"'s services already up %.2f s (%.1f times)\n' \
  "$(seconds wine-again)" "$(echo "$(seconds wine-again) / $(seconds native)" | bc -l)"
test "$failures" -eq 0
