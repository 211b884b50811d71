#!/usr/bin/env python3
"""Balanced, varied start positions for self-play, chosen by Corvane itself.

Each opening is a random walk from the start position: at every ply the
engine analyses the position with several lines and one of the moves it
scores within MARGIN centipawns of its best is taken at random. The final
position is kept when a longer search scores it within BALANCE centipawns
of equality and no earlier opening reached it. Corvane searches to a fixed
number of nodes, so the same seed gives the same file.

    PYTHONPATH=third_party/python-chess python3 tools/wdl/make_openings.py \
        --engine build/release/corvane --count 1000 --out openings.fen
"""

import argparse
import random
import sys

import chess
import chess.engine

MARGIN = 40       # cp below the best move that a move may be and still be played
BALANCE = 60      # cp: a final position scored further from equality is dropped
WALK_NODES = 10000
CHECK_NODES = 100000
LINES = 6


def walk(engine: chess.engine.SimpleEngine, rng: random.Random, plies: int) -> chess.Board:
    board = chess.Board()
    for _ in range(plies):
        infos = engine.analyse(board, chess.engine.Limit(nodes=WALK_NODES), multipv=LINES)
        scored = [(i["score"].relative.score(mate_score=100000), i["pv"][0]) for i in infos if i.get("pv")]
        best = max(s for s, _ in scored)
        board.push(rng.choice([m for s, m in scored if s >= best - MARGIN]))
        if board.is_game_over():
            break
    return board


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--engine", required=True)
    ap.add_argument("--count", type=int, default=1000)
    ap.add_argument("--plies", type=int, default=8)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--out", required=True)
    a = ap.parse_args()

    rng = random.Random(a.seed)
    seen = set()
    with chess.engine.SimpleEngine.popen_uci(a.engine) as engine, open(a.out, "w") as out:
        tries = 0
        while len(seen) < a.count:
            tries += 1
            board = walk(engine, rng, a.plies)
            key = board.epd()
            if key in seen or board.is_game_over():
                continue
            score = engine.analyse(board, chess.engine.Limit(nodes=CHECK_NODES))["score"].relative
            if score.is_mate() or abs(score.score()) > BALANCE:
                continue
            seen.add(key)
            out.write(board.fen() + "\n")
            out.flush()
        print(f"{len(seen)} openings from {tries} walks", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
