// The static exchange evaluation against hand-worked swap lists (over whole
// trees it is checked to leave the position untouched).
#include <gtest/gtest.h>

#include <cstring>

#include "perft_trees.h"
#include "uci/uci.h"

namespace {

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
    // A slider behind the first recapturer joins and decides the exchange:
    // rooks on a file, a queen behind a bishop on a diagonal, for either side.
    {"3r3k/3r4/8/3n4/8/8/3R3K/3R4 w - - 0 1", "d2d5", -175},
    {"3r4/3r3k/8/8/3N4/8/3R4/3R3K b - - 0 1", "d7d4", -175},
    {"k7/6q1/5b2/4n3/8/2B5/1Q5K/8 w - - 0 1", "c3e5", 0},
    {"8/1q5k/2b5/8/4N3/5B2/6Q1/K7 b - - 0 1", "c6e4", 0},
};

TEST(Exchange, SwapListExamples) {
    for (const SeeCase& c : SEE_CASES) {
        Position& pos = test_position(c.fen);
        Move m = NO_MOVE;
        for (Move x : pseudo_moves(pos))
            if (std::strcmp(move_to_text(x), c.move) == 0) m = x;
        ASSERT_NE(m, NO_MOVE) << c.fen << " has no move " << c.move;
        EXPECT_EQ(see(pos, m), c.expected) << c.fen << " " << c.move;
    }
}

}  // namespace
