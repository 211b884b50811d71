#!/usr/bin/env bash
# Runs each fuzz target for a bounded time, starting from its seed corpus and
# regression inputs, and fails on the first finding.
#   fuzz/run.sh BUILD_DIR SECONDS TARGET...
# What a run finds is written to BUILD_DIR/findings/<target>-*; the corpus it
# grows is kept in BUILD_DIR/corpus/<target> for the next run.
set -euo pipefail
build=$1 seconds=$2
shift 2
source_dir=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$build/findings"
summary=()
for target in "$@"; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    inputs=("$corpus" "$source_dir/corpus/$target")
    [ -d "$source_dir/regressions/$target" ] && inputs+=("$source_dir/regressions/$target")
    log="$build/findings/$target.log"
    printf '==> fuzz-%s for %ss\n' "$target" "$seconds"
    # Standard input is closed: the command-loop target makes its own, and an
    # option naming a device must not wait on a terminal.
    if ! "$build/fuzz/fuzz-$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$build/findings/$target-" "${inputs[@]}" \
            </dev/null >"$log" 2>&1; then
        tail -n 60 "$log"
        printf 'fuzz-%s found a fault; the input is in %s/findings\n' "$target" "$build"
        exit 1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)
    summary+=("$(printf '%-10s %10s executions  %s' "$target" "$runs" "$cov")")
done
printf '%s\n' "${summary[@]}"
