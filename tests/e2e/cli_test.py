#!/usr/bin/env python3
"""The floatdump command as a user meets it: arguments, files that cannot be
opened, read or written, the standard streams, a terminal, long tokens,
memory limits and reads that split a CR LF pair.

Usage: cli_test.py FLOATDUMP CASE...   (cli_test.py --list names the cases)
"""
import hashlib
import os
import pty
import re
import resource
import select
import signal
import subprocess
import sys
import tempfile
import termios
import threading
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


def open_terminal():
    """A pseudo-terminal (master, slave) that does not echo and passes Ctrl-Z on as data."""
    master, slave = pty.openpty()
    attrs = termios.tcgetattr(slave)
    attrs[3] &= ~termios.ECHO
    attrs[6][termios.VSUSP] = 0  # like `stty susp undef`
    termios.tcsetattr(slave, termios.TCSANOW, attrs)
    return master, slave


def stream(chunks, env=None, preexec_fn=None):
    """Runs `floatdump - -` on the chunks, fed through a pipe while the output
    is read back, so that no copy of a large input or output is kept. Returns
    the status, the output's size and SHA-256, and standard error."""
    with tempfile.TemporaryFile() as err:
        p = subprocess.Popen([BIN, "-", "-"], stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=err,
                             env=env, preexec_fn=preexec_fn)

        def feed():
            try:
                for chunk in chunks:
                    p.stdin.write(chunk)
                p.stdin.close()
            except BrokenPipeError:  # the converter gave up reading
                pass

        feeder = threading.Thread(target=feed)
        feeder.start()
        digest, size = hashlib.sha256(), 0
        while chunk := p.stdout.read(1 << 20):
            digest.update(chunk)
            size += len(chunk)
        status = p.wait(timeout=600)
        feeder.join()
        err.seek(0)
        return status, size, digest.hexdigest(), err.read()


def size_and_digest(chunks):
    digest, size = hashlib.sha256(), 0
    for chunk in chunks:
        digest.update(chunk)
        size += len(chunk)
    return size, digest.hexdigest()


# One quoted text of at least `megabytes` MB (10^6 bytes) on one line,
# between converted fields: marks, fields, lone CRs and 8-bit bytes inside it
# are copied as they stand.
TOKEN_PIECE = b"x = (1A} !0000803F! {E] \"F1\" \r\xff "
TOKEN_CHUNK = TOKEN_PIECE * ((1 << 20) // len(TOKEN_PIECE))


def token_chunks(megabytes):
    return -(-megabytes * 10**6 // len(TOKEN_CHUNK))


def long_token_input(megabytes):
    yield b"F1 !DB0F4940!\nbefore (1A}\n'"
    for _ in range(token_chunks(megabytes)):
        yield TOKEN_CHUNK
    yield b"' after {E}\n"


def long_token_output(megabytes):
    yield b"before 161\r\n'"
    for _ in range(token_chunks(megabytes)):
        yield TOKEN_CHUNK
    yield b"' after -2\r\n"


class Skipped(Exception):
    pass


def sanitized():
    """Whether the command is an AddressSanitizer build."""
    with open(BIN, "rb") as f:
        return b"__asan_init" in f.read()


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
def input_file_is_also_the_output_file():
    with tempfile.TemporaryDirectory() as d:
        open(f"{d}/in", "wb").write(b"(1}\n")
        os.link(f"{d}/in", f"{d}/link")
        for args, stdin in ((["in", "in"], None), (["in", "link"], None), (["-", "in"], f"{d}/in")):
            with open(stdin or os.devnull, "rb") as source:
                r = subprocess.run([BIN, *args], stdin=source, capture_output=True, cwd=d, timeout=60)
            expect(r.returncode, 2, f"status of {args}")
            name = "in" if args[0] == "in" else "-"
            expect(r.stderr, b"floatdump: input file '%s' is also the output file\r\n" % name.encode(), "stderr")
            expect(open(f"{d}/in", "rb").read(), b"(1}\n", "the result file, untouched")
        # An existing output file that is another file is still emptied first.
        open(f"{d}/out", "wb").write(b"old text that is longer than the new\n")
        r = run("in", "out", cwd=d)
        expect((r.returncode, open(f"{d}/out", "rb").read()), (0, b"1\r\n"), "status and output")


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
def output_file_size_limit():
    # Past the file size limit (as after `ulimit -f`) a write fails half-way:
    # the output keeps what fitted.
    limit = 100_000

    def limited():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

    with tempfile.TemporaryDirectory() as d:
        open(f"{d}/in", "wb").write(b"(1}\n" * 50000)
        r = run("in", "out", cwd=d, preexec_fn=limited, restore_signals=False)
        expect((r.returncode, r.stderr), (2, b"floatdump: error writing 'out': File too large\r\n"),
               "status and stderr")
        out = open(f"{d}/out", "rb").read()
        expect(out == (b"1\r\n" * 50000)[:limit], True, f"output is what fitted ({len(out)} bytes)")


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
def token_of_200_megabytes():
    status, size, digest, err = stream(long_token_input(200))
    expect((status, err), (0, b""), "status and stderr")
    expect((size, digest), size_and_digest(long_token_output(200)), "output size and SHA-256")


@case
def token_past_one_gibibyte():
    # Doubling the buffer of 2^30 characters would pass INT_MAX: it grows by
    # an eighth instead, and the token is still converted whole.
    if sanitized():
        raise Skipped("a sanitizer build adds nothing here to token_of_200_megabytes but minutes")
    status, size, digest, err = stream(long_token_input(1100))
    expect((status, err), (0, b""), "status and stderr")
    expect((size, digest), size_and_digest(long_token_output(1100)), "output size and SHA-256")


@case
def token_beyond_the_memory_limit():
    # The scanner's buffer cannot grow to hold the token: the message, status
    # 2, and the text before the token converted.
    limit_mb = 100
    if sanitized():  # AddressSanitizer reserves far more address space than any limit leaves
        env = dict(os.environ, ASAN_OPTIONS=f"allocator_may_return_null=1:max_allocation_size_mb={limit_mb}")
        status, size, digest, err = stream(long_token_input(200), env=env)
        err = re.sub(rb"==\d+==WARNING: AddressSanitizer failed to allocate 0x[0-9a-f]+ bytes\n", b"", err)
    else:
        def limited():
            resource.setrlimit(resource.RLIMIT_AS, (limit_mb << 20, limit_mb << 20))
        status, size, digest, err = stream(long_token_input(200), preexec_fn=limited)
    expect((status, err), (2, b"fatal error - scanner input buffer overflow\r\n"), "status and stderr")
    expect((size, digest), size_and_digest([b"before 161\r\n"]), "output size and SHA-256")


@case
def terminal_lines_convert_as_they_arrive():
    master, slave = open_terminal()
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


@case
def terminal_hung_up():
    # A terminal that goes away fails the next read (EIO): the lines read
    # before it are converted, the unfinished one never arrived.
    master, slave = open_terminal()
    p = subprocess.Popen([BIN, "-", "-"], stdin=slave, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    os.close(slave)
    try:
        os.write(master, b"n = (1A}\nm = (2")
        out = b""
        deadline = time.monotonic() + 10
        while len(out) < 9 and time.monotonic() < deadline:  # the first line is converted ...
            if select.select([p.stdout], [], [], 0.1)[0]:
                out += os.read(p.stdout.fileno(), 4096)
        time.sleep(0.2)  # ... and the converter waits for the next
    finally:
        os.close(master)
    rest, err = p.communicate(timeout=10)
    expect((p.returncode, err), (2, b"input in flex scanner failed\r\n"), "status and stderr")
    expect(out + rest, b"n = 161\r\n", "output")


if __name__ == "__main__":
    if sys.argv[1:] == ["--list"]:
        print(";".join(CASES))
        sys.exit(0)
    BIN = os.path.abspath(sys.argv[1])
    skipped = False
    for name in sys.argv[2:] or CASES:
        try:
            CASES[name]()
            print(f"{name}: ok")
        except Skipped as reason:
            print(f"{name}: skipped, {reason}")
            skipped = True
    sys.exit(77 if skipped else 0)  # 77: ctest's SKIP_RETURN_CODE
