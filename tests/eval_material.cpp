// The material table against hand-worked entries, the drawish scalings, the
// fallback for material beyond the table, and the bishops-only halving.
#include <gtest/gtest.h>

#include <utility>

#include "test_support.h"

namespace {

int signature(int p, int n, int b, int r, int q) { return p + 9 * n + 27 * b + 81 * r + 243 * q; }

const MaterialEntry& entry(int w, int b) { return material_table[w * MATERIAL_SIGNATURES + b]; }

TEST(EvalMaterial, HandWorkedEntries) {
    init_engine_tables();
    const int start = signature(8, 2, 2, 2, 1);
    constexpr int BOTH = MAT_WHITE_ATTACKS | MAT_BLACK_ATTACKS;
    struct Case {
        const char* what;
        int white, black;
        int score, phase, flags;  // flags: the low three bits
    };
    const Case cases[] = {
        {"start position", start, start, 0, 32, BOTH},
        // Phase 31 blends sets O and M: (-265 * 7 - 286) / 8 = -267.6, truncated toward zero.
        {"white a knight down", signature(8, 1, 2, 2, 1), start, -267, 31, BOTH},
        {"a queen alone cannot attack the king", signature(8, 0, 0, 0, 1), start, -1, -1, MAT_BLACK_ATTACKS},
        // Phase 10 blends M and A: (96 * 2 + 148 * 14) / 16.
        {"queen against rook and bishop", signature(4, 0, 0, 0, 1), signature(4, 0, 1, 1, 0), 141, 10, -1},
        // Bishop pair and knight-per-pawn terms in sets A and E: (510 * 3 + 570 * 5) / 8.
        {"bishop pair and pawn against knight", signature(1, 0, 2, 0, 0), signature(0, 1, 0, 0, 0), 547, 3, -1},
        {"two knights against bare king", signature(0, 2, 0, 0, 0), 0, 0, 2, -1},
        // 523 kept at 3/10: the defending pawn lifts the stalemate defence.
        {"two knights against a pawn", signature(0, 2, 0, 0, 0), signature(1, 0, 0, 0, 0), 156, 2, -1},
        {"rook against bishop", signature(0, 0, 0, 1, 0), signature(0, 0, 1, 0, 0), 24, 4, -1},
        {"rook against knight", signature(0, 0, 0, 1, 0), signature(0, 1, 0, 0, 0), 54, 4, -1},
        {"bishop against rook", signature(0, 0, 1, 0, 0), signature(0, 0, 0, 1, 0), -24, 4, -1},
        {"bishops only", signature(3, 0, 1, 0, 0), signature(1, 0, 1, 0, 0), -1, -1, MAT_BISHOPS_ONLY},
        {"bishops only, pawns differ by 3", signature(4, 0, 1, 0, 0), signature(1, 0, 1, 0, 0), -1, -1, 0},
        {"bishops only, not with a knight", signature(3, 1, 1, 0, 0), signature(3, 0, 1, 0, 0), -1, -1, 0},
    };
    for (const Case& c : cases) {  // -1: not worked out by hand
        SCOPED_TRACE(c.what);
        const MaterialEntry& e = entry(c.white, c.black);
        EXPECT_TRUE(c.score == -1 || e.score == c.score) << e.score;
        EXPECT_TRUE(c.phase == -1 || e.flags >> 3 == c.phase) << (e.flags >> 3);
        EXPECT_TRUE(c.flags == -1 || (e.flags & 7) == c.flags) << (e.flags & 7);
    }
}

TEST(EvalMaterial, EndgameScale) {
    init_engine_tables();
    struct Case {
        int s[5], w[5];  // P N B R Q of the stronger and the weaker side
        int scale;
    };
    const Case cases[] = {
        {{2, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, 10},  // two pawns always keep their chances
        {{1, 0, 1, 0, 0}, {0, 1, 0, 0, 0}, 3},   // minor + pawn against minor
        {{1, 2, 0, 0, 0}, {2, 1, 0, 0, 0}, 5},
        {{1, 0, 0, 1, 0}, {0, 0, 0, 1, 0}, 8},  // rook and pawn against rook
        {{1, 0, 0, 2, 0}, {0, 1, 1, 1, 0}, 3},  // equal units, the defender keeps a minor
        {{0, 0, 2, 0, 0}, {0, 1, 0, 0, 0}, 8},
        {{0, 1, 1, 0, 1}, {0, 0, 4, 0, 0}, 5},
        {{0, 0, 0, 1, 1}, {0, 0, 0, 2, 0}, 3},
        {{0, 0, 0, 2, 1}, {0, 0, 0, 1, 0}, 9},   // eight units: by the margin in pawns, 19 - 5
        {{0, 0, 2, 2, 0}, {0, 0, 0, 2, 0}, 10},  // not among the drawish cases
    };
    for (const auto& [s, w, scale] : cases)
        EXPECT_EQ(endgame_scale(s[0], s[1], s[2], s[3], s[4], w[0], w[1], w[2], w[3], w[4]), scale)
            << s[0] << s[1] << s[2] << s[3] << s[4] << " vs " << w[0] << w[1] << w[2] << w[3] << w[4];
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
