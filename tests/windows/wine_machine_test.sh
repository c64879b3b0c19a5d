#!/usr/bin/env bash
# The Windows stage's view of the machine (tests/windows/wine_machine.sh), with stand-ins
# for Wine: a 32-bit loader the kernel refuses is a machine without 32-bit support (and
# TOLLWICK_NO_32BIT=1 takes that path anywhere); a prefix that Wine fails to set up
# fails the stage with Wine's own words, and so does one it claims to have set up but
# left without its registry.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"

# A loader the kernel cannot run (a file of no format it knows, marked executable).
printf '\x7fELF\x01\x01\x01' >"$work/loader32"
chmod +x "$work/loader32"
printf '#!/bin/sh\necho "wine-0.0"\n' >"$work/runs"
chmod +x "$work/runs"

machine() {  # machine LOADER32 [VAR=VALUE...]: what wine_machine finds, as "32bit width"
  env -u TOLLWICK_WINE_32BIT -u TOLLWICK_NO_32BIT "${@:2}" bash -c '
    source "$1"; wine_loader32=$2; wine_machine; echo "$wine_32bit $wine_width ${TOLLWICK_WINE_32BIT_WHY:-}"' \
    _ "$here/wine_machine.sh" "$1"
}
check "a loader that runs: the 32-bit program is tested" test "$(machine "$work/runs")" = "1 win32 "
refused=$(machine "$work/loader32")
check "a loader the kernel refuses: the 64-bit program is tested ($refused)" \
  grep -q '^0 win64 .*Exec format error' <<<"$refused"
check "TOLLWICK_NO_32BIT=1 takes that path anywhere" \
  grep -q '^0 win64 TOLLWICK_NO_32BIT=1' <<<"$(machine "$work/runs" TOLLWICK_NO_32BIT=1)"

# setup WINE-STAND-IN: runs wine_prefix_setup with it; its output and status.
setup() {
  WINEPREFIX="$work/prefix-$1" PATH="$work:$PATH" bash -c '
    source "$1"; wine=$2; wine_prefix_setup' _ "$here/wine_machine.sh" "$work/$1" 2>&1
}
printf '#!/bin/sh\necho "wine: could not load kernel32.dll, status c0000135" >&2\nexit 1\n' >"$work/broken"
printf '#!/bin/sh\nexit 0\n' >"$work/silent"
printf '#!/bin/sh\ntouch "$WINEPREFIX/system.reg"\n' >"$work/working"
printf '#!/bin/sh\nexit 0\n' >"$work/wineserver"
chmod +x "$work/broken" "$work/silent" "$work/working" "$work/wineserver"
out=$(setup broken)
status=$?
check "a failed wineboot fails the set-up (status $status)" test "$status" -ne 0
check "and shows what Wine said" grep -q 'could not load kernel32.dll' <<<"$out"
out=$(setup silent)
status=$?
check "a prefix left without its registry fails the set-up (status $status)" test "$status" -ne 0
check "and says which prefix" grep -q "prefix-silent" <<<"$out"
out=$(setup working)
check "a prefix set up is used ($out)" test $? -eq 0
checks_done
