// Passed pawns: a base by rank, then an endgame extra for king proximity,
// a free or defended path, and pawns that no piece can stop any more.
#include "eval/eval_terms.h"

namespace {

constexpr int PASSED_MG = 20, PASSED_RANK_MG = 120;
constexpr int PASSED_EG = 10, PASSED_RANK_EG = 60;
constexpr int ENEMY_KING_DISTANCE = 40, OWN_KING_DISTANCE = -20;
constexpr int UNSTOPPABLE = 800;
constexpr int PATH_FREE_AND_OURS = 80, PATH_UNCONTESTED = 70, PATH_COVERED = 60, PATH_FREE = 40;
constexpr int PATH_BLOCKED_COVERED = 10;
constexpr int PATH_NO_OWN_PIECE = 10;
constexpr int PAWN_PROTECTED = 10, STOP_PROTECTED = 15;

// Against bare king and pawns: the pawn outruns the king (the rule of the
// square, a pawn at home counting its double step), or its own king escorts
// it from beside the promotion square. A rook's pawn with the king on the
// same file can be blockaded in the corner.
bool is_unstoppable(const Position& pos, int us, int sq, Bitboard path) {
    const int them = us ^ 1;
    const int promotion = make_square(file_of(sq), us == WHITE ? 7 : 0);
    const int own_king = pos.king_sq[us];
    if (!(path & pos.occupied)) {
        const int pawn_steps = std::min(5, 7 - relative_rank(us, sq));
        const int tempo = pos.side == us ? 0 : 1;
        if (distance(pos.king_sq[them], promotion) > pawn_steps + tempo) return true;
    }
    const bool edge_file_pair = file_of(own_king) == file_of(sq) && (file_of(sq) == 0 || file_of(sq) == 7);
    return distance(own_king, promotion) <= 1 && distance(own_king, sq) == 1 && !edge_file_pair;
}

int path_bonus(const Position& pos, const EvalInfo& info, int us, Bitboard path) {
    const int them = us ^ 1;
    const Bitboard attacked = path & info.all_attacks[them];
    const Bitboard defended = path & info.all_attacks[us];
    int bonus = 0;
    if (!(path & pos.color[them])) {
        if (!attacked)
            bonus += defended == path ? PATH_FREE_AND_OURS : PATH_UNCONTESTED;
        else
            bonus += (attacked & ~defended) ? PATH_FREE : PATH_COVERED;
    } else if (!((attacked | (path & pos.color[them])) & ~defended)) {
        bonus += PATH_BLOCKED_COVERED;
    }
    if (!(path & pos.color[us])) bonus += PATH_NO_OWN_PIECE;
    return bonus;
}

}  // namespace

template <int Us>
void eval_passed(const Position& pos, EvalInfo& info) {
    constexpr int us = Us, them = Us ^ 1;
    const bool enemy_has_pieces = pos.color[them] & ~pos.pawns() & ~pos.kings();
    Bitboard passed = info.pawn_entry->passed & pos.pieces_of(us, PAWN);
    while (passed) {
        const int sq = pop_lsb(passed);
        const int rank = relative_rank(us, sq);
        if (rank == 7) continue;  // only in positions the engine refuses to play
        const int b = passed_rank_bonus[rank];
        info.mg[us] += PASSED_MG + b * PASSED_RANK_MG / 128;
        info.eg[us] += PASSED_EG + b * PASSED_RANK_EG / 128;

        const int ahead = square_ahead(us, sq);
        int extra = ENEMY_KING_DISTANCE * distance(pos.king_sq[them], ahead) +
                    OWN_KING_DISTANCE * distance(pos.king_sq[us], ahead);
        const Bitboard path = span_forward(us, bit(sq));
        if (!enemy_has_pieces && is_unstoppable(pos, us, sq, path))
            extra += UNSTOPPABLE;
        else
            extra += path_bonus(pos, info, us, path);
        if (info.attacks[PAWN][us] & bit(sq)) extra += PAWN_PROTECTED;
        if (info.attacks[PAWN][us] & bit(ahead)) extra += STOP_PROTECTED;
        info.eg[us] += extra * b / 128;
    }
}

template void eval_passed<WHITE>(const Position& pos, EvalInfo& info);
template void eval_passed<BLACK>(const Position& pos, EvalInfo& info);
