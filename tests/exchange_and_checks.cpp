// gives_check against making the move, and the static exchange evaluation
// against hand-worked swap lists.
#include <gtest/gtest.h>

#include <cstring>

#include "perft_trees.h"
#include "search/search.h"
#include "uci/uci.h"

namespace {

Move find_move(const Position& pos, const char* text) {
    for (Move m : pseudo_moves(pos))
        if (std::strcmp(move_to_text(m), text) == 0) return m;
    return NO_MOVE;
}

// Over perft trees: gives_check agrees with making the move, and see, which
// only reads, leaves every field of the position as it found it.
TEST(ExchangeAndChecks, GivesCheckAndSeeOverPerftTrees) {
    // Castling into check, en passant uncovering a rank, a pawn pushed along
    // its rook's file, a rook shielding a bishop, promotions that check.
    const std::vector<std::string> extra = {
        "5k2/8/8/8/8/8/8/4K2R w K - 0 1",    "8/8/8/R2pP2k/8/8/8/4K3 w - d6 0 1",
        "4k3/8/8/8/4P3/8/8/4RK2 w - - 0 1",  "7k/8/8/8/3R4/8/1B6/4K3 w - - 0 1",
        "2r1k3/1P6/8/8/8/8/8/4K3 w - - 0 1", "8/5P2/6k1/8/8/8/8/4K3 w - - 0 1",
    };
    walk_roots(LIGHT ? 400 : 100, LIGHT ? 2 : 3, [&](Position& p) {
        const Bitboard candidates = discovered_check_candidates(p, p.side);
        const std::string before = position_to_fen(p);
        const Key key = p.st.hash;
        UndoRecord undo;
        for (Move m : legal_moves(p)) {
            bool predicted = gives_check(p, m, candidates);
            see(p, m);
            make_move(p, undo, m);
            bool checks = in_check(p);
            unmake_move(p, undo);
            ASSERT_EQ(predicted, checks) << before << " move " << move_to_text(m);
        }
        ASSERT_TRUE(position_to_fen(p) == before && p.st.hash == key && !position_inconsistency(p)) << before;
    }, extra);
}

struct SeeCase {
    const char* fen;
    const char* move;
    int expected;
};

const SeeCase SEE_CASES[] = {
    {"4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", "e4d5", 325},      // undefended knight
    {"4k3/2p5/3p4/8/8/8/3Q4/4K3 w - - 0 1", "d2d6", -875},   // pawn defended by a pawn
    {"3r2k1/3r4/8/8/3R4/3Q4/8/4K3 w - - 0 1", "d4d7", 500},  // queen joins through d4
    {"4k3/8/8/8/2p5/3p4/4K3/8 w - - 0 1", "e2d3", -9900},    // king into a defended pawn
    {"8/8/3k4/4p3/8/2B5/8/4R1K1 w - - 0 1", "e1e5", 100},    // the king may not recapture
    {"r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1", "b7b8q", -100},     // quiet promotion, rook takes
    {"7k/8/8/3pP3/8/K7/8/3r4 w - d6 0 1", "e5d6", 0},        // rook behind d5 recaptures
    {"7k/8/8/3pP3/8/K7/8/8 w - d6 0 1", "e5d6", 100},
    {"4k3/8/8/2p5/8/8/2N5/4K3 w - - 0 1", "c2d4", -325},    // knight onto a pawn-guarded square
    {"1k6/8/8/3q4/4P3/8/8/3RK3 w - - 0 1", "e4d5", 975},    // pawn takes an undefended queen
    {"1k1r4/8/8/3p4/4P3/8/8/3RK3 w - - 0 1", "e4d5", 100},  // even trade after the pawn wins one
};

TEST(ExchangeAndChecks, SwapListExamples) {
    for (const SeeCase& c : SEE_CASES) {
        Position& pos = test_position(c.fen);
        Move m = find_move(pos, c.move);
        ASSERT_NE(m, NO_MOVE) << c.fen << " has no move " << c.move;
        EXPECT_EQ(see(pos, m), c.expected) << c.fen << " " << c.move;
    }
}

}  // namespace
