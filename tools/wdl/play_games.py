#!/usr/bin/env python3
"""Self-play games for the win/draw/loss fit: one game from each opening.

At a fixed node count Corvane plays the same move in the same position, so
the second game of a colour-swapped pair would repeat the first move for
move. Each opening is therefore played once, by a match of one game, and the
games go to one PGN file with the search's score after every move. Games run
to their end by the rules: an adjudicated result would be partly the score
the model is fitted to.

    python3 tools/wdl/play_games.py --match /path/to/match.py \
        --engine build/release/corvane --openings openings.fen \
        --first 1 --last 1000 --pgn fit.pgn
"""

import argparse
import os
import subprocess
import sys
import tempfile


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--match", required=True, help="the match runner, match.py")
    ap.add_argument("--engine", required=True)
    ap.add_argument("--openings", required=True, help="FEN lines (make_openings.py)")
    ap.add_argument("--first", type=int, default=1, help="first opening, counting from 1")
    ap.add_argument("--last", type=int, required=True, help="last opening")
    ap.add_argument("--nodes", type=int, default=50000, help="nodes per move")
    ap.add_argument("--pgn", required=True, help="PGN file the games are appended to")
    ap.add_argument("--option", action="append", default=[], help="NAME=VALUE set on both sides (repeatable)")
    a = ap.parse_args()

    with open(a.openings) as f:
        openings = [line.strip() for line in f if line.strip()]
    with tempfile.TemporaryDirectory() as tmp:
        one = os.path.join(tmp, "opening.fen")
        for n in range(a.first, min(a.last, len(openings)) + 1):
            with open(one, "w") as f:
                f.write(openings[n - 1] + "\n")
            cmd = [sys.executable, a.match, "--engine1", a.engine, "--engine2", a.engine, "--nodes", str(a.nodes),
                   "--no-adjudication", "--games", "1", "--openings", one, "--pgn", a.pgn,
                   "--event", f"opening {n}"]
            for option in a.option:
                cmd += ["--opt1", option, "--opt2", option]
            done = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
            if done.returncode != 0:
                sys.stderr.write(f"opening {n}: match.py failed ({done.returncode}): {done.stderr[-500:]}\n")
                return 1
            print(f"opening {n} done", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
