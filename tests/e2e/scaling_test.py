#!/usr/bin/env python3
"""Converting 8 MB of a pathological shape takes less than 16 times what 1 MB
takes (linear time; quadratic would be 64 times), and plain text takes the
same memory however long its lines. CPU time of the best of three runs, start-up
included (which only lowers the ratio): a ratio, not a timed limit. GNU time measures the
memory: a child of this interpreter would count its pages as its own.

Usage: scaling_test.py FLOATDUMP
"""
import os, signal, subprocess, sys, tempfile, threading

SHAPES = {  # name: (n bytes of the shape, whether its memory must stay flat)
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


def cost(data):
    """CPU seconds and peak resident KiB of converting `data`, best of three."""
    runs = []
    with tempfile.NamedTemporaryFile() as source, tempfile.NamedTemporaryFile() as rss:
        source.write(data)
        source.flush()
        for _ in range(3):
            p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", rss.name, BIN, source.name, "-"],
                                 stdout=subprocess.DEVNULL, start_new_session=True)
            # Quadratic time fails here rather than hangs; the converter goes with GNU time.
            killer = threading.Timer(120, os.killpg, (p.pid, signal.SIGKILL))
            killer.start()
            _, status, usage = os.wait4(p.pid, 0)
            killer.cancel()
            if status != 0:
                sys.exit(f"FAIL: exit status {status} (killed after 120 s?)")
            rss.seek(0)
            runs.append((usage.ru_utime + usage.ru_stime, int(rss.read().split()[-1])))
    return min(r[0] for r in runs), min(r[1] for r in runs)


if __name__ == "__main__":
    BIN = os.path.abspath(sys.argv[1])
    with open(BIN, "rb") as binary:
        if b"__asan_init" in binary.read():
            sys.exit(77)  # a sanitizer's start-up and shadow memory drown the ratios; ctest's skip
    failures = 0
    for name, (make, flat) in SHAPES.items():
        (small, small_rss), (large, large_rss) = cost(make(1 << 20)), cost(make(8 << 20))
        ratio = large / max(small, 1e-3)
        ok = ratio < 16 and (not flat or large_rss - small_rss < 1024)
        failures += not ok
        print(f"{'ok' if ok else 'FAIL'}: {name}: 8 MB takes {ratio:.1f} times 1 MB"
              + (f", peak memory {large_rss - small_rss:+d} KiB" if flat else ""))
    sys.exit(1 if failures else 0)
