#!/usr/bin/env bash
# A library planted beside tollwick.exe never runs. Windows looks for a library that is
# not one of its KnownDLLs in the program's own folder first, and players keep
# tollwick.exe in their Downloads folder: a stand-in winmm.dll there, which writes a
# marker file beside itself when it is loaded, must never be loaded, with Wine told to
# prefer such a library to its own (WINEDLLOVERRIDES=winmm=n,b) as Windows' search order
# would. The program runs to its end (a game folder that does not exist: one box, exit
# code 2). A control first loads the stand-in on purpose, proving that it leaves its
# marker when it runs.
#
#   tests/windows/wine_planted_dll_test.sh WINDOWS_BUILD
#
# Either width: the stand-in is built for the width of the build's tollwick.exe, and the
# 64-bit one runs with wine64. A 32-bit build needs a machine that runs 32-bit programs
# (tests/windows/wine_machine.sh). The prefix is the Windows stage's (WINEPREFIX as for
# the other Windows tests); its server is stopped at the end. WINE names the wine command.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "$1" && pwd)
exe="$build/bin/tollwick.exe"
[[ -f "$exe" ]] || { echo "wine_planted_dll_test: $exe is not built" >&2; exit 2; }
source "$root/tests/windows/wine_machine.sh"
wine_machine
wine_default_prefix

case "$(x86_64-w64-mingw32-objdump -f "$exe")" in
  *pei-x86-64*)
    triple=x86_64-w64-mingw32
    rundll32='C:\windows\system32\rundll32.exe'
    default_wine=$wine_loader64
    ;;
  *pei-i386*)
    triple=i686-w64-mingw32
    rundll32='C:\windows\syswow64\rundll32.exe'
    default_wine=wine
    if [[ "$wine_32bit" != 1 ]]; then
      echo "wine_planted_dll_test: this machine runs no 32-bit programs" >&2
      exit 2
    fi
    ;;
  *) echo "wine_planted_dll_test: $exe is no Windows program" >&2; exit 2 ;;
esac
wine=${WINE:-$default_wine}

export WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY TOLLWICK_DIALOG TOLLWICK_ANSWERS TOLLWICK_TRANSCRIPT
work=$(mktemp -d "${TMPDIR:-/tmp}/tollwick-planted-dll.XXXXXX")
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
WINEDLLOVERRIDES="mscoree,mshtml=" wine_prefix_setup

# The stand-in: the export the program would import from winmm, and a marker at load.
cat >"$work/winmm.c" <<'EOF'
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(self, path, MAX_PATH);
    while (n > 0 && path[n - 1] != L'\\') --n;
    lstrcpyW(path + n, L"planted-dll-ran");
    HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  }
  return TRUE;
}

__declspec(dllexport) BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags) {
  (void)sound;
  (void)module;
  (void)flags;
  return FALSE;
}
EOF
program="$work/Downloads"
mkdir -p "$program"
"$triple-gcc" -shared -o "$program/winmm.dll" "$work/winmm.c" -Wl,--kill-at
marker="$program/planted-dll-ran"
windows_path() { echo "Z:${1//\//\\}"; }

# Wine prefers a winmm.dll of the program's (native) to its own, as Windows would.
export WINEDLLOVERRIDES="winmm=n,b;mscoree,mshtml="

failures=0
# The control: loaded on purpose, the stand-in leaves its marker.
"$wine" "$rundll32" "$(windows_path "$program/winmm.dll"),PlaySoundA" >/dev/null 2>&1 || true
if [[ -f "$marker" ]]; then
  echo "ok   the stand-in leaves its marker when it is loaded"
else
  echo "FAIL the stand-in left no marker when loaded on purpose: the test proves nothing"
  failures=$((failures + 1))
fi
rm -f "$marker"

cp "$exe" "$program/tollwick.exe"
transcript="$work/transcript.jsonl"
set +e
TOLLWICK_ANSWERS=no \
  TOLLWICK_TRANSCRIPT="$(windows_path "$transcript")" \
  "$wine" "$program/tollwick.exe" 'C:\no-such-game' </dev/null >"$work/out.txt" 2>&1
code=$?
set -e
if [[ "$code" -eq 2 ]] && grep -q 'does not exist' "$transcript" 2>/dev/null; then
  echo "ok   tollwick.exe ran to its end (exit code 2, the folder's box)"
else
  echo "FAIL tollwick.exe did not run to its end: exit code $code"
  cat "$work/out.txt" "$transcript" 2>/dev/null || true
  failures=$((failures + 1))
fi
if [[ -f "$marker" ]]; then
  echo "FAIL the winmm.dll beside tollwick.exe was loaded"
  failures=$((failures + 1))
else
  echo "ok   the winmm.dll beside tollwick.exe was never loaded"
fi
test "$failures" -eq 0
