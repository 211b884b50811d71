// The network room's own records: the weights, the accumulators, and the
// kernels that each instruction set implements (private to src/nnue/).
#pragma once

#include <cstddef>
#include <cstdint>

#include "nnue/nnue.h"

struct Network {
    alignas(64) std::int16_t ft_weights[NNUE_INPUTS * NNUE_HIDDEN];  // a row of NNUE_HIDDEN per input
    alignas(64) std::int16_t ft_bias[NNUE_HIDDEN];
    alignas(64) std::int16_t out_weights[NNUE_BUCKETS][2 * NNUE_HIDDEN];
    std::int32_t out_bias[NNUE_BUCKETS];
};
extern Network network;
// Counts the networks loaded: accumulators of an earlier one are stale.
extern std::uint32_t network_generation;

extern const unsigned char nnue_embedded[];
extern const std::size_t nnue_embedded_size;

// The first layer's sums for both points of view, WHITE's and BLACK's.
struct alignas(64) Accumulator {
    std::int16_t values[2][NNUE_HIDDEN];
    Key key;  // the position they were summed for; 0 for none
};

// Indexed by ply & CHANGE_LOG_MASK, as the board's change log is.
struct NnueStack {
    std::uint32_t generation;
    Accumulator plies[CHANGE_LOG_SIZE];
};

// The input an owner's piece on a square is, from one side's point of view:
// own pieces first, and the board turned for black so that each side sees
// its pieces move up the board.
constexpr int nnue_feature(int view, int us, int type, int sq) {
    return ((us == view ? 0 : 6) + type - 1) * 64 + (view == WHITE ? sq : sq ^ 56);
}
constexpr int nnue_bucket(Bitboard occupied) {
    const int b = (popcount(occupied) - 2) / 4;
    return b < NNUE_BUCKETS ? b : NNUE_BUCKETS - 1;
}

// What each instruction set provides. `update` writes out = in + the rows
// added - the rows removed (either list may be empty); `output` returns the
// sum over both halves of clip(a)^2 * w, with clip to [0, NNUE_QA].
struct NnueKernels {
    void (*update)(std::int16_t* out, const std::int16_t* in, const std::int16_t* const* added,
                   int added_count, const std::int16_t* const* removed, int removed_count);
    std::int64_t (*output)(const std::int16_t* us, const std::int16_t* them, const std::int16_t* weights);
};
extern const NnueKernels nnue_scalar_kernels, nnue_sse2_kernels, nnue_avx2_kernels;
bool nnue_kernels_supported(NnueKernel kernel);
void nnue_choose_kernel();
