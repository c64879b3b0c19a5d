#!/usr/bin/env bash
# Makes the release packages into dist/: tollwick-<version>-windows.zip from the 32-bit
# Windows cross build (the one Windows package: the game's security library is 32-bit,
# and only a 32-bit program loads it; the 64-bit build is a test build and is never
# packaged), and tollwick_<version>_amd64.deb from the Linux build with the zip's
# tollwick.exe, which lintian then checks (an error, a warning or a pedantic tag fails
# the script). Then it checks that dist/ holds these two and nothing else, what they
# hold, and that the Debian package's programs work as installed, through Wine too.
#
#   scripts/package.sh
#
# The two trees (build/, build-win32/) are built first where they are not up to date:
# the Linux one with scripts/build.sh, the Windows one with scripts/windows.sh --build-only.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

if [[ -f build/CMakeCache.txt ]]; then
  nice -n 10 cmake --build build -j "${TOLLWICK_JOBS:-2}" >/dev/null
else
  bash scripts/build.sh build
fi
bash scripts/windows.sh --build-only win32

rm -rf dist
mkdir -p dist
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/CMakeCache.txt)
package_tree() {
  echo "== package from $1"
  (cd "$1" && nice -n 10 cpack -B "$root/dist" >cpack.log 2>&1) || {
    cat "$1/cpack.log"
    exit 1
  }
}
package_tree build-win32
windows_zip="tollwick-$version-windows"
# The Debian package carries the 32-bit tollwick.exe of the Windows zip, as released.
rm -rf build/packaging/windows
mkdir -p build/packaging/windows
(cd build/packaging/windows && cmake -E tar xf "$root/dist/$windows_zip.zip")
cmake -S . -B build -DTOLLWICK_WINDOWS_PROGRAM="$root/build/packaging/windows/$windows_zip/tollwick.exe" >/dev/null
package_tree build
rm -rf dist/_CPack_Packages

# The release is these two packages, nothing else: no 64-bit Windows zip, which could not
# load the game's library.
made=$(cd dist && ls -A | LC_ALL=C sort | tr '\n' ' ')
expected=$(printf '%s\n' "$windows_zip.zip" "tollwick_${version}_amd64.deb" | LC_ALL=C sort | tr '\n' ' ')
[[ "$made" == "$expected" ]] || { echo "package.sh: dist/ holds $made, not $expected" >&2; exit 1; }
# The Windows program of the zip is the 32-bit one.
objdump -f "build/packaging/windows/$windows_zip/tollwick.exe" | grep -q 'file format pei-i386' || {
  echo "package.sh: the zip's tollwick.exe is not a 32-bit program" >&2
  exit 1
}
echo "== dist/ holds $made"

# The top of each zip holds only the program, the players' README and the screenshot it
# points to: a player who copies it into the game's folder copies nothing of the game's. The kit and the
# stand-in libraries lie in the sample folder below it.
sample_folder=$(sed -n 's/^set(TOLLWICK_SAMPLE_FOLDER \(.*\))$/\1/p' cmake/Packaging.cmake)
for zip in "$windows_zip"; do
  python3 - "dist/$zip.zip" "$zip" "$sample_folder" <<'PY'
import sys, zipfile
zip_path, top, sample = sys.argv[1:]
names = [n.rstrip("/") for n in zipfile.ZipFile(zip_path).namelist()]
files = {n for n in names if not any(m.startswith(n + "/") for m in names)}
expected = {f"{top}/tollwick.exe", f"{top}/README.txt", f"{top}/screenshot.png"} | {
    f"{top}/{sample}/{name}" for name in ("zelkor-kit.exe", "ZELKORSEC.dll", "Zelkor.dll")}
if files != expected:
    print(f"package.sh: {zip_path} holds {sorted(files)}, not {sorted(expected)}", file=sys.stderr)
    sys.exit(1)
PY
done
echo "== the top of the zip holds only tollwick.exe, README.txt and screenshot.png; the rest lies in $sample_folder/"

# --- The Debian package: lintian, with its pedantic tags (begin) ---
# A warning or a pedantic tag fails the script as an error does; the informational tags
# are shown.
echo "== lintian --pedantic dist/tollwick_${version}_amd64.deb"
lintian --pedantic --display-info --fail-on error,warning,pedantic \
  "dist/tollwick_${version}_amd64.deb" 2>&1 | { grep -v '^running with root privileges' || true; }
# --- The Debian package: lintian (end) ---

# The Debian package works as installed: zelkor-kit, started through its link on the
# PATH, finds the security library beside its real self and makes an installation, and
# the packaged tollwick repairs its character file.
check=$(mktemp -d)
trap 'rm -rf "$check"' EXIT
dpkg-deb -x "dist/tollwick_${version}_amd64.deb" "$check/root"
# The program's folder holds the two programs and no game library; the stand-ins lie in
# the sample folder with the kit.
programs="$check/root/usr/lib/tollwick"
for file in tollwick tollwick.exe "$sample_folder/zelkor-kit" "$sample_folder/ZELKORSEC.so" \
    "$sample_folder/Zelkor.dll"; do
  [[ -f "$programs/$file" ]] || { echo "package.sh: the .deb has no /usr/lib/tollwick/$file" >&2; exit 1; }
done
for file in ZELKORSEC.so ZELKORSEC.dll Zelkor.dll; do
  [[ ! -e "$programs/$file" ]] || { echo "package.sh: the .deb has $file beside tollwick" >&2; exit 1; }
done
# --- The Debian package: manual pages and the players' README (begin) ---
for file in share/man/man1/tollwick.1.gz share/man/man1/zelkor-kit.1.gz share/doc/tollwick/README; do
  [[ -f "$check/root/usr/$file" ]] || { echo "package.sh: the .deb has no /usr/$file" >&2; exit 1; }
done
grep -q '^Exec=tollwick %f$' "$check/root/usr/share/applications/tollwick.desktop" ||
  { echo "package.sh: the desktop entry does not take a folder" >&2; exit 1; }
"$check/root/usr/bin/tollwick" --help | grep -q '^Usage: tollwick \[GAME_FOLDER\]' ||
  { echo "package.sh: the packaged tollwick --help shows no usage" >&2; exit 1; }
echo "== the Debian package has the manual pages, the README, and tollwick --help"
# --- The Debian package: manual pages and the players' README (end) ---
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
# A game whose security library is its Windows one: the package's tollwick hands the run
# to its tollwick.exe under Wine.
echo "== the Debian package's tollwick repairs a game with the Windows library through Wine"
bash tests/windows/wine_handoff_test.sh build build-win32 "$programs"
ls -l dist
