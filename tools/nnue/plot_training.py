#!/usr/bin/python3
"""Draws the training of Corvane's networks as an SVG picture: the training
and held-out loss after each epoch, one pair of lines per log (one line per
epoch: epoch, learning rate, training loss, held-out loss, as train.py
writes them), with the epochs where the rate fell marked.

    python3 tools/nnue/plot_training.py --out tools/nnue/training.svg \
        "generation 1=gen1/log.txt" "generation 2=gen2/log.txt"
"""
import argparse
import math
import sys

COLOURS = ["#2166ac", "#b2182b", "#1b7837", "#762a83"]


def read_log(path):
    rows = []
    for line in open(path):
        parts = line.split()
        if len(parts) == 4:
            rows.append((int(parts[0]), float(parts[1]), float(parts[2]), float(parts[3])))
    return rows


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--out", required=True)
    p.add_argument("logs", nargs="+", help="LABEL=LOGFILE")
    args = p.parse_args()
    series = []
    for item in args.logs:
        label, path = item.split("=", 1)
        series.append((label, read_log(path)))

    epochs = max(r[0] for _, rows in series for r in rows)
    losses = [v for _, rows in series for r in rows for v in (r[2], r[3]) if not math.isnan(v)]
    low, high = min(losses), max(losses)
    pad = (high - low) * 0.05
    low, high = low - pad, high + pad
    x0, y0, w, h = 70, 40, 560, 300
    px = lambda e: x0 + (e - 1) / max(1, epochs - 1) * w
    py = lambda v: y0 + (high - v) / (high - low) * h

    height = y0 + h + 60 + 18 * len(series)
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="700" height="{height}" font-family="sans-serif">',
           f'<rect width="700" height="{height}" fill="white"/>',
           f'<text x="{x0 + w / 2}" y="22" font-size="13" text-anchor="middle">Training of the evaluation network: '
           'loss after each epoch</text>',
           f'<rect x="{x0}" y="{y0}" width="{w}" height="{h}" fill="none" stroke="#333"/>']
    for i in range(6):
        v = low + (high - low) * i / 5
        out.append(f'<line x1="{x0}" y1="{py(v):.1f}" x2="{x0 + w}" y2="{py(v):.1f}" stroke="#eee"/>')
        out.append(f'<text x="{x0 - 6}" y="{py(v) + 4:.1f}" font-size="11" text-anchor="end">{v:.4f}</text>')
    step = max(1, epochs // 10)
    for e in range(1, epochs + 1, step):
        out.append(f'<text x="{px(e):.1f}" y="{y0 + h + 16}" font-size="11" text-anchor="middle">{e}</text>')
    out.append(f'<text x="{x0 + w / 2}" y="{y0 + h + 34}" font-size="12" text-anchor="middle">epoch</text>')
    out.append(f'<text x="18" y="{y0 + h / 2}" font-size="12" text-anchor="middle" '
               f'transform="rotate(-90 18 {y0 + h / 2})">loss (mean squared error of the win chance)</text>')
    for k, (label, rows) in enumerate(series):
        colour = COLOURS[k % len(COLOURS)]
        for column, dash in ((2, ' stroke-dasharray="6 4"'), (3, "")):
            points = " ".join(f"{px(r[0]):.1f},{py(r[column]):.1f}" for r in rows if not math.isnan(r[column]))
            out.append(f'<polyline fill="none" stroke="{colour}" stroke-width="2"{dash} points="{points}"/>')
        for prev, cur in zip(rows, rows[1:]):
            if cur[1] < prev[1]:
                out.append(f'<line x1="{px(cur[0]):.1f}" y1="{y0}" x2="{px(cur[0]):.1f}" y2="{y0 + h}" '
                           f'stroke="{colour}" stroke-opacity="0.3"/>')
        ly = y0 + h + 56 + 18 * k
        out.append(f'<rect x="{x0}" y="{ly - 6}" width="14" height="4" fill="{colour}"/>')
        out.append(f'<text x="{x0 + 20}" y="{ly}" font-size="11">{label}</text>')
    out.append(f'<text x="{x0}" y="{y0 + h + 56 + 18 * len(series)}" font-size="11">solid: held-out positions; '
               'dashed: training positions; thin upright lines: the learning rate falls tenfold</text>')
    out.append("</svg>")
    with open(args.out, "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    sys.exit(main())
