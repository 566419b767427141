#!/usr/bin/env bash
# Times floatdump against the I/O floor (io_floor.cpp: 64 KiB reads, LF
# written as CR LF, nothing else), and for reference cat, sed adding a CR to
# each line and unix2dos, on the three benchmark corpora. Prints the ratio
# to the floor first, then MB/s (10^6 bytes), the ratios to cat, and
# floatdump's peak resident memory. Every run starts from no output file:
# truncating a large one costs about as much as cat's whole copy. Figures
# only: nothing here passes or fails on speed.
#
# usage: bench/throughput.sh [--quick] [--memory] [--runs N] [BUILD_DIR]
#   BUILD_DIR  a Release build holding floatdump (default: build)
#   --quick    small corpora (20/20/10 MB instead of 200/200/100 MB)
#   --memory   also stream 2 GB through a pipe and report the peak RSS
#   --runs N   rounds per corpus (default 10); a round runs each command once,
#              in rotating order, so the machine's drift hits all of them
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=build quick=0 memory=0 runs=10
while (($#)); do
  case $1 in
    --quick) quick=1 ;;
    --memory) memory=1 ;;
    --runs) runs=$2; shift ;;
    -*) sed -n '10,15s/^# \{0,1\}//p' "$0" >&2; exit 1 ;;
    *) build=$1 ;;
  esac
  shift
done

floatdump=$(cd "$build" && pwd)/floatdump
[[ -x $floatdump ]] || { echo "no $floatdump: build it first (cmake -DCMAKE_BUILD_TYPE=Release)" >&2; exit 1; }
grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt" 2>/dev/null ||
  echo "warning: $build is not a Release build" >&2

missing=()
command -v hyperfine >/dev/null || missing+=(hyperfine)
command -v unix2dos >/dev/null || missing+=(dos2unix)
[[ -x /usr/bin/time ]] || missing+=(time)
if ((${#missing[@]})); then
  apt-get update -qq && apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if ((quick)); then sizes=(--size typical=20 --size plain=20 --size dense=10)
else sizes=(--size typical=200 --size plain=200 --size dense=100); fi
mapfile -t corpora < <(python3 "$here/make_corpus.py" "${sizes[@]}" "$build/bench-corpus")

work=$(mktemp -d "$build/bench-run.XXXXXX")  # same disk as the corpora
trap 'rm -rf "$work"' EXIT
out=$work/out  # every command writes the same file, removed before each run
io_floor=$work/io_floor
c++ -O2 -o "$io_floor" "$here/io_floor.cpp"

for corpus in "${corpora[@]}"; do
  name=$(basename "$corpus" .txt)
  printf -v fd "%q %q %q" "$floatdump" "$corpus" "$out"
  printf -v ct "cat %q > %q" "$corpus" "$out"
  printf -v u2d "unix2dos -q -n %q %q" "$corpus" "$out"
  printf -v floor "%q %q %q" "$io_floor" "$corpus" "$out"
  printf -v sd "sed 's/\$/\\r/' %q > %q" "$corpus" "$out"
  commands=("$fd" "$ct" "$floor" "$u2d" "$sd")
  labels=(floatdump cat io_floor unix2dos sed)
  cat "$corpus" >/dev/null  # into the page cache
  echo "timing $name: a warm-up round and $runs more" >&2
  for ((round = 0; round <= runs; round++)); do  # round 0 is the warm-up
    args=()
    for ((i = 0; i < 5; i++)); do
      k=$(((i + round) % 5))
      args+=(-n "${labels[k]}" "${commands[k]}")
    done
    hyperfine --runs 1 --style none --prepare "rm -f $(printf %q "$out")" \
      --export-json "$work/$name.$round.json" "${args[@]}" >/dev/null
  done
  rm "$work/$name.0.json"
  rm -f "$out"
  /usr/bin/time -f %M -o "$work/$name.rss" "$floatdump" "$corpus" "$out"
  stat -c %s "$corpus" >"$work/$name.size"
done

python3 - "$work" "${corpora[@]}" <<'EOF'
import glob, json, os, statistics, sys
work, corpora = sys.argv[1], sys.argv[2:]
print(f"{'corpus':<16}{'MB':>7}{'fd/floor':>10}{'  (range)':<14}{'floatdump MB/s':>16}{'floor MB/s':>12}{'cat MB/s':>10}"
      f"{'fd/cat':>8}{'floor/cat':>10}{'sed/cat':>9}{'u2d/cat':>9}{'fd peak RSS':>13}")
for corpus in corpora:
    name = os.path.basename(corpus)[:-4]
    times = {}  # command -> one time per round
    for path in glob.glob(f"{work}/{name}.*.json"):
        for result in json.load(open(path))["results"]:
            times.setdefault(result["command"], []).append(result["times"][0])
    fd, cat, floor, u2d, sed = (statistics.median(times[c])
                                for c in ("floatdump", "cat", "io_floor", "unix2dos", "sed"))
    per_round = sorted(f / c for f, c in zip(times["floatdump"], times["io_floor"]))
    mb = int(open(f"{work}/{name}.size").read()) / 1e6
    rss = int(open(f"{work}/{name}.rss").read().split()[-1])
    span = f"  ({per_round[0]:.1f}-{per_round[-1]:.1f})"
    print(f"{name:<16}{mb:>7.0f}{fd / floor:>10.2f}{span:<14}{mb / fd:>16.1f}{mb / floor:>12.1f}{mb / cat:>10.1f}"
          f"{fd / cat:>8.2f}{floor / cat:>10.2f}{sed / cat:>9.2f}{u2d / cat:>9.2f}{rss:>10} KiB")
print(f"medians of {len(per_round)} alternating rounds; range: fastest and slowest round's fd/floor")
EOF

if ((memory)); then
  typical=${corpora[0]}
  repeats=$(((2000000000 + $(stat -c %s "$typical") - 1) / $(stat -c %s "$typical")))
  echo "memory: $repeats x $(basename "$typical") through a pipe into floatdump - /dev/null" >&2
  # Each repeat brings its calibration lines again: the conflicts they
  # report on standard error are expected and not shown.
  for ((i = 0; i < repeats; i++)); do cat "$typical"; done |
    /usr/bin/time -f '%M %e' -o "$work/pipe" "$floatdump" - /dev/null 2>/dev/null
  read -r rss seconds <"$work/pipe"
  awk -v r="$rss" -v s="$seconds" -v b=$((repeats * $(stat -c %s "$typical"))) \
    'BEGIN { printf "pipe: %.2f GB in %.1f s (%.0f MB/s), floatdump peak RSS %d KiB (%.2f MiB)\n", b / 1e9, s, b / 1e6 / s, r, r / 1024 }'
fi
