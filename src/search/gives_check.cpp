// Whether a move checks the enemy king, decided before the move is made.
#include "board/tables.h"
#include "search/search.h"

bool gives_check(const Position& pos, Move move, Bitboard candidates) {
    const int us = pos.side;
    const int k = pos.king_sq[us ^ 1];
    const int f = move_from(move), t = move_to(move);
    const Bitboard occ = pos.occupied;

    switch (move_piece(move)) {
        case KNIGHT: return (candidates & bit(f)) || (knight_attacks[k] & bit(t));
        case BISHOP: return (candidates & bit(f)) || (bishop_attacks(k, occ) & bit(t));
        case ROOK: return (candidates & bit(f)) || (rook_attacks(k, occ) & bit(t));
        case QUEEN: return (candidates & bit(f)) || (queen_attacks(k, occ) & bit(t));
        case PAWN: {
            if (pawn_attacks[t][us] & bit(k)) return true;
            if ((candidates & bit(f)) && direction[k][f] != direction[k][t]) return true;
            const Bitboard occ2 = occ ^ bit(f) ^ bit(t);
            if (is_promotion(move)) {
                switch (move_promotion(move)) {
                    case KNIGHT: return (knight_attacks[k] & bit(t)) != 0;
                    case BISHOP: return (bishop_attacks(k, occ2) & bit(t)) != 0;
                    case ROOK: return (rook_attacks(k, occ2) & bit(t)) != 0;
                    default: return (queen_attacks(k, occ2) & bit(t)) != 0;
                }
            }
            if (is_ep(move)) {
                const Bitboard occ3 = occ2 ^ bit(make_square(file_of(t), rank_of(f)));
                const Bitboard own = pos.color[us];
                return (rook_attacks(k, occ3) & (pos.rooks() | pos.queens()) & own) ||
                       (bishop_attacks(k, occ3) & (pos.bishops() | pos.queens()) & own);
            }
            return false;
        }
        default: {  // king
            if (is_castle(move)) {
                // Both pieces on their destinations; the rook checks along its rank or file.
                const int index = castling_index(t);
                const int rook_from = pos.castling[index].rook_from, rook_to = CASTLING_ROOK_TO[index];
                const Bitboard occ2 = (occ ^ bit(f) ^ bit(rook_from)) | bit(t) | bit(rook_to);
                return (rook_attacks(k, occ2) & bit(rook_to)) != 0;
            }
            return (candidates & bit(f)) && direction[k][f] != direction[k][t];
        }
    }
}
