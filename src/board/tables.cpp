// Start-up construction of the geometry tables declared in tables.h.
#include "board/tables.h"

#include <cstring>
#include <initializer_list>

Bitboard knight_attacks[64];
Bitboard king_attacks[64];
Bitboard pawn_attacks[64][2];
Bitboard pawn_push[64][2];
Bitboard pawn_double_push[64][2];
Bitboard file_mask[64];
Bitboard ray[8][64];
int direction[64][64];
Bitboard between[64][64];
Bitboard diag_mask[64];
Bitboard anti_diag_mask[64];
Bitboard slider_attacks[SLIDER_TABLE_SIZE];

namespace {

constexpr int KNIGHT_STEPS[8] = {-17, -10, 6, 15, 17, 10, -6, -15};
constexpr int KING_STEPS[8] = {-9, -1, 7, 8, 9, 1, -7, -8};

// A leaper step stays on the board and never wraps to the far file.
bool step_ok(int from, int to) {
    if (to < 0 || to > 63) return false;
    int df = file_of(from) - file_of(to);
    return df >= -2 && df <= 2;
}

// One walking step of a slider; -1 when it leaves the board or wraps around.
int slide(int sq, int step) {
    int to = sq + step;
    if (to < 0 || to > 63) return -1;
    int df = file_of(to) - file_of(sq);
    if (df > 1 || df < -1) return -1;
    return to;
}

struct LineKind {
    int selector;
    int step_a, step_b;                  // the two directions of the line
    int (*pattern)(int sq, Bitboard occ);  // occupancy -> table slot
};

int rank_slot(int sq, Bitboard occ) { return rank_pattern(sq, occ); }
int file_slot(int sq, Bitboard occ) { return file_pattern(sq, occ); }
int diag_slot(int sq, Bitboard occ) { return diag_pattern(occ & diag_mask[sq]); }
int anti_slot(int sq, Bitboard occ) { return diag_pattern(occ & anti_diag_mask[sq]); }

void fill_line_kind(const LineKind& kind) {
    for (int sq = 0; sq < 64; ++sq) {
        Bitboard line = bit(sq);
        for (int step : {kind.step_a, kind.step_b})
            for (int s = slide(sq, step); s >= 0; s = slide(s, step)) line |= bit(s);
        int n = popcount(line);
        int squares[8];
        Bitboard rest = line;
        for (int i = 0; i < n; ++i) squares[i] = pop_lsb(rest);

        for (int k = 0; k < (1 << n); ++k) {
            Bitboard occ = 0;
            for (int i = 0; i < n; ++i)
                if (k & (1 << i)) occ |= bit(squares[i]);
            Bitboard attacks = 0, xray = 0;
            for (int step : {kind.step_a, kind.step_b}) {
                bool blocked = false;
                for (int s = slide(sq, step); s >= 0; s = slide(s, step)) {
                    if (!blocked) {
                        attacks |= bit(s);
                        blocked = (occ & bit(s)) != 0;
                    } else if ((occ & bit(s)) || slide(s, step) < 0) {
                        // The end square counts as occupied even where it is part
                        // of the pattern (the rank-1 and rank-8 ends of diagonals),
                        // so every slot means the same thing.
                        xray |= bit(s);
                        break;
                    }
                }
            }
            int index = kind.selector | sq << 7 | kind.pattern(sq, occ);
            slider_attacks[index] = attacks;
            slider_attacks[SEL_XRAY | index] = xray;
        }
    }
}

}  // namespace

void init_tables() {
    std::memset(knight_attacks, 0, sizeof knight_attacks);
    std::memset(king_attacks, 0, sizeof king_attacks);
    std::memset(pawn_attacks, 0, sizeof pawn_attacks);
    std::memset(pawn_push, 0, sizeof pawn_push);
    std::memset(pawn_double_push, 0, sizeof pawn_double_push);
    std::memset(ray, 0, sizeof ray);
    std::memset(direction, 0, sizeof direction);
    std::memset(between, 0, sizeof between);
    std::memset(slider_attacks, 0, sizeof slider_attacks);

    // The diagonal masks must exist before their line kinds are filled.
    for (int sq = 0; sq < 64; ++sq) {
        diag_mask[sq] = anti_diag_mask[sq] = bit(sq);
        for (int step : {9, -9})
            for (int s = slide(sq, step); s >= 0; s = slide(s, step)) diag_mask[sq] |= bit(s);
        for (int step : {7, -7})
            for (int s = slide(sq, step); s >= 0; s = slide(s, step)) anti_diag_mask[sq] |= bit(s);
    }

    fill_line_kind({SEL_RANK, -1, 1, rank_slot});
    fill_line_kind({SEL_FILE, -8, 8, file_slot});
    fill_line_kind({SEL_DIAG, -9, 9, diag_slot});
    fill_line_kind({SEL_ANTI, -7, 7, anti_slot});

    for (int sq = 0; sq < 64; ++sq) {
        file_mask[sq] = file_bb(file_of(sq));
        for (int step : KNIGHT_STEPS)
            if (step_ok(sq, sq + step)) knight_attacks[sq] |= bit(sq + step);
        for (int step : KING_STEPS)
            if (step_ok(sq, sq + step)) king_attacks[sq] |= bit(sq + step);
        for (int step : {7, 9})
            if (step_ok(sq, sq + step)) pawn_attacks[sq][WHITE] |= bit(sq + step);
        for (int step : {-7, -9})
            if (step_ok(sq, sq + step)) pawn_attacks[sq][BLACK] |= bit(sq + step);
        if (sq + 8 < 64) pawn_push[sq][WHITE] = bit(sq + 8);
        if (sq - 8 >= 0) pawn_push[sq][BLACK] = bit(sq - 8);
        if (sq + 16 < 64) pawn_double_push[sq][WHITE] = bit(sq + 16);
        if (sq - 16 >= 0) pawn_double_push[sq][BLACK] = bit(sq - 16);
    }

    for (int sq = 0; sq < 64; ++sq)
        for (int d = 0; d < 8; ++d)
            for (int s = slide(sq, DIRECTION_STEP[d]); s >= 0; s = slide(s, DIRECTION_STEP[d])) {
                ray[d][sq] |= bit(s);
                direction[sq][s] = DIRECTION_STEP[d];
            }

    for (int a = 0; a < 64; ++a)
        for (int b = 0; b < 64; ++b)
            if (int d = direction[a][b]) {
                int forward = direction_index(d), backward = direction_index(-d);
                assert(forward >= 0 && backward >= 0);
                between[a][b] = ray[forward][a] & ray[backward][b];
            }
}
