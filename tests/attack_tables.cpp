// The start-up geometry tables and the slider lookups, checked against slow
// square-by-square walks that share no code with the table builder.
#include <gtest/gtest.h>

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

}  // namespace
