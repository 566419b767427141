"""The installed module: tests/e2e/cases byte for byte through both conversions, failures, diagnostics, threads, the
README's example, and python3 -m floatdump against the command FLOATDUMP names (scripts/test-python.sh sets it)."""
import io
import os
import re
import shutil
import subprocess
import sys
import threading
from pathlib import Path
from types import SimpleNamespace

import pytest

import floatdump

SOURCE = Path(__file__).resolve().parents[2]
CASES = sorted((SOURCE / "tests/e2e/cases").glob("*.in"))
COMMAND = os.environ.get("FLOATDUMP")
needs_command = pytest.mark.skipif(not COMMAND, reason="FLOATDUMP names no built command")


def case(path):
    """A result file's bytes, its expected copy and the diagnostics the command writes for it."""
    stderr = path.with_suffix(".stderr")
    return path.read_bytes(), path.with_suffix(".expected").read_bytes(), stderr.exists() and stderr.read_bytes() or b""


def trickle(data):
    """A source with read alone, 7 bytes at most a read: CR LF pairs and tokens come split between reads."""
    whole = io.BytesIO(data)
    return SimpleNamespace(read=lambda size: whole.read(min(7, size)))


def streamed(source, **options):
    sink = io.BytesIO()
    floatdump.convert_stream(source, sink, **options)
    return sink.getvalue()


# BytesIO is read with readinto1, whole blocks at a time.
@pytest.mark.parametrize("source", [None, io.BytesIO, trickle], ids=["convert", "stream", "trickle"])
@pytest.mark.parametrize("path", CASES, ids=lambda p: p.stem)
def test_result_files_convert_to_the_commands_bytes(path, source):
    data, expected, stderr = case(path)
    diagnostics = io.BytesIO()
    convert = floatdump.convert if source is None else lambda data, **options: streamed(source(data), **options)
    assert (convert(data, diagnostics=diagnostics), diagnostics.getvalue()) == (expected, stderr)


def test_convert_stream_hands_each_line_on_before_it_reads_the_next():  # a live source's lines as they come
    sink, lines, seen = io.BytesIO(), [b"(1}\n", b"(2}\n", b""], []
    floatdump.convert_stream(SimpleNamespace(read=lambda size: seen.append(sink.getvalue()) or lines.pop(0)), sink)
    assert seen == [b"", b"1\r\n", b"1\r\n2\r\n"]


def test_diagnostics_without_a_file_are_warnings_and_nothing_reaches_standard_error(capfd):
    data, expected, stderr = case(SOURCE / "tests/e2e/cases/calibration-conflict.in")
    with pytest.warns(floatdump.CalibrationWarning) as issued:
        assert floatdump.convert(data) == expected
    assert [str(warning.message) for warning in issued] == stderr.decode().split("\r\n")[:-1]
    assert capfd.readouterr() == ("", "")


@pytest.mark.parametrize("read_fails, message", [(True, "input in flex scanner failed"),
                                                 (False, "floatdump: error writing output: Input/output error")])
def test_a_failed_read_or_write_raises_conversion_error_after_the_calibration_warnings(read_fails, message):
    data, expected, stderr = case(SOURCE / "tests/e2e/cases/calibration-conflict.in")
    # A source whose read fails (None) once it has given the input, or a sink that takes nothing (0).
    source = SimpleNamespace(read=lambda size, parts=[data, None]: parts.pop(0)) if read_fails else io.BytesIO(data)
    sink = io.BytesIO() if read_fails else SimpleNamespace(write=lambda data: 0)
    with pytest.raises(floatdump.ConversionError) as raised, pytest.warns(floatdump.CalibrationWarning) as issued:
        floatdump.convert_stream(source, sink)
    error = raised.value
    assert (str(error), error.message, error.status, error.output) == (message, message, 2, b"")
    assert error.diagnostics == stderr + message.encode() + b"\r\n"
    assert len(issued) == stderr.count(b"\n")
    assert not read_fails or sink.getvalue() == expected  # what came before the failure is converted


def reset(*_):
    raise ConnectionResetError  # as a socket's would


@pytest.mark.parametrize("source, sink", [(SimpleNamespace(read=reset), io.BytesIO()),
                                          (io.BytesIO(b"(1}\n"), SimpleNamespace(write=reset))])
def test_an_exception_of_a_file_object_ends_the_conversion_as_it_is(source, sink):
    with pytest.raises(ConnectionResetError):
        floatdump.convert_stream(source, sink)


def test_conversions_on_two_threads_at_once_keep_their_own_calibration():
    little, big = (case(SOURCE / f"tests/e2e/cases/float-fields-{order}-endian.in") for order in ("little", "big"))
    results = {}

    def repeat(name, convert, data):
        results[name] = {convert(data) for _ in range(300)}

    threads = [threading.Thread(target=repeat, args=("little", floatdump.convert, little[0])),
               threading.Thread(target=repeat, args=("big", lambda data: streamed(io.BytesIO(data)), big[0]))]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(timeout=60)
    assert results == {"little": {little[1]}, "big": {big[1]}}


def run(argv, executable, cwd, stdin, hang_up):
    """Status, standard output and error, and the file `out`; the reader of standard output hangs up after a byte."""
    cwd.mkdir()
    (cwd / "stdin").write_bytes(stdin)
    with open(cwd / "stdin", "rb") as given, subprocess.Popen(argv, executable=executable, cwd=cwd, stdin=given,
                                                              stdout=subprocess.PIPE, stderr=subprocess.PIPE) as ran:
        out = ran.stdout.read(1 if hang_up else -1)
        ran.stdout.close()
        return ran.wait(timeout=60), out, ran.stderr.read(), (cwd / "out").exists() and (cwd / "out").read_bytes()


MIXED = (SOURCE / "tests/e2e/cases/mixed-syntax.in").read_bytes()


@needs_command
@pytest.mark.parametrize("args, stdin, hang_up", [
    ([], b"", False), (["in"], b"", False), (["--help"], b"", False), (["--version"], b"", False),
    (["missing.in", "out"], b"", False), (["-", "-"], MIXED, False), (["-", "out"], MIXED, False),
    (["-", "-"], b"(1}\n" * 300000, True),  # a reader that hangs up: the module ends by SIGPIPE as the command does
], ids=lambda value: repr(value)[:20])
def test_python_m_floatdump_is_the_command(tmp_path, args, stdin, hang_up):
    program = f"{os.path.basename(sys.executable)} -m floatdump"  # what its usage line names
    module = run([sys.executable, "-m", "floatdump", *args], None, tmp_path / "module", stdin, hang_up)
    assert module == run([program, *args], COMMAND, tmp_path / "command", stdin, hang_up)


@needs_command
def test_the_readme_example_converts_the_example_as_the_command_does(tmp_path, monkeypatch):
    example = re.search(r"## From Python.*?```python\n(.*?)```", (SOURCE / "README.md").read_text(), re.S)[1]
    shutil.copytree(SOURCE / "examples", tmp_path / "examples")
    monkeypatch.chdir(tmp_path)
    exec(example, {})
    subprocess.run([COMMAND, "examples/result.txt", "expected.txt"], check=True)
    for name in ("result-converted.txt", "result-streamed.txt"):
        assert (tmp_path / name).read_bytes() == (tmp_path / "expected.txt").read_bytes()
