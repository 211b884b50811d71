// The accumulators: summed afresh from the board, or brought forward from
// an ancestor's by the changes of the moves the board logged since, only
// when an evaluation asks for them; then the output layer.
#include <algorithm>
#include <new>

#include "nnue/nnue_internal.h"

namespace {

// Bringing an ancestor's sums forward costs a few rows a ply; summing
// afresh costs a row a man. Past this many plies back, the fresh sum is cheaper.
constexpr int MAX_PLIES_BACK = 12;

const NnueKernels* kernels = &nnue_scalar_kernels;
NnueKernel kernel_in_use = NNUE_SCALAR;

const std::int16_t* row(int feature) { return network.ft_weights + feature * NNUE_HIDDEN; }

void refresh(const Position& pos, Accumulator& acc) {
    for (int view = WHITE; view <= BLACK; ++view) {
        const std::int16_t* rows[32];
        int count = 0;
        std::int16_t* out = acc.values[view];
        const std::int16_t* in = network.ft_bias;
        for (int us = WHITE; us <= BLACK; ++us)
            for (int type = PAWN; type <= KING; ++type)
                for (Bitboard b = pos.pieces_of(us, type); b;) {
                    rows[count++] = row(nnue_feature(view, us, type, pop_lsb(b)));
                    // A board of more men than a game holds is summed in parts.
                    if (count == 32) {
                        kernels->update(out, in, rows, count, nullptr, 0);
                        in = out;
                        count = 0;
                    }
                }
        kernels->update(out, in, rows, count, nullptr, 0);
    }
    acc.key = pos.st.hash;
}

void apply(const Accumulator& from, Accumulator& to, const BoardChange& change) {
    for (int view = WHITE; view <= BLACK; ++view) {
        const std::int16_t* added[2];
        const std::int16_t* removed[2];
        int added_count = 0, removed_count = 0;
        for (int i = 0; i < 2; ++i) {
            if (const int c = change.added[i])
                added[added_count++] =
                    row(nnue_feature(view, change_color(c), change_type(c), change_square(c)));
            if (const int c = change.removed[i])
                removed[removed_count++] =
                    row(nnue_feature(view, change_color(c), change_type(c), change_square(c)));
        }
        kernels->update(to.values[view], from.values[view], added, added_count, removed, removed_count);
    }
}

// Brings the accumulator of the position's ply up to the position: from the
// nearest ancestor whose sums are for the line's position at its ply (the
// key history names them), else afresh.
void bring_up_to_date(const Position& pos, NnueStack& stack) {
    const int ply = pos.ply;
    const int reach = std::min({ply, pos.hist_count, MAX_PLIES_BACK});
    int back = 1;
    while (back <= reach &&
           stack.plies[(ply - back) & CHANGE_LOG_MASK].key != pos.hist[pos.hist_count - back])
        ++back;
    if (back > reach) {
        refresh(pos, stack.plies[ply & CHANGE_LOG_MASK]);
        return;
    }
    for (int r = ply - back + 1; r <= ply; ++r) {
        Accumulator& next = stack.plies[r & CHANGE_LOG_MASK];
        // The side to move alternates: the move to ply r was made by the side to move at r - 1.
        const int mover = pos.side ^ ((ply - r + 1) & 1);
        apply(stack.plies[(r - 1) & CHANGE_LOG_MASK], next,
              move_change(pos, pos.moves[r & CHANGE_LOG_MASK], mover));
        next.key = pos.hist[pos.hist_count - (ply - r)];
    }
}

int output(const Position& pos, const Accumulator& acc, int limit) {
    const int us = pos.side, bucket = nnue_bucket(pos.occupied);
    const std::int64_t sum = kernels->output(acc.values[us], acc.values[us ^ 1], network.out_weights[bucket]);
    // sum is in units of QA * QA * QB; one QA goes with the square.
    const std::int64_t value = sum / NNUE_QA + network.out_bias[bucket];
    const std::int64_t score = value * NNUE_SCALE / (NNUE_QA * NNUE_QB);
    return int(std::clamp<std::int64_t>(score, -limit, limit));
}

}  // namespace

NnueStack* nnue_stack_new() {
    NnueStack* stack = new (std::nothrow) NnueStack;
    if (!stack) return nullptr;
    stack->generation = network_generation;
    for (Accumulator& acc : stack->plies) acc.key = 0;
    return stack;
}

void nnue_stack_free(NnueStack* stack) { delete stack; }

int nnue_evaluate(const Position& pos, int limit) {
    NnueStack* stack = pos.nnue;
    if (!stack) return nnue_evaluate_fresh(pos, limit);
    if (stack->generation != network_generation) {
        for (Accumulator& acc : stack->plies) acc.key = 0;
        stack->generation = network_generation;
    }
    const Accumulator& acc = stack->plies[pos.ply & CHANGE_LOG_MASK];
    if (acc.key != pos.st.hash) bring_up_to_date(pos, *stack);
    return output(pos, acc, limit);
}

int nnue_evaluate_fresh(const Position& pos, int limit) {
    Accumulator acc;
    refresh(pos, acc);
    return output(pos, acc, limit);
}

bool nnue_accumulator_consistent(const Position& pos) {
    if (!pos.nnue) return false;
    const Accumulator& kept = pos.nnue->plies[pos.ply & CHANGE_LOG_MASK];
    Accumulator fresh;
    refresh(pos, fresh);
    return kept.key == pos.st.hash &&
           std::equal(&kept.values[0][0], &kept.values[0][0] + 2 * NNUE_HIDDEN, &fresh.values[0][0]);
}

NnueKernel nnue_kernel() { return kernel_in_use; }

const char* nnue_kernel_name(NnueKernel kernel) {
    return kernel == NNUE_AVX2 ? "avx2" : kernel == NNUE_SSE2 ? "sse2" : "scalar";
}

bool nnue_set_kernel(NnueKernel kernel) {
    if (!nnue_kernels_supported(kernel)) return false;
    kernel_in_use = kernel;
    kernels = kernel == NNUE_AVX2   ? &nnue_avx2_kernels
              : kernel == NNUE_SSE2 ? &nnue_sse2_kernels
                                    : &nnue_scalar_kernels;
    return true;
}

void nnue_choose_kernel() {
    if (!nnue_set_kernel(NNUE_AVX2) && !nnue_set_kernel(NNUE_SSE2)) nnue_set_kernel(NNUE_SCALAR);
}
