#!/usr/bin/env bash
# Makes Tollwick's icon from one drawing: a blue shield with a white tick, drawn below at
# 256x256 and scaled down, so that every size shows one design.
#  - packaging/windows/tollwick.ico: tollwick.exe's icon, in the sizes Explorer and the
#    taskbar ask for (16, 24, 32, 48 and 256 pixels; the 256 one stored as PNG, as
#    Windows expects);
#  - packaging/tollwick.png: the desktop entry's icon on Linux (128x128).
# Run it again after changing the drawing; the outputs are committed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

shield="M 36,34 Q 128,6 220,34 L 220,132 Q 214,204 128,244 Q 42,204 36,132 Z"
convert -size 256x256 xc:black -fill white -draw "path '$shield'" "$work/mask.png"
convert -size 256x256 gradient:'#4fb3f0'-'#173b86' "$work/mask.png" -alpha off \
  -compose CopyOpacity -composite \
  -fill none -stroke '#0d2456' -strokewidth 10 -draw "path '$shield'" \
  -stroke white -strokewidth 26 \
  -draw "stroke-linecap round stroke-linejoin round polyline 78,130 114,170 180,92" \
  "PNG32:$work/icon-256.png"

for size in 16 24 32 48; do
  convert "$work/icon-256.png" -filter Lanczos -resize "${size}x${size}" "PNG32:$work/icon-$size.png"
done
convert "$work"/icon-{16,24,32,48,256}.png "$root/packaging/windows/tollwick.ico"
convert "$work/icon-256.png" -filter Lanczos -resize 128x128 -strip "PNG32:$root/packaging/tollwick.png"
