// Captures (with promotions and en passant) and quiet moves, in the fixed
// order the picker's tie-break relies on: promotions, pawn captures, en
// passant, then knight, bishop, rook, queen and king moves.
#include "board/tables.h"
#include "movegen/gen_common.h"
#include "movegen/movegen.h"

namespace {

using namespace gen;

template <typename Targets>
inline void add_piece_moves(const Position& pos, MoveCursor& out, Bitboard origins, int piece, Bitboard mask,
                            Targets targets) {
    while (origins) {
        int from = pop_lsb(origins);
        add_to_set(pos, out, from, piece, targets(from) & mask);
    }
}

template <typename Targets>
inline void add_quiet_piece_moves(MoveCursor& out, Bitboard origins, int piece, Bitboard empty, Targets targets) {
    while (origins) {
        int from = pop_lsb(origins);
        add_quiets_to_set(out, from, piece, targets(from) & empty);
    }
}

// The attack tests of a castling whose path is empty; kept out of line, as
// most often a piece still stands in the way.
[[gnu::noinline]] void add_castling(const Position& pos, MoveCursor& out, int index) {
    if (can_castle(pos, index)) add(out, make_castle_move(pos.castling[index].king_from, CASTLING_KING_TO[index]));
}

}  // namespace

void gen_captures(const Position& pos, MoveList& list) {
    const int us = pos.side, them = us ^ 1;
    const Bitboard own = pos.color[us], occ = pos.occupied, target = list.target;
    const Bitboard pawns = pos.pawns() & own;
    MoveCursor out = list.moves;

    for (Bitboard b = pawns & SEVENTH_RANK[us]; b;) {
        int from = pop_lsb(b);
        if (!(pawn_push[from][us] & occ)) add_promotions(out, from, bitscan(pawn_push[from][us]), EMPTY);
        for (Bitboard t = pawn_attacks[from][us] & target; t;) {
            int to = pop_lsb(t);
            add_promotions(out, from, to, pos.square[to]);
        }
    }
    // Only the pawns that attack a target are walked (in the same order): the
    // squares an enemy pawn on a target would attack are those they stand on.
    for (Bitboard b = pawns & ~SEVENTH_RANK[us] & pawn_attack_set(them, target); b;) {
        int from = pop_lsb(b);
        for (Bitboard t = pawn_attacks[from][us] & target; t;) {
            int to = pop_lsb(t);
            add(out, make_move_word(from, to, PAWN, pos.square[to]));
        }
    }
    if (pos.st.ep != NO_SQUARE)
        for (Bitboard b = pawns & pawn_attacks[pos.st.ep][them]; b;) add(out, make_ep_move(pop_lsb(b), pos.st.ep));

    add_piece_moves(pos, out, pos.knights() & own, KNIGHT, target, [](int sq) { return knight_attacks[sq]; });
    add_piece_moves(pos, out, pos.bishops() & own, BISHOP, target, [occ](int sq) { return bishop_attacks(sq, occ); });
    add_piece_moves(pos, out, pos.rooks() & own, ROOK, target, [occ](int sq) { return rook_attacks(sq, occ); });
    add_piece_moves(pos, out, pos.queens() & own, QUEEN, target, [occ](int sq) { return queen_attacks(sq, occ); });
    add_piece_moves(pos, out, pos.kings() & own, KING, target, [](int sq) { return king_attacks[sq]; });
    finish(list, out);
}

void gen_quiets(const Position& pos, MoveList& list) {
    const int us = pos.side;
    const Bitboard own = pos.color[us], occ = pos.occupied, empty = ~occ;
    MoveCursor out = list.moves;

    // Castling, king-side first.
    const int king_side = 2 * us, queen_side = king_side + 1;
    if ((pos.st.castle & (1 << king_side)) && !(occ & pos.castling[king_side].empty))
        add_castling(pos, out, king_side);
    if ((pos.st.castle & (1 << queen_side)) && !(occ & pos.castling[queen_side].empty))
        add_castling(pos, out, queen_side);

    add_quiet_piece_moves(out, pos.knights() & own, KNIGHT, empty, [](int sq) { return knight_attacks[sq]; });
    add_quiet_piece_moves(out, pos.bishops() & own, BISHOP, empty, [occ](int sq) { return bishop_attacks(sq, occ); });
    add_quiet_piece_moves(out, pos.rooks() & own, ROOK, empty, [occ](int sq) { return rook_attacks(sq, occ); });
    add_quiet_piece_moves(out, pos.queens() & own, QUEEN, empty, [occ](int sq) { return queen_attacks(sq, occ); });
    add_quiet_piece_moves(out, pos.kings() & own, KING, empty, [](int sq) { return king_attacks[sq]; });

    const Bitboard pawns = pos.pawns() & own & ~SEVENTH_RANK[us];
    const int forward = us == WHITE ? 8 : -8;
    Bitboard single = pawns & (us == WHITE ? empty >> 8 : empty << 8);
    for (Bitboard b = single; b;) {
        int from = pop_lsb(b);
        add(out, make_pawn_move(from, from + forward));
    }
    Bitboard start = pawns & START_RANK[us];
    Bitboard doubles = start & (us == WHITE ? (empty >> 8) & (empty >> 16) : (empty << 8) & (empty << 16));
    for (Bitboard b = doubles; b;) {
        int from = pop_lsb(b);
        add(out, make_double_push(from, from + 2 * forward));
    }
    finish(list, out);
}
