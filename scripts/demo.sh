#!/usr/bin/env bash
# Sets everything up, builds, and runs the main job on the bundled sample installation:
# a sample installation with a bloated character file is made, tollwick repairs it
# (answering Yes), and the character file is shown before and after, with the boxes.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh build -DTOLLWICK_BUILD_TESTS=OFF -DTOLLWICK_BUILD_BENCHMARKS=OFF
exec bash tools/demo.sh build
