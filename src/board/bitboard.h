// Corvane's vocabulary: squares, colours, piece types and the bit idioms every
// subsystem walks sets with. Sets are always walked lowest square first, which
// makes generation order, and therefore every tie-break, reproducible.
#pragma once

#include <bit>
#include <cassert>
#include <cstdint>

using Bitboard = std::uint64_t;
using Key = std::uint64_t;

// Squares: a1 = 0, h1 = 7, h8 = 63; rank = sq >> 3, file = sq & 7; -1 = none.
enum : int {
    A1, B1, C1, D1, E1, F1, G1, H1,
    A2, B2, C2, D2, E2, F2, G2, H2,
    A3, B3, C3, D3, E3, F3, G3, H3,
    A4, B4, C4, D4, E4, F4, G4, H4,
    A5, B5, C5, D5, E5, F5, G5, H5,
    A6, B6, C6, D6, E6, F6, G6, H6,
    A7, B7, C7, D7, E7, F7, G7, H7,
    A8, B8, C8, D8, E8, F8, G8, H8,
    NO_SQUARE = -1
};

enum : int { WHITE = 0, BLACK = 1 };

// Piece types carry no colour; the colour boards say whose a piece is.
enum : int { EMPTY = 0, PAWN = 1, KNIGHT = 2, BISHOP = 3, ROOK = 4, QUEEN = 5, KING = 6 };

enum : int { CASTLE_WK = 1, CASTLE_WQ = 2, CASTLE_BK = 4, CASTLE_BQ = 8 };

constexpr int rank_of(int sq) { return sq >> 3; }
constexpr int file_of(int sq) { return sq & 7; }
constexpr int make_square(int file, int rank) { return rank * 8 + file; }
// The same square seen from the other side of the board (rank mirrored).
constexpr int mirror(int sq) { return sq ^ 56; }
// Rank as the colour sees it: 0 is its own back rank.
constexpr int relative_rank(int us, int sq) { return us == WHITE ? rank_of(sq) : 7 - rank_of(sq); }

constexpr Bitboard FILE_A_BB = 0x0101010101010101ULL;
constexpr Bitboard RANK_1_BB = 0xFFULL;
constexpr Bitboard LIGHT_SQUARES = 0x55AA55AA55AA55AAULL;

constexpr Bitboard file_bb(int file) { return FILE_A_BB << file; }
constexpr Bitboard rank_bb(int rank) { return RANK_1_BB << (8 * rank); }

constexpr Bitboard bit(int sq) {
    assert(sq >= 0 && sq < 64);
    return Bitboard(1) << sq;
}

constexpr int popcount(Bitboard b) { return std::popcount(b); }

constexpr int bitscan(Bitboard b) {
    assert(b);
    return std::countr_zero(b);
}

constexpr int pop_lsb(Bitboard& b) {
    int sq = bitscan(b);
    b &= b - 1;
    return sq;
}

constexpr bool more_than_one(Bitboard b) { return (b & (b - 1)) != 0; }

// Colour-relative shifts: "forward" is towards the opponent's back rank.
constexpr Bitboard shift_forward(int us, Bitboard b, int n) { return us == WHITE ? b << n : b >> n; }

// Every square on or in front of a set square, on its file.
constexpr Bitboard fill_forward(int us, Bitboard b) {
    if (us == WHITE) {
        b |= b << 8;
        b |= b << 16;
        b |= b << 32;
    } else {
        b |= b >> 8;
        b |= b >> 16;
        b |= b >> 32;
    }
    return b;
}

// Every square on or behind a set square, on its file.
constexpr Bitboard fill_backward(int us, Bitboard b) { return fill_forward(us ^ 1, b); }

// Squares strictly in front of each set square on its file.
constexpr Bitboard span_forward(int us, Bitboard b) { return shift_forward(us, fill_forward(us, b), 8); }

// Both diagonal captures of a set of pawns, without wrap-around.
constexpr Bitboard pawn_attack_set(int us, Bitboard pawns) {
    constexpr Bitboard NOT_A = ~FILE_A_BB, NOT_H = ~(FILE_A_BB << 7);
    return us == WHITE ? ((pawns & NOT_A) << 7) | ((pawns & NOT_H) << 9)
                       : ((pawns & NOT_A) >> 9) | ((pawns & NOT_H) >> 7);
}

static_assert(fill_forward(WHITE, bit(E2)) == (file_bb(4) & ~rank_bb(0)));
static_assert(span_forward(BLACK, bit(E7)) == (file_bb(4) & (rank_bb(0) | rank_bb(1) | rank_bb(2) | rank_bb(3) | rank_bb(4) | rank_bb(5))));
static_assert(pawn_attack_set(WHITE, bit(A4)) == bit(B5));
static_assert(pawn_attack_set(BLACK, bit(H4)) == bit(G3));
