// Board geometry computed once at start-up by init_tables(): leaper and pawn
// steps, rays, lines between squares and the slider table.
#pragma once

#include "board/bitboard.h"

// Ray directions, in this order: 0 = -9 (down-left), 1 = -1, 2 = +7, 3 = +8,
// 4 = +9, 5 = +1, 6 = -7, 7 = -8.
constexpr int DIRECTION_STEP[8] = {-9, -1, 7, 8, 9, 1, -7, -8};

extern Bitboard knight_attacks[64];
extern Bitboard king_attacks[64];
extern Bitboard pawn_attacks[64][2];
extern Bitboard pawn_push[64][2];
extern Bitboard pawn_double_push[64][2];
extern Bitboard file_mask[64];
extern Bitboard ray[8][64];
extern int direction[64][64];      // step from sq1 to sq2 along a line, 0 if none
extern Bitboard between[64][64];   // squares strictly between two squares on a line
extern Bitboard diag_mask[64];     // a1-h8 diagonal through the square, square included
extern Bitboard anti_diag_mask[64];  // h1-a8 diagonal through the square

// The slider table: attacks in the first half, x-rays (the second piece on the
// line in each direction) in the second, indexed by
// selector | sq << 7 | pattern, where pattern holds the six inner squares of
// the line as bits 1..6 (bit k = k-th square of the line).
enum : int { SEL_RANK = 0x0000, SEL_FILE = 0x2000, SEL_DIAG = 0x4000, SEL_ANTI = 0x6000, SEL_XRAY = 0x8000 };
constexpr int SLIDER_TABLE_SIZE = 0x10000;
extern Bitboard slider_attacks[SLIDER_TABLE_SIZE];

void init_tables();

// Pattern extraction: only bits 1..6 matter, the end squares never block.
inline int rank_pattern(int sq, Bitboard occ) { return int((occ >> (sq & 56)) & 0x7E); }
inline int file_pattern(int sq, Bitboard occ) {
    // Gathers the file's eight bits into one byte, bit r = rank r.
    return int(((((occ >> (sq & 7)) & FILE_A_BB) * 0x0102040810204080ULL) >> 56) & 0x7E);
}
inline int diag_pattern(Bitboard line_occ) {
    // A diagonal holds one square per file, so folding the bytes keeps bit f = file f.
    return int(((line_occ * 0x0101010101010101ULL) >> 56) & 0x7E);
}

inline int rank_index(int sq, Bitboard occ) { return SEL_RANK | sq << 7 | rank_pattern(sq, occ); }
inline int file_index(int sq, Bitboard occ) { return SEL_FILE | sq << 7 | file_pattern(sq, occ); }
inline int diag_index(int sq, Bitboard occ) { return SEL_DIAG | sq << 7 | diag_pattern(occ & diag_mask[sq]); }
inline int anti_diag_index(int sq, Bitboard occ) {
    return SEL_ANTI | sq << 7 | diag_pattern(occ & anti_diag_mask[sq]);
}

inline Bitboard rank_attacks(int sq, Bitboard occ) { return slider_attacks[rank_index(sq, occ)]; }
inline Bitboard file_attacks(int sq, Bitboard occ) { return slider_attacks[file_index(sq, occ)]; }
inline Bitboard diag_attacks(int sq, Bitboard occ) { return slider_attacks[diag_index(sq, occ)]; }
inline Bitboard anti_diag_attacks(int sq, Bitboard occ) { return slider_attacks[anti_diag_index(sq, occ)]; }

// A whole rook's or bishop's attacks in one look-up, the lines' union from
// the table above stored once per occupancy of the squares that can block
// ("magic" indexing): the occupancy of those squares times the square's
// multiplier, shifted down to as many bits as there are such squares, lands
// on a slot of its own, shared only with occupancies of the same attacks.
// Costs half the instructions of two line look-ups, for 840 KiB of table.
struct SliderMagic {
    Bitboard mask;        // the squares whose occupancy matters: the lines without their end squares
    Bitboard multiplier;
    const Bitboard* attacks;  // this square's slots
    int shift;                // 64 - popcount(mask)
};
extern SliderMagic rook_magic[64];
extern SliderMagic bishop_magic[64];

inline Bitboard magic_attacks(const SliderMagic& m, Bitboard occ) {
    return m.attacks[((occ & m.mask) * m.multiplier) >> m.shift];
}
inline Bitboard bishop_attacks(int sq, Bitboard occ) { return magic_attacks(bishop_magic[sq], occ); }
inline Bitboard rook_attacks(int sq, Bitboard occ) { return magic_attacks(rook_magic[sq], occ); }
inline Bitboard queen_attacks(int sq, Bitboard occ) { return bishop_attacks(sq, occ) | rook_attacks(sq, occ); }

// X-rays: the second occupied square in each direction, or the line's end
// square when the line has only one piece; callers AND them with real pieces.
inline Bitboard rank_xray(int sq, Bitboard occ) { return slider_attacks[SEL_XRAY | rank_index(sq, occ)]; }
inline Bitboard file_xray(int sq, Bitboard occ) { return slider_attacks[SEL_XRAY | file_index(sq, occ)]; }
inline Bitboard diag_xray(int sq, Bitboard occ) { return slider_attacks[SEL_XRAY | diag_index(sq, occ)]; }
inline Bitboard anti_diag_xray(int sq, Bitboard occ) { return slider_attacks[SEL_XRAY | anti_diag_index(sq, occ)]; }
inline Bitboard bishop_xray(int sq, Bitboard occ) { return diag_xray(sq, occ) | anti_diag_xray(sq, occ); }
inline Bitboard rook_xray(int sq, Bitboard occ) { return rank_xray(sq, occ) | file_xray(sq, occ); }

// The direction number of a step, for ray[].
constexpr int direction_index(int step) {
    for (int d = 0; d < 8; ++d)
        if (DIRECTION_STEP[d] == step) return d;
    return -1;
}
