// Static exchange evaluation by swap list: both sides recapture on the target
// square with their least valuable attacker; x-rays join through vacated
// squares by looking outward from them on the unchanged occupancy.
#include "board/tables.h"
#include "movegen/movegen.h"

const int SEE_VALUE[8] = {0, 100, 325, 325, 500, 975, 10000, 0};

namespace {

constexpr int PROMOTION_GAIN = 875;  // a queen for the pawn
constexpr int PROMOTED_VALUE = 975;
constexpr int KING_VALUE = 10000;

// The first slider of either colour beyond `s` as seen from `to`, kept only
// if it moves along that line.
inline Bitboard slider_behind(const Position& pos, int to, int s) {
    int d = direction[to][s];
    if (d == 0) return 0;
    Bitboard occ = pos.occupied;
    Bitboard beyond;
    if (d == 1 || d == -1)
        beyond = rank_attacks(s, occ) & ray[direction_index(d)][s] & (pos.rooks() | pos.queens());
    else if (d == 8 || d == -8)
        beyond = file_attacks(s, occ) & ray[direction_index(d)][s] & (pos.rooks() | pos.queens());
    else if (d == 9 || d == -9)
        beyond = diag_attacks(s, occ) & ray[direction_index(d)][s] & (pos.bishops() | pos.queens());
    else
        beyond = anti_diag_attacks(s, occ) & ray[direction_index(d)][s] & (pos.bishops() | pos.queens());
    return beyond;
}

inline bool on_seventh(int side, int sq) { return relative_rank(side, sq) == 6; }

}  // namespace

int see(const Position& pos, Move move) {
    const int from = move_from(move), to = move_to(move);
    const int piece = move_piece(move), captured = move_captured(move);
    const int us = pos.side;
    int gain[32];

    Bitboard attackers = attackers_of(pos, to, pos.occupied);
    // A push does not attack its destination, so its origin is not an attacker.
    if (!(piece == PAWN && captured == EMPTY)) attackers &= ~bit(from);

    int on_square;
    if (piece == PAWN && on_seventh(us, from)) {
        gain[0] = SEE_VALUE[captured] + PROMOTION_GAIN;
        on_square = SEE_VALUE[move_promotion(move)];
    } else {
        gain[0] = SEE_VALUE[captured];
        on_square = SEE_VALUE[piece];
    }
    if (piece != KING) attackers |= slider_behind(pos, to, from);
    if (is_ep(move)) attackers |= slider_behind(pos, to, us == WHITE ? to - 8 : to + 8);

    int n = 1, side = us ^ 1;
    while (n < 32) {
        Bitboard mine = attackers & pos.color[side];
        if (!mine) break;
        int t = PAWN;
        Bitboard candidates = 0;
        for (; t <= KING; ++t)
            if ((candidates = mine & pos.pieces[t])) break;
        int s = bitscan(candidates);
        int g = on_square - gain[n - 1];
        if (on_square == KING_VALUE) {
            // The king stands on an attacked square: capturing into it is never chosen.
            gain[n++] = g;
            break;
        }
        if (t == PAWN && on_seventh(side, s)) {
            gain[n] = g + PROMOTION_GAIN;
            on_square = PROMOTED_VALUE;
        } else {
            gain[n] = g;
            on_square = SEE_VALUE[t];
        }
        if (t != KING) attackers |= slider_behind(pos, to, s);
        attackers &= ~bit(s);
        ++n;
        side ^= 1;
        if (!attackers) break;
    }
    for (int i = n - 1; i >= 1; --i)
        if (-gain[i - 1] < gain[i]) gain[i - 1] = -gain[i];
    return gain[0];
}
