#!/usr/bin/env bash
# Cross-builds Tollwick for Windows with MinGW-w64, 32-bit (the product) in build-win32/
# and 64-bit (the width check, and the test build of machines without 32-bit support) in
# build-win64/, warnings as errors, and runs each build's tests under Wine. With a Linux
# build in build/ (or TOLLWICK_LINUX_BUILD) it then runs the whole program on Linux and
# under Wine and compares them (tests/windows/wine_e2e_test.sh), repairs a game whose
# security library is the Windows one from Linux through Wine
# (tests/windows/wine_handoff_test.sh), shows tollwick.exe's real message boxes on a
# virtual display and answers them with the keyboard (tests/windows/wine_dialog_smoke_test.sh),
# picks a game's folder in its folder chooser (tests/windows/wine_folder_chooser_test.sh),
# repairs a game in a Wine prefix of its own and asks before Wine updates a prefix
# another Wine set up (tests/windows/wine_prefix_test.sh), and has both repair a
# character file of 1.2 GB (tests/windows/wine_large_file_test.sh;
# TOLLWICK_LARGE_FILE_TEST=0 leaves it out). Every Windows program of those tests starts
# in the environment a player's Windows gives it (tests/windows/windows_env.cpp).
#
#   scripts/windows.sh [--build-only] [win32|win64 ...]     (default: both)
#
# --build-only builds and runs nothing (the packages need only the builds).
#
# Machines differ (tests/windows/wine_machine.sh): where this one runs 32-bit programs,
# the whole-program tests run the 32-bit tollwick.exe, the product. Where it runs none
# (found out once, by trying Wine's 32-bit loader; TOLLWICK_NO_32BIT=1 takes that path
# anywhere), the 32-bit build is still built and its built programs checked
# (tests/windows/program_resources_test.sh), and the whole-program tests run the 64-bit
# tollwick.exe with its 64-bit stand-in library; the hand-off to the 32-bit program then
# checks what a player on such a machine is told. The stage says in one line what it
# did not run, and writes that line to build-wine/not-run.txt for scripts/test.sh.
#
# The tests run in a Wine prefix of their own, build-wine/prefix (build-wine/prefix64,
# a 64-bit one, on a machine without 32-bit support), never in the prefixes the Linux
# registry tests make. One wineserver is kept up for the unit tests (a program then
# starts in tens of milliseconds instead of a second) and stopped at the end, whatever
# happens. Builds run niced, two jobs at most, like the rest of the machine's work.
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

source tests/windows/wine_machine.sh
wine_machine
if [[ "$wine_32bit" == 1 ]]; then
  export WINEPREFIX="$root/build-wine/prefix"
else
  export WINEPREFIX="$root/build-wine/prefix64"
fi
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no .NET or HTML engine installers at first start
# A desktop's display would make Wine open windows; the tests answer every box themselves.
unset DISPLAY WAYLAND_DISPLAY
mkdir -p build-wine
not_run_file=build-wine/not-run.txt
rm -f "$not_run_file"

# The prefix is private to these tests: its server is stopped at the end, whatever
# happens (also one that an interrupted earlier run left up).
stop_server() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}
trap stop_server EXIT

if ((build_only == 0)); then
  if [[ "$wine_32bit" == 1 ]]; then
    echo "== this machine runs 32-bit programs: the tests run the 32-bit tollwick.exe"
  else
    echo "== this machine runs no 32-bit programs ($TOLLWICK_WINE_32BIT_WHY): the whole-program tests run the 64-bit tollwick.exe"
  fi
  wine_prefix_setup || exit 1
  wineserver -p 2>/dev/null || true  # fails only when a server of this prefix runs already
  # The first program of a server session starts Wine's own background processes, which
  # inherit its standard output and error: started here with /dev/null, they cannot hold
  # open the pipe through which CTest reads a test program's list of tests.
  "$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
fi

status=0
not_run=()
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
  if [[ "$width" == win32 && "$wine_32bit" != 1 ]]; then
    # What can be checked without running it: what Windows reads from the built programs.
    echo "== win32: the built programs (Wine cannot run them here)"
    bash tests/windows/program_resources_test.sh "$build/bin" \
      "$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$build/CMakeCache.txt")" \
      "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")" || status=1
    not_run+=("the 32-bit program's tests under Wine")
    continue
  fi
  echo "== $width: tests under Wine"
  # A test program that Wine once failed to start (seen as a failure in 0.01 s with no
  # output at all, of a test that passes every time it runs) gets one more start; a test
  # that fails when it runs fails both times.
  if ! nice -n 10 ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$jobs" \
    --repeat until-pass:2; then
    status=1
  fi
done

# The whole program, with the build of the width this machine runs.
if ((build_only == 0)) && [[ " ${widths[*]} " == *" $wine_width "* ]]; then
  win_build="build-$wine_width"
  # These tests manage the prefix's server themselves (the registry reaches system.reg,
  # which the Linux build reads, only when the server stops).
  stop_server
  if [[ -x "$linux_build/bin/tollwick" ]]; then
    echo "== $wine_width: the whole program on Linux and under Wine, compared"
    bash tests/windows/wine_e2e_test.sh "$linux_build" "$win_build" || status=1
    if [[ "$wine_32bit" == 1 ]]; then
      echo "== win32: a game with the Windows security library, repaired from Linux through Wine"
    else
      echo "== a game with the Windows security library, on a machine that runs no 32-bit programs"
    fi
    bash tests/windows/wine_handoff_test.sh "$linux_build" build-win32 || status=1
  else
    echo "== $wine_width: no Linux build in $linux_build: the comparison with Linux is not run" >&2
    status=1
  fi
  echo "== $wine_width: the real message boxes on a virtual display"
  bash tests/windows/wine_dialog_smoke_test.sh "$win_build" || status=1
  echo "== $wine_width: the folder chooser on a virtual display, and /? and --help"
  bash tests/windows/wine_folder_chooser_test.sh "$win_build" || status=1
  if [[ -x "$linux_build/bin/tollwick" ]]; then
    echo "== a game in a Wine prefix of its own, and a prefix another Wine set up"
    prefix_build=build-win32
    [[ -f "$prefix_build/bin/tollwick.exe" ]] || prefix_build=$win_build
    bash tests/windows/wine_prefix_test.sh "$linux_build" "$prefix_build" || status=1
    [[ "$wine_32bit" == 1 ]] || not_run+=("the repair through Wine in a game's own prefix")
  fi
  # Once per run of this stage: a minute or two, and three times the file's size on disk.
  if [[ -x "$linux_build/bin/tollwick" && "${TOLLWICK_LARGE_FILE_TEST:-1}" != 0 ]]; then
    echo "== $wine_width: a character file of 1.2 GB, repaired under Wine and on Linux"
    bash tests/windows/wine_large_file_test.sh "$linux_build" "$win_build" 1200M || status=1
  fi
fi
if ((build_only == 0)) && [[ "$wine_32bit" != 1 ]]; then
  not_run+=("the hand-off's repair through Wine")
  line="this machine runs no 32-bit programs ($TOLLWICK_WINE_32BIT_WHY):"
  line+=" $(IFS=,; echo "${not_run[*]}" | sed 's/,/ and /g') were not run;"
  line+=" the whole-program tests ran the 64-bit tollwick.exe"
  echo "== not run: $line"
  echo "$line" >"$not_run_file"
fi
exit "$status"
