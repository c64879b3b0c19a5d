#!/usr/bin/env bash
# The folder chooser of a packaged program that finds no game (no argument, no game
# beside it, no settings), started as from a desktop's menu: a display, nothing on
# standard input. A person's part is played with xdotool, keys only: the folder is
# typed into the chooser's location field. A folder without the game first (a box says
# so, then the chooser comes again), then the game's folder, whose character file is
# then repaired; in a second run, Escape cancels the chooser: exit 2, nothing touched.
# Run under with_xvfb.sh.   Usage: gtk_folder_chooser_test.sh BIN_DIR SCREENSHOT_DIR
set -uo pipefail
bin=$1
shots=$2
work=$(mktemp -d)
trap '((pid > 0)) && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
pid=0
mkdir -p "$work/app" "$work/home" "$shots"
source "$(dirname "${BASH_SOURCE[0]}")/../../tests/checks.sh"

"$bin/zelkor-kit" make-install "$work/install" --live 4 --dead-nul-name 2 --gap 1000 \
  >"$work/kit.out" 2>&1 || { cat "$work/kit.out"; exit 1; }
game="$work/install"
characters="$game/System/Zelkor/ZELKORCharacters.DED"
# The program alone in its folder with its dialog module, as the Debian package has it.
cp "$bin/tollwick" "$bin/tollwick-dialog-gtk.so" "$work/app/"

start() {  # start TRANSCRIPT: the program, without an argument, in the background
  (cd "$work/home" && exec env -u TOLLWICK_ANSWERS -u TOLLWICK_DIALOG WINEPREFIX="$work/prefix" \
    HOME="$work/home" TOLLWICK_TRANSCRIPT="$1" "$work/app/tollwick" </dev/null >"$work/run.out" 2>&1) &
  pid=$!
}
touch "$work/seen"
visible_named() { xdotool search --onlyvisible --name "$1" 2>/dev/null; }
window() { new_window visible_named "$1"; }  # window NAME: a new visible window called NAME
choose() {  # choose FOLDER [SCREENSHOT]: types FOLDER into the chooser's location field
  local id
  id=$(window '^Where is Zelkor installed\?$') || return 1
  [[ -z "${2:-}" ]] || import -frame -window "$id" "$shots/$2"
  timeout 10 xdotool windowfocus --sync "$id" key ctrl+l ctrl+a || return 1
  xdotool type --delay 10 "$1"
  sleep 0.5
  # The field completes a name inline (selected): Delete drops the completion.
  xdotool key Delete Return
}
press() {  # press KEY [SCREENSHOT]: the next box, answered with KEY
  local id
  id=$(window '^Tollwick$') || return 1
  [[ -z "${2:-}" ]] || import -frame -window "$id" "$shots/$2"
  timeout 10 xdotool windowfocus --sync "$id" key "$1"
}
finish() {  # waits up to 30 s for the program; its exit code in $status
  for _ in $(seq 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null && echo "tollwick did not end within 30 s"
  wait "$pid"
  status=$?
  pid=0
}

# A wrong folder, then the game's.
start "$work/chosen.jsonl"
check "the chooser is shown" choose "$game/System" tollwick-folder-chooser.png
check "a folder without the game is told in a box" press Return tollwick-folder-chooser-not-a-game.png
check "the chooser comes again" choose "$game"
check "the question is asked" press Return
check "the run ends with Done!" press Return
finish
check "tollwick exits 0" test "$status" -eq 0
chooser='{"chooser": "Where is Zelkor installed?", "folder": '
expected="$chooser\"$game/System\"}
{\"caption\": \"Tollwick\", \"prompt\": \"The folder \\\"$game/System\\\" holds neither Zelkor.dll nor ZELKORSEC.dll: Zelkor is not installed there.\\n\\nChoose the folder where Zelkor is installed, the one that holds the game's Zelkor.dll and ZELKORSEC.dll.\", \"style\": 48, \"answer\": 1}
$chooser\"$game\"}
{\"caption\": \"Tollwick\", \"prompt\": \"Fix Character File Now?\", \"style\": 4, \"answer\": 6}
{\"caption\": \"Tollwick\", \"prompt\": \"Done!\", \"style\": 0, \"answer\": 1}"
check "the transcript holds both choices and the boxes" test "$(cat "$work/chosen.jsonl")" = "$expected"
"$bin/zelkor-kit" inspect "$characters" >"$work/after.txt" 2>&1
check "the chosen game's character file is compacted" grep -q "; dead bytes: 0$" "$work/after.txt"

# Cancel: nothing touched.
folder_sums "$game" >"$work/before.sums"
# The display gives a new program's windows the ids of a program that ended.
: >"$work/seen"
start "$work/cancelled.jsonl"
id=$(window '^Where is Zelkor installed\?$') && timeout 10 xdotool windowfocus --sync "$id" key Escape
finish
check "Cancel exits 2" test "$status" -eq 2
check "Cancel is in the transcript" test "$(cat "$work/cancelled.jsonl")" = "${chooser}null}"
folder_sums "$game" >"$work/after.sums"
check "Cancel leaves every game file as it was" cmp -s "$work/before.sums" "$work/after.sums"
if ((failures)); then
  echo "-- tollwick said:"; cat "$work/run.out"
  echo "-- transcripts:"; cat "$work/chosen.jsonl" "$work/cancelled.jsonl" 2>/dev/null
fi
checks_done
