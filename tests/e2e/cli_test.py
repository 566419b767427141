#!/usr/bin/env python3
"""The floatdump command as a user meets it: arguments, files that cannot be
opened or written, the standard streams, a terminal, long tokens and reads
that split a CR LF pair.

Usage: cli_test.py FLOATDUMP CASE...   (cli_test.py --list names the cases)
"""
import os
import pty
import re
import select
import subprocess
import sys
import tempfile
import termios
import time

CASES = {}


def case(function):
    CASES[function.__name__] = function
    return function


def run(*args, stdin=b"", cwd=None, **kwargs):
    return subprocess.run([BIN, *args], input=stdin, capture_output=True, cwd=cwd, timeout=60, **kwargs)


def expect(actual, wanted, what):
    if actual != wanted:
        raise AssertionError(f"{what}:\n  got      {actual!r}\n  expected {wanted!r}")


@case
def usage():
    for args in ([], ["only-one"]):
        with tempfile.TemporaryDirectory() as d:
            r = run(*args, cwd=d)
            expect(r.returncode, 1, "status")
            pattern = rb"Zelvane\(R\) Orvenda\(R\) Quarnis Numeric dump converter version \d+(\.\d+)+\r\n"
            banner, _, usage_line = r.stderr.partition(b"\r\n")
            if not re.fullmatch(pattern, banner + b"\r\n"):
                raise AssertionError(f"banner: {banner!r}")
            expect(usage_line, BIN.encode() + b" resultFile_in  resultFile_out", "usage (no line end)")
            expect(os.listdir(d), [], "files created")


@case
def extra_arguments_ignored():
    with tempfile.TemporaryDirectory() as d:
        open(f"{d}/in", "wb").write(b"(1}\n")
        r = run("in", "out", "third", "fourth", cwd=d)
        expect((r.returncode, r.stderr), (0, b""), "status and stderr")
        expect(open(f"{d}/out", "rb").read(), b"1\r\n", "output")


@case
def missing_input_file():
    with tempfile.TemporaryDirectory() as d:
        r = run("nope.txt", "out", cwd=d)
        expect(r.returncode, 2, "status")
        expect(r.stderr, b"floatdump: cannot open input file 'nope.txt': No such file or directory\r\n", "stderr")
        expect(os.listdir(d), [], "files created")


@case
def unopenable_output_file():
    with tempfile.TemporaryDirectory() as d:
        open(f"{d}/in", "wb").write(b"(1}\n")
        r = run("in", "no/such/dir/out", cwd=d)
        expect(r.returncode, 2, "status")
        expect(r.stderr, b"floatdump: cannot open output file 'no/such/dir/out': No such file or directory\r\n",
               "stderr")
        expect(r.stdout, b"", "stdout")


@case
def directory_as_input():
    with tempfile.TemporaryDirectory() as d:
        r = run(".", "out", cwd=d)
        expect((r.returncode, r.stderr), (2, b"input in flex scanner failed\r\n"), "status and stderr")
        expect(open(f"{d}/out", "rb").read(), b"", "output")


@case
def full_disk():
    r = run("/dev/stdin", "/dev/full", stdin=b"(1}\n" * 50000)
    expect(r.returncode, 2, "status")
    expect(r.stderr, b"floatdump: error writing '/dev/full': No space left on device\r\n", "stderr")


@case
def closed_standard_output():
    r = subprocess.run(f"'{BIN}' - - >&-", shell=True, input=b"(1}\n", capture_output=True, timeout=60)
    expect(r.returncode, 2, "status")
    expect(r.stderr, b"floatdump: error writing standard output: Bad file descriptor\r\n", "stderr")


@case
def dash_means_standard_streams():
    r = run("-", "-", stdin=b"n = (1A}\r\nF1 !DB0F4940!\nm = {E}\n\x1aafter\n")
    expect((r.returncode, r.stderr), (0, b""), "status and stderr")
    expect(r.stdout, b"n = 161\r\nm = -2\r\n", "stdout")


@case
def crlf_split_between_reads():
    # Each write reaches the converter as a read of its own, so the pairs are split.
    chunks = [b"a\r", b"\nb\r", b"c\r", b"\r", b"\n(1}\r", b"\x1alost\n"]
    p = subprocess.Popen([BIN, "-", "-"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    for chunk in chunks:
        p.stdin.write(chunk)
        p.stdin.flush()
        time.sleep(0.05)
    out, _ = p.communicate(timeout=60)
    expect((p.returncode, out), (0, b"a\r\nb\rc\r\r\n1\r"), "status and output")


@case
def long_tokens_are_never_cut():
    quoted = b"'" + b"(1}" * 13333 + b"'"  # 40000 characters, one token
    plain = b"".join(b"line %5d " % i + b"x" * 69 + b"\n" for i in range(1250))  # 100000 characters
    field = b"(" + b"1234567890abcdef" * 6250 + b"}"  # 100000 digits; the first eight count
    r = run("-", "-", stdin=quoted + b"\n" + plain + field + b"\n")
    expect((r.returncode, r.stderr), (0, b""), "status and stderr")
    expected = quoted + b"\r\n" + plain.replace(b"\n", b"\r\n") + b"2271560481\r\n"
    if r.stdout != expected:
        raise AssertionError(f"output differs, {len(r.stdout)} bytes instead of {len(expected)}")


@case
def terminal_lines_convert_as_they_arrive():
    master, slave = pty.openpty()
    attrs = termios.tcgetattr(slave)
    attrs[3] &= ~termios.ECHO
    attrs[6][termios.VSUSP] = 0  # like `stty susp undef`: Ctrl-Z reaches the converter as data
    termios.tcsetattr(slave, termios.TCSANOW, attrs)
    p = subprocess.Popen([BIN, "-", "-"], stdin=slave, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    os.close(slave)

    def answer(line, wanted):
        os.write(master, line)
        got = b""
        deadline = time.monotonic() + 10
        while len(got) < len(wanted) and time.monotonic() < deadline:
            if select.select([p.stdout], [], [], 0.1)[0]:
                got += os.read(p.stdout.fileno(), 4096)
        expect(got, wanted, f"answer to {line!r}")

    try:
        answer(b"n = (1A}\n", b"n = 161\r\n")
        answer(b"F1 !DB0F4940!\n(2}\x1a(3}\n(4}\n", b"24\r\n")  # a Ctrl-Z drops the rest of its line
        os.write(master, b"\x1a\n")  # at the start of a line, Ctrl-Z ends the input
        out, err = p.communicate(timeout=10)
        expect((p.returncode, out, err), (0, b"", b""), "end of input")
    finally:
        p.kill()
        os.close(master)


if __name__ == "__main__":
    if sys.argv[1:] == ["--list"]:
        print(";".join(CASES))
        sys.exit(0)
    BIN = os.path.abspath(sys.argv[1])
    for name in sys.argv[2:] or CASES:
        CASES[name]()
        print(f"{name}: ok")
