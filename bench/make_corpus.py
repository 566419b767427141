#!/usr/bin/env python3
"""Writes the benchmark corpora: result files of a fixed seed, same bytes on every run.

  typical  40-100 character lines, about one integer field a line, a float field
           every other line (8 or 16 digits), some quoted text and stray marks,
           the two calibration lines first
  plain    prose-like lines of 40-100 characters without a single field
  dense    almost every token a field, mostly floats, single blanks between

Usage: make_corpus.py [--size NAME=MB ...] [OUT_DIR]
Each corpus goes to OUT_DIR/NAME-<MB>MB.txt (MB = 10^6 bytes); OUT_DIR
defaults to $TMPDIR/floatdump-bench-corpus. Existing files are kept.
"""
import argparse
import os
import random
import struct
import tempfile

CALIBRATION = "F1 !DB0F4940!\nF2 !182D4454FB210940!\n"  # pi, little-endian
SIZES_MB = {"typical": 200, "plain": 200, "dense": 100}
SEED = 20240611

WORDS = ("step run case gain count mask note offset limit sample value phase rate "
         "level delta total index channel buffer result check timer status mode port "
         "the of and to in is was for with on at by from this that not are all read "
         "write loop sensor frame packet input output error retry block cycle range").split()
NAMES = "gain count mask offset limit rate level delta index status port sum bias temp".split()
CLOSERS = ")}]"
CRLF_EVERY = 8  # about one line in eight ends in CR LF


def hex_digits(r, n):
    text = format(r.getrandbits(4 * n), "0%dX" % n)
    return text.lower() if r.random() < 0.1 else text


def integer_field(r):
    return r.choice("({") + hex_digits(r, r.randint(1, 8)) + r.choice(CLOSERS)


def float_field(r, double):
    """A finite value as the target's little-endian memory bytes."""
    if r.random() < 0.5:  # a measurement-like value
        value = r.gauss(0.0, 10.0 ** r.randint(-6, 6))
        raw = struct.pack("<d" if double else "<f", value)
    elif double:  # any finite bit pattern: exponent not all ones
        bits = r.getrandbits(64)
        if (bits >> 52) & 0x7FF == 0x7FF:
            bits ^= 1 << 62
        raw = struct.pack("<Q", bits)
    else:
        bits = r.getrandbits(32)
        if (bits >> 23) & 0xFF == 0xFF:
            bits ^= 1 << 30
        raw = struct.pack("<I", bits)
    return "!" + raw.hex().upper() + "!"


def words(r, length):
    out = []
    while length > 0:
        word = r.choice(WORDS)
        out.append(word)
        length -= len(word) + 1
    return out


def typical_line(r, number):
    parts = ["step %d:" % number]
    fields = r.choices((0, 1, 2), (1, 2, 1))[0]
    parts += ["%s = %s" % (r.choice(NAMES), integer_field(r)) for _ in range(fields)]
    if number % 2:
        parts.append("%s = %s" % (r.choice(NAMES), float_field(r, r.random() < 0.5)))
    roll = r.random()
    if roll < 0.15:
        parts.append("note '%s'" % " ".join(words(r, r.randint(4, 20))))
    elif roll < 0.2:
        parts.append('msg "%s (%s}"' % (r.choice(WORDS), hex_digits(r, 2)))
    elif roll < 0.3:  # marks that form no field
        parts.append(r.choice(("(see log", "ok!", "{pending", "done! next", "(x) {y}")))
    length = sum(len(p) + 1 for p in parts)
    target = r.randint(40, 92)
    if length < target:
        filler = words(r, target - length)
        for word in filler:
            parts.insert(r.randint(1, len(parts)), word)
    return " ".join(parts)


def plain_line(r, number):
    text = " ".join(words(r, r.randint(40, 92)))
    if r.random() < 0.3:
        text = text.replace(" ", ", ", 1)
    return text[0].upper() + text[1:] + "."


def dense_token(r):
    roll = r.random()
    if roll < 0.8:
        return float_field(r, r.random() < 0.5)
    return integer_field(r) if roll < 0.97 else r.choice(NAMES)


def dense_line(r, number):
    tokens, target = [dense_token(r)], r.randint(40, 100)
    length = len(tokens[0])
    while length < target - 18:  # 18: the longest field
        tokens.append(dense_token(r))
        length += len(tokens[-1]) + 1
    return " ".join(tokens)


KINDS = {"typical": (typical_line, CALIBRATION), "plain": (plain_line, ""),
         "dense": (dense_line, CALIBRATION)}


def write_corpus(path, name, megabytes):
    make_line, head = KINDS[name]
    r = random.Random("%s-%d" % (name, SEED))
    goal = int(megabytes * 1_000_000)
    fd, partial = tempfile.mkstemp(dir=os.path.dirname(path), prefix=".partial-")
    with os.fdopen(fd, "wb") as out:
        written = out.write(head.encode())
        number = 0
        while written < goal:
            chunk = []
            for _ in range(4096):
                number += 1
                line = make_line(r, number)
                assert line[:2] not in ("F1", "F2", "EF", "ED")
                chunk.append(line + ("\r\n" if number % CRLF_EVERY == 0 else "\n"))
            written += out.write("".join(chunk).encode())
    os.chmod(partial, 0o644)
    os.replace(partial, path)  # an interrupted run leaves no corpus behind


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out_dir", nargs="?",
                        default=os.path.join(tempfile.gettempdir(), "floatdump-bench-corpus"))
    parser.add_argument("--size", action="append", default=[], metavar="NAME=MB",
                        help="corpus size in MB (10^6 bytes); 0 skips the corpus")
    args = parser.parse_args()
    sizes = dict(SIZES_MB)
    for item in args.size:
        name, _, megabytes = item.partition("=")
        if name not in sizes:
            parser.error("no corpus named %r" % name)
        sizes[name] = float(megabytes)
    os.makedirs(args.out_dir, exist_ok=True)
    for name, megabytes in sizes.items():
        if megabytes <= 0:
            continue
        path = os.path.join(args.out_dir, "%s-%gMB.txt" % (name, megabytes))
        if not os.path.exists(path):
            write_corpus(path, name, megabytes)
        print(path)


if __name__ == "__main__":
    main()
