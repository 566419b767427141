#!/bin/sh
# Converts <case>.in with BINARY and compares byte for byte (od -c shows a
# difference): the output with <case>.expected, standard error with
# <case>.stderr and the exit status with <case>.status (empty and 0 if absent).
# usage: run_case.sh BINARY CASE
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$1" "$2.in" "$work/output" 2>"$work/stderr"
echo $? >"$work/status"
cp "$2.expected" "$work/want-output"
{ cat "$2.stderr" 2>/dev/null || :; } >"$work/want-stderr"
{ cat "$2.status" 2>/dev/null || echo 0; } >"$work/want-status"
fail=0
for what in output stderr status; do
  cmp -s "$work/$what" "$work/want-$what" && continue
  echo "--- $what differs; got (od -c):"
  od -c "$work/$what" | head -40
  fail=1
done
exit $fail
