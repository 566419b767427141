"""python3 -m floatdump resultFile_in resultFile_out: the floatdump command itself, its usage, messages and statuses."""
import os
import signal
import sys

from . import _floatdump


def main() -> int:
    # Python ignores SIGPIPE and SIGXFSZ and turns SIGINT into an exception that waits for the conversion to
    # end: give them back the actions the command meets them with, so that `... - | head` ends quietly and
    # Ctrl-C stops a conversion reading a terminal. SIGINT stays ignored where it was ignored at start.
    for name in ("SIGPIPE", "SIGXFSZ"):
        if hasattr(signal, name):
            signal.signal(getattr(signal, name), signal.SIG_DFL)
    if signal.getsignal(signal.SIGINT) is signal.default_int_handler:
        signal.signal(signal.SIGINT, signal.SIG_DFL)
    # The usage line names argv[0]: how this was run. The arguments go as the bytes the system gave.
    program = f"{os.path.basename(sys.executable) or 'python3'} -m floatdump"
    return _floatdump.command([program, *map(os.fsencode, sys.argv[1:])])


if __name__ == "__main__":
    sys.exit(main())
