#!/usr/bin/env bash
# What Windows and Explorer read from the built tollwick.exe before it runs: the GUI
# subsystem (no console window), the large-address-aware flag (32-bit), an icon in every
# size Explorer asks for (16, 24, 32, 48, 256) of one design, the version information
# (Tollwick 1.01: fixed versions and strings that agree, a copyright line, no word that
# makes Windows take it for an installer), a manifest with common controls 6, DPI
# awareness, the supported Windows versions and no execution level, and imports of
# KnownDLLs only. zelkor-kit.exe and
# ZELKORSEC.dll carry the version information too.
#
#   tests/windows/program_resources_test.sh BIN_DIR OBJDUMP VERSION
set -euo pipefail
bin=$1 objdump=$2 version=$3
source "$(dirname "${BASH_SOURCE[0]}")/../checks.sh"
headers=$("$objdump" -p "$bin/tollwick.exe")
resources=$(wrestool -l "$bin/tollwick.exe")

check "GUI subsystem" grep -q 'Subsystem.*(Windows GUI)' <<<"$headers"
if grep -q 'Magic.*010b' <<<"$headers"; then
  check "large-address aware" grep -q 'large address aware' <<<"$headers"
fi
check "an icon" grep -q 'type=group_icon' <<<"$resources"

# The icon's sizes, and one design in all of them: each image is close to the largest
# one scaled down to its size.
icons=$(mktemp -d)
trap 'rm -rf "$icons"' EXIT
wrestool -x -t 14 "$bin/tollwick.exe" >"$icons/tollwick.ico"
sizes=$(icotool -l "$icons/tollwick.ico" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | tr '\n' ' ')
check "icon sizes 16 24 32 48 256 (are: $sizes)" test "$sizes" = "16 24 32 48 256 "
icotool -x -o "$icons" "$icons/tollwick.ico"
largest=$(ls "$icons"/*_256x256x32.png 2>/dev/null | head -n 1)
for size in 16 24 32 48; do
  image=$(ls "$icons"/*_${size}x${size}x32.png 2>/dev/null | head -n 1)
  difference=1
  if [[ -n "$image" && -n "$largest" ]]; then
    convert "$largest" -filter Lanczos -resize "${size}x${size}" "PNG32:$icons/scaled-$size.png"
    difference=$(compare -metric RMSE "$image" "$icons/scaled-$size.png" null: 2>&1 |
      sed -n 's/.*(\([0-9.e-]*\)).*/\1/p')
  fi
  check "the ${size}x${size} icon is the 256x256 design (RMSE ${difference:-?})" \
    python3 -c "import sys; sys.exit(0 if float('${difference:-1}') < 0.08 else 1)"
done
check "version information" grep -q 'type=version' <<<"$resources"
check "a manifest" grep -q -- '--type=24 --name=1 ' <<<"$resources"

# Every library the program imports is one that Windows always loads from its system
# folder (a KnownDLL on every Windows the manifest names, 7 to 11): Windows looks for any
# other in the program's own folder first, where a library of the same name planted
# beside the program (in a Downloads folder) would run before any code of ours. The
# program loads what it needs beyond these from the system folder only, at run time.
known_dlls=" advapi32.dll comdlg32.dll gdi32.dll imagehlp.dll imm32.dll kernel32.dll msctf.dll
  msvcrt.dll normaliz.dll nsi.dll ole32.dll oleaut32.dll psapi.dll rpcrt4.dll sechost.dll
  setupapi.dll shell32.dll shlwapi.dll user32.dll wldap32.dll ws2_32.dll "
imports=$(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$headers" | tr '[:upper:]' '[:lower:]')
check "imports found" test -n "$imports"
for dll in $imports; do
  check "import $dll is a KnownDLL" grep -qF " $dll" <<<"$known_dlls"
done

# The manifest without its comments (which say why it has no execution level).
manifest=$(wrestool -x --raw -t 24 -n 1 "$bin/tollwick.exe" | tr '\n' ' ' | sed 's/<!--[^>]*-->//g')
check "manifest: common controls 6" \
  grep -q 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' <<<"$manifest"
check "manifest: per-monitor v2 DPI awareness" \
  grep -q '<dpiAwareness[^>]*>PerMonitorV2, PerMonitor</dpiAwareness>' <<<"$manifest"
check "manifest: the older DPI awareness for Windows before 10" \
  grep -q '<dpiAware [^>]*>true/pm</dpiAware>' <<<"$manifest"
check "manifest: Windows 7 to 11 supported" \
  test "$(grep -o '<supportedOS Id="{[0-9a-f-]*}"/>' <<<"$manifest" | sort -u | wc -l)" -eq 4
check "manifest: no execution level" \
  bash -c '! grep -qiE "requestedExecutionLevel|trustInfo"' <<<"$manifest"

# The version resource: the fixed file and product versions (VS_FIXEDFILEINFO) and the
# strings (UTF-16), which must say the same four numbers, those of the project's version
# ("1.01" is 1.1.0.0).
numbers=$(python3 -c 'import sys; a, b = sys.argv[1].split("."); print(f"{int(a)}.{int(b)}.0.0")' "$version")
for file in tollwick.exe zelkor-kit.exe ZELKORSEC.dll; do
  wrestool -x --raw -t 16 "$bin/$file" >"$icons/version.bin"
  strings_of=$(tr -d '\0' <"$icons/version.bin")
  fixed=$(python3 - "$icons/version.bin" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(struct.pack("<I", 0xFEEF04BD))
fms, fls, pms, pls = struct.unpack_from("<IIII", data, at + 8)
part = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
print(part(fms, fls), part(pms, pls))
PY
)
  check "$file: product Tollwick" grep -q 'ProductNameTollwick' <<<"$strings_of"
  check "$file: fixed file and product versions $numbers (are: $fixed)" \
    test "$fixed" = "$numbers $numbers"
  check "$file: version strings $numbers" \
    bash -c '[[ $2 == *"FileVersion$1"* && $2 == *"ProductVersion$1"* ]]' _ "$numbers" "$strings_of"
  check "$file: a copyright line" grep -qE 'LegalCopyrightCopyright \(C\) [0-9]{4} Tollwick developers' \
    <<<"$strings_of"
  check "$file: no word that asks for elevation" \
    bash -c '! grep -qiE "install|setup|update|patch"' <<<"$strings_of"
done
checks_done
