// The move word and the move list. A move is one 32-bit word that carries all
// make_move needs without looking at the board again; 0 means "no move".
//
//   bits  0-5   from square
//   bits  6-11  to square
//   bits 12-14  moving piece type (1..6)
//   bit  15     castle flag (castling moves only; to = the king's destination)
//   bit  16     double-push flag
//   bit  17     promotion flag
//   bits 18-20  captured piece type (PAWN for en passant), 0 = none
//   bit  21     en-passant flag
//   bits 22-24  promotion piece type, 0 = none
//   bits 25-31  always 0
#pragma once

#include <cstdint>

#include "board/bitboard.h"

using Move = std::uint32_t;

constexpr Move NO_MOVE = 0;

constexpr Move CASTLE_FLAG = 1u << 15;
constexpr Move DOUBLE_PUSH_FLAG = 1u << 16;
constexpr Move PROMOTION_FLAG = 1u << 17;
constexpr Move EP_FLAG = 1u << 21;
constexpr Move TACTICAL_BITS = 0x1FE0000;  // promotion flag, captured, en passant, promotion

constexpr Move PAWN_MOVE_BITS = 0x1000;
constexpr Move DOUBLE_PUSH_BITS = 0x11000;
constexpr Move EP_MOVE_BITS = 0x241000;
constexpr Move PROMOTE_QUEEN = 0x1421000;
constexpr Move PROMOTE_KNIGHT = 0x821000;
constexpr Move PROMOTE_ROOK = 0x1021000;
constexpr Move PROMOTE_BISHOP = 0xC21000;

constexpr Move CASTLE_WHITE_KING = 0xE184;   // e1-g1
constexpr Move CASTLE_WHITE_QUEEN = 0xE084;  // e1-c1
constexpr Move CASTLE_BLACK_KING = 0xEFBC;   // e8-g8
constexpr Move CASTLE_BLACK_QUEEN = 0xEEBC;  // e8-c8

constexpr int move_from(Move m) { return int(m & 63); }
constexpr int move_to(Move m) { return int((m >> 6) & 63); }
constexpr int move_piece(Move m) { return int((m >> 12) & 7); }
constexpr int move_captured(Move m) { return int((m >> 18) & 7); }
constexpr int move_promotion(Move m) { return int((m >> 22) & 7); }
constexpr bool is_castle(Move m) { return (m & CASTLE_FLAG) != 0; }
constexpr bool is_double_push(Move m) { return (m & DOUBLE_PUSH_FLAG) != 0; }
constexpr bool is_promotion(Move m) { return (m & PROMOTION_FLAG) != 0; }
constexpr bool is_ep(Move m) { return (m & EP_FLAG) != 0; }
constexpr bool is_tactical(Move m) { return (m & TACTICAL_BITS) != 0; }
constexpr bool is_quiet(Move m) { return (m & TACTICAL_BITS) == 0; }

constexpr Move make_move_word(int from, int to, int piece, int captured) {
    return Move(from) | Move(to) << 6 | Move(piece) << 12 | Move(captured) << 18;
}
// Castling is the king's move to its destination with the flag; a Chess960
// king may already stand there (from == to). The rook's move is implied.
constexpr Move make_castle_move(int king_from, int king_to) {
    return make_move_word(king_from, king_to, KING, EMPTY) | CASTLE_FLAG;
}
constexpr Move make_pawn_move(int from, int to) { return Move(from) | Move(to) << 6 | PAWN_MOVE_BITS; }
constexpr Move make_double_push(int from, int to) { return Move(from) | Move(to) << 6 | DOUBLE_PUSH_BITS; }
constexpr Move make_ep_move(int from, int to) { return Move(from) | Move(to) << 6 | EP_MOVE_BITS; }

static_assert(make_double_push(E2, E4) == 0x1170C);
static_assert(make_move_word(D4, E5, PAWN, KNIGHT) == 0x8191B);
static_assert((Move(E7) | Move(E8) << 6 | PROMOTE_QUEEN) == 0x1421F34);
static_assert(make_ep_move(E5, D6) == 0x241AE4);
static_assert(make_castle_move(E1, G1) == CASTLE_WHITE_KING && make_castle_move(E8, C8) == CASTLE_BLACK_QUEEN);
static_assert(move_piece(CASTLE_WHITE_KING) == KING && move_to(CASTLE_BLACK_QUEEN) == C8);
static_assert(is_quiet(CASTLE_WHITE_QUEEN) && is_quiet(make_double_push(A2, A4)));

struct ScoredMove {
    Move move;
    std::int32_t score;
};

// A batch (captures, quiets, evasions or quiet checks of one position) never
// exceeds this with the material a position may hold; one more slot is the
// picker's exchange space.
constexpr int MAX_MOVES = 256;
constexpr int MAX_BAD_MOVES = MAX_MOVES;  // losing captures are a subset of one capture batch

// One per search node, quiescence node and legal-move query, on the caller's
// frame. The header also carries the state of the staged picker.
struct MoveList {
    int stage;       // index into the picker's stage table
    Move hash_move;  // transposition-table move, or 0
    Move killer1, killer2;
    int ply;
    int depth;  // the evasion stage orders fully when above 0
    int side;   // selects the history half
    int next;   // next entry to hand out
    int count;
    int bad_count;
    Bitboard pinned;  // own pieces pinned to the own king
    Bitboard target;  // squares the capture generator may capture on
    ScoredMove moves[MAX_MOVES + 1];
    ScoredMove bad[MAX_BAD_MOVES];
};
