# The checks of the test scripts, sourced by each:
#   check NAME CONDITION...   runs CONDITION and says "ok NAME" or "FAIL NAME"
#   checks_done               says how many passed and failed; fails when one failed
#   folder_sums DIR           a checksum of every file below DIR, to compare before and after
#   new_window FINDER...      waits for FINDER to print the id of a window not yet seen
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
# new_window FINDER...: runs FINDER (a command printing window ids) until it prints one
# that is not in $work/seen, for 30 s at most and while the program $pid runs; notes it
# as seen, gives it time to be drawn and prints it. Fails when no such window came.
new_window() {
  local id=""
  for _ in $(seq 300); do
    id=$("$@" | grep -vxF -f "$work/seen" | head -n 1)
    [[ -n "$id" ]] && break
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  [[ -n "$id" ]] || return 1
  echo "$id" >>"$work/seen"
  sleep 0.5  # drawn
  echo "$id"
}
