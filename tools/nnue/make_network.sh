#!/usr/bin/env bash
# Makes Corvane's networks again from this repository alone: Corvane's
# self-play positions at a fixed node count, then the training. The data is
# the same for the same seed on any machine; the training is the same for
# the same data and seed on one machine (floating-point sums may round
# otherwise elsewhere). Both resume where they stopped.
#
#   tools/nnue/make_network.sh [DATA_DIR] 1    the first generation
#   tools/nnue/make_network.sh [DATA_DIR] [2]  the network built into Corvane
#
# (DATA_DIR defaults to $HOME/corvane-data.) The first plays with the
# hand-written evaluation and writes DATA_DIR/gen1 (7.7 million positions,
# 247 MB), DATA_DIR/gen1.nnue with its training log, and copies the network
# to tools/nnue/gen1.nnue. The second plays with that network on and writes
# DATA_DIR/gen2 (8.3 million positions, 254 MB) and DATA_DIR/gen2.nnue, a
# network trained on them alone the same way, then copies it to
# src/nnue/corvane.nnue and its floating-point scores of the perft suites'
# roots to tests/data/nnue/float_scores.txt, which the tests compare with
# the engine's. The second needs only tools/nnue/gen1.nnue, which is kept.
set -euo pipefail
cd "$(dirname "$0")/../.."

DATA=${1:-$HOME/corvane-data}
GENERATION=${2:-2}
GAMES=${GAMES:-100000}   # 1,000 chunks of 100 games
NODES=5000
TRAIN_SEED=1

make release
case "$GENERATION" in
    1) build/release/corvane-bench datagen --out "$DATA/gen1" --games "$GAMES" --nodes "$NODES" --seed 1 ;;
    2) build/release/corvane-bench datagen --out "$DATA/gen2" --games "$GAMES" --nodes "$NODES" --seed 2 \
           --option "Use NNUE=true" --option "EvalFile=tools/nnue/gen1.nnue" ;;
    *) echo "make_network.sh: generation 1 or 2" >&2; exit 2 ;;
esac

name=gen$GENERATION
roots=()
for suite in standard tricky random chess960; do roots+=(--fens "tests/data/perft/$suite.epd"); done
/usr/bin/python3 tools/nnue/train.py --data "$DATA/$name" --validation-chunks 20 --epochs 10 --drops 0.6,0.85 \
    --blend 0.75 --seed "$TRAIN_SEED" --out "$DATA/$name.nnue" --log "$DATA/$name-log.txt" \
    --checkpoint "$DATA/$name-checkpoint.pt" "${roots[@]}"

if [ "$GENERATION" = 1 ]; then
    cp "$DATA/gen1.nnue" tools/nnue/gen1.nnue
else
    cp "$DATA/gen2.nnue" src/nnue/corvane.nnue
    cp "$DATA/gen2.nnue.float" tests/data/nnue/float_scores.txt
fi
sha256sum "$DATA/$name.nnue"
