#!/usr/bin/env python3
"""Time to a depth with one thread and with two, engine builds side by side.

For each position (the 36 positions of corvane-bench search, read from its
source, then five endings where depth decides) every build searches to the
depth with Threads 1 and with Threads 2, each in a fresh process, the runs
interleaved so that all see the same machine. Prints, per build, the total
time of each thread count over the bench positions with their ratio, and
each position whose two-thread time exceeds a limit times its one-thread
time; with several rounds, medians per position.

Usage: tools/speed/threads.py [--depth 14] [--rounds 1] [--limit 1.5] ENGINE [ENGINE ...]
Only a quiet machine gives figures worth keeping.
"""
import argparse
import os
import re
import statistics
import subprocess
import tempfile
import time

ENDINGS = {
    "KRvK": "8/8/4k3/8/8/3K4/8/3R4 w - - 0 1",
    "KQvK": "8/8/8/3k4/8/8/8/1Q2K3 w - - 0 1",
    "KPK": "8/8/8/4k3/8/8/2P5/4K3 w - - 0 1",
    "KNvKP": "8/8/3k4/8/2p5/8/4N3/4K3 w - - 0 1",
    "KBNvK": "8/8/8/4k3/8/8/8/2B1KN2 w - - 0 1",
}


def bench_positions():
    source = os.path.join(os.path.dirname(__file__), "..", "bench", "search_cmd.cpp")
    text = open(source).read()
    block = text[text.index("BENCH_POSITIONS[]"):]
    block = block[:block.index("};")]
    return re.findall(r'"([^"]+ [wb] [^"]+)"', block)


def time_to_depth(engine, threads, depth, fen, scratch):
    """Seconds from go to bestmove, and the nodes of the last info line."""
    p = subprocess.Popen([engine], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1, cwd=scratch)

    def send(line):
        p.stdin.write(line + "\n")
        p.stdin.flush()

    send("setoption name Threads value %d" % threads)
    send("position fen " + fen)
    send("isready")
    while p.stdout.readline().strip() != "readyok":
        pass
    start = time.perf_counter()
    send("go depth %d" % depth)
    nodes = 0
    for line in p.stdout:
        found = re.search(r" nodes (\d+)", line)
        if found:
            nodes = int(found.group(1))
        if line.startswith("bestmove"):
            break
    seconds = time.perf_counter() - start
    send("quit")
    p.wait()
    return seconds, nodes


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--depth", type=int, default=14)
    parser.add_argument("--rounds", type=int, default=1)
    parser.add_argument("--limit", type=float, default=1.5)
    parser.add_argument("engines", nargs="+")
    args = parser.parse_args()
    args.engines = [os.path.abspath(e) for e in args.engines]
    scratch = tempfile.mkdtemp(prefix="corvane-threads-")
    positions = [("bench %d" % (i + 1), fen) for i, fen in enumerate(bench_positions())] + list(ENDINGS.items())
    runs = [(engine, threads) for engine in args.engines for threads in (1, 2)]
    times = {(run, name): [] for run in runs for name, _ in positions}
    print("machine load average before: %.2f %.2f %.2f" % os.getloadavg(), flush=True)
    for r in range(args.rounds):
        for k, (name, fen) in enumerate(positions):
            order = runs[(r + k) % len(runs):] + runs[:(r + k) % len(runs)]
            for run in order:
                seconds, nodes = time_to_depth(run[0], run[1], args.depth, fen, scratch)
                times[(run, name)].append(seconds)
                print("round %d %-8s %-40s threads %d %8.3f s %11d nodes" % (r + 1, name, run[0][-40:], run[1],
                                                                              seconds, nodes), flush=True)
    print("machine load average after: %.2f %.2f %.2f" % os.getloadavg())
    for engine in args.engines:
        median = {(t, name): statistics.median(times[((engine, t), name)]) for t in (1, 2) for name, _ in positions}
        bench = [name for name, _ in positions if name.startswith("bench")]
        one, two = (sum(median[(t, name)] for name in bench) for t in (1, 2))
        print("%s: bench positions to depth %d: 1 thread %.1f s, 2 threads %.1f s, ratio %.2f" % (
            engine, args.depth, one, two, two / one))
        worst = max(positions, key=lambda p: median[(2, p[0])] / median[(1, p[0])])[0]
        print("  worst position %s: %.2f" % (worst, median[(2, worst)] / median[(1, worst)]))
        for name, _ in positions:
            ratio = median[(2, name)] / median[(1, name)]
            if ratio > args.limit or name in ENDINGS:
                print("  %-8s 1 thread %7.3f s, 2 threads %7.3f s, ratio %.2f" % (
                    name, median[(1, name)], median[(2, name)], ratio))


if __name__ == "__main__":
    main()
