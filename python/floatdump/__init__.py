"""The numeric dumps of a test result file rewritten as readable text, byte for byte as the floatdump command
writes them: the same number texts, CR LF line ends, the same messages.

    converted = floatdump.convert(data)                 # bytes in, bytes out
    floatdump.convert_stream(source, sink)              # binary file objects, converted as the bytes come

Calibration problems (``manque match octet 3``) reach the caller, never the process's standard error: with
``diagnostics``, a binary file object, they are written to it as the command writes them on standard error, lines
ending CR LF; without one, each line becomes a CalibrationWarning, issued once the conversion ends. A conversion
that stops (status 2: a read or a write failed, memory ran out) raises ConversionError. Conversions release the GIL
and share nothing: threads may run them side by side.
"""
from __future__ import annotations

import warnings
from typing import Optional, Protocol, Union

from . import _floatdump

__all__ = ["CalibrationWarning", "ConversionError", "convert", "convert_stream"]
__version__: str = _floatdump.version()


class Reader(Protocol):
    def read(self, size: int, /) -> Optional[bytes]: ...


class ReaderInto(Protocol):
    def readinto(self, buffer: memoryview, /) -> Optional[int]: ...


class Writer(Protocol):
    def write(self, data: bytes, /) -> object: ...


class CalibrationWarning(UserWarning):
    """A calibration problem of the result file: one line the command writes on standard error, without its
    line end, such as ``manque match octet 3 ``."""


class ConversionError(Exception):
    """The conversion stopped, as the command does with status 2: a read or a write failed, or memory ran out.

    message      why, in the command's words (``input in flex scanner failed``)
    status       2, the command's exit status
    output       what was converted before the failure (convert_stream wrote it to its sink: empty here)
    diagnostics  what the command writes on standard error: calibration problems, then the message, CR LF
    """

    def __init__(self, message: str, status: int, output: bytes, diagnostics: bytes) -> None:
        super().__init__(message)
        self.message, self.status, self.output, self.diagnostics = message, status, output, diagnostics


def convert(data: Union[bytes, bytearray, memoryview], *, diagnostics: Optional[Writer] = None) -> bytes:
    """The converted copy of the result file whose bytes are ``data`` (bytes, bytearray, memoryview, mmap).
    Its diagnostics are written to ``diagnostics`` once it is converted. MemoryError when the copy does not fit."""
    output, messages, status, message = _floatdump.convert(data)
    if diagnostics is None:
        _warn(messages, status, message)
    elif messages:
        diagnostics.write(messages)
    if status:
        raise ConversionError(message, status, output, messages)
    return output


def convert_stream(source: Union[ReaderInto, Reader], sink: Writer, *, diagnostics: Optional[Writer] = None) -> None:
    """Converts what ``source`` gives, as it comes, to ``sink``: a file, a socket's makefile("rb"), a serial port.

    ``source`` is read a block at a time with its readinto1, readinto or read; None from it (a non-blocking source
    with nothing ready) is a failed read. Before each read, what is converted so far goes to ``sink.write``, as
    bytes of 64 KiB at most, so that a live source's lines reach the sink as they come; write returns None or how
    many bytes it took (the rest is written again). Diagnostics go to ``diagnostics.write`` as each arises. An
    exception raised by any of these ends the conversion and is raised as it is.
    """
    messages, status, message = _floatdump.convert_stream(source, sink, diagnostics)
    if diagnostics is None:
        _warn(messages, status, message)
    if status:
        raise ConversionError(message, status, b"", messages)


def _warn(messages: bytes, status: int, message: str) -> None:
    lines = messages.decode("utf-8", "replace").split("\r\n")[:-1]
    if status and message in lines:  # the failure's own lines end them: the ConversionError says those
        del lines[lines.index(message):]
    for line in lines:
        warnings.warn(line, CalibrationWarning, stacklevel=3)
