// Building blocks shared by the move generators (private to src/movegen/).
#pragma once

#include "board/position.h"
#include "board/tables.h"
#include "movegen/move.h"
#include "movegen/movegen.h"

namespace gen {

// The rank from which a pawn of each colour promotes with its next step.
constexpr Bitboard SEVENTH_RANK[2] = {0x00FF000000000000ULL, 0x000000000000FF00ULL};
constexpr Bitboard START_RANK[2] = {0x000000000000FF00ULL, 0x00FF000000000000ULL};

// Generators append moves only; the picker writes the scores. They write
// through a cursor held in a register and set the list's count once at the
// end: a count kept in the list would be reloaded and stored at every move,
// since a move word may alias it.
using MoveCursor = ScoredMove*;
inline void add(MoveCursor& out, Move m) { (out++)->move = m; }

// The four promotions of one pawn move, queen first.
inline void add_promotions(MoveCursor& out, int from, int to, int captured) {
    Move base = Move(from) | Move(to) << 6 | Move(captured) << 18;
    add(out, base | PROMOTE_QUEEN);
    add(out, base | PROMOTE_KNIGHT);
    add(out, base | PROMOTE_ROOK);
    add(out, base | PROMOTE_BISHOP);
}

// One piece's moves onto a target set, lowest square first.
inline void add_to_set(const Position& pos, MoveCursor& out, int from, int piece, Bitboard targets) {
    while (targets) {
        int to = pop_lsb(targets);
        add(out, make_move_word(from, to, piece, pos.square[to]));
    }
}

// The same onto empty squares only: nothing to read from the board.
inline void add_quiets_to_set(MoveCursor& out, int from, int piece, Bitboard targets) {
    while (targets) {
        int to = pop_lsb(targets);
        add(out, make_move_word(from, to, piece, EMPTY));
    }
}

inline void finish(MoveList& list, MoveCursor out) { list.count = int(out - list.moves); }

// Castling by right number, for the side to move when not in check: the right
// held, the squares both pieces cross empty, the king's squares unattacked,
// and, once the rook has left, no enemy slider behind it on the rank: a
// Chess960 rook can stand between one and the king's destination.
inline bool can_castle(const Position& pos, int index) {
    const CastlingRule& rule = pos.castling[index];
    const int them = pos.side ^ 1;
    if (!(pos.st.castle & (1 << index)) || (pos.occupied & rule.empty) || squares_attacked(pos, them, rule.safe))
        return false;
    const Bitboard sliders = (pos.rooks() | pos.queens()) & pos.color[them];
    return !(rank_attacks(CASTLING_KING_TO[index], pos.occupied ^ bit(rule.rook_from)) & sliders);
}

}  // namespace gen
