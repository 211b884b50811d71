// King safety: the pawn shelter, and an attack-units count that grows
// quadratically once two or more enemy pieces bear on the king's zone.
#include "board/tables.h"
#include "eval/eval_terms.h"

namespace {

constexpr int SHELTER_WEIGHT_MG = 12;
constexpr int QUEEN_CONTACT_TO_MOVE = 6, QUEEN_CONTACT_WAITING = 3;
constexpr int QUEEN_SAFE_CHECK = 2, PIECE_SAFE_CHECK = 1;
constexpr int DISCOVERED_THREAT = 3;
constexpr int ATTACK_UNITS_DIVISOR = 20;

constexpr int ATTACKER_SHIFT = 20, WEIGHT_SHIFT = 10, FIELD_MASK = 1023;

inline int attack_flag(int us) { return us == WHITE ? MAT_WHITE_ATTACKS : MAT_BLACK_ATTACKS; }

// Enemy pieces (pawns aside) standing between the king and an enemy slider
// on the same line: moving one away uncovers an attack on the king.
int discovered_threats(const Position& pos, int us, int ksq) {
    const int them = us ^ 1;
    const Bitboard straight = (pos.rooks() | pos.queens()) & pos.color[them];
    const Bitboard diagonal = (pos.bishops() | pos.queens()) & pos.color[them];
    // The sliders on the king's lines are few: each is tested for a single
    // piece between, without looking along the lines.
    Bitboard snipers = (rook_attacks(ksq, 0) & straight) | (bishop_attacks(ksq, 0) & diagonal);
    const Bitboard unmaskers = pos.color[them] & ~pos.pawns();
    int count = 0;
    while (snipers) {
        const Bitboard b = between[ksq][pop_lsb(snipers)] & pos.occupied;
        if (b && !more_than_one(b) && (b & unmaskers)) ++count;
    }
    return count;
}

}  // namespace

template <int Us>
void eval_king_safety(const Position& pos, EvalInfo& info) {
    constexpr int us = Us, them = Us ^ 1;
    // Without a queen and a partner the enemy cannot mount a real attack.
    if (!(info.mat_flags & attack_flag(them))) return;
    const int ksq = pos.king_sq[us];
    const PawnEntry& entry = *info.pawn_entry;

    // A king that may still castle is judged partly by the shelter it could reach.
    const int wing = king_wing(ksq);
    auto cover = [&](int w) { return entry.shelter[us][w] + entry.storm[us][w]; };
    const int here = cover(wing);
    int best = here;
    if (pos.st.castle & (us == WHITE ? CASTLE_WQ : CASTLE_BQ)) best = std::min(best, cover(0));
    if (pos.st.castle & (us == WHITE ? CASTLE_WK : CASTLE_BK)) best = std::min(best, cover(2));
    info.mg[us] -= SHELTER_WEIGHT_MG * ((here + best) / 2);

    const int count = info.king_attack_count[us];
    const int attackers = count >> ATTACKER_SHIFT;
    if (attackers <= 1 || (count & FIELD_MASK) == 0) return;

    const Bitboard zone = info.king_zone[us];
    const Bitboard defended = info.attacks[PAWN][us] | info.attacks[KNIGHT][us] | info.attacks[BISHOP][us] |
                              info.attacks[ROOK][us] | info.attacks[QUEEN][us];
    int units = popcount(zone & info.all_attacks[them] & ~defended);
    units += entry.shelter[us][wing];
    units += king_exposure[us][ksq];
    units += (count & FIELD_MASK) + attackers * ((count >> WEIGHT_SHIFT) & FIELD_MASK) / 2;

    // A supported queen next to the king threatens mate at once.
    const Bitboard backed = info.attacks[PAWN][them] | info.attacks[KNIGHT][them] |
                            info.attacks[BISHOP][them] | info.attacks[ROOK][them] | info.attacks[KING][them];
    const Bitboard contact = zone & info.attacks[QUEEN][them] & backed & ~defended;
    units += popcount(contact) * (pos.side == them ? QUEEN_CONTACT_TO_MOVE : QUEEN_CONTACT_WAITING);

    // Checks the enemy could give from squares we do not cover.
    const Bitboard safe = ~info.all_attacks[us] & ~pos.color[them];
    const Bitboard rook_checks = rook_attacks(ksq, pos.occupied) & safe;
    const Bitboard bishop_checks = bishop_attacks(ksq, pos.occupied) & safe;
    units += QUEEN_SAFE_CHECK * popcount((rook_checks | bishop_checks) & info.attacks[QUEEN][them]);
    units += PIECE_SAFE_CHECK * (popcount(rook_checks & info.attacks[ROOK][them]) +
                                 popcount(bishop_checks & info.attacks[BISHOP][them]) +
                                 popcount(knight_attacks[ksq] & safe & info.attacks[KNIGHT][them]));

    units += DISCOVERED_THREAT * discovered_threats(pos, us, ksq);

    info.mg[us] -= pos.params->king_attack_level * units * units / ATTACK_UNITS_DIVISOR;
}

template void eval_king_safety<WHITE>(const Position& pos, EvalInfo& info);
template void eval_king_safety<BLACK>(const Position& pos, EvalInfo& info);
