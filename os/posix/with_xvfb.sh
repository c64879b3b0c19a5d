#!/usr/bin/env bash
# Runs a command on a display of its own: a fresh Xvfb server, ended afterwards.
#   with_xvfb.sh COMMAND [ARGS...]
# The command sees DISPLAY and TOLLWICK_XVFB_PID (the server's process id). A window
# manager (metacity, GNOME's) frames the windows when it is installed, so that
# screenshots show captions as on a desktop. Exits 77, the tests' "skipped", when a tool
# the tests need is missing.
set -uo pipefail
for tool in Xvfb xdotool import; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (scripts/setup.sh installs scripts/packages/desktop.txt)"
    exit 77
  fi
done
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
xvfb=$!
manager=0
trap '((manager > 0)) && kill "$manager" 2>/dev/null; kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$dir"' EXIT
for _ in $(seq 200); do
  [[ -s "$dir/display" ]] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.05
done
if [[ ! -s "$dir/display" ]]; then
  echo "Xvfb did not start:"
  cat "$dir/xvfb.log"
  exit 1
fi
export DISPLAY=":$(head -n 1 "$dir/display")" TOLLWICK_XVFB_PID=$xvfb
unset WAYLAND_DISPLAY
export NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory
# Under the sanitizers: what the toolkit keeps until the end is not reported as a leak.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export LSAN_OPTIONS="suppressions=$here/gtk_lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
if command -v metacity >/dev/null; then
  metacity >"$dir/metacity.log" 2>&1 &
  manager=$!
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
  done
fi
"$@"
