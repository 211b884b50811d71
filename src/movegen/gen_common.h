// Building blocks shared by the move generators (private to src/movegen/).
#pragma once

#include "board/position.h"
#include "movegen/move.h"

namespace gen {

// The rank from which a pawn of each colour promotes with its next step.
constexpr Bitboard SEVENTH_RANK[2] = {0x00FF000000000000ULL, 0x000000000000FF00ULL};
constexpr Bitboard START_RANK[2] = {0x000000000000FF00ULL, 0x00FF000000000000ULL};

// Generators append moves only; the picker writes the scores.
inline void add(MoveList& list, Move m) { list.moves[list.count++].move = m; }

// The four promotions of one pawn move, queen first.
inline void add_promotions(MoveList& list, int from, int to, int captured) {
    Move base = Move(from) | Move(to) << 6 | Move(captured) << 18;
    add(list, base | PROMOTE_QUEEN);
    add(list, base | PROMOTE_KNIGHT);
    add(list, base | PROMOTE_ROOK);
    add(list, base | PROMOTE_BISHOP);
}

// One piece's moves onto a target set, lowest square first.
inline void add_to_set(const Position& pos, MoveList& list, int from, int piece, Bitboard targets) {
    while (targets) {
        int to = pop_lsb(targets);
        add(list, make_move_word(from, to, piece, pos.square[to]));
    }
}

}  // namespace gen
