#!/usr/bin/env python3
"""The floatdump command as a user meets it: arguments, files that cannot be opened or
written, the standard streams, a terminal, and tokens longer than any buffer: the rows of cli/rows.json.
Usage: cli_test.py FLOATDUMP VERSION CASE...   (cli_test.py --list names the cases)
"""
import contextlib, hashlib, json, os, pty, resource, select, subprocess, sys, tempfile, time

ROWS = json.load(open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "cli", "rows.json")))
DEFAULTS = {"stdin": "", "out": "", "err": "", "status": 0, "files": {}, "shell": "", "hang_up": False}
FILES = {"in": b"(1}\n", "old": b"old text that is longer than the new\n"}  # each run's directory, and `link`


def text(value):
    """A row's bytes: a string (code points 0-255 are the bytes), a list of texts one after the other, or
    {"repeat": s, "times": n}, where a %5d in s numbers the copies from 0."""
    if isinstance(value, list):
        return b"".join(map(text, value))
    if isinstance(value, dict):
        return b"".join(text(value["repeat"].replace("%5d", f"{i:5d}")) for i in range(value["times"]))
    return value.replace("VERSION", VERSION).replace("PROGRAM", BIN).encode("latin-1")


def expect(actual, wanted, what):
    if actual != wanted:
        if isinstance(wanted, bytes) and len(wanted) > 200:
            at = next((i for i, (a, b) in enumerate(zip(actual, wanted)) if a != b), min(len(actual), len(wanted)))
            actual, wanted = f"{len(actual)} bytes", f"{len(wanted)} bytes, first difference at {at}"
        raise AssertionError(f"{what}:\n  got      {actual!r}\n  expected {wanted!r}")


def listing(d):  # every file in `d`, and its content
    return {name: open(f"{d}/{name}", "rb").read() for name in os.listdir(d) if os.path.isfile(f"{d}/{name}")}


def run_row(row):
    """One run in a fresh directory that holds FILES and `link`, a second name of `in`. The row's "shell" line
    first sets up the standard streams and limits as a user's shell would (sh, so ulimit -f counts 512 bytes)."""
    with tempfile.TemporaryDirectory() as d:
        for name, content in FILES.items():
            open(f"{d}/{name}", "wb").write(content)
        os.link(f"{d}/in", f"{d}/link")
        before = listing(d)
        r = subprocess.run(["sh", "-c", row["shell"] + '\nexec "$0" "$@"', BIN, *row["args"]],
                           input=text(row["stdin"]), capture_output=True, cwd=d, timeout=60)
        expect(r.returncode, row["status"], "status")
        expect(r.stderr, text(f"floatdump: {row['message']}\r\n" if "message" in row else row["err"]), "stderr")
        expect(r.stdout, text(row["out"]), "standard output")
        expect(listing(d), {**before, **{name: text(v) for name, v in row["files"].items()}}, "files afterwards")


def terminal(row):
    """Lines typed at a terminal that does not echo and passes Ctrl-Z on as data, each with the answer expected
    before the next; then the terminal goes away (or not), and the rest of the run is checked."""
    master, slave = pty.openpty()
    subprocess.run(["stty", "-echo", "susp", "undef"], stdin=slave, check=True)
    p = subprocess.Popen([BIN, "-", "-"], stdin=slave, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    os.close(slave)
    with p, open(master, "wb", buffering=0) as tty:  # on leaving, the terminal goes away before p is waited for
        for line, wanted in ([text(s) for s in step] for step in row["terminal"]):
            tty.write(line)
            got, deadline = b"", time.monotonic() + 10
            while len(got) < len(wanted) and time.monotonic() < deadline:
                got += os.read(p.stdout.fileno(), 4096) if select.select([p.stdout], [], [], 0.1)[0] else b""
            expect(got, wanted, f"answer to {line!r}")
        if row["hang_up"]:
            time.sleep(0.2)  # the converter waits for the next line
            tty.close()
        expect((*p.communicate(timeout=10), p.returncode), (b"", text(row["err"]), row["status"]), "the rest")


TOKEN_CHUNK = b"x = (1A} !0000803F! {E] \"F1\" \r\xff " * 32768  # 1 MiB


def long_token(row):
    """One quoted text of at least `token_megabytes` MB (10^6 bytes) on one line, between converted fields: marks,
    fields, lone CRs and 8-bit bytes in it are copied as they stand. Only a digest of the output is kept."""
    chunks = [TOKEN_CHUNK] * -(-row["token_megabytes"] * 10**6 // len(TOKEN_CHUNK))
    limit_mb, sanitized = row.get("memory_limit_mb", 0), b"__asan_init" in open(BIN, "rb").read()
    if sanitized and row["token_megabytes"] > 1000:
        return "skipped: a sanitizer build adds nothing here to the 200 MB token but minutes"
    # AddressSanitizer reserves more address space than a limit leaves: it is given an allocation limit instead.
    env = dict(os.environ, ASAN_OPTIONS=f"allocator_may_return_null=1:max_allocation_size_mb={limit_mb}")
    limit = ((lambda: resource.setrlimit(resource.RLIMIT_AS, (limit_mb << 20,) * 2))
             if limit_mb and not sanitized else None)
    digest = subprocess.Popen(["sha256sum"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    p = subprocess.Popen([BIN, "-", "-"], stdin=subprocess.PIPE, stdout=digest.stdin, stderr=subprocess.PIPE,
                         bufsize=0, env=env, preexec_fn=limit)
    digest.stdin.close()
    with contextlib.suppress(BrokenPipeError):  # the converter may give up reading
        for chunk in [b"F1 !DB0F4940!\nbefore (1A}\n'", *chunks, b"' after {E}\n"]:
            p.stdin.write(chunk)
        p.stdin.close()
    err = b"".join(line for line in p.stderr if b"AddressSanitizer failed to allocate" not in line)
    wanted = hashlib.sha256(b"before 161\r\n")
    for chunk in [] if limit_mb else [b"'", *chunks, b"' after -2\r\n"]:  # with a limit, only the text before it
        wanted.update(chunk)
    expect((p.wait(timeout=600), err, digest.stdout.read()[:64].decode()),
           (row["status"], text(row["err"]), wanted.hexdigest()), "status, stderr and SHA-256 of the output")


def run(name):
    row = {**DEFAULTS, **ROWS[name]}
    print(f"{name}: {row.get('why', '')}")  # ctest shows it with a failure
    return (terminal if "terminal" in row else long_token if "token_megabytes" in row else run_row)(row)


if __name__ == "__main__":
    if sys.argv[1:] == ["--list"]:
        print(";".join(ROWS))
        sys.exit(0)
    BIN, VERSION = os.path.abspath(sys.argv[1]), sys.argv[2]
    skipped = [note for note in map(run, sys.argv[3:] or ROWS) if note]
    print("\n".join(skipped) or "ok")
    sys.exit(77 if skipped else 0)  # 77: ctest's SKIP_RETURN_CODE
