#!/usr/bin/env bash
# Sets everything up and runs the whole test suite: a strict build with warnings as
# errors, then the same tests under AddressSanitizer and UndefinedBehaviorSanitizer,
# then the Windows stage (scripts/windows.sh, scripts/package.sh).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup.sh

# The formatting before anything is built: every tracked C/C++ file as .clang-format
# lays it out (`clang-format -i FILE` formats one).
echo "== formatting (.clang-format)"
git ls-files -z -- '*.c' '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

echo "== build (warnings are errors)"
# Tests and benchmarks on explicitly: the demo may have configured this tree without them.
bash scripts/build.sh build -DTOLLWICK_BUILD_TESTS=ON -DTOLLWICK_BUILD_BENCHMARKS=ON
echo "== tests"
ctest --test-dir build --output-on-failure --no-tests=error -j "$(nproc)"

echo "== build with AddressSanitizer and UBSan (CMake's default generator)"
TOLLWICK_GENERATOR=default bash scripts/build.sh build-asan -DTOLLWICK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DTOLLWICK_BUILD_TESTS=ON \
  -DTOLLWICK_BUILD_BENCHMARKS=OFF
echo "== tests under the sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure --no-tests=error -j "$(nproc)"

if [[ -x scripts/fuzz.sh ]]; then
  echo "== fuzzing (bounded)"
  bash scripts/fuzz.sh
fi

# Windows: both cross builds with their unit tests under Wine, the whole program on Linux
# (build/ above) and under Wine compared, the real message boxes, then the release
# packages and lintian. Its time is told whatever the outcome.
echo "== Windows stage"
windows_start=$SECONDS
windows_status=0
bash scripts/windows.sh win32 win64 || windows_status=1
bash scripts/package.sh || windows_status=1
windows_time=$((SECONDS - windows_start))
printf '== Windows stage: %d min %02d s\n' $((windows_time / 60)) $((windows_time % 60))
# What this machine could not run (a machine without 32-bit support), said once more at
# the end, where a reader of the log looks.
if [[ -s build-wine/not-run.txt ]]; then
  echo "== not run: $(cat build-wine/not-run.txt)"
fi
if ((windows_status == 0)); then echo "== all tests passed"; else echo "== the Windows stage failed"; fi
exit "$windows_status"
