#!/usr/bin/env bash
# A manual page made at build time reads as one: man renders it without a warning,
# and it holds each of the words given (its sections, the options and variables).
#   man_page_test.sh PAGE WORD...
set -uo pipefail
page=$1
shift
out=$(mktemp)
trap 'rm -f "$out" "$out.err"' EXIT
if ! MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" >"$out" 2>"$out.err"; then
  echo "FAIL man -l $page"; cat "$out.err"; exit 1
fi
failures=0
if [[ -s "$out.err" ]]; then echo "FAIL man warns:"; cat "$out.err"; failures=1; fi
for word in "$@"; do
  grep -qF -- "$word" "$out" || { echo "FAIL the page lacks \"$word\""; failures=1; }
done
((failures)) && { echo "-- the page:"; cat "$out"; exit 1; }
echo "ok   $page: $(head -n 1 "$out")"
