// Attack queries, pins, the two legality tests and the legal move list.
#include "board/tables.h"
#include "movegen/gen_common.h"
#include "movegen/movegen.h"

bool squares_attacked(const Position& pos, int by, Bitboard set) {
    const Bitboard occ = pos.occupied, theirs = pos.color[by];
    const Bitboard rooks_queens = (pos.rooks() | pos.queens()) & theirs;
    const Bitboard bishops_queens = (pos.bishops() | pos.queens()) & theirs;
    while (set) {
        int s = pop_lsb(set);
        if ((rook_attacks(s, occ) & rooks_queens) || (bishop_attacks(s, occ) & bishops_queens) ||
            (knight_attacks[s] & pos.knights() & theirs) || (king_attacks[s] & pos.kings() & theirs) ||
            (pawn_attacks[s][by ^ 1] & pos.pawns() & theirs))
            return true;
    }
    return false;
}

Bitboard attackers_of(const Position& pos, int sq, Bitboard occ) {
    return (pawn_attacks[sq][BLACK] & pos.pieces_of(WHITE, PAWN)) |
           (pawn_attacks[sq][WHITE] & pos.pieces_of(BLACK, PAWN)) | (knight_attacks[sq] & pos.knights()) |
           (king_attacks[sq] & pos.kings()) | (bishop_attacks(sq, occ) & (pos.bishops() | pos.queens())) |
           (rook_attacks(sq, occ) & (pos.rooks() | pos.queens()));
}

bool in_check(const Position& pos) {
    return squares_attacked(pos, pos.side ^ 1, bit(pos.king_sq[pos.side]));
}

namespace {

// Pieces of `blockers_of` standing alone between the king on k and a slider
// of colour `sliders_of` on its line: pins when both colours are the king's
// side's, discovered-check candidates when the sliders are the blockers'.
// The sliders on the king's lines are few: each is tested for a single piece
// between, without looking along the lines.
Bitboard line_blockers(const Position& pos, int k, int sliders_of, int blockers_of) {
    const Bitboard occ = pos.occupied;
    Bitboard snipers = ((rook_attacks(k, 0) & (pos.rooks() | pos.queens())) |
                        (bishop_attacks(k, 0) & (pos.bishops() | pos.queens()))) &
                       pos.color[sliders_of];
    Bitboard result = 0;
    while (snipers) {
        const Bitboard b = between[pop_lsb(snipers)][k] & occ;
        if (b && !more_than_one(b)) result |= b;
    }
    return result & pos.color[blockers_of];
}

}  // namespace

Bitboard pinned_pieces(const Position& pos) {
    return line_blockers(pos, pos.king_sq[pos.side], pos.side ^ 1, pos.side);
}

Bitboard discovered_check_candidates(const Position& pos, int us) {
    return line_blockers(pos, pos.king_sq[us ^ 1], us, us);
}

bool is_legal_full(const Position& pos, Move move, Bitboard pinned) {
    const int us = pos.side, them = us ^ 1, k = pos.king_sq[us];
    const int from = move_from(move), to = move_to(move);
    if (is_castle(move)) return true;
    if (is_ep(move)) {
        int cap = make_square(file_of(to), rank_of(from));
        Bitboard occ2 = (pos.occupied ^ bit(from) ^ bit(cap)) | bit(to);
        Bitboard theirs = pos.color[them];
        return !(rook_attacks(k, occ2) & (pos.rooks() | pos.queens()) & theirs) &&
               !(bishop_attacks(k, occ2) & (pos.bishops() | pos.queens()) & theirs);
    }
    if (move_piece(move) != KING) return !(pinned & bit(from)) || direction[from][k] == direction[to][k];
    return !squares_attacked(pos, them, bit(to));
}

bool is_valid_move(const Position& pos, Move move, Bitboard pinned) {
    if (move == NO_MOVE) return false;
    const int piece = move_piece(move), captured = move_captured(move);
    if (piece < PAWN || piece > KING || captured > QUEEN || move_promotion(move) > QUEEN) return false;
    const int us = pos.side, them = us ^ 1;
    const int from = move_from(move), to = move_to(move);
    if (pos.square[from] != piece || !(pos.color[us] & bit(from))) return false;

    if (is_ep(move)) {
        int behind = us == WHITE ? to - 8 : to + 8;
        return to == pos.st.ep && pos.square[behind] == PAWN && (pos.color[them] & bit(behind)) &&
               is_legal(pos, move, pinned);
    }

    if (is_castle(move)) {
        if (relative_rank(us, to) != 0 || (file_of(to) != 6 && file_of(to) != 2)) return false;
        const int index = castling_index(to);
        return move == make_castle_move(from, to) && from == pos.castling[index].king_from && gen::can_castle(pos, index);
    }

    if (captured != pos.square[to]) return false;
    if (captured && !(pos.color[them] & bit(to))) return false;
    // Flags that belong to other kinds of move make the word foreign here.
    if ((move & DOUBLE_PUSH_FLAG) && piece != PAWN) return false;
    if (is_promotion(move) != (move_promotion(move) != 0)) return false;

    if (piece == PAWN) {
        const int dir = us == WHITE ? 8 : -8, d = to - from;
        if (!captured) {
            bool single = d == dir;
            bool dbl = d == 2 * dir && relative_rank(us, from) == 1 && pos.square[from + dir] == EMPTY;
            if (!single && !dbl) return false;
            if (dbl != is_double_push(move)) return false;
        } else {
            if (d != dir - 1 && d != dir + 1) return false;
            if (file_of(from) == file_of(to) || (file_of(from) - file_of(to)) * (file_of(from) - file_of(to)) != 1)
                return false;
        }
        if ((move_promotion(move) != 0) != (relative_rank(us, to) == 7)) return false;
        return is_legal(pos, move, pinned);
    }

    if (move & (DOUBLE_PUSH_FLAG | PROMOTION_FLAG)) return false;
    Bitboard reach;
    switch (piece) {
        case KNIGHT: reach = knight_attacks[from]; break;
        case BISHOP: reach = bishop_attacks(from, pos.occupied); break;
        case ROOK: reach = rook_attacks(from, pos.occupied); break;
        case QUEEN: reach = queen_attacks(from, pos.occupied); break;
        default: reach = king_attacks[from]; break;
    }
    return (reach & bit(to)) && is_legal(pos, move, pinned);
}

void gen_legal_moves(const Position& pos, MoveList& list) {
    if (in_check(pos)) {
        gen_evasions(pos, list);
        return;
    }
    const Bitboard pinned = pinned_pieces(pos);
    // Captures are filtered in place; the quiet moves need a second list,
    // since every generator writes its batch from the first entry.
    const Bitboard saved_target = list.target;
    list.target = pos.color[pos.side ^ 1] & ~pos.kings();
    gen_captures(pos, list);
    list.target = saved_target;
    gen::MoveCursor out = list.moves;
    for (const ScoredMove *m = list.moves, *end = list.moves + list.count; m != end; ++m)
        if (is_legal(pos, m->move, pinned)) gen::add(out, m->move);
    MoveList quiets;
    gen_quiets(pos, quiets);
    for (const ScoredMove *m = quiets.moves, *end = quiets.moves + quiets.count; m != end; ++m)
        if (is_legal(pos, m->move, pinned)) gen::add(out, m->move);
    gen::finish(list, out);
}
