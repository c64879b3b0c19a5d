# Sourced by the whole-program tests under Wine: `wine_test_session NAME DRIVE` finds
# which Wine runs the tests here (wine_machine.sh: sets wine, wine_width, wine_32bit),
# sets up the prefix's environment (WINEPREFIX as given, default the Windows stage's
# prefix), makes the work folder $work, and on exit removes the game's settings, the
# drive letter DRIVE and the work folder (kept when TOLLWICK_E2E_KEEP is set) and stops
# the prefix's server. Sets root, key, drive and work.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/tests/windows/wine_machine.sh"

wine_test_session() {
  wine_machine
  wine_default_prefix
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  unset DISPLAY WAYLAND_DISPLAY TOLLWICK_DIALOG TOLLWICK_ANSWERS TOLLWICK_TRANSCRIPT
  key='HKLM\Software\Varnholt\Zelkor'
  drive=$2
  work=$(mktemp -d "${TMPDIR:-/tmp}/tollwick-wine-$1.XXXXXX")
  trap wine_test_cleanup EXIT
  wine_prefix_setup
}

wine_test_cleanup() {
  "$wine" reg delete "$key" /reg:32 /f >/dev/null 2>&1 || true
  rm -f "$WINEPREFIX/dosdevices/$drive:"
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [[ -n "${TOLLWICK_E2E_KEEP:-}" ]]; then echo "kept: $work"; else rm -rf "$work"; fi
}
