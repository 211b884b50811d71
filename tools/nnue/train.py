#!/usr/bin/python3
"""Trains Corvane's evaluation network on the positions `corvane-bench
datagen` writes, and exports it in the engine's network file format.

The network: 768 inputs (colour x piece type x square from one side's point
of view) into HIDDEN neurons per side, shared by both sides; the two sides'
activations (the side to move's first) squared and clipped, then one of
BUCKETS outputs chosen by the number of men. The prediction sigmoid(out) is
fitted to a blend of the search score's win chance sigmoid(score / SCALE) and
the game's result.

Deterministic from its seed on a given machine: the same data and arguments
give the same network file. Needs Debian's python3-torch and python3-numpy.
"""
import argparse
import glob
import math
import os
import struct
import sys
import time

import numpy as np
import torch

INPUTS, HIDDEN, BUCKETS = 768, 256, 8
QA, QB = 255, 64
# Centipawns per unit of the network's logit. In Corvane's own games a
# score s predicts the result best as a win chance of sigmoid(s / 150) (the
# cross-entropy is least there, over all material), so at this scale the
# search's score and the game's result ask for the same thing, and the
# network's centipawns are the hand-written evaluation's.
SCALE = 150
MAX_OUTPUT_WEIGHT = 127 / QB  # the engine's 16-bit products need |w| <= 127 once quantised
RECORD = np.dtype([("occupied", "<u8"), ("pieces", "u1", 16), ("score", "<i2"), ("result", "u1"),
                   ("side", "u1"), ("ply", "<u2"), ("fifty", "u1"), ("zero", "u1")])
assert RECORD.itemsize == 32


def chunk_files(directory):
    return sorted(glob.glob(os.path.join(directory, "*.bin")))


def load(files):
    parts = [np.fromfile(f, dtype=RECORD) for f in files]
    return np.concatenate(parts) if parts else np.zeros(0, dtype=RECORD)


def features(records):
    """The active inputs of each record from both sides' points of view, as
    flat index arrays with bag offsets (the side to move's view first), and
    each record's output bucket."""
    n = len(records)
    occ = np.ascontiguousarray(records["occupied"]).view(np.uint8).reshape(n, 8)
    bits = np.unpackbits(occ, axis=1, bitorder="little").astype(bool)  # (n, 64), square order
    rows, squares = np.nonzero(bits)  # row-major: each record's squares lowest first
    counts = bits.sum(axis=1)
    starts = np.concatenate(([0], np.cumsum(counts)[:-1]))
    nib = records["pieces"]
    nibbles = np.empty((n, 32), dtype=np.uint8)
    nibbles[:, 0::2] = nib & 15
    nibbles[:, 1::2] = nib >> 4
    k = np.arange(len(rows)) - starts[rows]
    piece = nibbles[rows, k].astype(np.int64)
    kind, colour = (piece & 7) - 1, piece >> 3
    white_view = ((colour != 0) * 6 + kind) * 64 + squares
    black_view = ((colour != 1) * 6 + kind) * 64 + (squares ^ 56)
    black_to_move = records["side"][rows] == 1
    us = np.where(black_to_move, black_view, white_view)
    them = np.where(black_to_move, white_view, black_view)
    offsets = starts
    buckets = np.minimum((counts - 2) // 4, BUCKETS - 1)
    return (torch.from_numpy(us), torch.from_numpy(them), torch.from_numpy(offsets.astype(np.int64)),
            torch.from_numpy(buckets.astype(np.int64)))


def on_grid(w, scale):
    """w rounded to multiples of 1/scale going forward; the gradient passes as if unrounded."""
    return w + (torch.round(w * scale) / scale - w).detach()


class Network(torch.nn.Module):
    def __init__(self):
        super().__init__()
        self.ft = torch.nn.EmbeddingBag(INPUTS, HIDDEN, mode="sum")
        self.ft_bias = torch.nn.Parameter(torch.zeros(HIDDEN))
        self.out = torch.nn.Linear(2 * HIDDEN, BUCKETS)
        with torch.no_grad():
            self.ft.weight.normal_(0.0, 0.1)
            self.ft_bias.fill_(0.1)
            self.out.weight.uniform_(-1 / math.sqrt(2 * HIDDEN), 1 / math.sqrt(2 * HIDDEN))
            self.out.bias.zero_()

    def forward(self, us, them, offsets, buckets):
        # Trained as the engine computes: every weight on the grid its
        # integer form has (the rounding is passed over by the gradient), so
        # the network the engine plays is the one the loss was measured on.
        weight, bias = on_grid(self.ft.weight, QA), on_grid(self.ft_bias, QA)
        a = torch.nn.functional.embedding_bag(us, weight, offsets, mode="sum") + bias
        b = torch.nn.functional.embedding_bag(them, weight, offsets, mode="sum") + bias
        x = torch.clamp(torch.cat([a, b], dim=1), 0.0, 1.0) ** 2
        out = torch.nn.functional.linear(x, on_grid(self.out.weight, QB), on_grid(self.out.bias, QA * QB))
        return out.gather(1, buckets.unsqueeze(1)).squeeze(1)

    def clip(self):
        with torch.no_grad():
            self.out.weight.clamp_(-MAX_OUTPUT_WEIGHT, MAX_OUTPUT_WEIGHT)


def targets(records, blend):
    score = torch.from_numpy(records["score"].astype(np.float32))
    result = torch.from_numpy(records["result"].astype(np.float32)) / 2.0
    return blend * torch.sigmoid(score / SCALE) + (1.0 - blend) * result


def batch_loss(net, records, blend):
    us, them, offsets, buckets = features(records)
    prediction = torch.sigmoid(net(us, them, offsets, buckets))
    return torch.mean((prediction - targets(records, blend)) ** 2)


def evaluate_loss(net, records, blend, batch):
    with torch.no_grad():
        total = 0.0
        for i in range(0, len(records), batch):
            part = records[i:i + batch]
            total += float(batch_loss(net, part, blend)) * len(part)
        return total / max(1, len(records))


def export(net, path):
    """The engine's network file: quantised as the engine computes, with its checksum."""
    # Rounded exactly as on_grid rounds them in training.
    q = lambda w, s: torch.round(w.detach() * s).numpy().astype(np.int64)
    ft_w = q(net.ft.weight, QA).astype(np.int16)  # (768, HIDDEN), a row per input
    ft_b = q(net.ft_bias, QA).astype(np.int16)
    out_w = np.clip(q(net.out.weight, QB), -127, 127).astype(np.int16)  # (BUCKETS, 2 * HIDDEN)
    out_b = q(net.out.bias, QA * QB).astype(np.int32)
    body = b"CVNN" + struct.pack("<4I", 1, INPUTS, HIDDEN, BUCKETS)
    body += ft_w.astype("<i2").tobytes() + ft_b.astype("<i2").tobytes()
    body += out_w.astype("<i2").tobytes() + out_b.astype("<i4").tobytes()
    h = 2166136261
    for byte in body:
        h = ((h ^ byte) * 16777619) & 0xFFFFFFFF
    with open(path, "wb") as f:
        f.write(body + struct.pack("<I", h))


def fen_records(fens):
    """Records for FEN lines (score and result zero), for float evaluations."""
    kinds = {"p": 1, "n": 2, "b": 3, "r": 4, "q": 5, "k": 6}
    out = np.zeros(len(fens), dtype=RECORD)
    for i, fen in enumerate(fens):
        fields = fen.split()
        squares = {}
        for r, rank in enumerate(fields[0].split("/")):
            f = 0
            for ch in rank:
                if ch.isdigit():
                    f += int(ch)
                    continue
                squares[(7 - r) * 8 + f] = kinds[ch.lower()] + (8 if ch.islower() else 0)
                f += 1
        occupied = 0
        nibbles = []
        for sq in sorted(squares):
            occupied |= 1 << sq
            nibbles.append(squares[sq])
        nibbles += [0] * (32 - len(nibbles))
        out[i]["occupied"] = occupied
        out[i]["pieces"] = [nibbles[2 * j] | nibbles[2 * j + 1] << 4 for j in range(16)]
        out[i]["side"] = 1 if fields[1] == "b" else 0
    return out


def float_scores(net, fens):
    """The unquantised network's scores in centipawns for the side to move."""
    with torch.no_grad():
        us, them, offsets, buckets = features(fen_records(fens))
        return (net(us, them, offsets, buckets) * SCALE).tolist()


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--data", action="append", required=True, help="a directory of datagen chunks (repeatable)")
    p.add_argument("--validation-chunks", type=int, default=20, help="the first chunks of the first --data, held out")
    p.add_argument("--epochs", type=int, default=20)
    p.add_argument("--batch", type=int, default=16384)
    p.add_argument("--lr", type=float, default=1e-3)
    p.add_argument("--drops", default="0.7,0.9", help="fractions of the epochs after which the rate falls tenfold")
    p.add_argument("--blend", type=float, default=0.75, help="weight of the search score against the result")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--threads", type=int, default=2)
    p.add_argument("--max-positions", type=int, default=0, help="use only this many training positions (0: all)")
    p.add_argument("--out", required=True, help="the network file to write")
    p.add_argument("--log", help="a file for one line per epoch (epoch, rate, training and validation loss)")
    p.add_argument("--checkpoint", help="a file to save the model to after each epoch and resume from")
    p.add_argument("--fens", action="append", default=[],
                   help="a file of FEN lines (repeatable): after training, their float scores go to OUT.float")
    args = p.parse_args()

    torch.manual_seed(args.seed)
    torch.set_num_threads(args.threads)
    rng = np.random.default_rng(args.seed)

    # The lowest-numbered chunks are held out: they exist first and stay the same as the data grows.
    first = chunk_files(args.data[0])
    held = first[:args.validation_chunks]
    train_files = first[len(held):] + [f for d in args.data[1:] for f in chunk_files(d)]
    train, valid = load(train_files), load(held)
    if args.max_positions and len(train) > args.max_positions:
        train = train[:args.max_positions]
    print(f"{len(train)} training positions from {len(train_files)} chunks, {len(valid)} held out", flush=True)

    net = Network()
    optimiser = torch.optim.Adam(net.parameters(), lr=args.lr)
    drops = [float(x) for x in args.drops.split(",") if x]
    start_epoch = 0
    if args.checkpoint and os.path.exists(args.checkpoint):
        state = torch.load(args.checkpoint)
        net.load_state_dict(state["net"])
        optimiser.load_state_dict(state["optimiser"])
        rng.bit_generator.state = state["rng"]
        torch.set_rng_state(state["torch_rng"])
        start_epoch = state["epoch"]
        print(f"resumed after epoch {start_epoch}", flush=True)

    if args.log and start_epoch == 0 and os.path.exists(args.log):
        os.remove(args.log)  # a fresh start writes a fresh log
    for epoch in range(start_epoch, args.epochs):
        rate = args.lr * 0.1 ** sum(epoch >= d * args.epochs for d in drops)
        for group in optimiser.param_groups:
            group["lr"] = rate
        order = rng.permutation(len(train))
        started, total, seen = time.time(), 0.0, 0
        for i in range(0, len(order), args.batch):
            part = train[np.sort(order[i:i + args.batch])]
            loss = batch_loss(net, part, args.blend)
            optimiser.zero_grad()
            loss.backward()
            optimiser.step()
            net.clip()
            total += float(loss) * len(part)
            seen += len(part)
        train_loss = total / max(1, seen)
        valid_loss = evaluate_loss(net, valid, args.blend, args.batch) if len(valid) else float("nan")
        elapsed = time.time() - started
        line = f"{epoch + 1} {rate:.2e} {train_loss:.6f} {valid_loss:.6f}"
        print(f"epoch {line}  ({seen / elapsed:.0f} positions/s)", flush=True)
        if args.log:
            with open(args.log, "a") as f:
                f.write(line + "\n")
        if args.checkpoint:
            torch.save({"net": net.state_dict(), "optimiser": optimiser.state_dict(), "epoch": epoch + 1,
                        "rng": rng.bit_generator.state, "torch_rng": torch.get_rng_state()}, args.checkpoint)
        export(net, args.out)

    export(net, args.out)
    if args.fens:
        fens = [line.split(";")[0].strip() for name in args.fens for line in open(name) if line.strip()]
        with open(args.out + ".float", "w") as f:
            f.write("# the unquantised network's scores (centipawns, side to move) of every line of:"
                    f" {' '.join(os.path.basename(n) for n in args.fens)}\n")
            for score in float_scores(net, fens):
                f.write(f"{score:.2f}\n")
    print(f"wrote {args.out}", flush=True)


if __name__ == "__main__":
    sys.exit(main())
