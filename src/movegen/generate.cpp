// Captures (with promotions and en passant) and quiet moves, in the fixed
// order the picker's tie-break relies on: promotions, pawn captures, en
// passant, then knight, bishop, rook, queen and king moves.
#include "board/tables.h"
#include "movegen/gen_common.h"
#include "movegen/movegen.h"

namespace {

using namespace gen;

template <typename Targets>
inline void add_piece_moves(const Position& pos, MoveList& list, Bitboard origins, int piece, Bitboard mask,
                            Targets targets) {
    while (origins) {
        int from = pop_lsb(origins);
        add_to_set(pos, list, from, piece, targets(from) & mask);
    }
}

// The attack tests of a castling whose path is empty; kept out of line, as
// most often a piece still stands in the way.
[[gnu::noinline]] void add_castling(const Position& pos, MoveList& list, int index) {
    if (can_castle(pos, index)) add(list, make_castle_move(pos.castling[index].king_from, CASTLING_KING_TO[index]));
}

}  // namespace

void gen_captures(const Position& pos, MoveList& list) {
    const int us = pos.side, them = us ^ 1;
    const Bitboard own = pos.color[us], occ = pos.occupied, target = list.target;
    const Bitboard pawns = pos.pawns() & own;
    list.count = 0;

    for (Bitboard b = pawns & SEVENTH_RANK[us]; b;) {
        int from = pop_lsb(b);
        if (!(pawn_push[from][us] & occ)) add_promotions(list, from, bitscan(pawn_push[from][us]), EMPTY);
        for (Bitboard t = pawn_attacks[from][us] & target; t;) {
            int to = pop_lsb(t);
            add_promotions(list, from, to, pos.square[to]);
        }
    }
    for (Bitboard b = pawns & ~SEVENTH_RANK[us]; b;) {
        int from = pop_lsb(b);
        for (Bitboard t = pawn_attacks[from][us] & target; t;) {
            int to = pop_lsb(t);
            add(list, make_move_word(from, to, PAWN, pos.square[to]));
        }
    }
    if (pos.st.ep != NO_SQUARE)
        for (Bitboard b = pawns & pawn_attacks[pos.st.ep][them]; b;) add(list, make_ep_move(pop_lsb(b), pos.st.ep));

    add_piece_moves(pos, list, pos.knights() & own, KNIGHT, target, [](int sq) { return knight_attacks[sq]; });
    add_piece_moves(pos, list, pos.bishops() & own, BISHOP, target, [occ](int sq) { return bishop_attacks(sq, occ); });
    add_piece_moves(pos, list, pos.rooks() & own, ROOK, target, [occ](int sq) { return rook_attacks(sq, occ); });
    add_piece_moves(pos, list, pos.queens() & own, QUEEN, target, [occ](int sq) { return queen_attacks(sq, occ); });
    add_piece_moves(pos, list, pos.kings() & own, KING, target, [](int sq) { return king_attacks[sq]; });
}

void gen_quiets(const Position& pos, MoveList& list) {
    const int us = pos.side;
    const Bitboard own = pos.color[us], occ = pos.occupied, empty = ~occ;
    list.count = 0;

    // Castling, king-side first.
    const int king_side = 2 * us, queen_side = king_side + 1;
    if ((pos.st.castle & (1 << king_side)) && !(occ & pos.castling[king_side].empty))
        add_castling(pos, list, king_side);
    if ((pos.st.castle & (1 << queen_side)) && !(occ & pos.castling[queen_side].empty))
        add_castling(pos, list, queen_side);

    add_piece_moves(pos, list, pos.knights() & own, KNIGHT, empty, [](int sq) { return knight_attacks[sq]; });
    add_piece_moves(pos, list, pos.bishops() & own, BISHOP, empty, [occ](int sq) { return bishop_attacks(sq, occ); });
    add_piece_moves(pos, list, pos.rooks() & own, ROOK, empty, [occ](int sq) { return rook_attacks(sq, occ); });
    add_piece_moves(pos, list, pos.queens() & own, QUEEN, empty, [occ](int sq) { return queen_attacks(sq, occ); });
    add_piece_moves(pos, list, pos.kings() & own, KING, empty, [](int sq) { return king_attacks[sq]; });

    const Bitboard pawns = pos.pawns() & own & ~SEVENTH_RANK[us];
    const int forward = us == WHITE ? 8 : -8;
    Bitboard single = pawns & (us == WHITE ? empty >> 8 : empty << 8);
    for (Bitboard b = single; b;) {
        int from = pop_lsb(b);
        add(list, make_pawn_move(from, from + forward));
    }
    Bitboard start = pawns & START_RANK[us];
    Bitboard doubles = start & (us == WHITE ? (empty >> 8) & (empty >> 16) : (empty << 8) & (empty << 16));
    for (Bitboard b = doubles; b;) {
        int from = pop_lsb(b);
        add(list, make_double_push(from, from + 2 * forward));
    }
}
