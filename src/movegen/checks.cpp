// Quiet moves that give check: from the destination, by uncovering an own
// slider (discovered check), or by the rook of a castling move.
#include "board/tables.h"
#include "movegen/gen_common.h"
#include "movegen/movegen.h"

namespace {

using namespace gen;

// Single pushes, then double pushes, of the given pawns onto `allowed`.
void add_pawn_pushes(const Position& pos, MoveCursor& out, Bitboard pawns, Bitboard allowed) {
    const int us = pos.side, forward = us == WHITE ? 8 : -8;
    const Bitboard empty = ~pos.occupied;
    pawns &= ~SEVENTH_RANK[us];  // their pushes are promotions, generated with the captures
    for (Bitboard b = shift_forward(us, pawns, 8) & empty & allowed; b;) {
        int to = pop_lsb(b);
        add(out, make_pawn_move(to - forward, to));
    }
    Bitboard start = pawns & START_RANK[us];
    for (Bitboard b = shift_forward(us, shift_forward(us, start, 8) & empty, 8) & empty & allowed; b;) {
        int to = pop_lsb(b);
        add(out, make_double_push(to - 2 * forward, to));
    }
}

}  // namespace

void gen_quiet_checks(const Position& pos, MoveList& list) {
    const int us = pos.side, them = us ^ 1;
    const int k = pos.king_sq[us], ek = pos.king_sq[them];
    const Bitboard own = pos.color[us], occ = pos.occupied, empty = ~occ;
    MoveCursor out = list.moves;
    const Bitboard dc = discovered_check_candidates(pos, us);
    const Bitboard knight_checks = knight_attacks[ek];
    const Bitboard bishop_checks = bishop_attacks(ek, occ);
    const Bitboard rook_checks = rook_attacks(ek, occ);

    // A pawn on the enemy king's file can neither uncover a check by
    // advancing nor give one.
    const int f = file_of(ek);
    const Bitboard pawns = pos.pawns() & own & ~file_bb(f);
    add_pawn_pushes(pos, out, pawns & dc, ~Bitboard(0));
    Bitboard beside = (f > 0 ? file_bb(f - 1) : 0) | (f < 7 ? file_bb(f + 1) : 0);
    add_pawn_pushes(pos, out, pawns & ~dc & beside, pawn_attacks[ek][them]);

    for (Bitboard b = pos.knights() & own; b;) {
        int from = pop_lsb(b);
        add_quiets_to_set(out, from, KNIGHT, knight_attacks[from] & empty & ((dc & bit(from)) ? ~Bitboard(0) : knight_checks));
    }
    for (Bitboard b = pos.bishops() & own; b;) {
        int from = pop_lsb(b);
        add_quiets_to_set(out, from, BISHOP,
                   bishop_attacks(from, occ) & empty & ((dc & bit(from)) ? ~Bitboard(0) : bishop_checks));
    }
    for (Bitboard b = pos.rooks() & own; b;) {
        int from = pop_lsb(b);
        add_quiets_to_set(out, from, ROOK, rook_attacks(from, occ) & empty & ((dc & bit(from)) ? ~Bitboard(0) : rook_checks));
    }
    for (Bitboard b = pos.queens() & own; b;) {
        int from = pop_lsb(b);
        add_quiets_to_set(out, from, QUEEN, queen_attacks(from, occ) & empty & (bishop_checks | rook_checks));
    }
    if (dc & bit(k)) {
        // Staying on the line from the enemy king through the own king keeps it closed.
        int d = direction[ek][k];
        add_quiets_to_set(out, k, KING, king_attacks[k] & empty & ~ray[direction_index(d)][ek]);
    }

    // Castling whose rook lands on a square that sees the enemy king, with
    // both pieces on their destinations.
    for (int index = 2 * us; index < 2 * us + 2; ++index) {
        if (!can_castle(pos, index)) continue;
        const int king_from = pos.castling[index].king_from, king_to = CASTLING_KING_TO[index];
        const int rook_to = CASTLING_ROOK_TO[index];
        const Bitboard occ2 = (occ ^ bit(king_from) ^ bit(pos.castling[index].rook_from)) | bit(king_to) | bit(rook_to);
        if (rook_attacks(ek, occ2) & bit(rook_to)) add(out, make_castle_move(king_from, king_to));
    }
    finish(list, out);
}
