// The hot paths never touch the heap: evaluation, exchange evaluation, the
// gives-check test, the picker and the node searches run on the stack only.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>
#include <memory>
#include <new>

#include "eval/eval.h"
#include "movegen/movegen.h"
#include "movegen/picker.h"
#include "test_support.h"
#include "search/search.h"
#include "syzygy/syzygy.h"
#include "test_support.h"
#include "uci/uci.h"

namespace {
std::atomic<long> allocations{0};
}

// Counts every allocation the test binary makes. The replaced operators pair
// malloc with free; GCC cannot see that they replace each other and warns.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// The non-throwing form (std::stable_sort's buffer) must come from the same
// heap as the delete above frees into.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    ++allocations;
    return std::malloc(size ? size : 1);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

TEST(NoAllocation, HotPathsStayOnTheStack) {
    auto info = new_search();
    for (const PerftLine& line : perft_suite("perft/standard.epd")) {
        Position& pos = test_position(line.fen);
        const long before = allocations;
        long sum = evaluate(pos);
        MoveList list;
        picker_init(list, in_check(pos) ? SEQ_EVASION : SEQ_SEARCH, NO_MOVE, NO_MOVE, NO_MOVE, 0, 3, pos.side,
                    pinned_pieces(pos), pos.color[pos.side ^ 1] & ~pos.kings());
        const Bitboard candidates = discovered_check_candidates(pos, pos.side);
        while (const ScoredMove* m = next_move(pos, list, *info)) sum += see(pos, m->move) + gives_check(pos, m->move, candidates);
        Move pv[MAX_PLY];
        sum += search_pv(pos, *info, -MATE, MATE, 4, in_check(pos), pv);
        EXPECT_EQ(allocations - before, 0) << line.fen << " (" << sum << ")";
    }
}

// Table probes allocate only when a table is first mapped; once every table
// the positions reach is ready, WDL and DTZ probes run on the stack.
TEST(NoAllocation, TablebaseProbesOnceTheTablesAreMapped) {
    tb_init(CORVANE_DATA_DIR "/syzygy/tables");
    std::vector<std::string> fens;
    std::ifstream epd(CORVANE_DATA_DIR "/syzygy/expected.epd");
    for (std::string line; std::getline(epd, line);) fens.push_back(line.substr(0, line.find(';')));
    ASSERT_EQ(fens.size(), 200u);
    for (int pass = 0; pass < 2; ++pass)
        for (const std::string& fen : fens) {
            Position& pos = test_position(fen);
            const long before = allocations;
            int wdl_ok = 0, dtz_ok = 0;
            const int sum = tb_probe_wdl(pos, &wdl_ok) + tb_probe_dtz(pos, &dtz_ok);
            EXPECT_TRUE(wdl_ok && dtz_ok) << fen;
            if (pass == 1) {
                EXPECT_EQ(allocations - before, 0) << fen << " (" << sum << ")";
            }
        }
    tb_free();
}
