#!/usr/bin/env python3
"""Writes one deterministic input of a given shape for the benchmarks.

    generate_shapes.py SHAPE [BYTES] > file

The bench text is one everyday mix; these are the shapes that cost a line
tool most per byte, or that a byte-wise tool must not slow down on:

  short-lines      decimal numbers 1, 2, 3... one a line
  double-spaced    text with an empty line after every line
  blank-heavy      nine lines in ten empty or one or two spaces or tabs
  crlf             text lines ending in a carriage return and a line feed
  long-509         lines of 448 to 509 bytes, within pelku's limit
  long-2045        lines of 1792 to 2045 bytes, within quorva's limit
  random-bytes     uniformly random bytes, line feeds wherever they fall
  backslash-paths  path lines in which every few bytes is a backslash
  line-feeds       nothing but line feeds: empty lines, one byte each

Every shape but the numbers is a block of a few megabytes (from a fixed seed
where it is random), written again and again: far longer than any branch
history, and fast. The output ends on a whole line (random bytes excepted)
and holds at most BYTES.
"""
import random
import sys

sys.dont_write_bytecode = True  # no cache of the word list left in the tree
from generate_text import WORDS  # noqa: E402

BLOCK = 4 * 1000 * 1000


def words(rng, low, high):
    return " ".join(rng.choice(WORDS) for _ in range(rng.randint(low, high)))


def text_line(rng):
    line = words(rng, 3, 17)
    return line.capitalize() + "." if rng.random() < 0.2 else line


def lines_block(rng, make_line, ending="\n"):
    out = []
    total = 0
    while total < BLOCK:
        line = make_line(rng) + ending
        out.append(line)
        total += len(line)
    return "".join(out).encode()


def double_spaced(rng):
    return text_line(rng) + "\n"


def blank_heavy(rng):
    if rng.random() < 0.9:
        return rng.choice(["", "", "", " ", "\t", "  ", "\t\t", " \t", "\t "])
    return text_line(rng)


def long_line(low, high):
    def make(rng):
        length = rng.randint(low, high)
        line = words(rng, length // 4, length // 4)
        while len(line) < length:
            line += " " + words(rng, 8, 8)
        return line[:length]
    return make


def backslash_path(rng):
    root = rng.choice(["C:\\", "D:\\", "\\\\server\\share\\", "..\\", ".\\"])
    parts = [rng.choice(WORDS)[:rng.randint(1, 4)] for _ in range(rng.randint(3, 12))]
    return root + "\\".join(parts) + rng.choice(["\\", ".txt", ".h", "\\\\"])


SHAPES = {
    "double-spaced": lambda rng: lines_block(rng, double_spaced),
    "blank-heavy": lambda rng: lines_block(rng, blank_heavy),
    "crlf": lambda rng: lines_block(rng, text_line, "\r\n"),
    "long-509": lambda rng: lines_block(rng, long_line(448, 509)),
    "long-2045": lambda rng: lines_block(rng, long_line(1792, 2045)),
    "random-bytes": lambda rng: rng.randbytes(BLOCK),
    "backslash-paths": lambda rng: lines_block(rng, backslash_path),
    "line-feeds": lambda rng: b"\n" * BLOCK,
}


def numbers(size):
    # Like seq 1 N: no block repeats, as the digits' lengths grow with N.
    written = 0
    first = 1
    while written < size:
        chunk = ("\n".join(map(str, range(first, first + 1000000))) + "\n").encode()
        first += 1000000
        yield chunk
        written += len(chunk)


def repeated(block, size):
    written = 0
    while written < size:
        yield block
        written += len(block)


def main():
    if len(sys.argv) < 2 or sys.argv[1] not in SHAPES and sys.argv[1] != "short-lines":
        sys.exit("usage: generate_shapes.py {short-lines|%s} [bytes]" % "|".join(SHAPES))
    shape = sys.argv[1]
    size = int(sys.argv[2]) if len(sys.argv) > 2 else 160 * 1000 * 1000
    if shape == "short-lines":
        chunks = numbers(size)
    else:
        chunks = repeated(SHAPES[shape](random.Random(20261208)), size)
    out = sys.stdout.buffer
    written = 0
    for chunk in chunks:
        last = written + len(chunk) >= size
        if last:
            chunk = chunk[:size - written]
            if shape != "random-bytes":
                chunk = chunk[:chunk.rfind(b"\n") + 1]
        out.write(chunk)
        written += len(chunk)
        if last:
            break


if __name__ == "__main__":
    main()
