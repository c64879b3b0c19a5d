#!/usr/bin/env bash
# The main job on a sample installation: makes an installation whose character file is
# bloated, shows the character file, runs tollwick answering Yes, shows the boxes it
# showed and the character file afterwards.
#
#   tools/demo.sh BUILD_DIR [INSTALL_DIR]
#
# INSTALL_DIR (default: sample-install in the source tree) is made afresh.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "$1" && pwd)
install=${2:-$root/sample-install}
kit="$build/bin/zelkor-kit"

rm -rf "$install"
"$kit" make-install "$install" --live 5 --leading-spaces 2 --dead-empty-slot 4 \
  --dead-nul-name 3 --dead-spaces-name 3 --gap 20000 --size 4M
characters="$install/System/Zelkor/ZELKORCharacters.DED"

echo
echo "== the character file before the repair"
"$kit" inspect "$characters"

# An empty Wine prefix: no registry settings, so the game's working directory is the
# installation itself.
prefix="$install/.wine-prefix"
mkdir -p "$prefix"
transcript="$install/transcript.jsonl"
rm -f "$transcript"
echo
echo "== tollwick, answering Yes"
set +e
env -u DISPLAY -u WAYLAND_DISPLAY WINEPREFIX="$prefix" TOLLWICK_ANSWERS=yes \
  TOLLWICK_TRANSCRIPT="$transcript" "$install/tollwick"
code=$?
set -e
echo "exit code: $code"
echo "boxes shown:"
sed 's/^/  /' "$transcript"

echo
echo "== the character file after the repair"
"$kit" inspect "$characters"
exit "$code"
