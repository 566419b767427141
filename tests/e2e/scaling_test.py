#!/usr/bin/env python3
"""Converting 8 MB of a pathological shape takes less than 16 times what 1 MB
takes (linear time; quadratic would be 64 times), and plain text takes the
same memory however long its lines. CPU time of the best of three runs, less
that of an empty input: a ratio, not a timed limit.

Usage: scaling_test.py FLOATDUMP
"""
import os
import subprocess
import sys
import tempfile
import threading

MB = 1 << 20
# name: (bytes of one MB, whether it is plain text that needs no more memory when longer)
SHAPES = {
    "NUL bytes, no line end": (lambda n: b"\0" * n, True),
    "x NUL x NUL": (lambda n: b"x\0" * (n // 2), True),
    "one line, no line end": (lambda n: b"abc " * (n // 4), True),
    "CR-only line ends": (lambda n: b"text\r" * (n // 5), True),
    "quoted text with NULs": (lambda n: b'"' + b"x\0" * (n // 2) + b'"', False),
    "unclosed quoted text": (lambda n: b"'" + b"x" * n + b"\n", False),
    "long integer field": (lambda n: b"(" + b"7" * n + b"}", False),
    "unclosed integer field": (lambda n: b"(" + b"a" * n, False),
    "apostrophes only": (lambda n: b"'" * n, False),
}


def cost(binary, path):
    """CPU seconds and peak resident KiB of converting `path`, best of three.
    GNU time measures the memory: a child of this process would count the
    interpreter's pages as its own."""
    runs = []
    for _ in range(3):
        with tempfile.NamedTemporaryFile() as rss, open(os.devnull, "wb") as null:
            p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", rss.name, binary, path, "-"], stdout=null)
            killer = threading.Timer(120, p.kill)  # quadratic time is a failure, not a hang
            killer.start()
            _, status, usage = os.wait4(p.pid, 0)
            killer.cancel()
            if status != 0:
                raise AssertionError(f"{path}: exit status {status} (killed after 120 s?)")
            runs.append((usage.ru_utime + usage.ru_stime, int(rss.read().split()[-1])))
    return min(r[0] for r in runs), min(r[1] for r in runs)


def main(binary):
    failures = 0
    with tempfile.TemporaryDirectory() as d:
        start_up, _ = cost(binary, write(f"{d}/in", b""))  # what the ratios leave out
        for name, (make, flat) in SHAPES.items():
            (small_time, small_rss), (large_time, large_rss) = (
                cost(binary, write(f"{d}/in", make(size))) for size in (MB, 8 * MB))
            ratio = (large_time - start_up) / max(small_time - start_up, 1e-3)
            grown = large_rss - small_rss
            ok = ratio < 16 and (not flat or grown < 1024)
            failures += not ok
            print(f"{'ok' if ok else 'FAIL'}: {name}: 8 MB takes {ratio:.1f} times 1 MB"
                  + (f", peak memory {grown:+d} KiB" if flat else ""))
    return 1 if failures else 0


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return path


if __name__ == "__main__":
    sys.exit(main(os.path.abspath(sys.argv[1])))
