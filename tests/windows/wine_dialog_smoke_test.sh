#!/usr/bin/env bash
# tollwick.exe with its real message boxes (MessageBoxW) on a virtual display, answered
# with keys as a player would: y on "Fix Character File Now?", Enter on "Done!". The
# run must end with exit code 0, its transcript must hold both boxes with those answers,
# and the character file must have been repaired. The question is photographed with its
# window manager's frame into WIN_BUILD/screenshots/tollwick-exe-fix-character-file-now.png
# (the README shows a copy, docs/tollwick-exe-fix-character-file-now.png).
#
# The program starts as a double-click starts it on Windows: in a Windows environment,
# without the DISPLAY and the other Unix variables Wine copies into it
# (tests/windows/windows_env.cpp). Its standard input is a pipe that holds "n" answers,
# as a console would: a program that asked there instead of in a window would answer No
# by itself and repair nothing.
#
#   tests/windows/wine_dialog_smoke_test.sh WIN_BUILD   (on a display of its own, with a
#                                                        window manager when one is installed)
#
# WIN_BUILD is the 32-bit build, or the 64-bit one on a machine that runs no 32-bit
# programs (tests/windows/wine_machine.sh).
# The installation is made by the Windows zelkor-kit; the game has no settings in the
# registry, so the program finds it in its own directory. WINEPREFIX as for the other
# Windows tests (default build-wine/prefix).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
win_build=$(cd "$1" && pwd)

source "$root/tests/windows/wine_machine.sh"
wine_window_session "${BASH_SOURCE[0]}" "$@" || exit 1
shots="$win_build/screenshots"
mkdir -p "$shots"

work=$(mktemp -d "${TMPDIR:-/tmp}/tollwick-wine-smoke.XXXXXX")
program=""
cleanup() {
  [[ -z "$program" ]] || kill "$program" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

"$wine" reg delete 'HKLM\Software\Varnholt\Zelkor' /reg:32 /f >/dev/null 2>&1 || true
bash "$as_on_windows" "$win_build" "$win_build/bin/zelkor-kit.exe" make-install \
  "$(windows_path "$work/install")" --live 2 --dead-nul-name 2 --gap 500 \
  >"$work/kit.out" 2>&1 </dev/null || {
  cat "$work/kit.out"
  exit 1
}
characters="$work/install/System/Zelkor/ZELKORCharacters.DED"
before=$(sha256sum <"$characters")

printf 'n\nn\nn\n' >"$work/console-answers"
TOLLWICK_TRANSCRIPT="$(windows_path "$work/transcript.jsonl")" \
  bash "$as_on_windows" "$win_build" "$work/install/tollwick.exe" <"$work/console-answers" \
  >"$work/tollwick.out" 2>&1 &
program=$!

# answer BOXES-BEFORE KEY [SCREENSHOT]: waits for the box after BOXES-BEFORE answered
# ones, gives it the keyboard (photographed first when a file name is given) and presses KEY.
answer() {
  local seen=$1 key=$2 shot=${3:-} window=""
  for _ in $(seq 300); do
    if [[ $(cat "$work/transcript.jsonl" 2>/dev/null | wc -l) -eq $seen ]]; then
      window=$(xdotool search --onlyvisible --name '^Tollwick$' 2>/dev/null | tail -1 || true)
      [[ -n "$window" ]] && break
    fi
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
  if [[ -z "$window" ]]; then
    echo "FAIL no box $((seen + 1)) appeared"
    cat "$work/tollwick.out"
    exit 1
  fi
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  sleep 0.3
  [[ -z "$shot" ]] || import -frame -window "$window" "$shots/$shot"
  xdotool key "$key"
}
answer 0 y tollwick-exe-fix-character-file-now.png
answer 1 Return

status=0
timeout 60 tail --pid="$program" -f /dev/null || true
wait "$program" || status=$?
program=""

expected='{"caption": "Tollwick", "prompt": "Fix Character File Now?", "style": 4, "answer": 6}
{"caption": "Tollwick", "prompt": "Done!", "style": 0, "answer": 1}'
source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"
check "exit code 0 (was $status)" test "$status" -eq 0
check "transcript: Yes to the question, OK to Done!" \
  test "$(cat "$work/transcript.jsonl" 2>/dev/null)" = "$expected"
check "the character file was repaired" test "$(sha256sum <"$characters")" != "$before"
check "the question was photographed" test -s "$shots/tollwick-exe-fix-character-file-now.png"
((failures == 0)) || { echo "transcript:"; cat "$work/transcript.jsonl" 2>/dev/null; cat "$work/tollwick.out"; }
checks_done
