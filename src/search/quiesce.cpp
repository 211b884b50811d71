// Quiescence: captures (and quiet checks at the first ply) until the position
// is quiet enough to trust its evaluation. No table, no history, no killers.
#include <algorithm>

#include "board/tables.h"
#include "eval/eval.h"
#include "movegen/movegen.h"
#include "movegen/picker.h"
#include "search/node.h"

namespace {

constexpr Bitboard CORNERS = (1ULL << A1) | (1ULL << H1) | (1ULL << A8) | (1ULL << H8);

// Delta pruning margins above the threshold: what capturing a pawn, a minor
// piece or a rook can recover at most.
constexpr int DELTA_PAWN = 100;
constexpr int DELTA_MINOR = 325;
constexpr int DELTA_ROOK = 500;

using node::stopped;

// The common prologue; returns true when the node must return `result` at once.
bool prologue(Position& pos, SearchInfo& info, Move* pv, int& result) {
    pv[pos.ply] = 0;
    node::count(pos, info);
    result = 0;
    if (stopped(info)) return true;
    info.seldepth = std::max(info.seldepth, pos.ply);
    if (is_repetition(pos)) return true;
    if (node::too_deep(pos)) {
        result = evaluate(pos);
        return true;
    }
    return false;
}

// A bare king (pawns aside) boxed into a corner is as good as stalemated.
bool bare_king_in_corner(const Position& pos) {
    const int us = pos.side, k = pos.king_sq[us];
    if (pos.color[us] & ~pos.pawns() & ~pos.kings()) return false;
    if (!(CORNERS & bit(k))) return false;
    for (Bitboard b = king_attacks[k]; b;)
        if (!squares_attacked(pos, us ^ 1, bit(pop_lsb(b)))) return false;
    return true;
}

// The move loop of both quiescence nodes: a checking move is answered by the
// in-check node at the same quiescence depth, any other by a capture node one
// ply deeper. Returns the best score (at least `best`), a value of beta or
// more at a cut-off, and 0 when stopped; `tried` counts the moves searched.
int search_moves(Position& pos, SearchInfo& info, MoveList& list, int alpha, int beta, int qdepth, int best,
                 Move* pv, int& tried) {
    const Bitboard candidates = discovered_check_candidates(pos, pos.side);
    Move child_pv[MAX_PLY];
    UndoRecord undo;
    tried = 0;
    while (const ScoredMove* entry = next_move(pos, list, info)) {
        const Move move = entry->move;
        const bool g = gives_check(pos, move, candidates);
        ++tried;
        make_move(pos, undo, move);
        const int value = g ? -quiesce_evasion(pos, info, -beta, -alpha, qdepth, child_pv)
                            : -quiesce(pos, info, -beta, -alpha, qdepth - 1, child_pv);
        unmake_move(pos, undo);
        if (stopped(info)) return 0;
        if (value > best) {
            best = value;
            update_pv(pv, child_pv, move, pos.ply);
            if (value > alpha) {
                alpha = value;
                if (value >= beta) return value;
            }
        }
    }
    return best;
}

}  // namespace

int quiesce(Position& pos, SearchInfo& info, int alpha, int beta, int qdepth, Move* pv) {
    int early;
    if (prologue(pos, info, pv, early)) return early;
    if (bare_king_in_corner(pos)) return 0;

    const int us = pos.side, them = us ^ 1;
    const EngineParams& params = *pos.params;
    const int e = evaluate(pos);
    int best = e;
    if (e > alpha) {
        if (e >= beta) return e;
        alpha = e;
    }

    // Delta pruning: far below alpha, captures that cannot recover the deficit
    // are not even generated.
    Bitboard target = pos.color[them] & ~pos.kings();
    if (e <= alpha && params.delta_pruning && alpha + 1 == beta) {
        const int T = params.delta_threshold;
        if (e < alpha - T - DELTA_PAWN) {
            const Bitboard promoting_rank = them == WHITE ? rank_bb(6) : rank_bb(1);
            target &= ~(pos.pieces_of(them, PAWN) & ~promoting_rank);
            if (e < alpha - T - DELTA_MINOR && more_than_one(target)) {
                const Bitboard own_seventh = us == WHITE ? rank_bb(6) : rank_bb(1);
                const Bitboard promotion_captures = pawn_attack_set(us, pos.pieces_of(us, PAWN) & own_seventh);
                target &= ~((pos.pieces_of(them, KNIGHT) | pos.pieces_of(them, BISHOP)) & ~promotion_captures);
                if (e < alpha - T - DELTA_ROOK) target &= ~(pos.pieces_of(them, ROOK) & ~promotion_captures);
            }
        }
    }

    MoveList list;
    picker_init(list, qdepth < 0 ? SEQ_QSEARCH : SEQ_QSEARCH_CHECKS, info.hash_move[pos.ply], info.killer1[pos.ply],
                info.killer2[pos.ply], pos.ply, qdepth, us, pinned_pieces(pos), target);
    int tried;
    return search_moves(pos, info, list, alpha, beta, qdepth, best, pv, tried);
}

int quiesce_evasion(Position& pos, SearchInfo& info, int alpha, int beta, int qdepth, Move* pv) {
    int early;
    if (prologue(pos, info, pv, early)) return early;

    const int us = pos.side;
    MoveList list;
    picker_init(list, SEQ_EVASION, info.hash_move[pos.ply], info.killer1[pos.ply], info.killer2[pos.ply], pos.ply,
                qdepth, us, pinned_pieces(pos), pos.color[us ^ 1] & ~pos.kings());
    int tried;
    int best = search_moves(pos, info, list, alpha, beta, qdepth, -MATE, pv, tried);
    return tried || stopped(info) ? best : pos.ply - MATE;
}
