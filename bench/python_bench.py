#!/usr/bin/env python3
"""Times the Python module against the command on the typical corpus (bench/make_corpus.py): floatdump.convert on
the corpus's bytes already in memory, and floatdump.convert_stream from the corpus file to a file, against
`floatdump CORPUS OUT`. Every run that writes a file starts from no output file. Prints medians in MB/s
(10^6 bytes) and each form's speed as a share of the command's. Figures only: nothing here passes or fails.

usage: python_bench.py [--runs N] [--size MB] [BUILD_DIR]
  run it with a Python that has floatdump installed (scripts/test-python.sh makes such a venv); BUILD_DIR holds a
  Release build of the command and the corpora (default: build)
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

import floatdump


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--runs", type=int, default=10, help="rounds, each running every form once (default 10)")
    parser.add_argument("--size", type=float, default=200, help="the typical corpus's MB (default 200)")
    parser.add_argument("build", nargs="?", default="build")
    args = parser.parse_args()
    command = os.path.join(args.build, "floatdump")
    here = os.path.dirname(os.path.abspath(__file__))
    corpus = subprocess.run([sys.executable, f"{here}/make_corpus.py", "--size", f"typical={args.size:g}",
                             "--size", "plain=0", "--size", "dense=0", f"{args.build}/bench-corpus"],
                            check=True, capture_output=True, text=True).stdout.split()[0]
    out = f"{args.build}/bench-corpus/python-bench.out"
    data = open(corpus, "rb").read()

    def run_command():
        subprocess.run([command, corpus, out], check=True)

    def run_convert():
        floatdump.convert(data)

    def run_stream():
        with open(corpus, "rb") as source, open(out, "wb") as sink:
            floatdump.convert_stream(source, sink)

    forms = {"floatdump CORPUS OUT": run_command, "floatdump.convert(data)": run_convert,
             "floatdump.convert_stream(file, file)": run_stream}
    times = {name: [] for name in forms}
    for _ in range(args.runs):
        for name, run in forms.items():
            if os.path.exists(out):
                os.remove(out)
            start = time.perf_counter()
            run()
            times[name].append(time.perf_counter() - start)
    os.remove(out)
    print(f"{os.path.basename(corpus)}, {len(data)} bytes, medians of {args.runs} runs")
    base = statistics.median(times["floatdump CORPUS OUT"])
    for name, seconds in times.items():
        median = statistics.median(seconds)
        print(f"  {name:38} {median:7.3f} s {len(data) / median / 1e6:7.0f} MB/s  {base / median:5.2f} of the command")


if __name__ == "__main__":
    main()
