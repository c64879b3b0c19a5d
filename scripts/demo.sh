#!/usr/bin/env bash
# Sets everything up, builds, and runs the main job on the bundled sample installation.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh build
echo "The sample installation and the wired tollwick executable are not built yet:"
echo "this command builds what exists and runs nothing else."
