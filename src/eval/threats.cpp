// Threats: points for attacking enemy pieces that are worth more than the
// attacker or cannot be defended by a pawn, weighted by the two "Piece
// Attacks" options.
#include "eval/eval_terms.h"

namespace {

// Targets, in the order of the columns below.
enum : int { T_QUEEN, T_ROOK, T_BISHOP, T_KNIGHT, T_WEAK_PAWN, TARGET_KINDS };

// Points by attacker type (PAWN..QUEEN) and target kind; each counts once,
// however many targets of the kind are hit. A negative entry counts only for
// a target that no enemy pawn defends: a piece worth no more than its
// attacker is no real target while a pawn covers it.
constexpr int THREAT_POINTS[8][TARGET_KINDS] = {
    {},
    {16, 12, 8, 8, 0},   // pawns
    {12, 9, -6, 0, 3},   // knights
    {12, 9, 0, -6, 3},   // bishops
    {8, 0, -4, -4, 2},   // rooks
    {0, -3, -2, -2, 1},  // queens
    {},
    {},
};

// One cell of the table, resolved at compile time: a zero cell costs nothing
// and the others one test each, without a loop over the table.
template <int Attacker, int Kind>
inline int cell_points(const EvalInfo& info, int us, Bitboard targets, Bitboard unprotected) {
    constexpr int p = THREAT_POINTS[Attacker][Kind];
    if constexpr (p > 0)
        return (info.attacks[Attacker][us] & targets) ? p : 0;
    else if constexpr (p < 0)
        return (info.attacks[Attacker][us] & targets & unprotected) ? -p : 0;
    else
        return 0;
}

// One target kind's column; often the enemy has no target of the kind at all.
template <int Kind>
inline int kind_points(const EvalInfo& info, int us, Bitboard targets, Bitboard unprotected) {
    if (!targets) return 0;
    return cell_points<PAWN, Kind>(info, us, targets, unprotected) +
           cell_points<KNIGHT, Kind>(info, us, targets, unprotected) +
           cell_points<BISHOP, Kind>(info, us, targets, unprotected) +
           cell_points<ROOK, Kind>(info, us, targets, unprotected) +
           cell_points<QUEEN, Kind>(info, us, targets, unprotected);
}

}  // namespace

template <int Us>
void eval_threats(const Position& pos, EvalInfo& info) {
    constexpr int us = Us, them = Us ^ 1;
    const Bitboard enemy_pawns = pos.pieces_of(them, PAWN);
    // A weak pawn is loose, and its stop square is ours for good: it can never
    // advance under pawn cover nor be supported from behind.
    const Bitboard loose_stops = shift_forward(them, enemy_pawns & ~info.all_attacks[them], 8);
    const Bitboard weak_stops =
        loose_stops & (info.pawn_attack_span[us] | pos.pieces_of(us, PAWN)) & ~info.pawn_attack_span[them];
    const Bitboard unprotected = ~info.attacks[PAWN][them];

    const int points = kind_points<T_QUEEN>(info, us, pos.pieces_of(them, QUEEN), unprotected) +
                       kind_points<T_ROOK>(info, us, pos.pieces_of(them, ROOK), unprotected) +
                       kind_points<T_BISHOP>(info, us, pos.pieces_of(them, BISHOP), unprotected) +
                       kind_points<T_KNIGHT>(info, us, pos.pieces_of(them, KNIGHT), unprotected) +
                       kind_points<T_WEAK_PAWN>(info, us, shift_forward(us, weak_stops, 8), unprotected);
    info.mg[us] += pos.params->piece_attack_mg * points;
    info.eg[us] += pos.params->piece_attack_eg * points;
}

template void eval_threats<WHITE>(const Position& pos, EvalInfo& info);
template void eval_threats<BLACK>(const Position& pos, EvalInfo& info);
