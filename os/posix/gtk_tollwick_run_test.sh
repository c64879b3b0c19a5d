#!/usr/bin/env bash
# The whole job through real boxes: tollwick runs on a sample installation with a bloated
# character file, started as from a desktop launcher (a display, nothing on standard
# input), and a person's part is played with xdotool: Enter on "Fix Character File Now?"
# (Yes, the default button), Enter on "Done!". The character file must then be compacted.
# Then a Russian game under a Russian locale: its own question, from its Russian
# Zelkor.dll, is a window with its Russian caption and prompt.
# Run under with_xvfb.sh.   Usage: gtk_tollwick_run_test.sh BIN_DIR SCREENSHOT_DIR
set -uo pipefail
bin=$1
shots=$2
work=$(mktemp -d)
trap '((pid > 0)) && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
pid=0
mkdir -p "$work/wine" "$shots"
source "$(dirname "${BASH_SOURCE[0]}")/../../tests/checks.sh"

"$bin/zelkor-kit" make-install "$work/install" --live 4 --leading-spaces 1 --dead-empty-slot 3 \
  --dead-nul-name 2 --dead-spaces-name 2 --gap 1000 --size 1M >"$work/kit.out" 2>&1 ||
  { cat "$work/kit.out"; exit 1; }
characters="$work/install/System/Zelkor/ZELKORCharacters.DED"

env -u TOLLWICK_ANSWERS -u TOLLWICK_DIALOG WINEPREFIX="$work/wine" \
  TOLLWICK_TRANSCRIPT="$work/boxes.jsonl" "$work/install/tollwick" </dev/null >"$work/run.out" 2>&1 &
pid=$!

touch "$work/seen"
# The visible window of the program captioned $1 that has not been answered yet. Its
# caption is compared here: xdotool's own search by name misses captions outside Latin-1.
box_captioned() {
  local id
  for id in $(xdotool search --onlyvisible --classname '^tollwick$' 2>/dev/null); do
    grep -qxF "$id" "$work/seen" && continue
    [[ "$(xdotool getwindowname "$id" 2>/dev/null)" == "$1" ]] && { echo "$id"; return; }
  done
}
# answer SCREENSHOT [CAPTION]: waits for the next box (captioned "Tollwick" unless
# another is given), photographs it and presses Enter
answer() {
  local id
  id=$(new_window box_captioned "${2:-Tollwick}") || return 1
  import -frame -window "$id" "$shots/$1"
  timeout 10 xdotool windowfocus --sync "$id" key Return
}
check "the question is shown as a window" answer tollwick-fix-character-file-now.png
check "the closing message is shown as a window" answer tollwick-done.png

# waits for tollwick to end; its exit code in $status
finish() {
  status=1
  for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    # Still running after 30 s (a box nobody answered): a failure now, not at the timeout.
    echo "tollwick did not end within 30 s of its last box"
    kill -KILL "$pid" 2>/dev/null || true
  fi
  wait "$pid"
  status=$?
  pid=0
}
finish
check "tollwick exits 0" test "$status" -eq 0
expected='{"caption": "Tollwick", "prompt": "Fix Character File Now?", "style": 4, "answer": 6}
{"caption": "Tollwick", "prompt": "Done!", "style": 0, "answer": 1}'
check "the boxes were the question answered Yes, then Done!" test "$(cat "$work/boxes.jsonl")" = "$expected"
"$bin/zelkor-kit" inspect "$characters" >"$work/after.txt" 2>&1
check "the character file is compacted" grep -qx "length: $((4022 + 4 * 5785)) bytes" "$work/after.txt"
check "only the live records are left" grep -qx " *slots in use: 4" "$work/after.txt"
check "no dead bytes are left" grep -q "; dead bytes: 0$" "$work/after.txt"
check "the temporary file is gone" test ! -e "$work/install/System/Zelkor/ZELKORCharactersTemp.DED"
if ((failures)); then
  echo "-- tollwick said:"; cat "$work/run.out"
  echo "-- the character file:"; cat "$work/after.txt"
fi

# The Russian game, with the game's request to wipe its system files pending, so that it
# asks its own question first.
russian="$work/Игры/Zelkor"
"$bin/zelkor-kit" make-install "$russian" --language ru >"$work/kit-ru.out" 2>&1 ||
  { cat "$work/kit-ru.out"; exit 1; }
touch "$russian/System/ZelkorWipe.flg" "$russian/System/old.tmp"
: >"$work/seen"  # a new client's windows may take the ids of the last one's
printf '%s\n' 'WINE REGISTRY Version 2' ';; All keys relative to \\Machine' '' \
  '[Software\\Varnholt\\Zelkor] 1796619687' '"WipeSystem"="T"' >"$work/wine/system.reg"
env -u TOLLWICK_ANSWERS -u TOLLWICK_DIALOG -u LC_ALL -u LC_CTYPE LANG=ru_RU.UTF-8 \
  WINEPREFIX="$work/wine" TOLLWICK_TRANSCRIPT="$work/boxes-ru.jsonl" "$russian/tollwick" \
  </dev/null >"$work/run-ru.out" 2>&1 &
pid=$!
check "the Russian game's question is a window with its Russian caption" \
  answer tollwick-russian-wipe-question.png 'Очистка системы Zelkor'
check "then the repair's question" answer tollwick-russian-fix-character-file-now.png
check "then Done!" answer tollwick-russian-done.png
finish
check "the Russian run exits 0" test "$status" -eq 0
check "the Russian prompt reached the transcript" grep -qF \
  '"prompt": "Zelkor просит стереть его системные файлы. Стереть их сейчас?", "style": 4, "answer": 6}' \
  "$work/boxes-ru.jsonl"
((failures)) && { echo "-- tollwick said:"; cat "$work/run-ru.out"; }
checks_done
