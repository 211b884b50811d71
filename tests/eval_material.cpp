// The material table and the drawish scalings against hand-worked entries
// (tests/data/tables/material.txt, endgame_scale.txt), the fallback for
// material beyond the table, and the bishops-only halving.

#include <sstream>
#include <utility>

#include "test_support.h"

namespace {

// Five numbers of a table row: pawns, knights, bishops, rooks, queens.
std::vector<int> men(const std::string& field) {
    std::istringstream in(field);
    std::vector<int> v(5);
    for (int& n : v) in >> n;
    return v;
}

int signature(const std::vector<int>& m) { return m[0] + 9 * m[1] + 27 * m[2] + 81 * m[3] + 243 * m[4]; }

TEST(EvalMaterial, HandWorkedEntries) {
    init_engine_tables();
    for (const auto& row : read_rows("tables/material.txt")) {
        SCOPED_TRACE(row[0] + " against " + row[1]);
        const MaterialEntry& e = material_table[signature(men(row[0])) * MATERIAL_SIGNATURES + signature(men(row[1]))];
        EXPECT_TRUE(row[2] == "*" || e.score == std::stoi(row[2])) << e.score;
        EXPECT_TRUE(row[3] == "*" || e.flags >> 3 == std::stoi(row[3])) << (e.flags >> 3);
        EXPECT_TRUE(row[4] == "*" || (e.flags & 7) == std::stoi(row[4])) << (e.flags & 7);
    }
    for (const auto& row : read_rows("tables/endgame_scale.txt")) {
        const std::vector<int> s = men(row[0]), w = men(row[1]);
        EXPECT_EQ(endgame_scale(s[0], s[1], s[2], s[3], s[4], w[0], w[1], w[2], w[3], w[4]), std::stoi(row[2]))
            << row[0] << " against " << row[1];
    }
}

TEST(EvalMaterial, FallbackBeyondTable) {
    // Two white queens: signature 646 is outside the table.
    for (const char* side : {"w", "b"}) {
        Position& pos =
            test_position(std::string("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPP1/RNBQKBNQ ") + side + " Qkq - 0 1");
        ASSERT_GE(pos.st.mat_idx[WHITE], MATERIAL_SIGNATURES);
        EvalBreakdown b;
        evaluate_breakdown(pos, b);
        // -100 (a pawn) - 515 (a rook) + 950 (a queen); both sides keep a bishop pair.
        EXPECT_EQ(b.material, side[0] == 'w' ? 335 : -335);
        EXPECT_EQ(b.phase, 32);
        EXPECT_EQ(b.mat_flags & 7, MAT_WHITE_ATTACKS | MAT_BLACK_ATTACKS);
        EXPECT_EQ(b.score, evaluate(pos));
    }
}

// Bishops-only endings halve the positional part: the endgame half always,
// the midgame half too when the bishops run on opposite colours.
TEST(EvalMaterial, BishopsOnlyHalving) {
    // c3 and d6 both dark; then c3 dark, e6 light.
    for (const auto& [fen, opposite] : {std::pair{"4k3/5p2/3b4/8/3P4/2B5/4P3/4K3 w - - 0 1", false},
                                        std::pair{"4k3/5p2/4b3/8/3P4/2B5/4P3/4K3 w - - 0 1", true}}) {
        Position& pos = test_position(fen);
        EvalBreakdown b;
        evaluate_breakdown(pos, b);
        ASSERT_TRUE(b.mat_flags & MAT_BISHOPS_ONLY) << fen;
        int mg = 0, eg = 0;
        for (int i = 0; i < b.term_count; ++i) {
            mg += b.terms[i].mg[WHITE] - b.terms[i].mg[BLACK];
            eg += b.terms[i].eg[WHITE] - b.terms[i].eg[BLACK];
        }
        EXPECT_EQ(b.score, b.material + ((opposite ? mg / 2 : mg) * b.phase + eg / 2 * (32 - b.phase)) / 32) << fen;
        EXPECT_EQ(b.score, evaluate(pos)) << fen;
    }
}

}  // namespace
