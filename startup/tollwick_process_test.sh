#!/usr/bin/env bash
# Process-level checks of the tollwick executable: a wrong answer word, a second copy, no
# display with no terminal, the desktop's libraries loaded only for a window, and
# --help and --version.
# Usage: tollwick_process_test.sh PATH/TO/tollwick [PATH/TO/DIALOG_MODULE]
set -euo pipefail
tollwick=$1
dialog_module=${2:-}
work=$(mktemp -d)
trap 'exec 3>&- 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/app" "$work/prefix"
cp "$tollwick" "$work/app/tollwick"
# A game library beside the program: its folder is the application directory, as a copy
# installed in the game's folder has it.
touch "$work/app/Zelkor.dll"
export WINEPREFIX="$work/prefix"   # an empty registry: the application directory is the game's
unset DISPLAY WAYLAND_DISPLAY
source "$(dirname "${BASH_SOURCE[0]}")/../tests/checks.sh"

# 1. A wrong word in TOLLWICK_ANSWERS: named on standard error, exit 1, no box, nothing read.
set +e
TOLLWICK_ANSWERS="yes,maybe" TOLLWICK_TRANSCRIPT="$work/bad.jsonl" "$work/app/tollwick" \
  >"$work/bad.out" 2>"$work/bad.err" </dev/null
status=$?
set -e
check "wrong answer word exits 1" test "$status" -eq 1
check "wrong answer word is named" grep -q '"maybe"' "$work/bad.err"
check "wrong answer word shows no box" test ! -e "$work/bad.jsonl"

# 2. A second copy while the first waits at its first box (on a terminal fed by a fifo).
mkfifo "$work/input"
TOLLWICK_DIALOG=terminal "$work/app/tollwick" <"$work/input" >"$work/first.out" 2>&1 &
first=$!
exec 3>"$work/input"
for _ in $(seq 100); do grep -q '\[OK\]' "$work/first.out" 2>/dev/null && break; sleep 0.05; done
check "first copy waits at a box" grep -q '\[OK\]' "$work/first.out"
set +e
TOLLWICK_ANSWERS="yes" TOLLWICK_TRANSCRIPT="$work/second.jsonl" "$work/app/tollwick" \
  >/dev/null 2>&1 </dev/null
status=$?
set -e
check "second copy exits 1" test "$status" -eq 1
expected='{"caption": "Tollwick 1.01  ", "prompt": "Sorry, only one instance of Tollwick can be run at a time.", "style": 48, "answer": 1}'
check "second copy shows only the refusal" test "$(cat "$work/second.jsonl")" = "$expected"
exec 3>&-
wait "$first" || true

# 3. No display and nothing on standard input (/dev/null, or closed), as when started from
#    a launcher without a desktop: no box can be shown, so none is answered; the run ends
#    with the box error on standard error.
for input in "</dev/null" "<&-"; do
  set +e
  eval '"$work/app/tollwick" >"$work/none.out" 2>"$work/none.err" '"$input"
  status=$?
  set -e
  check "no terminal ($input) exits 1" test "$status" -eq 1
  check "no terminal ($input) names the box error" grep -q "Device I/O error" "$work/none.err"
done

# 4. The desktop's libraries are no part of the program: they come with the dialog module,
#    loaded only for a box shown as a window. A desktop session (a display that cannot be
#    reached here) whose module is missing shows no window and falls back as above.
libraries_loaded() {  # libraries_loaded LOG...: the libraries the dynamic loader opened
  cat "$@" 2>/dev/null | sed -n 's/.*file=\([^ ]*\) .*/\1/p' | sort -u
}
desktop_library() { grep -qE '^lib(gtk|gdk|pulse)' "$1"; }
# The program did run (it loaded the C library), and loaded none of the desktop's.
no_desktop_library() { grep -q '^libc\.so' "$1" && ! desktop_library "$1"; }
links_no_desktop_library() { ! ldd "$1" | grep -qE 'lib(gtk|gdk|pulse)'; }
check "the program links no desktop library" links_no_desktop_library "$tollwick"
set +e
DISPLAY=:97 "$work/app/tollwick" >"$work/missing.out" 2>"$work/missing.err" </dev/null
status=$?
set -e
check "missing dialog module exits 1" test "$status" -eq 1
check "missing dialog module is named" grep -q "tollwick-dialog-gtk.so" "$work/missing.err"
check "missing dialog module names the box error" grep -q "Device I/O error" "$work/missing.err"
if [[ -n "$dialog_module" ]]; then
  mkdir -p "$work/desktop"
  cp "$tollwick" "$work/desktop/tollwick"
  cp "$dialog_module" "$work/desktop/"
  for how in "TOLLWICK_ANSWERS=no" "TOLLWICK_DIALOG=terminal"; do
    env DISPLAY=:97 LD_DEBUG=files LD_DEBUG_OUTPUT="$work/answered.$$" "$how" \
      "$work/desktop/tollwick" >/dev/null 2>&1 </dev/null || true
    libraries_loaded "$work"/answered.$$.* >"$work/answered.libs"
    rm -f "$work"/answered.$$.*
    check "a run with $how loads no desktop library" no_desktop_library "$work/answered.libs"
  done
  # The same check sees the toolkit where a window is asked for.
  env DISPLAY=:97 LD_DEBUG=files LD_DEBUG_OUTPUT="$work/asked.$$" "$work/desktop/tollwick" \
    >/dev/null 2>&1 </dev/null || true
  libraries_loaded "$work"/asked.$$.* >"$work/asked.libs"
  check "a run that asks for a window loads the toolkit" desktop_library "$work/asked.libs"
fi

# 5. --help, -h and --version: the text on standard output and exit 0, before anything
#    else (no box, no transcript, no game looked for).
for option in --help -h --version; do
  set +e
  TOLLWICK_TRANSCRIPT="$work/help.jsonl" "$work/app/tollwick" "$option" \
    >"$work/help.out" 2>"$work/help.err" </dev/null
  status=$?
  set -e
  check "$option exits 0" test "$status" -eq 0
  check "$option shows no box" test ! -e "$work/help.jsonl"
  check "$option writes nothing on standard error" test ! -s "$work/help.err"
  if [[ "$option" == --version ]]; then
    check "$option names the program and its version" test "$(cat "$work/help.out")" = "tollwick 1.01"
  else
    for word in "Usage: tollwick [GAME_FOLDER]" TOLLWICK_ANSWERS TOLLWICK_DIALOG \
        TOLLWICK_TRANSCRIPT WINEPREFIX "Exit status:"; do
      check "$option tells of $word" grep -qF -- "$word" "$work/help.out"
    done
  fi
done

checks_done
