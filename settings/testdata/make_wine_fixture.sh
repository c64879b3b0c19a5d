#!/usr/bin/env bash
# Makes wine_system.reg: registry values written by Wine itself under a throw-away
# prefix with `wine reg add`, then cut down to the file's header and the few key
# sections the tests read (every line of them exactly as Wine saved it).
# Needs the wine64 package (Debian 12: /usr/lib/wine/wine64).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
wine=${WINE:-/usr/lib/wine/wine64}
export WINEPREFIX=$(mktemp -d /tmp/tollwick-wine-fixture.XXXXXX)
export WINEDEBUG=-all
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
key='HKLM\Software\Varnholt\Zelkor'
add() { "$wine" reg add "$@" /f >/dev/null; }

add "$key" /v 'Quote "q" and \back' /t REG_SZ /d $'C:\\Games\\"X" caf\u00e9 1\u00e92 tab\tend'
add "$key" /ve /t REG_SZ /d 'default'
add "$key" /v Expand /t REG_EXPAND_SZ /d '%SystemRoot%\Zelkor'
add "$key" /v Multi /t REG_MULTI_SZ /d 'first\0second part'
add "$key" /v Dword26 /t REG_DWORD /d 26
add "$key" /v DwordAll /t REG_DWORD /d 0xffffffff
add "$key" /v Binary /t REG_BINARY /d 000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f202122232425262728292a2b2c2d2e2f
add "$key" /v Qword /t REG_QWORD /d 0x1122334455667788
add "$key" /v None /t REG_NONE
add "$key" /v Empty /t REG_SZ /d ''
add "$key" /v LoadDefaultSystem /t REG_SZ /d 'True'
add "$key\\Sub [x]" /v Inner /t REG_SZ /d 'in'
add "$key" /v WorkingDirectory /t REG_SZ /d 'C:\Games\Zelkor'
add "$key" /v WorkingDirectory /t REG_SZ /d 'C:\Games\Zelkor32' /reg:32
/usr/lib/wine/wineserver -w

# Header lines up to the first key, then the chosen sections with their blank line.
awk '
  /^\[/ { keep = ($0 ~ /^\[Software\\\\(Wow6432Node\\\\)?Varnholt/ ||
                  $0 ~ /^\[Software\\\\Wow6432Node\\\\Classes\]/) ; seen = 1 }
  !seen || keep { print }
' "$WINEPREFIX/system.reg" > "$here/wine_system.reg"
echo "wrote $here/wine_system.reg"
