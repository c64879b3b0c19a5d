#!/usr/bin/env bash
# Makes packaging/tollwick.png, the desktop entry's icon, from the 32x32 image of the
# sample resource library's icon (sample/assets/shield.ico), enlarged 4x with its pixels
# kept sharp. Run it again after changing that icon; the output is committed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
/usr/bin/convert "$root/sample/assets/shield.ico[0]" -filter point -resize 128x128 \
  -strip "PNG32:$root/packaging/tollwick.png"
