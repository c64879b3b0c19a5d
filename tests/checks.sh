# The checks of the test scripts, sourced by each:
#   check NAME CONDITION...   runs CONDITION and says "ok NAME" or "FAIL NAME"
#   checks_done               says how many passed and failed; fails when one failed
#   folder_sums DIR           a checksum of every file below DIR, to compare before and after
failures=0
passes=0
check() {
  local name=$1
  shift
  if "$@"; then echo "ok   $name"; passes=$((passes + 1)); else echo "FAIL $name"; failures=$((failures + 1)); fi
}
checks_done() {
  echo "$passes passed, $failures failed"
  test "$failures" -eq 0
}
folder_sums() {
  (cd "$1" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum)
}
