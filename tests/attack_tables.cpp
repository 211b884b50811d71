// The slider lookups and line tables, checked against slow square-by-square
// walks that share no code with the table builder. Leaper and pawn tables
// are left to the perft suites, which no wrong entry survives.
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

bool on_board(int file, int rank) { return file >= 0 && file < 8 && rank >= 0 && rank < 8; }

// One direction from sq over occ: the attacked squares (up to and including the
// first occupied one) and the x-ray (the second occupied square, the edge square
// counting as occupied, so a lone blocker x-rays to the edge).
struct Ray {
    Bitboard attacks = 0, xray = 0;
};
Ray walk_ray(int sq, int d, Bitboard occ) {
    Ray ray_out;
    int blockers = 0;
    auto [df, dr] = DIRS[d];
    for (int f = file_of(sq) + df, r = rank_of(sq) + dr; on_board(f, r); f += df, r += dr) {
        int t = make_square(f, r);
        if (blockers == 0) ray_out.attacks |= bit(t);
        if (((occ & bit(t)) || !on_board(f + df, r + dr)) && ++blockers == 2) {
            ray_out.xray = bit(t);
            break;
        }
    }
    return ray_out;
}

struct LineLookup {
    Bitboard (*attacks)(int, Bitboard);
    Bitboard (*xray)(int, Bitboard);
    int dir_a, dir_b;  // indices into DIRS
};
const LineLookup LINES[4] = {{rank_attacks, rank_xray, 1, 5},
                             {file_attacks, file_xray, 3, 7},
                             {diag_attacks, diag_xray, 0, 4},
                             {anti_diag_attacks, anti_diag_xray, 2, 6}};

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
            Ray line[4];
            for (int kind = 0; kind < 4; ++kind) {
                const LineLookup& l = LINES[kind];
                Ray a = walk_ray(sq, l.dir_a, occ), b = walk_ray(sq, l.dir_b, occ);
                line[kind] = {a.attacks | b.attacks, a.xray | b.xray};
                ASSERT_EQ(l.attacks(sq, occ), line[kind].attacks) << "line kind " << kind;
                ASSERT_EQ(l.xray(sq, occ), line[kind].xray) << "line kind " << kind;
            }
            ASSERT_EQ(rook_attacks(sq, occ), line[0].attacks | line[1].attacks);
            ASSERT_EQ(bishop_attacks(sq, occ), line[2].attacks | line[3].attacks);
            ASSERT_EQ(queen_attacks(sq, occ), rook_attacks(sq, occ) | bishop_attacks(sq, occ));
            ASSERT_EQ(rook_xray(sq, occ), line[0].xray | line[1].xray);
            ASSERT_EQ(bishop_xray(sq, occ), line[2].xray | line[3].xray);
        }
    }
}

// A lone piece on b blocks the walk from a exactly when b lies on that ray.
TEST_F(AttackTables, RaysBetweenAndDirectionMatchWalks) {
    for (int a = 0; a < 64; ++a) {
        for (int d = 0; d < 8; ++d)
            ASSERT_EQ(ray[d][a], walk_ray(a, d, 0).attacks) << "dir " << d << " sq " << a;
        for (int b = 0; b < 64; ++b) {
            int step = 0;
            Bitboard strictly = 0;
            for (int d = 0; d < 8; ++d) {
                Bitboard reach = walk_ray(a, d, bit(b)).attacks;
                if (reach & bit(b)) step = DIRECTION_STEP[d], strictly = reach & ~bit(b);
            }
            ASSERT_EQ(direction[a][b], step) << a << " -> " << b;
            ASSERT_EQ(between[a][b], strictly) << a << " -> " << b;
        }
    }
}

}  // namespace
