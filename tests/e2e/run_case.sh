#!/bin/sh
# Converts <case>.in and compares byte for byte: the output with
# <case>.expected, standard error with <case>.stderr (empty if absent), and the
# exit status with <case>.status (0 if absent).
set -u
bin=$1
case=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$bin" "$case.in" "$work/out" 2>"$work/err"
status=$?
expected_status=0
[ -f "$case.status" ] && expected_status=$(cat "$case.status")
[ -f "$case.stderr" ] || : >"$work/no-stderr"
expected_stderr=$case.stderr
[ -f "$expected_stderr" ] || expected_stderr=$work/no-stderr

fail=0
if [ "$status" != "$expected_status" ]; then
  echo "exit status $status, expected $expected_status"
  fail=1
fi
if ! cmp "$work/out" "$case.expected"; then
  echo "--- output (od -c):"; od -c "$work/out" | head -40
  fail=1
fi
if ! cmp "$work/err" "$expected_stderr"; then
  echo "--- standard error (od -c):"; od -c "$work/err" | head -20
  fail=1
fi
exit $fail
