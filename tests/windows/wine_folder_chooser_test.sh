#!/usr/bin/env bash
# tollwick.exe's folder chooser (the common item dialog picking folders) under Wine on a
# virtual display, as a player who double-clicked the program apart from the game meets
# it: no argument, no game beside it, no settings. The player's part is played with keys
# only (xdotool): a folder without the game typed into the chooser first (a box says
# so, then the chooser comes again), then the game's folder, whose character file is
# then repaired; in a second run Escape cancels the chooser: exit 2, nothing touched.
# Also `tollwick.exe /?` and `--help` with standard output redirected: the help text
# there, exit 0. The chooser is photographed into WIN_BUILD/screenshots
# (tollwick-exe-folder-chooser.png; the README shows a copy from docs/).
#
#   tests/windows/wine_folder_chooser_test.sh WIN_BUILD   (on a display of its own)
#
# The installation is made by the Windows zelkor-kit. The Wine and the prefix are the
# Windows stage's for this machine (tests/windows/wine_machine.sh; WINEPREFIX names
# another), and the programs start as on Windows (run_as_on_windows.sh).
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
win_build=$(cd "$1" && pwd)

source "$root/tests/windows/wine_machine.sh"
wine_window_session "${BASH_SOURCE[0]}" "$@" || exit 1
shots="$win_build/screenshots"
mkdir -p "$shots"

work=$(mktemp -d "${TMPDIR:-/tmp}/tollwick-wine-chooser.XXXXXX")
pid=0
cleanup() {
  ((pid > 0)) && kill "$pid" 2>/dev/null
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"
windows() { windows_path "$1"; }
# Programs start as on Windows (tests/windows/run_as_on_windows.sh).
run_exe() { bash "$as_on_windows" "$win_build" "$@"; }

"$wine" reg delete 'HKLM\Software\Varnholt\Zelkor' /reg:32 /f >/dev/null 2>&1
"$wine" reg delete 'HKLM\Software\Varnholt\Zelkor' /f >/dev/null 2>&1
run_exe "$win_build/bin/zelkor-kit.exe" make-install "$(windows "$work/install")" \
  --live 4 --dead-nul-name 2 --gap 500 >"$work/kit.out" 2>&1 </dev/null || { cat "$work/kit.out"; exit 1; }
game="$work/install"
characters="$game/System/Zelkor/ZELKORCharacters.DED"
mkdir -p "$work/app"
cp "$win_build/bin/tollwick.exe" "$work/app/"

# /? and --help: the help text on the redirected standard output, exit 0.
for option in "/?" --help; do
  status=0
  run_exe "$work/app/tollwick.exe" "$option" >"$work/help.out" 2>/dev/null </dev/null || status=$?
  check "$option exits 0 (was $status)" test "$status" -eq 0
  check "$option shows the usage" grep -q '^Usage: tollwick.exe \[GAME_FOLDER\]' "$work/help.out"
done

start() {  # start TRANSCRIPT: the program, without an argument, in the background
  run_exe "$work/app/tollwick.exe" </dev/null >"$work/run.out" 2>&1 &
  pid=$!
}
lines() { cat "$work/t.jsonl" 2>/dev/null | wc -l; }
window() {  # window NAME LINES: waits for the window NAME after LINES transcript lines
  local id=""
  for _ in $(seq 300); do
    if [[ $(lines) -eq $2 ]]; then
      id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1)
      [[ -n "$id" ]] && break
    fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  [[ -n "$id" ]] || return 1
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  sleep 0.5
  echo "$id"
}
choose() {  # choose LINES FOLDER [SCREENSHOT]: types FOLDER into the chooser's name field
  local id
  id=$(window '^Where is Zelkor installed\?$' "$1") || return 1
  [[ -z "${3:-}" ]] || import -frame -window "$id" "$shots/$3"
  xdotool type --delay 10 "$(windows "$2")"
  xdotool key Return
}
press() {  # press LINES KEY: the box after LINES transcript lines, answered with KEY
  window '^Tollwick$' "$1" >/dev/null || return 1
  xdotool key "$2"
}
finish() {  # waits up to 60 s for the program; its exit code in $status
  timeout 60 tail --pid="$pid" -f /dev/null || true
  status=0
  wait "$pid" || status=$?
  pid=0
}

export TOLLWICK_TRANSCRIPT
TOLLWICK_TRANSCRIPT=$(windows "$work/t.jsonl")
start
check "the chooser is shown" choose 0 "$game/System" tollwick-exe-folder-chooser.png
check "a folder without the game is told in a box" press 1 Return
check "the chooser comes again" choose 2 "$game"
check "the question is asked" press 3 y
check "the run ends with Done!" press 4 Return
finish
check "tollwick.exe exits 0 (was $status)" test "$status" -eq 0
chooser='{"chooser": "Where is Zelkor installed?", "folder": '
wrong=$(windows "$game/System")
right=$(windows "$game")
expected="$chooser\"${wrong//\\/\\\\}\"}
{\"caption\": \"Tollwick\", \"prompt\": \"The folder \\\"${wrong//\\/\\\\}\\\" holds neither Zelkor.dll nor ZELKORSEC.dll: Zelkor is not installed there.\\n\\nChoose the folder where Zelkor is installed, the one that holds the game's Zelkor.dll and ZELKORSEC.dll.\", \"style\": 48, \"answer\": 1}
$chooser\"${right//\\/\\\\}\"}
{\"caption\": \"Tollwick\", \"prompt\": \"Fix Character File Now?\", \"style\": 4, \"answer\": 6}
{\"caption\": \"Tollwick\", \"prompt\": \"Done!\", \"style\": 0, \"answer\": 1}"
check "the transcript holds both choices and the boxes" test "$(cat "$work/t.jsonl")" = "$expected"
check "the chosen game's character file is compacted" \
  bash -c "bash '$as_on_windows' '$win_build' '$win_build/bin/zelkor-kit.exe' inspect '$(windows "$characters")' | grep -q '; dead bytes: 0'"

# Cancel: nothing touched.
rm -f "$work/t.jsonl"
folder_sums "$game" >"$work/before.sums"
start
id=$(window '^Where is Zelkor installed\?$' 0) && xdotool key Escape
finish
check "Cancel exits 2 (was $status)" test "$status" -eq 2
check "Cancel is in the transcript" test "$(cat "$work/t.jsonl" 2>/dev/null)" = "${chooser}null}"
folder_sums "$game" >"$work/after.sums"
check "Cancel leaves every game file as it was" cmp -s "$work/before.sums" "$work/after.sums"
if ((failures)); then
  echo "-- tollwick.exe said:"; cat "$work/run.out"
  echo "-- transcript:"; cat "$work/t.jsonl" 2>/dev/null
fi
checks_done
