#!/usr/bin/env python3
"""Fits Corvane's win/draw/loss model to its own self-play games.

Reads PGN files written by the match runner (the mover's score after every
move, "+0.35/9 0.021s"), takes every position scored in centipawns with the
game's result from the mover's side, and fits by maximum likelihood

    x    = sign(score) * |score| ** power
    win  = 1 / (1 + exp((centre - x) / width))
    loss = 1 / (1 + exp((centre + x) / width))
    draw = 1 - win - loss

where centre and width are quadratics in the material on the board (pawns
1, knights and bishops 3, rooks 5, queens 9; both sides; held within 10 to
78). It prints the seven constants for src/search/wdl.cpp, the calibration
on the held-out games (with 95% intervals from resampling whole games), and
draws the picture.

Games are told apart by their Event header, "opening N" (play_games.py):
openings up to --split are fitted, the later ones held out.
Needs python-chess: PYTHONPATH=third_party/python-chess.

    python3 tools/wdl/fit_wdl.py --split 1050 --svg tools/wdl/wdl_fit.svg games_*.pgn
"""

import argparse
import math
import random
import re
import sys
from collections import Counter, defaultdict

import chess
import chess.pgn

MATERIAL_FLOOR, MATERIAL_FULL = 10, 78
SCORE_LIMIT = 2000  # cp: beyond it a game is decided and the position says nothing new
VALUE = {chess.PAWN: 1, chess.KNIGHT: 3, chess.BISHOP: 3, chess.ROOK: 5, chess.QUEEN: 9}
SCORE_RE = re.compile(r"^\s*([+-])(\d+\.\d\d)/")  # mate scores ("+M3/9") do not match
LOSS, DRAW, WIN = 0, 1, 2  # outcomes for the side to move


def material(board: chess.Board) -> int:
    return sum(VALUE[p.piece_type] for p in board.piece_map().values() if p.piece_type in VALUE)


def read_games(paths, split):
    """(fitted, held_out): games as lists of (score, material, outcome), the
    side to move's; a game that repeats an earlier one is read once."""
    fitted, held, seen = [], [], set()
    counts = Counter()
    for path in paths:
        with open(path, encoding="utf-8") as f:
            while (game := chess.pgn.read_game(f)) is not None:
                result = game.headers.get("Result")
                event = game.headers.get("Event", "")
                if result not in ("1-0", "0-1", "1/2-1/2") or not event.startswith("opening "):
                    counts["skipped"] += 1
                    continue
                key = (game.board().fen(), tuple(m.uci() for m in game.mainline_moves()))
                if key in seen:
                    counts["duplicate"] += 1
                    continue
                seen.add(key)
                white = {"1-0": WIN, "0-1": LOSS, "1/2-1/2": DRAW}[result]
                positions = []
                for node in game.mainline():
                    m = SCORE_RE.match(" ".join(node.comments))
                    if not m:
                        continue
                    cp = round(float(m.group(2)) * 100) * (1 if m.group(1) == "+" else -1)
                    board = node.parent.board()
                    if abs(cp) <= SCORE_LIMIT:
                        positions.append((cp, material(board), white if board.turn == chess.WHITE else 2 - white))
                fit = int(event.split()[1]) <= split
                (fitted if fit else held).append(positions)
                counts["fitted" if fit else "held out"] += 1
    return fitted, held, counts


# --- The model -----------------------------------------------------------------
#
# params: the centre's polynomial coefficients, the width's, then the power,
# DEGREE + 1 + DEGREE + 1 + 1 numbers. t is the material scaled from 0 (the
# floor) to 1 (full); x the score raised to the power, its sign kept.

DEGREE = 2


def shape(params, mat):
    t = (min(max(mat, MATERIAL_FLOOR), MATERIAL_FULL) - MATERIAL_FLOOR) / (MATERIAL_FULL - MATERIAL_FLOOR)
    n = DEGREE + 1
    centre = max(0.0, sum(c * t ** k for k, c in enumerate(params[:n])))
    width = max(1.0, sum(c * t ** k for k, c in enumerate(params[n:2 * n])))
    return centre, width


def chances(centre, width, power, score):
    """(win, draw, loss) for the side to move."""
    x = math.copysign(abs(score) ** power, score)
    a, b = (centre - x) / width, (centre + x) / width
    win = 1.0 / (1.0 + math.exp(a)) if a < 700 else 0.0
    loss = 1.0 / (1.0 + math.exp(b)) if b < 700 else 0.0
    return win, max(0.0, 1.0 - win - loss), loss


def model(params, score, mat):
    return chances(*shape(params, mat), params[-1], score)


def tally(games):
    """material -> [(score, losses, draws, wins)]: the likelihood needs only the counts."""
    counts = defaultdict(lambda: [0, 0, 0])
    for game in games:
        for s, m, o in game:
            counts[(s, min(max(m, MATERIAL_FLOOR), MATERIAL_FULL))][o] += 1
    cells = defaultdict(list)
    for (s, m), (losses, draws, wins) in counts.items():
        cells[m].append((s, losses, draws, wins))
    return cells


def neg_log_likelihood(params, cells):
    if not 0.2 <= params[-1] <= 2.0:
        return math.inf
    total, log = 0.0, math.log
    for mat, rows in cells.items():
        centre, width = shape(params, mat)
        for score, losses, draws, wins in rows:
            win, draw, loss = chances(centre, width, params[-1], score)
            total -= losses * log(max(loss, 1e-12)) + draws * log(max(draw, 1e-12)) + wins * log(max(win, 1e-12))
    return total


def nelder_mead(f, start, step, iterations=4000, tolerance=1e-8):
    """Minimises f from start; plain Nelder-Mead, enough for a few parameters."""
    n = len(start)
    simplex = [list(start)] + [[start[j] + (step[j] if j == i else 0) for j in range(n)] for i in range(n)]
    values = [f(p) for p in simplex]
    for _ in range(iterations):
        order = sorted(range(n + 1), key=lambda i: values[i])
        simplex, values = [simplex[i] for i in order], [values[i] for i in order]
        if abs(values[-1] - values[0]) <= tolerance * (abs(values[0]) + 1):
            break
        centroid = [sum(p[j] for p in simplex[:-1]) / n for j in range(n)]
        worst = simplex[-1]

        def towards(factor):
            return [centroid[j] + factor * (worst[j] - centroid[j]) for j in range(n)]

        reflected = towards(-1.0)
        fr = f(reflected)
        if fr < values[0]:
            expanded = towards(-2.0)
            fe = f(expanded)
            simplex[-1], values[-1] = (expanded, fe) if fe < fr else (reflected, fr)
        elif fr < values[-2]:
            simplex[-1], values[-1] = reflected, fr
        else:
            contracted = towards(0.5)
            fc = f(contracted)
            if fc < values[-1]:
                simplex[-1], values[-1] = contracted, fc
            else:
                best = simplex[0]
                simplex = [best] + [[best[j] + 0.5 * (p[j] - best[j]) for j in range(n)] for p in simplex[1:]]
                values = [values[0]] + [f(p) for p in simplex[1:]]
    return simplex[0], values[0]


def fit_model(cells):
    # A start near the answer: centre falling and width rising with material.
    n = DEGREE + 1
    start = [60.0, -30.0] + [0.0] * (n - 2) + [25.0, 15.0] + [0.0] * (n - 2) + [0.8]
    step = [15.0] * n + [8.0] * n + [0.05]
    params, nll = nelder_mead(lambda p: neg_log_likelihood(p, cells), start, step)
    # Restarting from the answer lets a simplex that collapsed early look again.
    return nelder_mead(lambda p: neg_log_likelihood(p, cells), params, [s / 4 for s in step])


# --- Calibration on the held-out games ----------------------------------------

BOOTSTRAP = 1000  # resamplings of whole games: positions of one game are not independent


def brier(probs, outcome):
    observed = (outcome == WIN, outcome == DRAW, outcome == LOSS)
    return sum((p - o) ** 2 for p, o in zip(probs, observed))


def interval(per_game, ratio, rng):
    """95% interval of ratio(sums over games) when the games are resampled."""
    values = []
    for _ in range(BOOTSTRAP):
        sample = [per_game[rng.randrange(len(per_game))] for _ in per_game]
        values.append(ratio([sum(col) for col in zip(*sample)]))
    values.sort()
    return values[int(0.025 * BOOTSTRAP)], values[int(0.975 * BOOTSTRAP) - 1]


def calibration(params, fitted, held):
    rng = random.Random(1)
    positions = [p for game in fitted for p in game]
    rates = tuple(sum(1 for *_, o in positions if o == k) / len(positions) for k in (WIN, DRAW, LOSS))
    # Per game: positions, model's Brier sum, baseline's Brier sum, and in the
    # 50-70% band: positions, predicted win sum, wins.
    per_game = []
    for game in held:
        row = [0, 0.0, 0.0, 0, 0.0, 0]
        for s, m, o in game:
            p = model(params, s, m)
            row[0] += 1
            row[1] += brier(p, o)
            row[2] += brier(rates, o)
            if 0.5 <= p[0] < 0.7:
                row[3] += 1
                row[4] += p[0]
                row[5] += o == WIN
        per_game.append(row)
    total = [sum(col) for col in zip(*per_game)]
    out = {
        "rates": rates,
        "brier": total[1] / total[0],
        "brier_interval": interval(per_game, lambda t: t[1] / t[0], rng),
        "baseline": total[2] / total[0],
        "band_positions": total[3],
        "band_games": sum(1 for row in per_game if row[3]),
        "band_predicted": total[4] / total[3],
        "band_observed": total[5] / total[3],
        "band_interval": interval(per_game, lambda t: t[5] / t[3] if t[3] else 0.0, rng),
    }
    reliability = []
    for k, name in ((0, "win"), (1, "draw"), (2, "loss")):
        bins = defaultdict(lambda: [0, 0.0, 0])
        for game in held:
            for s, m, o in game:
                p = model(params, s, m)[k]
                b = bins[min(int(p * 10), 9)]
                b[0] += 1
                b[1] += p
                b[2] += o == (WIN, DRAW, LOSS)[k]
        reliability.append((name, [(c, ps / c, hits / c) for _, (c, ps, hits) in sorted(bins.items())]))
    out["reliability"] = reliability
    return out


# --- The picture -------------------------------------------------------------

BANDS = [(10, 30, "#1b7837", "material 10-30"), (31, 55, "#2166ac", "material 31-55"),
         (56, 78, "#b2182b", "material 56-78")]
SCORE_BIN = 25
SCORE_SPAN = 400


def svg_panel_curves(params, positions, x0, y0, w, h):
    """Win and draw chances against the score, observed (dots) and fitted
    (lines), one colour per material band."""
    out = []

    def px(s):
        return x0 + (s + SCORE_SPAN) / (2 * SCORE_SPAN) * w

    def py(p):
        return y0 + (1 - p) * h

    out += axes(x0, y0, w, h, [(px(s), f"{s:+d}" if s else "0") for s in range(-SCORE_SPAN, SCORE_SPAN + 1, 100)],
                "score (cp, side to move)", "chance")
    for lo, hi, colour, label in BANDS:
        sel = [(s, m, o) for s, m, o in positions if lo <= max(m, MATERIAL_FLOOR) <= hi and abs(s) <= SCORE_SPAN]
        bins = defaultdict(list)
        for s, m, o in sel:
            bins[round(s / SCORE_BIN)].append((m, o))
        for k in (0, 1):  # win, draw
            dash = "" if k == 0 else ' stroke-dasharray="6 4"'
            observed, fitted = [], []
            for b in sorted(bins):
                items = bins[b]
                if len(items) < 40:
                    continue
                s = b * SCORE_BIN
                observed.append((px(s), py(sum(1 for _, o in items if o == 2 - k) / len(items))))
                fitted.append((px(s), py(sum(model(params, s, m)[k] for m, _ in items) / len(items))))
            out.append(f'<polyline fill="none" stroke="{colour}" stroke-width="2"{dash} points="'
                       + " ".join(f"{x:.1f},{y:.1f}" for x, y in fitted) + '"/>')
            marker = "circle" if k == 0 else "rect"
            for x, y in observed:
                if marker == "circle":
                    out.append(f'<circle cx="{x:.1f}" cy="{y:.1f}" r="2.6" fill="{colour}"/>')
                else:
                    out.append(f'<rect x="{x - 2.4:.1f}" y="{y - 2.4:.1f}" width="4.8" height="4.8" fill="none" '
                               f'stroke="{colour}"/>')
    legend_y = y0 + h + 56
    for i, (_, _, colour, label) in enumerate(BANDS):
        out.append(f'<rect x="{x0 + 140 * i}" y="{legend_y - 6}" width="14" height="4" fill="{colour}"/>')
        out.append(f'<text x="{x0 + 140 * i + 20}" y="{legend_y}" font-size="11">{label}</text>')
    out.append(f'<text x="{x0}" y="{legend_y + 18}" font-size="11">dots: wins seen, squares: draws seen; '
               f'lines: the model (solid win, dashed draw)</text>')
    return out


def svg_panel_reliability(reliability, x0, y0, w, h):
    """Held-out games: the chance the model gave against how often it came true."""
    out = axes(x0, y0, w, h, [(x0 + p / 10 * w, f"{p * 10}%") for p in range(0, 11, 2)],
               "chance the model gave (held-out games)", "how often it happened")
    out.append(f'<line x1="{x0}" y1="{y0 + h}" x2="{x0 + w}" y2="{y0}" stroke="#999" stroke-dasharray="3 3"/>')
    colours = {"win": "#b2182b", "draw": "#777777", "loss": "#2166ac"}
    for i, (name, bins) in enumerate(reliability):
        pts = [(x0 + p * w, y0 + (1 - hit) * h) for c, p, hit in bins if c >= 100]
        out.append(f'<polyline fill="none" stroke="{colours[name]}" stroke-width="2" points="'
                   + " ".join(f"{x:.1f},{y:.1f}" for x, y in pts) + '"/>')
        for x, y in pts:
            out.append(f'<circle cx="{x:.1f}" cy="{y:.1f}" r="3" fill="{colours[name]}"/>')
        out.append(f'<rect x="{x0 + 90 * i}" y="{y0 + h + 50}" width="14" height="4" fill="{colours[name]}"/>')
        out.append(f'<text x="{x0 + 90 * i + 20}" y="{y0 + h + 56}" font-size="11">{name}</text>')
    return out


def axes(x0, y0, w, h, xticks, xlabel, ylabel):
    out = [f'<rect x="{x0}" y="{y0}" width="{w}" height="{h}" fill="none" stroke="#333"/>']
    for i in range(0, 11, 2):
        y = y0 + h - i / 10 * h
        out.append(f'<line x1="{x0}" y1="{y:.1f}" x2="{x0 + w}" y2="{y:.1f}" stroke="#eee"/>')
        out.append(f'<text x="{x0 - 6}" y="{y + 4:.1f}" font-size="11" text-anchor="end">{i * 10}%</text>')
    for x, label in xticks:
        out.append(f'<line x1="{x:.1f}" y1="{y0 + h}" x2="{x:.1f}" y2="{y0 + h + 4}" stroke="#333"/>')
        out.append(f'<text x="{x:.1f}" y="{y0 + h + 17}" font-size="11" text-anchor="middle">{label}</text>')
    out.append(f'<text x="{x0 + w / 2}" y="{y0 + h + 34}" font-size="12" text-anchor="middle">{xlabel}</text>')
    out.append(f'<text x="{x0 - 40}" y="{y0 + h / 2}" font-size="12" text-anchor="middle" '
               f'transform="rotate(-90 {x0 - 40} {y0 + h / 2})">{ylabel}</text>')
    return out


def write_svg(path, params, fitted, reliability):
    positions = [p for game in fitted for p in game]
    body = svg_panel_curves(params, positions, 60, 30, 420, 300) + svg_panel_reliability(reliability, 580, 30, 300, 300)
    with open(path, "w", encoding="utf-8") as f:
        f.write('<svg xmlns="http://www.w3.org/2000/svg" width="900" height="420" font-family="sans-serif">\n'
                '<rect width="900" height="420" fill="white"/>\n'
                '<text x="270" y="18" font-size="13" text-anchor="middle">Win and draw chances by score '
                '(fitted games)</text>\n'
                '<text x="730" y="18" font-size="13" text-anchor="middle">Calibration (held-out games)</text>\n')
        f.write("\n".join(body) + "\n</svg>\n")


def main() -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("pgn", nargs="+")
    ap.add_argument("--split", type=int, required=True, help="last opening number of the fitted games")
    ap.add_argument("--svg", help="write the picture here")
    ap.add_argument("--constants", help="judge these constants instead of fitting: POWER,CENTRE0,1,2,WIDTH0,1,2 "
                    "(the engine's, to see whether games of another kind, such as the network's, keep them)")
    a = ap.parse_args()

    fitted, held, counts = read_games(a.pgn, a.split)
    n_fit, n_held = sum(map(len, fitted)), sum(map(len, held))
    print("games:", ", ".join(f"{v} {k}" for k, v in counts.items()))
    print(f"positions: {n_fit} fitted, {n_held} held out")
    n = DEGREE + 1
    if a.constants:
        given = [float(x) for x in a.constants.split(",")]
        params = given[1:] + given[:1]
        # Without fitted games the overall rates come from the held-out ones.
        fitted = fitted or held
    else:
        params, nll = fit_model(tally(fitted))
        print(f"fit: log-likelihood {-nll / n_fit:.4f} per position")
    print("constants for src/search/wdl.cpp:")
    print("  SCORE_POWER = %.3f" % params[-1])
    print("  CENTRE = {" + ", ".join(f"{p:.2f}" for p in params[:n]) + "}")
    print("  WIDTH = {" + ", ".join(f"{p:.2f}" for p in params[n:2 * n]) + "}")
    # Judge the constants the engine holds, as printed.
    params = [round(p, 2) for p in params[:-1]] + [round(params[-1], 3)]
    for mat in (MATERIAL_FLOOR, 30, 50, MATERIAL_FULL):
        win, draw, loss = model(params, 0, mat)
        centre, width = shape(params, mat)
        even = centre ** (1 / params[-1])
        print(f"  material {mat}: 0 cp gives {1000 * win:.0f}/{1000 * draw:.0f}/{1000 * loss:.0f}, "
              f"a win is an even chance at {even:.0f} cp")

    c = calibration(params, fitted, held)
    lo, hi = c["brier_interval"]
    print(f"held out: log-likelihood {-neg_log_likelihood(params, tally(held)) / n_held:.4f} per position")
    print("overall rates (fitted games): win %.3f draw %.3f loss %.3f" % c["rates"])
    print(f"held out: Brier score {c['brier']:.4f} (95% {lo:.4f}-{hi:.4f}) for the model, "
          f"{c['baseline']:.4f} for the overall rates")
    lo, hi = c["band_interval"]
    print(f"held out, where the model says 50-70% win: {c['band_positions']} positions of {c['band_games']} games, "
          f"model {100 * c['band_predicted']:.1f}%, observed {100 * c['band_observed']:.1f}% "
          f"(95% {100 * lo:.1f}-{100 * hi:.1f}%)")
    for name, bins in c["reliability"]:
        print(f"  {name:4} said -> seen: " + "  ".join(f"{100 * p:.0f}->{100 * hit:.0f}" for _, p, hit in bins))
    if a.svg:
        write_svg(a.svg, params, fitted, c["reliability"])
    return 0


if __name__ == "__main__":
    sys.exit(main())
