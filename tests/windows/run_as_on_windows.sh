#!/usr/bin/env bash
# Starts a Windows program under Wine in the environment a player's Windows gives it,
# through the launcher windows-env.exe of a Windows build (tests/windows/windows_env.cpp),
# and ends with the program's exit code.
#
#   tests/windows/run_as_on_windows.sh BUILD PROGRAM [ARGUMENTS...]
#
# PROGRAM is an absolute host path, reached through the prefix's drive Z:. The Wine of
# this machine's width (tests/windows/wine_machine.sh) runs the launcher.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine_machine.sh"
wine_machine
build=$1 program=$2
shift 2
exec "$wine" "$build/bin/windows-env.exe" "$(windows_path "$program")" "$@"
