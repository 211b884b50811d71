// The hot paths never touch the heap: evaluation, exchange evaluation, the
// gives-check test, the picker and the node searches run on the stack only
// (and table probes once the table is mapped: see syzygy.cpp).

#include <cstdlib>
#include <new>

#include "movegen/picker.h"
#include "test_support.h"

std::atomic<long> heap_allocations{0};

// Counts every allocation the test binary makes. The replaced operators pair
// malloc with free; GCC cannot see that they replace each other and warns.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
    ++heap_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// The non-throwing form (std::stable_sort's buffer) must come from the same
// heap as the delete above frees into.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    ++heap_allocations;
    return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

TEST(NoAllocation, HotPathsStayOnTheStack) {
    auto info = new_search();
    for (const PerftLine& line : perft_suite("perft/standard.epd")) {
        Position& pos = test_position(line.fen);
        const long before = heap_allocations;
        long sum = evaluate(pos);
        MoveList list;
        picker_init(list, in_check(pos) ? SEQ_EVASION : SEQ_SEARCH, NO_MOVE, NO_MOVE, NO_MOVE, 0, 3, pos.side,
                    pinned_pieces(pos), pos.color[pos.side ^ 1] & ~pos.kings());
        const Bitboard candidates = discovered_check_candidates(pos, pos.side);
        while (const ScoredMove* m = next_move(pos, list, *info)) sum += see(pos, m->move) + gives_check(pos, m->move, candidates);
        Move pv[MAX_PLY];
        sum += search_pv(pos, *info, -MATE, MATE, 4, in_check(pos), pv);
        EXPECT_EQ(heap_allocations - before, 0) << line.fen << " (" << sum << ")";
    }
}
