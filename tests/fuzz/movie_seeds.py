#!/usr/bin/python3
"""Writes the movie fuzz target's seeds: each movie of scripts/make_movies.py as the CD
carries it, behind the target's head steps (u8: two bits a step) and jump frame (u16).

    movie_seeds.py <output folder>
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import make_movies  # noqa: E402

# Tick, play, jump to the frame, jump to the first label; then tick only; then play only.
STEPS = (0b11100100, 0b00000000, 0b01010101)


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    os.makedirs(argv[1], exist_ok=True)
    for name, make in make_movies.MOVIES.items():
        text = ("\r\n".join(make()) + "\r\n").encode("latin-1")
        for n, steps in enumerate(STEPS):
            with open(os.path.join(argv[1], "%s-%d" % (name, n)), "wb") as f:
                f.write(bytes([steps, 3, 0]) + text)


if __name__ == "__main__":
    main(sys.argv)
