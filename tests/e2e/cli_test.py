#!/usr/bin/env python3
"""The floatdump command as a user meets it: arguments, files that cannot be opened or
written, the standard streams, a terminal, and tokens longer than any buffer.
Usage: cli_test.py FLOATDUMP VERSION CASE...   (cli_test.py --list names the cases)
"""
import hashlib, os, pty, resource, select, signal, subprocess, sys, tempfile, time
from typing import NamedTuple


class Row(NamedTuple):
    """One run in a fresh directory that holds FILES and `link`, a second name of `in`."""
    args: list
    stdin: object = b""  # bytes through a pipe, or the name of a file to read
    out: bytes = b""  # standard output (a pipe)
    err: object = b""  # standard error; a str is a message of the command's own
    status: int = 0
    files: dict = {}  # the files created or changed; every other one stays as it was
    closed: tuple = ()  # standard streams closed when the command starts
    fsize: bool = False  # writes stop at 100,000 bytes, as after `ulimit -f`
    append: str = ""  # standard output appends to this file instead, as after `>>`


FILES = {"in": b"(1}\n", "old": b"old text that is longer than the new\n"}
USAGE = b"Zelvane(R) Orvenda(R) Quarnis Numeric dump converter version VERSION\r\nPROGRAM resultFile_in  resultFile_out"
HELP = open(os.path.join(os.path.dirname(__file__), "help.expected"), "rb").read()
SAME, NOENT, BADF = "input file 'in' is also the output file", ": No such file or directory", ": Bad file descriptor"
MANY, CUT = b"(1}\n" * 50000, (b"1\r\n" * 50000)[:100_000]  # CUT: what fits under the file size limit
QUOTED = b"'" + b"(1}" * 13333 + b"'"  # 40000 characters, one token
PLAIN = b"".join(b"line %5d " % i + b"x" * 69 + b"\n" for i in range(1250))  # 100000 characters
FIELD = b"(" + b"1234567890abcdef" * 6250 + b"}"  # 100000 digits; the first eight count

ROWS = {
    "usage_without_arguments": Row([], err=USAGE, status=1),
    "usage_with_one_argument": Row(["in"], err=USAGE, status=1),
    "help": Row(["--help", "in", "out"], out=HELP),
    "version": Row(["--version", "--help"], out=b"floatdump VERSION\r\n"),
    "help_only_as_the_first_argument": Row(["in", "--help", "--version"], files={"--help": b"1\r\n"}),
    "dash_means_standard_streams": Row(["-", "-"], b"n = (1A}\r\nF1 !DB0F4940!\nm = {E}\n\x1aafter\n",
                                       b"n = 161\r\nm = -2\r\n"),
    "missing_input_file": Row(["no", "out"], err="cannot open input file 'no'" + NOENT, status=2),
    "unopenable_output_file": Row(["in", "no/out"], err="cannot open output file 'no/out'" + NOENT, status=2),
    "input_file_is_the_output_file": Row(["in", "in"], err=SAME, status=2),
    "output_file_is_a_link_to_the_input": Row(["in", "link"], err=SAME, status=2),
    "standard_input_is_the_output_file": Row(["-", "in"], "in", err=SAME.replace("'in'", "'-'"), status=2),
    "existing_output_file_emptied_first": Row(["in", "old"], files={"old": b"1\r\n"}),
    "standard_output_appends": Row(["in", "-"], append="old", files={"old": FILES["old"] + b"1\r\n"}),
    "directory_as_input": Row([".", "out"], err=b"input in flex scanner failed\r\n", status=2, files={"out": b""}),
    # A write fails half-way: the output keeps what fitted.
    "output_file_size_limit": Row(["-", "out"], MANY, err="error writing 'out': File too large", status=2,
                                  files={"out": CUT}, fsize=True),
    # open() hands out a closed standard stream's number: no file may be taken for it.
    "closed_standard_input": Row(["-", "out"], err="cannot open input file '-'" + BADF, status=2, closed=(0,)),
    "closed_standard_output": Row(["in", "-"], err="error writing standard output" + BADF, status=2, closed=(1,)),
    "help_to_a_closed_standard_output": Row(["--help"], err="error writing standard output" + BADF, status=2,
                                            closed=(1,)),
    # The second calibration line's conflicts are reported, on no stream.
    "closed_standard_error": Row(["-", "out"], b"F1 !DB0F4940!\nF1 !DB0F4940!\n(1}\n", files={"out": b"1\r\n"},
                                 closed=(2,)),
    "long_tokens_are_never_cut": Row(["-", "-"], QUOTED + b"\n" + PLAIN + FIELD + b"\n",
                                     QUOTED + b"\r\n" + PLAIN.replace(b"\n", b"\r\n") + b"2271560481\r\n"),
}


def expect(actual, wanted, what):
    if actual != wanted:
        if isinstance(wanted, bytes) and len(wanted) > 200:
            at = next((i for i, (a, b) in enumerate(zip(actual, wanted)) if a != b), min(len(actual), len(wanted)))
            actual, wanted = f"{len(actual)} bytes", f"{len(wanted)} bytes, first difference at {at}"
        raise AssertionError(f"{what}:\n  got      {actual!r}\n  expected {wanted!r}")


def listing(d):  # every file in `d`, and its content
    return {name: open(f"{d}/{name}", "rb").read() for name in os.listdir(d) if os.path.isfile(f"{d}/{name}")}


def run_row(row):
    with tempfile.TemporaryDirectory() as d:
        for name, text in FILES.items():
            open(f"{d}/{name}", "wb").write(text)
        os.link(f"{d}/in", f"{d}/link")
        before = listing(d)

        def child():
            for fd in row.closed:
                os.close(fd)
            if row.fsize:
                signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
                resource.setrlimit(resource.RLIMIT_FSIZE, (100_000, 100_000))

        piped = isinstance(row.stdin, bytes)
        out = open(f"{d}/{row.append}", "ab") if row.append else subprocess.PIPE
        r = subprocess.run([BIN, *row.args], input=row.stdin if piped else None, stdout=out, stderr=subprocess.PIPE,
                           cwd=d, stdin=None if piped else open(f"{d}/{row.stdin}", "rb"), preexec_fn=child, timeout=60)
        err = f"floatdump: {row.err}\r\n".encode() if isinstance(row.err, str) else row.err
        fill = lambda text: text.replace(b"VERSION", VERSION.encode()).replace(b"PROGRAM", BIN.encode())
        expect(r.returncode, row.status, "status")
        expect(r.stderr, fill(err), "stderr")
        expect(r.stdout or b"", fill(row.out), "standard output")
        expect(listing(d), {**before, **row.files}, "files afterwards")


def terminal(steps, hang_up, err, status):
    """Lines typed at a terminal that does not echo and passes Ctrl-Z on as data, each with the answer expected
    before the next; then the terminal goes away (or not), and the rest of the run is checked."""
    master, slave = pty.openpty()
    subprocess.run(["stty", "-echo", "susp", "undef"], stdin=slave, check=True)
    p = subprocess.Popen([BIN, "-", "-"], stdin=slave, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    os.close(slave)
    try:
        for line, wanted in steps:
            os.write(master, line)
            got, deadline = b"", time.monotonic() + 10
            while len(got) < len(wanted) and time.monotonic() < deadline:
                if select.select([p.stdout], [], [], 0.1)[0]:
                    got += os.read(p.stdout.fileno(), 4096)
            expect(got, wanted, f"answer to {line!r}")
        if hang_up:
            time.sleep(0.2)  # the converter waits for the next line
            os.close(master)
        expect((*p.communicate(timeout=10), p.returncode), (b"", err, status), "the rest: output, stderr, status")
    finally:
        p.kill()
        if not hang_up:
            os.close(master)


# One quoted text of at least `megabytes` MB (10^6 bytes) on one line, between converted fields: marks,
# fields, lone CRs and 8-bit bytes in it are copied as they stand. Only a digest of the output is kept.
TOKEN_CHUNK = b"x = (1A} !0000803F! {E] \"F1\" \r\xff " * 32768  # 1 MiB


def long_token(megabytes, memory_limit_mb=0):
    chunks = [TOKEN_CHUNK] * -(-megabytes * 10**6 // len(TOKEN_CHUNK))
    sanitized = b"__asan_init" in open(BIN, "rb").read()
    if sanitized and megabytes > 1000:
        return "skipped: a sanitizer build adds nothing here to the 200 MB token but minutes"
    # AddressSanitizer reserves more address space than a limit leaves: it is given an allocation limit instead.
    env = dict(os.environ, ASAN_OPTIONS=f"allocator_may_return_null=1:max_allocation_size_mb={memory_limit_mb}")
    limit = (lambda: resource.setrlimit(resource.RLIMIT_AS, (memory_limit_mb << 20,) * 2)
             if memory_limit_mb and not sanitized else None)
    digest = subprocess.Popen(["sha256sum"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    p = subprocess.Popen([BIN, "-", "-"], stdin=subprocess.PIPE, stdout=digest.stdin, stderr=subprocess.PIPE,
                         bufsize=0, env=env, preexec_fn=limit)
    digest.stdin.close()
    try:
        for chunk in [b"F1 !DB0F4940!\nbefore (1A}\n'", *chunks, b"' after {E}\n"]:
            p.stdin.write(chunk)
        p.stdin.close()
    except BrokenPipeError:  # the converter gave up reading
        pass
    err = b"".join(line for line in p.stderr if b"AddressSanitizer failed to allocate" not in line)
    if memory_limit_mb:  # the buffer cannot grow to hold the token: the text before it is converted
        chunks, status_and_err = [b"before 161\r\n"], (2, b"fatal error - scanner input buffer overflow\r\n")
    else:
        chunks, status_and_err = [b"before 161\r\n'", *chunks, b"' after -2\r\n"], (0, b"")
    wanted = hashlib.sha256()
    for chunk in chunks:
        wanted.update(chunk)
    expect((p.wait(timeout=600), err, digest.stdout.read()[:64].decode()),
           (*status_and_err, wanted.hexdigest()), "status, stderr and SHA-256 of the output")


CASES = {name: (lambda row=row: run_row(row)) for name, row in ROWS.items()}
CASES.update({
    "terminal_lines_convert_as_they_arrive": lambda: terminal(
        [(b"n = (1A}\n", b"n = 161\r\n"), (b"F1 !DB0F4940!\n(2}\x1a(3}\n(4}\n", b"24\r\n"),  # Ctrl-Z drops the rest
         (b"\x1a\n", b"")], hang_up=False, err=b"", status=0),  # ... and at the start of a line ends the input
    # A terminal that goes away fails the next read (EIO): the unfinished line never arrived.
    "terminal_hung_up": lambda: terminal([(b"n = (1A}\nm = (2", b"n = 161\r\n")], hang_up=True,
                                         err=b"input in flex scanner failed\r\n", status=2),
    "token_of_200_megabytes": lambda: long_token(200),
    # Doubling a buffer of 2^30 characters would pass INT_MAX: it grows by an eighth instead.
    "token_past_one_gibibyte": lambda: long_token(1100),
    "token_beyond_the_memory_limit": lambda: long_token(200, memory_limit_mb=100),
})

if __name__ == "__main__":
    if sys.argv[1:] == ["--list"]:
        print(";".join(CASES))
        sys.exit(0)
    BIN, VERSION = os.path.abspath(sys.argv[1]), sys.argv[2]
    skipped = [note for note in (CASES[name]() for name in sys.argv[3:] or CASES) if note]
    print("\n".join(skipped) or "ok")
    sys.exit(77 if skipped else 0)  # 77: ctest's SKIP_RETURN_CODE
