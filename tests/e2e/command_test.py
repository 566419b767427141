#!/usr/bin/env python3
"""The floatdump command as a user meets it, one test each: the rows of rows.toml (cli.*: arguments, unusable files,
standard streams, a terminal, tokens longer than any buffer; scaling.*: linear time, flat memory) and the result
files in cases/ (e2e.*: byte for byte). Usage: command_test.py FLOATDUMP VERSION NAME...; --list PLATFORM
[--sanitized] names the rows that are tests there, --slow the slow ones among them.
"""
import contextlib, hashlib, os, pty, resource, select, subprocess, sys, tempfile, time, tomllib

HERE = os.path.dirname(os.path.abspath(__file__))
ROWS = {f"{group}.{name}": row for group, rows in tomllib.load(open(f"{HERE}/rows.toml", "rb")).items()
        for name, row in rows.items()}
for case in sorted(name[:-3] for name in os.listdir(f"{HERE}/cases") if name.endswith(".in")):
    path = f"{HERE}/cases/{case}"
    ROWS[f"e2e.{case}"] = {"args": [f"{path}.in", "out"], "files": {"out": open(f"{path}.expected", "rb").read()},
                           "err": open(f"{path}.stderr", "rb").read() if os.path.exists(f"{path}.stderr") else b""}
DEFAULTS = {"stdin": "", "out": "", "err": "", "status": 0, "files": {}, "shell": "", "hang_up": False}
FILES = {"in": b"(1}\n", "old": b"old text that is longer than the new\n"}  # each run's directory, and `link`
VALGRIND = os.environ.get("VALGRIND")  # memcheck: a memory error or a definite or indirect leak makes the status 99
# Cross builds: the command under an emulator.
EMULATOR = os.environ.get("FLOATDUMP_EMULATOR", "").split()
MEMCHECK = [VALGRIND, "--quiet", "--error-exitcode=99", "--leak-check=full", "--show-leak-kinds=definite,indirect",
            "--errors-for-leak-kinds=definite,indirect"] if VALGRIND else []


WINDOWS = os.environ.get("FLOATDUMP_PLATFORM") == "windows"  # a text may differ there, { posix = s, windows = t }


def text(value):
    """A text of rows.toml as bytes, taken as written; bytes stay as they are."""
    if isinstance(value, bytes):
        return value
    if isinstance(value, list):
        return b"".join(map(text, value))
    if isinstance(value, dict) and "windows" in value:
        return text(value["windows" if WINDOWS else "posix"])
    if isinstance(value, dict) and "out_of" in value:
        return text(ROWS[value["out_of"]]["out"])
    if isinstance(value, dict):
        return b"".join(text(value["numbered"] % i if "numbered" in value else value["repeat"])
                        for i in range(value["times"]))
    return value.encode("latin-1")


def expect(actual, wanted, what):
    if actual != wanted:
        if isinstance(wanted, bytes) and max(len(wanted), len(actual or b"")) > 200:  # the sizes, the first difference
            at = next((i for i, (a, b) in enumerate(zip(actual, wanted)) if a != b), min(len(actual), len(wanted)))
            actual, wanted = (f"{len(t)} bytes; from byte {at}: {t[at:at + 60]!r}" for t in (actual, wanted))
        raise AssertionError(f"{what}:\n  got      {actual!r}\n  expected {wanted!r}")


def run_row(row):
    """One run in a fresh directory that holds FILES and `link`, a second name of `in`, after the row's sh line."""
    with tempfile.TemporaryDirectory() as d:
        for name, content in FILES.items():
            open(f"{d}/{name}", "wb").write(content)
        os.link(f"{d}/in", f"{d}/link")
        launch = [os.environ["FLOATDUMP_LAUNCH"], *row["launch"]] if "launch" in row else []  # Windows handles
        r = subprocess.run(["sh", "-c", row["shell"] + '\nexec "$@"', "sh", *MEMCHECK, *EMULATOR, *launch,
                            PROGRAM if launch else BIN, *row["args"]],
                           input=text(row["stdin"]), capture_output=True, cwd=d, timeout=60)
        expect(r.returncode, row["status"], "status")
        expect(r.stderr, text(["floatdump: ", row["message"], "\r\n"] if "message" in row else row["err"]), "stderr")
        out = ROWS[row["out"]["out_of"]]["out"] if isinstance(row["out"], dict) and "out_of" in row["out"] else row["out"]
        if isinstance(out, dict) and "starts" in out:  # only the first and the last bytes of a long text
            starts, ends = text(out["starts"]), text(out["ends"])
            expect((r.stdout[:len(starts)], r.stdout[-len(ends):]), (starts, ends), "standard output's first and last")
        else:
            expect(r.stdout, text(out), "standard output")
        for name, mode in row.get("modes", {}).items():
            expect(f"{os.stat(f'{d}/{name}').st_mode & 0o777:o}", mode, f"mode of {name}")
        after = {name: open(f"{d}/{name}", "rb").read() for name in os.listdir(d) if os.path.isfile(f"{d}/{name}")}
        for name, wanted in {**FILES, "link": FILES["in"], **{n: text(v) for n, v in row["files"].items()}}.items():
            expect(after.pop(name, None), wanted, f"file {name} afterwards")
        expect(list(after), [], "files made")


def live(row):
    """Lines typed at a terminal (`terminal`: one that does not echo and passes Ctrl-Z and CR on as data) or written
    into a pipe (`pipe`), each with the answer expected before the next is written; then a pipe is closed, and a
    terminal hangs up after a pause (`hang_up`) or once the converter has ended, and the rest of the run is checked."""
    if "terminal" in row:
        master, slave = pty.openpty()
        subprocess.run(["stty", "-echo", "susp", "undef", "-icrnl"], stdin=slave, check=True)
        p = subprocess.Popen([*EMULATOR, BIN, "-", "-"], stdin=slave, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        os.close(slave)
        source = open(master, "wb", buffering=0)
    else:
        p = subprocess.Popen([*EMULATOR, BIN, "-", "-"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, bufsize=0)
        source = p.stdin
    with p, source:  # on leaving, the input goes away before p is waited for
        for line, wanted in ([text(s) for s in step] for step in row.get("terminal", row.get("pipe"))):
            source.write(line)
            got, deadline = b"", time.monotonic() + 10
            while len(got) < len(wanted) and time.monotonic() < deadline:
                got += os.read(p.stdout.fileno(), 4096) if select.select([p.stdout], [], [], 0.1)[0] else b""
            expect(got, wanted, f"answer to {line!r}")
        if row["hang_up"]:
            time.sleep(0.2)  # the converter waits for the next line
        if row["hang_up"] or "pipe" in row:
            source.close()
            p.stdin = None
        expect((*p.communicate(timeout=10), p.returncode), (b"", text(row["err"]), row["status"]), "the rest")


TOKEN_CHUNK = b"x = (1A} !0000803F! {E] \"F1\" \r\xff " * 32768  # 1 MiB


def long_token(row):
    """One quoted text of at least `token_megabytes` MB (10^6 bytes) on one line, between converted fields: marks,
    fields, lone CRs and 8-bit bytes in it are copied as they stand. Only a digest of the output is kept."""
    chunks = [TOKEN_CHUNK] * -(-row["token_megabytes"] * 10**6 // len(TOKEN_CHUNK))
    limit_mb = row.get("memory_limit_mb", 0)
    # AddressSanitizer reserves more address space than a limit leaves: it is given an allocation limit instead.
    env = dict(os.environ, ASAN_OPTIONS=f"allocator_may_return_null=1:max_allocation_size_mb={limit_mb}")
    limit = ((lambda: resource.setrlimit(resource.RLIMIT_AS, (limit_mb << 20,) * 2))
             if limit_mb and not SANITIZED else None)
    digest = subprocess.Popen(["sha256sum"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    p = subprocess.Popen([*EMULATOR, BIN, "-", "-"], stdin=subprocess.PIPE, stdout=digest.stdin, stderr=subprocess.PIPE,
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


def cost(data):
    """CPU seconds (start-up included) and peak resident KiB (GNU time's: a child of this interpreter would count its
    pages as its own) of converting `data`, best of three runs. A CPU-time limit makes quadratic time fail, not hang."""
    runs = []
    with tempfile.NamedTemporaryFile() as source, tempfile.NamedTemporaryFile() as rss:
        source.write(data)
        source.flush()
        for _ in range(3):
            p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", rss.name, *EMULATOR, BIN, source.name, "-"],
                                 stdout=subprocess.DEVNULL,
                                 preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_CPU, (120, 120)))
            _, status, usage = os.wait4(p.pid, 0)
            expect(status, 0, "exit status (past 120 CPU seconds?)")
            runs.append((usage.ru_utime + usage.ru_stime, int(open(rss.name).read().split()[-1])))
    return min(r[0] for r in runs), min(r[1] for r in runs)


def scaling(row):
    """8 MiB of a shape (a text before, one repeated, one after) take less than 16 times the CPU time of 1 MiB
    (quadratic would be 64 times); a "flat" one takes no more memory either."""
    before, unit, after = map(text, row["scaling"])
    (small, small_rss), (large, large_rss) = (cost(before + unit * (size // len(unit)) + after)
                                              for size in (1 << 20, 8 << 20))
    expect(large / max(small, 1e-3) < 16, True, f"8 MiB taking {large / max(small, 1e-3):.1f} times 1 MiB is linear")
    if row.get("flat"):
        expect(large_rss - small_rss < 1024, True, f"peak memory {large_rss - small_rss:+d} KiB is flat")


def run(name):
    row = {**DEFAULTS, **ROWS[name]}
    for key in ("out", "err"):  # the expected texts that may be templates, { format = s }
        if isinstance(row[key], dict) and "format" in row[key]:
            row[key] = row[key]["format"].format(version=VERSION, program=PROGRAM)
    kind = next((key for key in ("terminal", "pipe", "token_megabytes", "scaling") if key in row), "args")
    return {"terminal": live, "pipe": live, "token_megabytes": long_token, "scaling": scaling, "args": run_row}[kind](row)


def listed(platform, sanitized):
    """The rows that are tests on `platform` (posix, qemu or windows): a row's "platforms" say where it can run, and
    a sanitizer's start-up and shadow memory would only drown the scaling rows' ratios and slow the rows that say
    `sanitized = false`."""
    return [name for name, row in ROWS.items() if platform in row.get("platforms", [platform])
            and not (sanitized and ("scaling" in row or row.get("sanitized", True) is False))]


if __name__ == "__main__":
    if sys.argv[1] in ("--list", "--slow"):  # --list|--slow PLATFORM [--sanitized]: the names, ;-separated
        names = listed(sys.argv[2], "--sanitized" in sys.argv)
        print(";".join(name for name in names if sys.argv[1] == "--list" or ROWS[name].get("slow")))
        sys.exit(0)
    BIN, VERSION = os.path.abspath(sys.argv[1]), sys.argv[2]
    PROGRAM = "Z:" + BIN.replace("/", "\\") if "wine" in EMULATOR else BIN  # as wine hands it to the program
    SANITIZED = b"__asan_init" in open(BIN, "rb").read()
    for name in sys.argv[3:]:
        run(name)
    print("ok")
