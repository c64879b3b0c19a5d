# Sourced by the Windows stage and its tests: which Wine runs the Windows programs on this
# machine. `wine_machine` sets
#   wine            the command that starts a Windows program of the tests' width
#   wine_width      win32 or win64: the build whose programs the whole-program tests run
#   wine_32bit      1 when this machine runs 32-bit programs, 0 when it does not
# and exports TOLLWICK_WINE_32BIT (and, when it is 0, TOLLWICK_WINE_32BIT_WHY, the reason in
# a few words), so that what the stage found is not tried again by the tests it starts.
#
# Some Linux machines run no 32-bit program at all (the kernel's IA-32 emulation is off):
# there Wine's 32-bit loader fails with "Exec format error", whatever is installed, and
# so does Debian's `wine`, which always picks it. This is found out by trying the loader,
# once. The 64-bit loader still runs 64-bit Windows programs there, in a 64-bit prefix.
# TOLLWICK_NO_32BIT=1 takes the path of such a machine on any machine.
wine_loader32=/usr/lib/wine/wine
wine_loader64=/usr/lib/wine/wine64

wine_machine() {
  if [[ -z "${TOLLWICK_WINE_32BIT:-}" ]]; then
    local tried
    if [[ "${TOLLWICK_NO_32BIT:-0}" == 1 ]]; then
      TOLLWICK_WINE_32BIT=0
      TOLLWICK_WINE_32BIT_WHY="TOLLWICK_NO_32BIT=1 takes the path of a machine without 32-bit support"
    elif tried=$("$wine_loader32" --version 2>&1); then
      TOLLWICK_WINE_32BIT=1
    else
      TOLLWICK_WINE_32BIT=0
      TOLLWICK_WINE_32BIT_WHY="Wine's 32-bit loader: $(head -n 1 <<<"$tried" | sed "s|^.*$wine_loader32: ||")"
    fi
  fi
  export TOLLWICK_WINE_32BIT TOLLWICK_WINE_32BIT_WHY
  wine_32bit=$TOLLWICK_WINE_32BIT
  if [[ "$wine_32bit" == 1 ]]; then
    wine=wine
    wine_width=win32
  else
    wine=$wine_loader64
    wine_width=win64
    export WINEARCH=win64
  fi
}

# wine_prefix_setup: makes the prefix $WINEPREFIX when it has no system.reg yet. Wine's
# output is kept and shown when the set-up fails, and the failure is the caller's.
wine_prefix_setup() {
  [[ -f "$WINEPREFIX/system.reg" ]] && return 0
  echo "== Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  local log
  log=$(mktemp)
  if ! "$wine" wineboot -i >"$log" 2>&1 || ! wineserver -w >>"$log" 2>&1 ||
     [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "Wine could not set up the prefix $WINEPREFIX ($wine wineboot -i):" >&2
    sed 's/^/    /' "$log" >&2
    rm -f "$log"
    return 1
  fi
  rm -f "$log"
}

# wine_default_prefix: WINEPREFIX, when it is not set, is the Windows stage's own prefix
# for this machine's width.
wine_default_prefix() {
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  if [[ -z "${WINEPREFIX:-}" ]]; then
    if [[ "$wine_32bit" == 1 ]]; then
      WINEPREFIX="$root/build-wine/prefix"
    else
      WINEPREFIX="$root/build-wine/prefix64"
    fi
  fi
  export WINEPREFIX
}

# wine_window_session SCRIPT ARGS...: the start of a test of tollwick.exe's windows. Runs
# SCRIPT again on a display of its own (whatever the caller's session has) and there sets
# this machine's Wine, the prefix (made when it has no registry yet) and a player's
# environment: no scripted answers, no forced dialog, no transcript, Wine quiet. Fails
# when the prefix cannot be set up.
wine_window_session() {
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  if [[ -z "${TOLLWICK_SMOKE_DISPLAY:-}" ]]; then
    exec env TOLLWICK_SMOKE_DISPLAY=1 bash "$root/os/posix/with_xvfb.sh" bash "$@"
  fi
  wine_machine
  wine_default_prefix
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  unset TOLLWICK_DIALOG TOLLWICK_ANSWERS TOLLWICK_TRANSCRIPT WAYLAND_DISPLAY
  wine_prefix_setup
}

# windows_build_width BUILD: win32 or win64, the width of a Windows build tree.
windows_build_width() {
  if grep -q '^CMAKE_TOOLCHAIN_FILE:.*mingw-i686' "$1/CMakeCache.txt"; then
    echo win32
  else
    echo win64
  fi
}

# windows_resource_library BUILD: the sample game resource library of the build's own
# width (the 32-bit build's twin lies in its sample folder).
windows_resource_library() {
  if [[ "$(windows_build_width "$1")" == win32 ]]; then
    echo "$1/sample/Zelkor32.dll"
  else
    echo "$1/bin/Zelkor.dll"
  fi
}

# windows_path HOST_PATH: an absolute host path as the Windows programs see it, through
# the prefix's drive Z: (the root).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# "$as_on_windows" BUILD PROGRAM [ARGUMENTS...] (run with bash, also through env or
# timeout): starts the Windows program PROGRAM (an absolute host path) under Wine in the
# environment a player's Windows gives it, and ends with its exit code.
as_on_windows="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/run_as_on_windows.sh"
