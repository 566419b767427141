#!/bin/sh
# Builds the fuzz target with clang in build-fuzz and runs it for SECONDS (default 60) with one worker, seeded
# with the end-to-end inputs. Inputs grow to 1 MiB, and one that takes over 10 s is a finding: a conversion must
# take time linear in its input. Fails on any crash, sanitizer report, failed check or slow input; the input
# that caused it is left in build-fuzz/findings/.
# Usage: scripts/fuzz.sh [SECONDS [LIBFUZZER_ARGUMENT...]]: a directory among the arguments keeps the corpus
# between runs (new inputs go to the first); -len_control=0, for one, tries any length up to 1 MiB at once.
set -eu
cd "$(dirname "$0")/.."
scripts/setup-debian.sh
seconds=${1:-60}
[ $# -gt 0 ] && shift
build=${FLOATDUMP_FUZZ_BUILD:-build-fuzz}
CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFLOATDUMP_FUZZ=ON >/dev/null
cmake --build "$build" --target convert_fuzz -j "$(nproc 2>/dev/null || echo 2)"
seeds=$(mktemp -d) && trap 'rm -rf "$seeds"' EXIT
cp tests/e2e/cases/*.in "$seeds"/

# libFuzzer reports every new input: its log is shown only on failure.
mkdir -p "$build/findings"
log=$build/fuzz.log
if ! "$build/tests/convert_fuzz" -max_total_time="$seconds" -max_len=1048576 -timeout=10 -rss_limit_mb=2048 \
  -dict=tests/fuzz/floatdump.dict -artifact_prefix="$build/findings/" -print_final_stats=1 "$@" "$seeds" \
  >"$log" 2>&1; then
  tail -n 80 "$log"
  echo "fuzz: FAILED; the input is in $build/findings/, the whole log in $log"
  exit 1
fi
grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$log"
echo "fuzz: no finding in $seconds s"
