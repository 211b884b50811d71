#!/usr/bin/env bash
# Makes the network built into Corvane again from this repository alone:
# Corvane's self-play positions at a fixed node count, then the training.
# The data is the same for the same seed on any machine; the training is
# the same for the same data and seed on one machine (floating-point sums
# may round otherwise elsewhere). Both resume where they stopped.
#
#   tools/nnue/make_network.sh [DATA_DIR]     (default: $HOME/corvane-data)
#
# Writes DATA_DIR/gen1 (7.7 million positions, 247 MB), DATA_DIR/gen1.nnue with
# its training log, then copies the network to src/nnue/corvane.nnue and its
# floating-point scores of the perft suites' roots to
# tests/data/nnue/float_scores.txt, which the tests compare with the engine's.
set -euo pipefail
cd "$(dirname "$0")/../.."

DATA=${1:-$HOME/corvane-data}
GAMES=${GAMES:-100000}   # 1,000 chunks of 100 games
NODES=5000
SEED=1

make release
build/release/corvane-bench datagen --out "$DATA/gen1" --games "$GAMES" --nodes "$NODES" --seed "$SEED"

roots=()
for suite in standard tricky random chess960; do roots+=(--fens "tests/data/perft/$suite.epd"); done
/usr/bin/python3 tools/nnue/train.py --data "$DATA/gen1" --validation-chunks 20 --epochs 10 --drops 0.6,0.85 \
    --blend 0.75 --seed "$SEED" --out "$DATA/gen1.nnue" --log "$DATA/gen1-log.txt" \
    --checkpoint "$DATA/gen1-checkpoint.pt" "${roots[@]}"

cp "$DATA/gen1.nnue" src/nnue/corvane.nnue
cp "$DATA/gen1.nnue.float" tests/data/nnue/float_scores.txt
sha256sum src/nnue/corvane.nnue
