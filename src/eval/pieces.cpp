// Piece activity (mobility, outposts, rook files, the seventh rank) and the
// attack boards that the threat, king-safety and passed-pawn terms share.
#include "board/tables.h"
#include "eval/eval_terms.h"

namespace {

constexpr int KNIGHT_MOBILITY_MG = 6, KNIGHT_MOBILITY_EG = 8;
constexpr int BISHOP_MOBILITY = 5;
constexpr int ROOK_MOBILITY_MG = 3, ROOK_MOBILITY_EG = 2;
constexpr int QUEEN_MOBILITY = 2;

// Weight of a piece that reaches the enemy king's extended zone.
constexpr int KING_ATTACK_WEIGHT[8] = {0, 0, 2, 2, 3, 5, 0, 0};

constexpr int ROOK_HALF_OPEN_MG = 10;
constexpr int ROOK_OPEN_MG = 20, ROOK_OPEN_EG = 20;  // on top of the half-open bonus
constexpr int ROOK_HALF_OPEN_EG = 10;                // an enemy pawn still blocks the file
constexpr int ROOK_KING_FILE_MG = 30, ROOK_KING_NEXT_FILE_MG = 10;
constexpr int ROOK_SEVENTH_MG = 20, ROOK_SEVENTH_EG = 40;
constexpr int QUEEN_SEVENTH_MG = 10, QUEEN_SEVENTH_EG = 20;

constexpr Bitboard FILES_C_TO_F = 0x3CULL * 0x0101010101010101ULL;
// Outposts lie in the enemy half, where a piece presses on the enemy camp.
constexpr Bitboard OUTPOST_ZONE[2] = {(rank_bb(4) | rank_bb(5)) & FILES_C_TO_F,
                                      (rank_bb(2) | rank_bb(3)) & FILES_C_TO_F};
// A heavy piece on the seventh attacks pawns still at home or cuts the king off on the eighth.
constexpr Bitboard RANK_7[2] = {rank_bb(6), rank_bb(1)};
constexpr Bitboard RANK_8[2] = {rank_bb(7), rank_bb(0)};

inline int attack_flag(int us) { return us == WHITE ? MAT_WHITE_ATTACKS : MAT_BLACK_ATTACKS; }

// Counts a piece against the enemy king when its attacks reach the king's
// extended zone: one attacker, its weight, and the zone squares it hits.
inline void add_king_attacker(EvalInfo& info, int them, Bitboard attacks, int type) {
    if (attacks & info.king_zone_ext[them])
        info.king_attack_count[them] +=
            (1 << 20) + (KING_ATTACK_WEIGHT[type] << 10) + popcount(attacks & info.king_zone[them]);
}

// The outpost squares are those of the zone that no enemy pawn can ever
// attack: a piece there can only be driven off by an enemy piece. The bonus
// grows when an own pawn defends the square (an exchange then brings a pawn
// onto it) and again when the enemy has neither a knight nor a bishop of the
// square's colour, so that nothing can trade the piece off at all.
int outpost_bonus(const Position& pos, const EvalInfo& info, int us, int sq, int base) {
    const int them = us ^ 1;
    if (!(OUTPOST_ZONE[us] & bit(sq)) || (info.pawn_attack_span[them] & bit(sq))) return 0;
    if (!(info.attacks[PAWN][us] & bit(sq))) return base;
    const Bitboard same_colour = (LIGHT_SQUARES & bit(sq)) ? LIGHT_SQUARES : ~LIGHT_SQUARES;
    if (!pos.pieces_of(them, KNIGHT) && !(pos.pieces_of(them, BISHOP) & same_colour)) return 3 * base;
    return 2 * base;
}

bool on_seventh_with_targets(const Position& pos, int us, int sq) {
    const int them = us ^ 1;
    return (RANK_7[us] & bit(sq)) &&
           ((pos.pieces_of(them, PAWN) & RANK_7[us]) || (pos.pieces_of(them, KING) & RANK_8[us]));
}

}  // namespace

template <int Us>
void eval_pieces(const Position& pos, EvalInfo& info) {
    constexpr int us = Us, them = Us ^ 1;
    // Squares a piece could go to without landing on its own man or under a pawn's capture.
    const Bitboard mobility_area = ~pos.color[us] & ~info.attacks[PAWN][them];
    const Bitboard own_queens = pos.pieces_of(us, QUEEN);
    int mg = 0, eg = 0;

    for (Bitboard b = pos.pieces_of(us, KNIGHT); b;) {
        const int sq = pop_lsb(b);
        const Bitboard attacks = knight_attacks[sq];
        info.attacks[KNIGHT][us] |= attacks;
        add_king_attacker(info, them, attacks, KNIGHT);
        const int mobility = popcount(attacks & mobility_area);
        mg += KNIGHT_MOBILITY_MG * mobility;
        eg += KNIGHT_MOBILITY_EG * mobility;
        mg += outpost_bonus(pos, info, us, sq, pst[us][KNIGHT][sq][0] / 2);
    }

    for (Bitboard b = pos.pieces_of(us, BISHOP); b;) {
        const int sq = pop_lsb(b);
        // The bishop looks through its own queen: the battery hits the same squares.
        const Bitboard attacks = bishop_attacks(sq, pos.occupied & ~own_queens);
        info.attacks[BISHOP][us] |= attacks;
        add_king_attacker(info, them, attacks, BISHOP);
        const int mobility = popcount(attacks & mobility_area);
        mg += BISHOP_MOBILITY * mobility;
        eg += BISHOP_MOBILITY * mobility;
        mg += outpost_bonus(pos, info, us, sq, pst[us][KNIGHT][sq][0] / 3);
    }

    const Bitboard own_pawns = pos.pieces_of(us, PAWN), enemy_pawns = pos.pieces_of(them, PAWN);
    for (Bitboard b = pos.pieces_of(us, ROOK); b;) {
        const int sq = pop_lsb(b);
        // Doubled rooks and a queen behind them act as one battery.
        const Bitboard attacks = rook_attacks(sq, pos.occupied & ~own_queens & ~pos.pieces_of(us, ROOK));
        info.attacks[ROOK][us] |= attacks;
        add_king_attacker(info, them, attacks, ROOK);
        const int mobility = popcount(attacks & mobility_area);
        mg += ROOK_MOBILITY_MG * mobility;
        eg += ROOK_MOBILITY_EG * mobility;

        const Bitboard file = file_bb(file_of(sq));
        if (!(file & own_pawns)) {
            mg += ROOK_HALF_OPEN_MG;
            if (!(file & enemy_pawns)) {
                mg += ROOK_OPEN_MG;
                eg += ROOK_OPEN_EG;
            } else {
                eg += ROOK_HALF_OPEN_EG;
            }
            // A file leading to the king matters only when there is material to attack it with.
            if (info.mat_flags & attack_flag(us)) {
                const int file_gap = std::abs(file_of(pos.king_sq[them]) - file_of(sq));
                if (file_gap == 0)
                    mg += ROOK_KING_FILE_MG;
                else if (file_gap == 1)
                    mg += ROOK_KING_NEXT_FILE_MG;
            }
        }
        if (on_seventh_with_targets(pos, us, sq)) {
            mg += ROOK_SEVENTH_MG;
            eg += ROOK_SEVENTH_EG;
        }
    }

    for (Bitboard b = own_queens; b;) {
        const int sq = pop_lsb(b);
        const Bitboard attacks = queen_attacks(sq, pos.occupied);
        info.attacks[QUEEN][us] |= attacks;
        add_king_attacker(info, them, attacks, QUEEN);
        const int mobility = popcount(attacks & mobility_area);
        mg += QUEEN_MOBILITY * mobility;
        eg += QUEEN_MOBILITY * mobility;
        if (on_seventh_with_targets(pos, us, sq)) {
            mg += QUEEN_SEVENTH_MG;
            eg += QUEEN_SEVENTH_EG;
        }
    }

    info.mg[us] += mg;
    info.eg[us] += eg;
}

template void eval_pieces<WHITE>(const Position& pos, EvalInfo& info);
template void eval_pieces<BLACK>(const Position& pos, EvalInfo& info);
