#!/usr/bin/env bash
# The whole program on Linux and on Windows, compared: every scenario below starts from
# one installation made by the Linux zelkor-kit, runs the Linux tollwick on one copy and
# tollwick.exe under Wine on another, with the same answers, and compares what
# the two leave behind: the transcript of their boxes, their exit codes, and every file
# of the game (name, permission bits, bytes). Then the two builds read each other's
# protected files with their zelkor-kit inspect.
#
#   tests/windows/wine_e2e_test.sh LINUX_BUILD WIN_BUILD
#
# WIN_BUILD is the 32-bit build (the product) on a machine that runs 32-bit programs, the
# 64-bit one elsewhere (tests/windows/wine_machine.sh). The Windows programs start in
# the environment a player's Windows gives them, without the Unix variables Wine copies
# (tests/windows/windows_env.cpp).
#
# Both programs find the game as a player's would: through the game's settings in the
# registry of the Wine prefix, written with `"$wine" reg add` in the 32-bit view (the Linux
# build reads the same keys from the prefix's system.reg), whose WorkingDirectory names
# the game on drive G:, a drive of the prefix that points at the scenario's folder. So both
# see the game at G:\Zelkor and their texts compare unchanged. Nothing is normalised in
# the transcripts; inspect's "file:" line (a host path on Linux, a Windows path under
# Wine) is dropped and its line ends made Unix ones before the two reports compare.
#
# Localised games (zelkor-kit --language) run under the player's locale on both: the
# Linux build takes the code page Wine gives that locale, and Wine gives it to the
# Windows program (tests/windows/windows_env.cpp keeps the locale's variables), so both
# name the game's folder and read its texts alike; under a Western locale neither can.
#
# TOLLWICK_E2E_KEEP=1 keeps the scenarios' folders, runs and results for a look.
# WINEPREFIX names the prefix (default the prefix of the Windows unit tests; it is made
# when missing). The game's key and drive G: are removed again at the
# end, and the prefix's wineserver is stopped.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
linux_bin=$(cd "$1/bin" && pwd)
win_build=$(cd "$2" && pwd)

source "$root/tests/windows/wine_test_session.sh"
wine_test_session e2e g

resource_library=$(windows_resource_library "$win_build")
for product in "$linux_bin/tollwick" "$linux_bin/zelkor-kit" "$linux_bin/ZELKORSEC.so" \
    "$linux_bin/Zelkor.dll" "$win_build/bin/tollwick.exe" "$win_build/bin/zelkor-kit.exe" \
    "$win_build/bin/ZELKORSEC.dll" "$win_build/bin/windows-env.exe" "$resource_library" \
    "$linux_bin"/Zelkor-{ru,pl,ja}.dll; do
  [[ -f "$product" ]] || { echo "wine_e2e_test: $product is not built" >&2; exit 2; }
done

# A host path as the Windows programs see it, through the prefix's drive Z: (the root).
[[ "$(readlink "$WINEPREFIX/dosdevices/z:")" == / ]] || {
  echo "wine_e2e_test: drive Z: of $WINEPREFIX is not the root directory" >&2
  exit 2
}

# The programs, each with its own security library and the game's resource library of
# its own width beside it, as the packages ship them.
mkdir -p "$work/linux-app" "$work/windows-app" "$work/drive" "$work/results"
cp "$linux_bin/tollwick" "$linux_bin/ZELKORSEC.so" "$linux_bin/Zelkor.dll" "$work/linux-app/"
cp "$win_build/bin/tollwick.exe" "$win_build/bin/ZELKORSEC.dll" "$work/windows-app/"
cp "$resource_library" "$work/windows-app/Zelkor.dll"
ln -sfn "$work/drive" "$WINEPREFIX/dosdevices/$drive:"

# The game's settings, written by Wine's own reg in the 32-bit view. The server writes
# system.reg, which the Linux build reads, only when it stops.
"$wine" reg add "$key" /v WorkingDirectory /t REG_SZ /d 'G:\Zelkor' /reg:32 /f >/dev/null
wineserver -k >/dev/null 2>&1 || true
wineserver -w
grep -q '^\[Software\\\\Wow6432Node\\\\Varnholt\\\\Zelkor\]' "$WINEPREFIX/system.reg" || {
  echo "wine_e2e_test: the game's key did not reach $WINEPREFIX/system.reg" >&2
  exit 2
}
wineserver -p  # kept up for the runs below: a program then starts in milliseconds

failures=0
passes=0
wipe_request=""  # WipeSystem's value during a scenario ("" for none)
game_folder=Zelkor  # the game's folder on drive G: during a scenario
locale=""  # the LANG both programs run under during a scenario ("" for the caller's)
pass() { echo "ok   $1"; passes=$((passes + 1)); }
fail() { echo "FAIL $1"; failures=$((failures + 1)); }

# Every file of a game folder: permission bits, SHA-256 and name, sorted by name.
manifest() {
  (cd "$1" && find . \( -type f -o -type l \) -print | LC_ALL=C sort |
    while IFS= read -r f; do
      printf '%s %s %s\n' "$(stat -c %a "$f")" "$(sha256sum <"$f" | cut -c1-64)" "$f"
    done)
}

# run_linux|run_windows NAME ANSWERS: one run on the game folder; its exit code, output and
# transcript go to results/NAME.<platform>.*
# The scenario's locale, when it names one, for the command that follows.
in_locale() {
  if [[ -n "$locale" ]]; then env -u LC_ALL -u LC_CTYPE LANG="$locale" "$@"; else "$@"; fi
}
run_linux() {
  local out="$work/results/$1.linux" status=0
  in_locale timeout 120 env WINEPREFIX="$WINEPREFIX" TOLLWICK_ANSWERS="$2" \
    TOLLWICK_TRANSCRIPT="$out.jsonl" "$work/linux-app/tollwick" \
    </dev/null >"$out.out" 2>&1 || status=$?
  echo "$status" >"$out.rc"
}
run_windows() {
  local out="$work/results/$1.windows" status=0
  in_locale timeout 120 env TOLLWICK_ANSWERS="$2" TOLLWICK_TRANSCRIPT="$(windows_path "$out.jsonl")" \
    bash "$as_on_windows" "$win_build" "$work/windows-app/tollwick.exe" </dev/null >"$out.out" 2>&1 ||
    status=$?
  echo "$status" >"$out.rc"
}

# scenario NAME ANSWERS PREPARE KIT-OPTIONS...: the same installation for both programs.
# PREPARE is a command run on the fresh game folder before each run ("" for none).
scenario() {
  local name=$1 answers=$2 prepare=$3
  shift 3
  local template="$work/template-$name"
  "$linux_bin/zelkor-kit" make-install "$template" "$@" >"$work/results/$name.kit" 2>&1 || {
    fail "$name: zelkor-kit make-install $*"
    cat "$work/results/$name.kit"
    return
  }
  rm -f "$template/tollwick" "$template/ZELKORSEC.so" "$template/Zelkor.dll"
  manifest "$template" >"$work/results/$name.before"
  game="$work/drive/$game_folder"
  mkdir -p "$(dirname "$game")"
  if [[ "$game_folder" != Zelkor ]]; then
    # The game's folder in its settings; Wine reads the command line as UTF-8 here.
    LC_ALL=C.UTF-8 "$wine" reg add "$key" /v WorkingDirectory /t REG_SZ \
      /d "G:\\${game_folder//\//\\}" /reg:32 /f >/dev/null
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
  fi

  local platform
  for platform in linux windows; do
    rm -rf "$game"
    cp -a "$template" "$game"
    [[ -z "$prepare" ]] || (cd "$game" && eval "$prepare")
    if [[ -n "$wipe_request" ]]; then
      # The game's request to wipe its system files, in the registry as the game leaves
      # it; the server is stopped so that system.reg, which the Linux build reads, has it.
      "$wine" reg add "$key" /v WipeSystem /t REG_SZ /d "$wipe_request" /reg:32 /f >/dev/null
      wineserver -k >/dev/null 2>&1 || true
      wineserver -w
    fi
    "run_$platform" "$name" "$answers"
    manifest "$game" >"$work/results/$name.$platform.files"
    if [[ -n "$wipe_request" ]]; then
      # What either program left of the request, as Wine reads it.
      "$wine" reg query "$key" /v WipeSystem /reg:32 2>&1 | tr -d '\r' | grep WipeSystem \
        >>"$work/results/$name.$platform.files" || true
    fi
    cp -a "$game" "$work/results/$name.$platform.tree"
  done
  if [[ -n "$wipe_request" ]]; then
    "$wine" reg delete "$key" /v WipeSystem /reg:32 /f >/dev/null 2>&1 || true
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
  fi
  if [[ "$game_folder" != Zelkor ]]; then
    "$wine" reg add "$key" /v WorkingDirectory /t REG_SZ /d 'G:\Zelkor' /reg:32 /f >/dev/null
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w
  fi

  local r="$work/results/$name" ok=1
  if ! cmp -s "$r.linux.rc" "$r.windows.rc"; then
    echo "  exit codes differ: Linux $(cat "$r.linux.rc"), Windows $(cat "$r.windows.rc")"
    ok=0
  fi
  touch "$r.linux.jsonl" "$r.windows.jsonl"
  if ! diff -u --label Linux --label Windows "$r.linux.jsonl" "$r.windows.jsonl"; then ok=0; fi
  if ! diff -u --label Linux --label Windows "$r.linux.files" "$r.windows.files"; then ok=0; fi
  # Two runs that both failed to start would agree too: each must have shown a box.
  if [[ ! -s "$r.linux.jsonl" ]]; then
    echo "  no box was shown; the programs said:"
    sed 's/^/    /' "$r.linux.out" "$r.windows.out"
    ok=0
  fi
  if ((ok)); then
    pass "$name (exit $(cat "$r.linux.rc"), $(wc -l <"$r.linux.jsonl") boxes)"
  else
    fail "$name"
  fi
}

bloated=(--live 4 --leading-spaces 1 --dead-empty-slot 3 --dead-nul-name 2
  --dead-spaces-name 2 --gap 1000 --size 1M)
characters=System/Zelkor/ZELKORCharacters.DED

scenario repair-answered-yes yes "" "${bloated[@]}"
scenario repair-answered-no no "" "${bloated[@]}"
scenario character-file-missing yes "" "${bloated[@]}" --omit ZELKORCharacters.DED
scenario character-file-damaged yes "" "${bloated[@]}" --damage ZELKORCharacters.DED
scenario character-file-read-only yes "chmod a-w $characters" "${bloated[@]}"
scenario data-file-of-another-system yes "" "${bloated[@]}" \
  --foreign-signature ZELKORMazeMonsters.DED --unsigned ZELKORDungeon.DED
scenario master-header-missing yes "" --omit ZelkorSystemMain.MSF
scenario system-header-missing yes "" --omit ZelkorSystemHeader.MSF
scenario not-installed yes "" "${bloated[@]}" --omit ZELKORSystemData.DED

# Files the program deletes, made read-only by their owner: neither build deletes them
# (75 in both reports). A left-over compacted copy of an earlier run stops the repair; a
# file the game's wipe request matches stops the settings reader, and the request stays.
scenario left-over-copy-read-only yes \
  "cp $characters System/Zelkor/ZELKORCharactersTemp.DED && chmod a-w System/Zelkor/ZELKORCharactersTemp.DED" \
  "${bloated[@]}"
wipe_request=T
scenario wipe-request-read-only-match yes \
  "touch System/ZelkorWipe.flg System/old.tmp System/cache.tmp && chmod a-w System/old.tmp" \
  "${bloated[@]}"
wipe_request=""

# localised NAME LANGUAGE FOLDER LOCALE ANSWERS [PREPARE]: a scenario of the game as
# installed on a system of LANGUAGE (its strings beside both programs, its texts in that
# code page), in FOLDER on drive G:, both programs run under LOCALE.
localised() {
  local name=$1 language=$2 answers=$5 prepare=${6:-}
  game_folder=$3 locale=$4
  cp "$linux_bin/Zelkor-$language.dll" "$work/linux-app/Zelkor.dll"
  cp "$linux_bin/Zelkor-$language.dll" "$work/windows-app/Zelkor.dll"
  scenario "$name" "$answers" "$prepare" "${bloated[@]}" --language "$language"
  cp "$linux_bin/Zelkor.dll" "$work/linux-app/Zelkor.dll"
  cp "$resource_library" "$work/windows-app/Zelkor.dll"
  game_folder=Zelkor locale=""
}
# A Russian game in a Cyrillic folder under a Russian locale asks the game's own question
# in Russian and repairs; a Polish folder under a Polish locale and a Japanese one whose
# name ends in "表" (0x95 0x5C) under a Japanese one repair; under a Western locale none of
# the three folders can be named, and a Russian game in a plain folder shows its strings
# as '?' and its files, protected with a key text in code page 1251, do not unprotect.
wipe_request=T
localised russian-game-in-a-cyrillic-folder ru "Игры/Zelkor" ru_RU.UTF-8 yes,yes \
  "touch System/ZelkorWipe.flg System/old.tmp"
wipe_request=""
localised cyrillic-folder-under-a-western-locale ru "Игры/Zelkor" en_US.UTF-8 yes
localised polish-game-in-a-polish-folder pl "Łódź/Zelkor" pl_PL.UTF-8 yes
localised polish-folder-under-a-western-locale pl "Łódź/Zelkor" en_US.UTF-8 yes
localised japanese-game-in-a-folder-ending-in-table ja "ゼルコール表" ja_JP.UTF-8 yes
localised japanese-folder-under-a-western-locale ja "ゼルコール表" en_US.UTF-8 yes
localised russian-game-under-a-western-locale ru Zelkor en_US.UTF-8 yes
wineserver -p 2>/dev/null || true  # up again for the runs below, unless a run left it up

# The scenarios above prove nothing if neither program repaired: the Yes must have
# changed the character file, the No must have left it.
r="$work/results"
# The bytes of the character file in a manifest (its permission bits left out).
character_bytes() { grep " ./$characters\$" "$1" | cut -d' ' -f2; }
if [[ -n "$(character_bytes "$r/repair-answered-yes.before")" &&
      "$(character_bytes "$r/repair-answered-yes.before")" != \
      "$(character_bytes "$r/repair-answered-yes.linux.files")" ]]; then
  pass "the repair answered Yes changed the character file"
else
  fail "the repair answered Yes changed the character file"
fi
if diff -q "$r/repair-answered-no.before" "$r/repair-answered-no.linux.files" >/dev/null; then
  pass "the repair answered No left every file as it was"
else
  fail "the repair answered No left every file as it was"
fi

# The localised games repaired under their own locales and changed nothing under a
# Western one; the Russian game's question came in Russian.
for name in russian-game-in-a-cyrillic-folder polish-game-in-a-polish-folder \
    japanese-game-in-a-folder-ending-in-table; do
  if [[ -n "$(character_bytes "$r/$name.before")" &&
        "$(character_bytes "$r/$name.before")" != "$(character_bytes "$r/$name.linux.files")" ]] &&
     grep -q '"prompt": "Done!"' "$r/$name.linux.jsonl"; then
    pass "$name: repaired"
  else
    fail "$name: repaired"
  fi
done
if grep -qF '{"caption": "Очистка системы Zelkor", "prompt": "Zelkor просит стереть его системные файлы. Стереть их сейчас?", "style": 4, "answer": 6}' \
     "$r/russian-game-in-a-cyrillic-folder.linux.jsonl"; then
  pass "the Russian game asks in Russian"
else
  fail "the Russian game asks in Russian"
fi
for name in cyrillic-folder-under-a-western-locale polish-folder-under-a-western-locale \
    japanese-folder-under-a-western-locale russian-game-under-a-western-locale; do
  if diff -q "$r/$name.before" "$r/$name.linux.files" >/dev/null &&
     [[ "$(cat "$r/$name.linux.rc")" == 2 ]]; then
    pass "$name: nothing changed, exit 2"
  else
    fail "$name: nothing changed, exit 2"
  fi
done
if grep -qF '"caption": "????? ?????? Zelkor"' "$r/russian-game-under-a-western-locale.linux.jsonl"; then
  pass "the Russian game's strings show '?' under a Western locale"
else
  fail "the Russian game's strings show '?' under a Western locale"
fi

# A character file its owner made read-only is never replaced (both programs agree, above).
if [[ -n "$(character_bytes "$r/character-file-read-only.before")" &&
      "$(character_bytes "$r/character-file-read-only.before")" == \
      "$(character_bytes "$r/character-file-read-only.linux.files")" ]]; then
  pass "a read-only character file stays as it was"
else
  fail "a read-only character file stays as it was"
fi

# The read-only files stopped both runs with 75 and are still there; so is the other
# match of the wipe pattern, and the request stands.
refused() {
  grep -q "Path/File access error" "$r/$1.linux.jsonl" && grep -q " ./$2\$" "$r/$1.linux.files"
}
if refused left-over-copy-read-only System/Zelkor/ZELKORCharactersTemp.DED &&
   [[ "$(character_bytes "$r/left-over-copy-read-only.before")" == \
      "$(character_bytes "$r/left-over-copy-read-only.linux.files")" ]]; then
  pass "a read-only left-over copy is kept and the repair stops with 75"
else
  fail "a read-only left-over copy is kept and the repair stops with 75"
fi
if refused wipe-request-read-only-match System/old.tmp &&
   grep -q " ./System/cache.tmp\$" "$r/wipe-request-read-only-match.linux.files" &&
   grep -q "WipeSystem.*REG_SZ.*T\$" "$r/wipe-request-read-only-match.linux.files"; then
  pass "a read-only match of the wipe request stops it: nothing deleted, the request stands"
else
  fail "a read-only match of the wipe request stops it: nothing deleted, the request stands"
fi

# Files across the platforms: what either build protected, the other unprotects, and
# both describe it alike.
# inspect_both NAME HOST-FILE: both inspect reports of one file must say it unprotects
# and must be the same report.
inspect_both() {
  local name=$1 file=$2 linux_status=0 win_status=0
  "$linux_bin/zelkor-kit" inspect "$file" >"$r/$name.inspect.linux" 2>&1 || linux_status=$?
  bash "$as_on_windows" "$win_build" "$win_build/bin/zelkor-kit.exe" inspect "$(windows_path "$file")" \
    >"$r/$name.inspect.windows" 2>&1 </dev/null || win_status=$?
  local normalised
  for normalised in linux windows; do
    tr -d '\r' <"$r/$name.inspect.$normalised" | grep -v '^file: ' >"$r/$name.inspect.$normalised.n"
  done
  if [[ $linux_status -eq 0 && $win_status -eq 0 ]] &&
     grep -q '^unprotects: yes' "$r/$name.inspect.linux.n" &&
     diff -u --label Linux --label Windows "$r/$name.inspect.linux.n" "$r/$name.inspect.windows.n"; then
    pass "$name"
  else
    echo "  inspect exit codes: Linux $linux_status, Windows $win_status"
    sed 's/^/    /' "$r/$name.inspect.linux" "$r/$name.inspect.windows"
    fail "$name"
  fi
}
inspect_both "character file repaired on Linux unprotects on both" \
  "$r/repair-answered-yes.linux.tree/$characters"
inspect_both "character file repaired on Windows unprotects on both" \
  "$r/repair-answered-yes.windows.tree/$characters"

# An installation the Windows kit protected with the Windows library: every game file
# unprotects on Linux, and it is byte for byte the one the Linux kit makes.
made_win="$work/made-windows" made_linux="$work/made-linux"
if bash "$as_on_windows" "$win_build" "$win_build/bin/zelkor-kit.exe" make-install \
     "$(windows_path "$made_win")" "${bloated[@]}" >"$r/made-windows.kit" 2>&1 </dev/null &&
   "$linux_bin/zelkor-kit" make-install "$made_linux" "${bloated[@]}" >"$r/made-linux.kit" 2>&1; then
  unreadable=0
  while IFS= read -r file; do
    "$linux_bin/zelkor-kit" inspect "$file" >"$r/made.inspect" 2>&1 || {
      echo "  does not unprotect on Linux: ${file#"$made_win"/}"
      unreadable=1
    }
  done < <(find "$made_win/System" -type f)
  if ((unreadable == 0)); then
    pass "files protected by the Windows kit unprotect on Linux"
  else
    fail "files protected by the Windows kit unprotect on Linux"
  fi
  if diff -r "$made_linux/System" "$made_win/System" >/dev/null; then
    pass "the Windows and the Linux kit write the same game files"
  else
    fail "the Windows and the Linux kit write the same game files"
  fi
  if [[ -f "$made_win/tollwick.exe" && -f "$made_win/ZELKORSEC.dll" ]]; then
    pass "the Windows kit installs tollwick.exe and ZELKORSEC.dll"
  else
    fail "the Windows kit installs tollwick.exe and ZELKORSEC.dll"
  fi
else
  fail "zelkor-kit make-install on both builds"
  sed 's/^/    /' "$r/made-windows.kit" "$r/made-linux.kit" 2>/dev/null || true
fi

echo "$passes passed, $failures failed"
test "$failures" -eq 0
