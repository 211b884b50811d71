// Check evasions: king moves to safe squares, captures of a single checker,
// interpositions against a single checking slider. Every move is legal.
#include "board/tables.h"
#include "movegen/gen_common.h"
#include "movegen/movegen.h"

using namespace gen;

void gen_evasions(const Position& pos, MoveList& list) {
    const int us = pos.side, them = us ^ 1, k = pos.king_sq[us];
    const Bitboard occ = pos.occupied, own = pos.color[us], foe = pos.color[them];
    MoveCursor out = list.moves;

    const Bitboard checkers = ((pawn_attacks[k][us] & pos.pawns()) | (knight_attacks[k] & pos.knights()) |
                               (king_attacks[k] & pos.kings()) |
                               (bishop_attacks(k, occ) & (pos.bishops() | pos.queens())) |
                               (rook_attacks(k, occ) & (pos.rooks() | pos.queens()))) &
                              foe;

    // Without the king on its square a slider's line through it counts, so
    // the king never steps back along the checking line.
    const Bitboard occ2 = occ ^ bit(k);
    for (Bitboard b = king_attacks[k] & ~own; b;) {
        int t = pop_lsb(b);
        bool attacked = (pawn_attacks[t][us] & pos.pawns() & foe) || (knight_attacks[t] & pos.knights() & foe) ||
                        (king_attacks[t] & pos.kings() & foe) ||
                        (bishop_attacks(t, occ2) & (pos.bishops() | pos.queens()) & foe) ||
                        (rook_attacks(t, occ2) & (pos.rooks() | pos.queens()) & foe);
        if (!attacked) add(out, make_move_word(k, t, KING, pos.square[t]));
    }

    if (more_than_one(checkers) || !checkers) return finish(list, out);

    // A pinned piece can neither take the checker nor block legally.
    const Bitboard free_pieces = own & ~pinned_pieces(pos);
    const int csq = bitscan(checkers);

    for (Bitboard b = pawn_attacks[csq][them] & pos.pawns() & free_pieces; b;) {
        int from = pop_lsb(b);
        if (bit(from) & SEVENTH_RANK[us])
            add_promotions(out, from, csq, pos.square[csq]);
        else
            add(out, make_move_word(from, csq, PAWN, pos.square[csq]));
    }
    if (pos.square[csq] == PAWN && pos.st.ep != NO_SQUARE && pos.st.ep == (us == WHITE ? csq + 8 : csq - 8))
        for (Bitboard b = pawn_attacks[pos.st.ep][them] & pos.pawns() & free_pieces; b;)
            add(out, make_ep_move(pop_lsb(b), pos.st.ep));
    for (Bitboard b = knight_attacks[csq] & pos.knights() & free_pieces; b;)
        add(out, make_move_word(pop_lsb(b), csq, KNIGHT, pos.square[csq]));
    for (Bitboard b = bishop_attacks(csq, occ) & pos.bishops() & free_pieces; b;)
        add(out, make_move_word(pop_lsb(b), csq, BISHOP, pos.square[csq]));
    for (Bitboard b = rook_attacks(csq, occ) & pos.rooks() & free_pieces; b;)
        add(out, make_move_word(pop_lsb(b), csq, ROOK, pos.square[csq]));
    for (Bitboard b = queen_attacks(csq, occ) & pos.queens() & free_pieces; b;)
        add(out, make_move_word(pop_lsb(b), csq, QUEEN, pos.square[csq]));

    const int ct = pos.square[csq];
    if (ct != BISHOP && ct != ROOK && ct != QUEEN) return finish(list, out);

    // The squares between checker and king are empty.
    const Bitboard block = between[csq][k];
    const Bitboard pawns = pos.pawns() & free_pieces;
    const Bitboard empty = ~occ;
    const int forward = us == WHITE ? 8 : -8;
    for (Bitboard b = shift_forward(us, pawns, 8) & block; b;) {
        int to = pop_lsb(b), from = to - forward;
        if (bit(from) & SEVENTH_RANK[us])
            add_promotions(out, from, to, EMPTY);
        else
            add(out, make_pawn_move(from, to));
    }
    Bitboard start = pawns & START_RANK[us];
    for (Bitboard b = shift_forward(us, shift_forward(us, start, 8) & empty, 8) & block; b;) {
        int to = pop_lsb(b);
        add(out, make_double_push(to - 2 * forward, to));
    }
    for (Bitboard b = pos.knights() & free_pieces; b;) {
        int from = pop_lsb(b);
        add_quiets_to_set(out, from, KNIGHT, knight_attacks[from] & block);
    }
    for (Bitboard b = pos.bishops() & free_pieces; b;) {
        int from = pop_lsb(b);
        add_quiets_to_set(out, from, BISHOP, bishop_attacks(from, occ) & block);
    }
    for (Bitboard b = pos.rooks() & free_pieces; b;) {
        int from = pop_lsb(b);
        add_quiets_to_set(out, from, ROOK, rook_attacks(from, occ) & block);
    }
    for (Bitboard b = pos.queens() & free_pieces; b;) {
        int from = pop_lsb(b);
        add_quiets_to_set(out, from, QUEEN, queen_attacks(from, occ) & block);
    }
    finish(list, out);
}
