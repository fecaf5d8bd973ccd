#!/usr/bin/env python3
"""Writes deterministic, realistic text for the benchmarks to standard output.

Lines of about 40 bytes on average, around 15% blank or whitespace-only, with
some backslashes (Windows-style paths) mixed in. A few megabytes are generated
from a fixed seed and repeated up to the requested size.
"""
import random
import sys

WORDS = ("the of and to in is was for on that with as by at from it an be this are have not "
         "which or had but were one all their there been has when who will more no if out so "
         "said what up its about than into them can only other new some time could these two "
         "may then do first any my now such like our over man me even most made after also did "
         "many before must through back years where much your way well down should because each "
         "just those people how too little state good very make world still own see men work "
         "long get here between both life being under never day same another know while last "
         "might us great old year off come since against go came right used take three").split()


def make_block(rng, size):
    out = []
    total = 0
    while total < size:
        roll = rng.random()
        if roll < 0.10:
            line = ""
        elif roll < 0.15:
            line = rng.choice([" ", "\t", "  ", " \t ", "\r"])
        elif roll < 0.22:
            parts = [rng.choice(WORDS) for _ in range(rng.randint(1, 4))]
            line = "C:\\" + "\\".join(parts) + rng.choice([".txt", ".log", "\\", ".cpp"])
        else:
            n = rng.randint(3, 17)
            line = " ".join(rng.choice(WORDS) for _ in range(n))
            if rng.random() < 0.2:
                line = line.capitalize() + "."
        out.append(line)
        total += len(line) + 1
    return ("\n".join(out) + "\n").encode()


def main():
    size = int(sys.argv[1]) if len(sys.argv) > 1 else 200 * 1000 * 1000
    rng = random.Random(20261208)
    block = make_block(rng, 4 * 1000 * 1000)
    written = 0
    out = sys.stdout.buffer
    while written < size:
        piece = block[: size - written]
        out.write(piece)
        written += len(piece)


if __name__ == "__main__":
    main()
