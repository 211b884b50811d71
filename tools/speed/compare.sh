#!/bin/sh
# Corvane's speed side by side with the engines its figures are measured
# against, the runs interleaved so that both see the same machine:
#   search speed: corvane-bench search DEPTH (nps) against Ethereal's bench (NPS)
#   move generation: corvane-bench perft 6 against Stockfish's go perft 6
#                    (whole processes, start-up included for both)
#   start-up: uci until uciok, then isready until readyok, against Ethereal
# Prints each figure's median with its spread (lowest and highest) and the
# ratio of the medians. Only a quiet machine gives figures worth keeping.
#
# Usage: tools/speed/compare.sh [ROUNDS [STARTS [DEPTH]]]   (defaults 5, 20, 9)
# The engines default to Debian's packages (ethereal-chess, stockfish) and
# to the release build; CORVANE_BENCH, CORVANE_ENGINE, ETHEREAL and STOCKFISH
# override them. With BASE_BENCH and BASE_ENGINE naming another build of
# Corvane (a commit before a change, say), its figures are taken in the same
# rounds, so before and after are measured side by side.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
export CORVANE_BENCH="${CORVANE_BENCH:-$root/build/release/corvane-bench}"
export CORVANE_ENGINE="${CORVANE_ENGINE:-$root/build/release/corvane}"
export ETHEREAL="${ETHEREAL:-$(command -v ethereal-chess || echo /usr/games/ethereal-chess)}"
export STOCKFISH="${STOCKFISH:-$(command -v stockfish || echo /usr/games/stockfish)}"
export BASE_BENCH="${BASE_BENCH:-}" BASE_ENGINE="${BASE_ENGINE:-}"
for program in "$CORVANE_BENCH" "$CORVANE_ENGINE" "$ETHEREAL" "$STOCKFISH" ${BASE_BENCH:+"$BASE_BENCH"} ${BASE_ENGINE:+"$BASE_ENGINE"}; do
    [ -x "$program" ] || { echo "compare.sh: $program is missing (make release; apt install ethereal-chess stockfish)" >&2; exit 2; }
done

exec python3 - "${1:-5}" "${2:-20}" "${3:-9}" <<'EOF'
import os, re, statistics, subprocess, sys, tempfile, time

rounds, starts, depth = (int(a) for a in sys.argv[1:4])
bench, engine = os.environ["CORVANE_BENCH"], os.environ["CORVANE_ENGINE"]
base_bench, base_engine = os.environ["BASE_BENCH"], os.environ["BASE_ENGINE"]
ethereal, stockfish = os.environ["ETHEREAL"], os.environ["STOCKFISH"]
scratch = tempfile.mkdtemp(prefix="corvane-speed-")  # Corvane writes its log files where it runs


def number(pattern, text):
    match = re.search(pattern, text, re.M)
    if not match:
        sys.exit("compare.sh: no match for %r in:\n%s" % (pattern, text[-2000:]))
    return float(match.group(1))


def run(command, stdin_text=None):
    start = time.perf_counter()
    out = subprocess.run(command, input=stdin_text, capture_output=True, text=True, cwd=scratch).stdout
    return out, time.perf_counter() - start


def corvane_nps(program):
    return number(r"^nps (\d+)", run([program, "search", str(depth)])[0])


def ethereal_nps():
    return number(r"^NPS\s*:\s*(\d+)", run([ethereal, "bench"])[0])


def corvane_perft(program):
    out, seconds = run([program, "perft", "6"])
    assert number(r"^nodes (\d+)", out) == 119060324, out
    return seconds * 1000


def stockfish_perft():
    out, seconds = run([stockfish], "position startpos\ngo perft 6\nquit\n")
    assert number(r"^Nodes searched: (\d+)", out) == 119060324, out
    return seconds * 1000


def handshake(command):
    """Milliseconds from start to uciok (uci sent at once), then isready to readyok."""
    start = time.perf_counter()
    process = subprocess.Popen([command], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1,
                               cwd=scratch)

    def until(word):
        for line in process.stdout:
            if line.startswith(word):
                return
        sys.exit("compare.sh: %s never said %s" % (command, word))

    process.stdin.write("uci\n")
    process.stdin.flush()
    until("uciok")
    uciok = time.perf_counter()
    process.stdin.write("isready\n")
    process.stdin.flush()
    until("readyok")
    readyok = time.perf_counter()
    process.stdin.write("quit\n")
    process.stdin.flush()
    process.wait()
    return (uciok - start) * 1000, (readyok - uciok) * 1000


def interleave(count, runs):
    """Runs each of the named runs count times, rotating which goes first."""
    results = {name: [] for name, _ in runs}
    for i in range(count):
        for name, run_once in runs[i % len(runs):] + runs[:i % len(runs)]:
            results[name].append(run_once())
    return results


def spread(values, unit, digits=0):
    return "median %.*f %s (%.*f to %.*f)" % (digits, statistics.median(values), unit, digits, min(values), digits,
                                               max(values))


def report(title, results, reference, unit, digits=0, ratio_text="ratio of medians"):
    """Each run's median and spread, and each Corvane's ratio of medians to the reference."""
    print(title)
    for name, values in results.items():
        print("  %-16s %s" % (name, spread(values, unit, digits)))
    for name, values in results.items():
        if name != reference:
            print("  %s, %s: %.2f" % (ratio_text, name, statistics.median(values) / statistics.median(results[reference])))


def corvanes(make):
    """The build measured, and the base build beside it when one is named."""
    runs = [("Corvane", make(bench, engine))]
    if base_bench and base_engine:
        runs.append(("Corvane before", make(base_bench, base_engine)))
    return runs


print("machine load average before: %.2f %.2f %.2f" % os.getloadavg())
r = interleave(rounds, corvanes(lambda b, e: lambda: corvane_nps(b)) + [("Ethereal", ethereal_nps)])
report("search speed, %d rounds (Corvane search %d, Ethereal bench):" % (rounds, depth), r, "Ethereal", "nps",
       ratio_text="Corvane / Ethereal")
r = interleave(rounds, corvanes(lambda b, e: lambda: corvane_perft(b)) + [("Stockfish", stockfish_perft)])
report("perft 6 from the start position, %d rounds (whole processes):" % rounds, r, "Stockfish", "ms",
       ratio_text="Corvane time / Stockfish time")
r = interleave(starts, corvanes(lambda b, e: lambda: handshake(e)) + [("Ethereal", lambda: handshake(ethereal))])
for part, label in ((0, "start to uciok"), (1, "isready to readyok")):
    report("start-up, %d rounds, %s:" % (starts, label), {k: [x[part] for x in v] for k, v in r.items()}, "Ethereal",
           "ms", 2, "Corvane / Ethereal")
report("start-up, %d rounds, both together:" % starts, {k: [sum(x) for x in v] for k, v in r.items()}, "Ethereal",
       "ms", 2, "Corvane / Ethereal")
print("machine load average after: %.2f %.2f %.2f" % os.getloadavg())
EOF
