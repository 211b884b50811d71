// The start-up geometry tables and the slider lookups, checked against slow
// square-by-square walks that share no code with the table builder.
#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <random>

#include "board/tables.h"
#include "test_support.h"

namespace {

struct Step {
    int df, dr;
};

// Directions in the order of DIRECTION_STEP.
constexpr Step DIRS[8] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}};

// The squares from sq (exclusive) to the edge, nearest first; -1 ends the list.
std::array<int, 8> walk(int sq, Step s) {
    std::array<int, 8> out;
    out.fill(-1);
    int f = file_of(sq) + s.df, r = rank_of(sq) + s.dr;
    for (int n = 0; f >= 0 && f < 8 && r >= 0 && r < 8; f += s.df, r += s.dr) out[n++] = make_square(f, r);
    return out;
}

// Attacks in one direction: up to and including the first occupied square.
Bitboard ref_attacks(int sq, Step s, Bitboard occ) {
    Bitboard result = 0;
    for (int t : walk(sq, s)) {
        if (t < 0) break;
        result |= bit(t);
        if (occ & bit(t)) break;
    }
    return result;
}

// X-ray in one direction: the second occupied square, the edge square counting
// as occupied, so a single blocker x-rays to the edge.
Bitboard ref_xray(int sq, Step s, Bitboard occ) {
    auto squares = walk(sq, s);
    int last = -1;
    for (int t : squares)
        if (t >= 0) last = t;
    if (last >= 0) occ |= bit(last);
    int seen = 0;
    for (int t : squares) {
        if (t < 0) break;
        if ((occ & bit(t)) && ++seen == 2) return bit(t);
    }
    return 0;
}

Bitboard ref_line(Bitboard (*ref)(int, Step, Bitboard), int sq, Bitboard occ, int dir_a, int dir_b) {
    return ref(sq, DIRS[dir_a], occ) | ref(sq, DIRS[dir_b], occ);
}

class AttackTables : public testing::Test {
  protected:
    void SetUp() override { init_engine_tables(); }
};

TEST_F(AttackTables, SliderLookupsMatchRayWalksOnRandomOccupancies) {
    std::mt19937_64 rng(20100131);
    const int samples = CORVANE_LIGHT_TESTS ? 3000 : 10000;
    for (int n = 0; n < samples; ++n) {
        // Sparse to dense boards: blockers near and far both get exercised.
        Bitboard occ = rng();
        for (int k = n % 4; k > 0; --k) occ &= rng();
        for (int sq = 0; sq < 64; ++sq) {
            SCOPED_TRACE(testing::Message() << "sq " << sq << " occ 0x" << std::hex << occ);
            // Direction numbers: 0 -9, 1 -1, 2 +7, 3 +8, 4 +9, 5 +1, 6 -7, 7 -8.
            Bitboard rank = ref_line(ref_attacks, sq, occ, 1, 5), file = ref_line(ref_attacks, sq, occ, 3, 7);
            Bitboard diag = ref_line(ref_attacks, sq, occ, 0, 4), anti = ref_line(ref_attacks, sq, occ, 2, 6);
            ASSERT_EQ(rank_attacks(sq, occ), rank);
            ASSERT_EQ(file_attacks(sq, occ), file);
            ASSERT_EQ(diag_attacks(sq, occ), diag);
            ASSERT_EQ(anti_diag_attacks(sq, occ), anti);
            ASSERT_EQ(rook_attacks(sq, occ), rank | file);
            ASSERT_EQ(bishop_attacks(sq, occ), diag | anti);
            ASSERT_EQ(queen_attacks(sq, occ), rank | file | diag | anti);

            Bitboard xrank = ref_line(ref_xray, sq, occ, 1, 5), xfile = ref_line(ref_xray, sq, occ, 3, 7);
            Bitboard xdiag = ref_line(ref_xray, sq, occ, 0, 4), xanti = ref_line(ref_xray, sq, occ, 2, 6);
            ASSERT_EQ(rank_xray(sq, occ), xrank);
            ASSERT_EQ(file_xray(sq, occ), xfile);
            ASSERT_EQ(diag_xray(sq, occ), xdiag);
            ASSERT_EQ(anti_diag_xray(sq, occ), xanti);
            ASSERT_EQ(rook_xray(sq, occ), xrank | xfile);
            ASSERT_EQ(bishop_xray(sq, occ), xdiag | xanti);
        }
    }
}

// Every line between two squares, from walking each direction.
TEST_F(AttackTables, RaysBetweenAndDirectionMatchWalks) {
    for (int a = 0; a < 64; ++a) {
        for (int b = 0; b < 64; ++b) {
            int step = 0;
            Bitboard passed = 0, strictly = 0;
            for (int d = 0; d < 8 && !step; ++d) {
                passed = 0;
                for (int t : walk(a, DIRS[d])) {
                    if (t < 0) break;
                    if (t == b) {
                        step = DIRECTION_STEP[d];
                        strictly = passed;
                        break;
                    }
                    passed |= bit(t);
                }
            }
            ASSERT_EQ(direction[a][b], step) << a << " -> " << b;
            ASSERT_EQ(between[a][b], strictly) << a << " -> " << b;
        }
        for (int d = 0; d < 8; ++d) {
            Bitboard full = 0;
            for (int t : walk(a, DIRS[d]))
                if (t >= 0) full |= bit(t);
            ASSERT_EQ(ray[d][a], full) << "dir " << d << " sq " << a;
        }
    }
}

// Leapers and pawns from file/rank arithmetic, which cannot wrap around an edge.
TEST_F(AttackTables, LeaperAndPawnTablesStayOnTheBoard) {
    auto targets = [](int sq, std::initializer_list<Step> steps) {
        Bitboard b = 0;
        for (Step s : steps) {
            int f = file_of(sq) + s.df, r = rank_of(sq) + s.dr;
            if (f >= 0 && f < 8 && r >= 0 && r < 8) b |= bit(make_square(f, r));
        }
        return b;
    };
    for (int sq = 0; sq < 64; ++sq) {
        SCOPED_TRACE(sq);
        EXPECT_EQ(knight_attacks[sq],
                  targets(sq, {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}}));
        EXPECT_EQ(king_attacks[sq], targets(sq, {{-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}}));
        EXPECT_EQ(pawn_attacks[sq][WHITE], targets(sq, {{-1, 1}, {1, 1}}));
        EXPECT_EQ(pawn_attacks[sq][BLACK], targets(sq, {{-1, -1}, {1, -1}}));
        EXPECT_EQ(pawn_push[sq][WHITE], targets(sq, {{0, 1}}));
        EXPECT_EQ(pawn_push[sq][BLACK], targets(sq, {{0, -1}}));
        EXPECT_EQ(pawn_double_push[sq][WHITE], targets(sq, {{0, 2}}));
        EXPECT_EQ(pawn_double_push[sq][BLACK], targets(sq, {{0, -2}}));
        EXPECT_EQ(file_mask[sq], file_bb(file_of(sq)));
        // The set-wise pawn captures must agree with the per-square table.
        EXPECT_EQ(pawn_attack_set(WHITE, bit(sq)), pawn_attacks[sq][WHITE]);
        EXPECT_EQ(pawn_attack_set(BLACK, bit(sq)), pawn_attacks[sq][BLACK]);
    }
}

TEST(BitIdioms, BitscanAndPopLsbWalkEverySquareLowestFirst) {
    std::mt19937_64 rng(7);
    for (int sq = 0; sq < 64; ++sq) {
        // Bits above the lowest must not disturb the scan, across the word boundary too.
        Bitboard higher = sq == 63 ? 0 : rng() << (sq + 1);
        ASSERT_EQ(bitscan(bit(sq) | higher), sq);
    }
    for (int n = 0; n < 1000; ++n) {
        Bitboard b = rng() & rng(), rest = b, rebuilt = 0;
        int count = 0, previous = -1;
        while (rest) {
            int sq = pop_lsb(rest);
            ASSERT_GT(sq, previous);
            ASSERT_FALSE(rebuilt & bit(sq));
            rebuilt |= bit(sq);
            previous = sq;
            ++count;
        }
        ASSERT_EQ(rebuilt, b);
        ASSERT_EQ(count, popcount(b));
    }
}

}  // namespace
