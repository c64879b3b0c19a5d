#!/usr/bin/env bash
# Cross-builds Tollwick for Windows with MinGW-w64, 32-bit (the product) in build-win32/
# and 64-bit (the width check) in build-win64/, warnings as errors, and runs each
# build's tests under Wine. With the 32-bit build and a Linux build in build/ (or
# TOLLWICK_LINUX_BUILD) it then runs the whole program on both and compares them
# (tests/windows/wine_e2e_test.sh), repairs a game whose security library is the Windows
# one from Linux through Wine (tests/windows/wine_handoff_test.sh), shows tollwick.exe's
# real message boxes on a virtual display (tests/windows/wine_dialog_smoke_test.sh) and
# has both repair a character file of 1.2 GB (tests/windows/wine_large_file_test.sh;
# TOLLWICK_LARGE_FILE_TEST=0 leaves it out).
#
#   scripts/windows.sh [--build-only] [win32|win64 ...]     (default: both)
#
# --build-only builds and runs nothing (the packages need only the builds).
#
# The tests run in a Wine prefix of their own, build-wine/prefix, never in the prefixes
# the Linux registry tests make. One wineserver is kept up for the whole run (a program
# then starts in tens of milliseconds instead of a second) and stopped at the end,
# whatever happens. Builds run niced, two jobs at most, like the rest of the machine's work.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup.sh

build_only=0
if [[ "${1:-}" == --build-only ]]; then
  build_only=1
  shift
fi
widths=("$@")
((${#widths[@]})) || widths=(win32 win64)
linux_build=${TOLLWICK_LINUX_BUILD:-build}
jobs=${TOLLWICK_JOBS:-2}

export WINEPREFIX="$root/build-wine/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no .NET or HTML engine installers at first start
# A desktop's display would make Wine open windows; the tests answer every box themselves.
unset DISPLAY WAYLAND_DISPLAY

# The prefix is private to these tests: its server is stopped at the end, whatever
# happens (also one that an interrupted earlier run left up).
stop_server() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}
trap stop_server EXIT

if ((build_only == 0)); then
  if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    echo "== Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  wineserver -p 2>/dev/null || true  # fails only when a server of this prefix runs already
  # The first program of a server session starts Wine's own background processes, which
  # inherit its standard output and error: started here with /dev/null, they cannot hold
  # open the pipe through which CTest reads a test program's list of tests.
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
fi

status=0
for width in "${widths[@]}"; do
  case "$width" in
    win32) toolchain=mingw-i686.cmake ;;
    win64) toolchain=mingw-x86_64.cmake ;;
    *) echo "windows.sh: unknown width $width (win32 or win64)" >&2; exit 2 ;;
  esac
  build="build-$width"
  echo "== $width: build in $build (warnings are errors)"
  nice -n 10 cmake -S . -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/$toolchain" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLLWICK_WERROR=ON \
    -DTOLLWICK_BUILD_TESTS=ON \
    -DTOLLWICK_WINEPREFIX="$WINEPREFIX" >/dev/null
  nice -n 10 cmake --build "$build" -j "$jobs"
  ((build_only == 0)) || continue
  echo "== $width: tests under Wine"
  # A test program that Wine once failed to start (seen as a failure in 0.01 s with no
  # output at all, of a test that passes every time it runs) gets one more start; a test
  # that fails when it runs fails both times.
  if ! nice -n 10 ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$jobs" \
    --repeat until-pass:2; then
    status=1
  fi
done

if ((build_only == 0)) && [[ " ${widths[*]} " == *" win32 "* ]]; then
  # These tests manage the prefix's server themselves (the registry reaches system.reg,
  # which the Linux build reads, only when the server stops).
  stop_server
  if [[ -x "$linux_build/bin/tollwick" ]]; then
    echo "== win32: the whole program on Linux and under Wine, compared"
    bash tests/windows/wine_e2e_test.sh "$linux_build" build-win32 || status=1
    echo "== win32: a game with the Windows security library, repaired from Linux through Wine"
    bash tests/windows/wine_handoff_test.sh "$linux_build" build-win32 || status=1
  else
    echo "== win32: no Linux build in $linux_build: the comparison with Linux is not run" >&2
    status=1
  fi
  echo "== win32: the real message boxes on a virtual display"
  bash tests/windows/wine_dialog_smoke_test.sh build-win32 || status=1
  # Once per run of this stage: a minute or two, and three times the file's size on disk.
  if [[ -x "$linux_build/bin/tollwick" && "${TOLLWICK_LARGE_FILE_TEST:-1}" != 0 ]]; then
    echo "== win32: a character file of 1.2 GB, repaired under Wine and on Linux"
    bash tests/windows/wine_large_file_test.sh "$linux_build" build-win32 1200M || status=1
  fi
fi

# A library planted beside tollwick.exe never runs: for each width built.
if ((build_only == 0)); then
  for width in "${widths[@]}"; do
    echo "== $width: a winmm.dll planted beside tollwick.exe is never loaded"
    bash tests/windows/wine_planted_dll_test.sh "build-$width" || status=1
  done
fi
exit "$status"
