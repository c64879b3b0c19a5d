#!/usr/bin/env bash
# Configures and builds one build tree: scripts/build.sh DIR [extra cmake options].
# TOLLWICK_GENERATOR picks the CMake generator (Ninja unless set; "default" leaves the
# choice to CMake, which is Unix Makefiles here).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
dir=$1
shift
generator=${TOLLWICK_GENERATOR:-Ninja}
generator_args=()
[[ "$generator" == default ]] || generator_args=(-G "$generator")
cmake -S "$root" -B "$dir" "${generator_args[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLLWICK_WERROR=ON "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
