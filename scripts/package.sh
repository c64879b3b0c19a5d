#!/usr/bin/env bash
# Makes the release packages into dist/: tollwick-<version>-win32.zip and -win64.zip from
# the Windows cross builds, and tollwick_<version>_amd64.deb from the Linux build, which
# lintian then checks (an error fails the script; warnings are shown).
#
#   scripts/package.sh
#
# The three trees (build/, build-win32/, build-win64/) are built first where they are not
# up to date: the Linux one with scripts/build.sh, the Windows ones with
# scripts/windows.sh --build-only.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

if [[ -f build/CMakeCache.txt ]]; then
  nice -n 10 cmake --build build -j "${TOLLWICK_JOBS:-2}" >/dev/null
else
  bash scripts/build.sh build
fi
bash scripts/windows.sh --build-only win32 win64

rm -rf dist
mkdir -p dist
for tree in build-win32 build-win64 build; do
  echo "== package from $tree"
  (cd "$tree" && nice -n 10 cpack -B "$root/dist" >cpack.log 2>&1) || {
    cat "$tree/cpack.log"
    exit 1
  }
done
rm -rf dist/_CPack_Packages

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
for package in "tollwick-$version-win32.zip" "tollwick-$version-win64.zip" "tollwick_${version}_amd64.deb"; do
  [[ -f "dist/$package" ]] || { echo "package.sh: dist/$package was not made" >&2; exit 1; }
done

echo "== lintian dist/tollwick_${version}_amd64.deb"
lintian --fail-on error "dist/tollwick_${version}_amd64.deb" 2>&1 |
  { grep -v '^running with root privileges' || true; }

# The Debian package works as installed: zelkor-kit, started through its link on the
# PATH, finds the security library beside its real self and makes an installation, and
# the packaged tollwick repairs its character file.
check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
dpkg-deb -x "dist/tollwick_${version}_amd64.deb" "$check/root"
"$check/root/usr/bin/zelkor-kit" make-install "$check/install" --live 2 --dead-nul-name 2 >/dev/null
env -u DISPLAY -u WAYLAND_DISPLAY -u TOLLWICK_DIALOG WINEPREFIX="$check/prefix" \
  TOLLWICK_ANSWERS=yes TOLLWICK_TRANSCRIPT="$check/boxes.jsonl" "$check/install/tollwick" </dev/null
grep -q '"prompt": "Done!"' "$check/boxes.jsonl" || {
  echo "package.sh: the packaged tollwick did not finish its repair:" >&2
  cat "$check/boxes.jsonl" >&2
  exit 1
}
"$check/root/usr/bin/zelkor-kit" inspect "$check/install/System/Zelkor/ZELKORCharacters.DED" |
  grep -q '^  dead records: 0 ' || { echo "package.sh: the repair left dead records" >&2; exit 1; }
echo "== the Debian package's programs make an installation and repair it"
ls -l dist
