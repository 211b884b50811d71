#!/usr/bin/env bash
# Runs the 64-bit Windows build under Wine: the native test binary's
# end-to-end tests with corvane.exe and corvane-bench.exe in place of the
# Linux binaries, then corvane-bench.exe perft over the standard suite.
# Usage: run_under_wine.sh WIN64_DIR NATIVE_TEST_BINARY DATA_DIR
# WINE names the wine64 loader (default /usr/lib/wine/wine64).
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 WIN64_DIR NATIVE_TEST_BINARY DATA_DIR" >&2; exit 2; }
win_dir=$(realpath "$1") tests=$(realpath "$2") data=$(realpath "$3")
wine=${WINE:-/usr/lib/wine/wine64}
wineserver=$(dirname "$wine")/wineserver
[ -x "$wine" ] || { echo "$wine not found: install Debian's wine64" >&2; exit 1; }
# The harness splits its command at spaces.
case "$win_dir" in *" "*) echo "the build directory must not contain spaces: $win_dir" >&2; exit 1 ;; esac

# The tests that drive a program through pipes; the rest of the binary tests
# code compiled into it, which says nothing about Windows. Self-play stays
# out: under Wine each move costs tens of milliseconds of process hops.
E2E_TESTS=('UciLoop.*' 'Uci/UciTranscript.*' 'BenchCli.*' 'Analysis.*'
           'Threads.QuitOrClosedInputDuringAThreadedSearchExitsCleanly')
# A renamed test must not drop out of the run unnoticed.
for pattern in "${E2E_TESTS[@]}"; do
    "$tests" --gtest_list_tests --gtest_filter="$pattern" | grep -q '^  ' || { echo "no test matches $pattern" >&2; exit 1; }
done

# A fresh prefix, gone at the end with the wineserver this run started.
export WINEDEBUG=-all
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/corvane-wine-XXXXXX")
export WINEPREFIX
scratch=$(mktemp -d "${TMPDIR:-/tmp}/corvane-wine-run-XXXXXX")
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$WINEPREFIX" "$scratch"' EXIT

# Setting up a prefix takes Wine 15-20 s: done here, not inside a test's time
# limit, with one server kept alive so every start after it is quick.
echo "==> setting up a Wine prefix in $WINEPREFIX"
"$wineserver" -p
"$wine" wineboot --init > /dev/null 2>&1

echo "==> end-to-end tests against $win_dir/corvane.exe under Wine"
# Waits are stretched for Wine's slower starts.
CORVANE_ENGINE_COMMAND="$wine $win_dir/corvane-pipe-host.exe" CORVANE_BENCH_COMMAND="$wine $win_dir/corvane-bench.exe" \
    CORVANE_TIMEOUT_SCALE=${CORVANE_TIMEOUT_SCALE:-3} "$tests" --gtest_filter="$(IFS=:; echo "${E2E_TESTS[*]}")"

echo "==> corvane-bench.exe perft-suite standard.epd --max-nodes 5000000 under Wine"
cd "$scratch"
"$wine" "$win_dir/corvane-bench.exe" perft-suite "$data/perft/standard.epd" --max-nodes 5000000
