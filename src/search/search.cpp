// The node searches: principal-variation nodes with a full window, zero-window
// nodes where null move, "Zero Pruning" and "Speculation" act, and in-check
// nodes searched without pruning. Stopping is a status: every routine unmakes
// its move and returns 0, and callers discard that value.
#include <algorithm>
#include <atomic>
#include <cstdint>

#include "board/tables.h"
#include "eval/eval.h"
#include "movegen/movegen.h"
#include "movegen/picker.h"
#include "search/node.h"

namespace {

constexpr int NULL_MOVE_MIN_DEPTH = 2;
constexpr int NULL_MOVE_MIN_PIECES = 3;  // king and two more non-pawn pieces: zugzwang is rare
constexpr int NULL_MOVE_R = 4;
constexpr int NULL_MOVE_R_LARGE = 5;
constexpr int NULL_MOVE_LARGE_MARGIN = 75;  // far above beta, the verification can be shallower

using node::stopped;

// Threads sharing the table mark the moves they are searching at nodes of
// this depth or more, and put off a move another thread has marked.
constexpr int DEFER_MIN_DEPTH = 3;
constexpr int MAX_DEFERRED = 32;
constexpr int BUSY_SLOTS = 1 << 13;

struct DeferredMove {
    Move move;
    int stage;
    int gives_check;
    int number;
};

// Node and move hashed together: a slot holds the upper half of the hash of
// a move some thread is searching (0: none). Collisions only defer a move.
std::atomic<std::uint32_t> busy_slots[BUSY_SLOTS];

// A thread's claim on a move it is about to search, unless another thread
// holds it; released when the search of the move ends.
class MoveClaim {
   public:
    MoveClaim(const Position& pos, Move move) {
        const std::uint64_t h = pos.st.hash ^ (std::uint64_t(move) * 0x9E3779B97F4A7C15ull);
        slot_ = &busy_slots[h & (BUSY_SLOTS - 1)];
        tag_ = std::uint32_t(h >> 32) | 1;
        claimed_ = slot_->load(std::memory_order_relaxed) != tag_;
        if (claimed_) slot_->store(tag_, std::memory_order_relaxed);
    }
    ~MoveClaim() {
        std::uint32_t tag = tag_;
        if (claimed_) slot_->compare_exchange_strong(tag, 0, std::memory_order_relaxed);
    }
    MoveClaim(const MoveClaim&) = delete;
    MoveClaim& operator=(const MoveClaim&) = delete;
    bool claimed() const { return claimed_; }

   private:
    std::atomic<std::uint32_t>* slot_;
    std::uint32_t tag_;
    bool claimed_;
};

// The entry steps the zero-window and in-check nodes share: count the node,
// stop, repetition, and a table bound deep enough to decide the node, or the
// endgame tables' result. True when the node returns `result` at once;
// `entry` is the table entry found, `tb` what the endgame tables leave open.
bool enter_zero_window(Position& pos, SearchInfo& info, Move* pv, int depth, int beta,
                       std::optional<TransEntry>& entry, node::TableBound& tb, int& result) {
    pv[pos.ply] = 0;
    info.hash_move[pos.ply] = 0;
    node::count(pos, info);
    result = 0;
    if (stopped(info)) return true;
    info.seldepth = std::max(info.seldepth, pos.ply);
    if (is_repetition(pos)) return true;
    if (pos.params->use_trans_table && (entry = tt_find(pos))) {
        info.hash_move[pos.ply] = tt_move(*entry);
        if (node::table_cutoff(*entry, depth, beta, result)) return true;
    }
    int bound;
    if (pos.params->tb_men && tb_probe_node(pos, info, depth, result, bound)) {
        node::store_tablebase(pos, depth, result, bound);
        // A won position's score is a floor: the search may still find a mate above it.
        if (bound == TB_EXACT || (bound == TB_LOWER) == (result >= beta)) return true;
        tb.set(result, bound);
    }
    return false;
}

inline Bitboard capture_targets(const Position& pos) { return pos.color[pos.side ^ 1] & ~pos.kings(); }

// The score the pruning rules of a zero-window node start from: a table
// bound when it says more than the evaluation could, else the evaluation.
int static_value(const Position& pos, const std::optional<TransEntry>& e) {
    if (!e) return evaluate(pos);
    const int lower = e->lower, upper = e->upper;
    if (e->lower_depth > e->upper_depth) {
        if (lower != -MATE) return lower;
        if (upper != MATE) return upper;
        return evaluate(pos);
    }
    if (e->upper_depth > e->lower_depth) {
        if (upper != MATE) return upper;
        if (lower != -MATE) return lower;
        return evaluate(pos);
    }
    if (lower == -MATE) return upper == MATE ? evaluate(pos) : upper;
    return upper != MATE && lower < upper ? upper : lower;
}

// A PV node below depth 1 exists only inside internal iterative deepening
// with a small "Internal Iterative Deepening Depth"; a checking move there
// leaves the opponent in check, which only the evasion quiescence handles.
int quiesce_at_pv(Position& pos, SearchInfo& info, int alpha, int beta, int gives_check, Move* pv) {
    return gives_check ? quiesce_evasion(pos, info, alpha, beta, 0, pv) : quiesce(pos, info, alpha, beta, 0, pv);
}

}  // namespace

void update_history(SearchInfo& info, Move move, int side, int depth, int ply) {
    int& counter = info.history[history_index(side, move)];
    counter += depth * depth;
    // Halving everything keeps every counter below the killer scores.
    if (counter > 16383)
        for (int& h : info.history) h = (h + 1) / 2;
    if (info.killer1[ply] != move) {
        info.killer2[ply] = info.killer1[ply];
        info.killer1[ply] = move;
    }
}

int pv_new_depth(const Position& pos, Move move, int gives_check, int depth) {
    if (gives_check) return depth;
    if (move_piece(move) == PAWN && relative_rank(pos.side, move_to(move)) == 6) return depth;
    // A recapture after the opponent took a piece keeps the exchange whole.
    if (move_captured(pos.st.last_move) >= KNIGHT &&
        (see(pos, move) >= 0 || popcount(pos.occupied & ~pos.pawns()) <= 7))
        return depth;
    return depth - 1;
}

int search_pv(Position& pos, SearchInfo& info, int alpha, int beta, int depth, int in_check, Move* pv) {
    assert(alpha < beta && pos.ply < MAX_PLY);
    const int ply = pos.ply;
    const EngineParams& params = *pos.params;
    pv[ply] = 0;
    info.hash_move[ply] = 0;
    check_limits_pv(pos, info);
    if (stopped(info)) return 0;
    info.seldepth = std::max(info.seldepth, ply);
    if (is_repetition(pos) || pos.st.fifty >= 100) return 0;

    // Bounds the node's value must keep: the tables' (a draw is exact, a win a
    // floor and a loss a ceiling) and, with threads sharing the table, those
    // another thread proved; the node searches on only when its window lies
    // within them.
    node::TableBound tb;
    int tb_value, tb_bound;
    if (params.use_trans_table)
        if (const auto e = tt_find(pos)) {
            info.hash_move[ply] = tt_move(*e);
            if (tt_shared() && node::shared_bound_decides(*e, depth, alpha, beta, tb, tb_value)) return tb_value;
        }
    if (params.tb_men && tb_probe_node(pos, info, depth, tb_value, tb_bound)) {
        node::store_tablebase(pos, depth, tb_value, tb_bound);
        if (tb_bound == TB_EXACT || (tb_bound == TB_LOWER && tb_value >= beta) ||
            (tb_bound == TB_UPPER && tb_value <= alpha))
            return tb_value;
        tb.set(tb_value, tb_bound);
    }
    if (node::too_deep(pos)) return tb.hold(evaluate(pos));

    const Bitboard pinned = pinned_pieces(pos);
    const Bitboard candidates = discovered_check_candidates(pos, pos.side);
    Move child_pv[MAX_PLY];

    // Internal iterative deepening: a shallower search supplies the move to try first.
    if (params.iid && info.hash_move[ply] == NO_MOVE && depth >= params.iid_depth) {
        int value = search_pv(pos, info, alpha, beta, depth - 2, in_check, pv);
        if (stopped(info)) return 0;
        if (value <= alpha) {
            search_pv(pos, info, -MATE, beta, depth - 2, in_check, pv);
            if (stopped(info)) return 0;
        }
        info.hash_move[ply] = pv[ply];
    }

    MoveList list;
    picker_init(list, in_check ? SEQ_EVASION : SEQ_SEARCH, info.hash_move[ply], info.killer1[ply],
                info.killer2[ply], ply, depth, pos.side, pinned, capture_targets(pos));
    const int alpha0 = alpha;
    int best = -MATE, count = 0;
    Move node_move = NO_MOVE;
    UndoRecord undo;

    while (const ScoredMove* entry = next_move(pos, list, info)) {
        const Move move = entry->move;
        const int stage = current_stage(list);
        const int g = gives_check(pos, move, candidates);
        const int d = pv_new_depth(pos, move, g, depth);
        make_move(pos, undo, move);
        ++count;
        int value;
        bool full_window = false;
        if (best == -MATE) {
            value = d < 1 ? -quiesce_at_pv(pos, info, -beta, -alpha, g, child_pv)
                          : -search_pv(pos, info, -beta, -alpha, d, g, child_pv);
        } else if (g) {
            value = -search_evasion(pos, info, -alpha, d, child_pv, NODE_CUT | NODE_NULL_OK);
            full_window = !stopped(info) && value > alpha;
        } else {
            if (d < 1)
                value = -quiesce(pos, info, -alpha - 1, -alpha, 0, child_pv);
            else {
                // "Speculation PV": late quiet moves are first searched one ply shallower.
                int r = d;
                if (d < depth && stage == STAGE_QUIETS && params.spec_pv && depth >= params.spec_base &&
                    count >= params.spec_pv_level)
                    r = d - 1;
                value = r < 1 ? -quiesce(pos, info, -alpha - 1, -alpha, 0, child_pv)
                              : -search_zw(pos, info, -alpha, r, child_pv, NODE_CUT | NODE_NULL_OK);
                if (!stopped(info) && r < d && value > alpha) value = -search_zw(pos, info, -alpha, d, child_pv, 0);
            }
            full_window = !stopped(info) && value > alpha;
        }
        if (full_window)
            value = d < 1 ? -quiesce_at_pv(pos, info, -beta, -alpha, g, child_pv)
                          : -search_pv(pos, info, -beta, -alpha, d, g, child_pv);
        unmake_move(pos, undo);
        if (stopped(info)) return 0;

        if (value > best) {
            best = value;
            update_pv(pv, child_pv, move, ply);
            if (value > alpha) {
                alpha = value;
                node_move = move;
                if (value >= beta) break;
            }
        }
    }

    if (count == 0) return in_check ? ply - MATE : 0;
    best = tb.hold(best);
    if (node_move && is_quiet(node_move) && best >= beta) update_history(info, node_move, pos.side, depth, ply);
    if (params.use_trans_table)
        tt_store(pos, depth, best > alpha0 ? best : -MATE, best < beta ? best : MATE, node_move);
    return best;
}

int search_zw(Position& pos, SearchInfo& info, int beta, int depth, Move* pv, int flags) {
    assert(depth >= 1 && pos.ply < MAX_PLY);
    const int ply = pos.ply;
    const EngineParams& params = *pos.params;
    // 1. Transposition table: a bound deep enough decides the node.
    std::optional<TransEntry> e;
    node::TableBound tb;
    int early;
    if (enter_zero_window(pos, info, pv, depth, beta, e, tb, early)) return early;
    const int static_eval = static_value(pos, e);
    if (node::too_deep(pos)) return tb.hold(static_eval);

    const Bitboard pinned = pinned_pieces(pos);
    const Bitboard candidates = discovered_check_candidates(pos, pos.side);
    Move child_pv[MAX_PLY];

    // 2. Null move: if passing still fails high, some real move almost surely does too.
    if (params.null_move && (flags & (NODE_CUT | NODE_NULL_OK)) == (NODE_CUT | NODE_NULL_OK) &&
        depth >= NULL_MOVE_MIN_DEPTH && popcount(pos.color[pos.side] & ~pos.pawns()) >= NULL_MOVE_MIN_PIECES &&
        beta >= -(MATE_BOUND - 1) && beta <= MATE_BOUND - 1 && beta <= static_eval) {
        const int R = static_eval - beta > NULL_MOVE_LARGE_MARGIN ? NULL_MOVE_R_LARGE : NULL_MOVE_R;
        NullUndo null_undo;
        make_null_move(pos, null_undo);
        const int value = R < depth ? -search_zw(pos, info, -beta + 1, depth - R, child_pv, NODE_CUT)
                                    : -quiesce(pos, info, -beta, -beta + 1, 0, child_pv);
        unmake_null_move(pos, null_undo);
        if (stopped(info)) return 0;
        if (value >= beta) return tb.hold(value);
    }

    // 3. Move loop with "Zero Pruning" (move-count and futility pruning of late
    // quiet moves) and "Speculation" (reductions of late quiet moves).
    const int margin = (depth - 1) * params.zero_multiplier + params.zero_threshold;
    const int step = margin >> 5;
    const int futility_base = static_eval + margin;
    const int late_count = (1 << std::min(depth / 4, 30)) + params.zero_level;

    MoveList list;
    picker_init(list, SEQ_SEARCH, info.hash_move[ply], info.killer1[ply], info.killer2[ply], ply, depth, pos.side,
                pinned, capture_targets(pos));
    int best = -MATE, count = 0;
    Move best_move = NO_MOVE;
    UndoRecord undo;

    // A move's search; `n` is its number among the moves not pruned.
    auto search_move = [&](Move move, int stage, int g, int n) {
        const int d = depth - 1 + g;
        const int child_flags = n == 1 ? (flags | NODE_NULL_OK) ^ NODE_CUT : NODE_CUT | NODE_NULL_OK;
        make_move(pos, undo, move);
        int value;
        if (g)
            value = -search_evasion(pos, info, -beta + 1, d, child_pv, child_flags);
        else if (d < 1)
            value = -quiesce(pos, info, -beta, -beta + 1, 0, child_pv);
        else {
            int r = d;
            if (stage == STAGE_QUIETS && params.speculation && depth >= params.spec_base && n >= params.spec_level) {
                r = d - 1;
                if (params.ext_speculation && depth >= params.ext_spec_base && n >= params.ext_spec_level) r = d - 2;
            }
            value = r < 1 ? -quiesce(pos, info, -beta, -beta + 1, 0, child_pv)
                          : -search_zw(pos, info, -beta + 1, r, child_pv, child_flags);
            if (r < d && !stopped(info) && value >= beta) value = -search_zw(pos, info, -beta + 1, d, child_pv, 0);
        }
        unmake_move(pos, undo);
        return value;
    };
    // Whether the move's value ends the node.
    auto cuts = [&](Move move, int value) {
        if (value <= best) return false;
        best = value;
        update_pv(pv, child_pv, move, ply);
        if (value < beta) return false;
        best_move = move;
        if (is_quiet(move)) update_history(info, move, pos.side, depth, ply);
        return true;
    };

    // With threads sharing the table, a late move another thread is searching
    // right now waits until the rest are done: by then its subtree is mostly
    // in the table, and meanwhile this thread searches what nobody else does.
    const bool share = depth >= DEFER_MIN_DEPTH && tt_shared();
    DeferredMove deferred[MAX_DEFERRED];
    int deferred_count = 0;

    bool cut = false;
    while (const ScoredMove* entry = next_move(pos, list, info)) {
        const Move move = entry->move;
        const int stage = current_stage(list);
        const int g = gives_check(pos, move, candidates);
        const int d = depth - 1 + g;
        ++count;
        if (best > -MATE_BOUND && d < depth && stage == STAGE_QUIETS &&
            ((params.zero_aggressive && count >= late_count) ||
             (params.zero_pruning && futility_base - step * count < beta)))
            continue;

        int value;
        if (share && count > 1) {
            const MoveClaim claim(pos, move);
            if (!claim.claimed() && deferred_count < MAX_DEFERRED) {
                deferred[deferred_count++] = {move, stage, g, count};
                continue;
            }
            value = search_move(move, stage, g, count);
        } else {
            value = search_move(move, stage, g, count);
        }
        if (stopped(info)) return 0;
        if ((cut = cuts(move, value))) break;
    }
    for (int i = 0; i < deferred_count && !cut; ++i) {
        const DeferredMove& m = deferred[i];
        const int value = search_move(m.move, m.stage, m.gives_check, m.number);
        if (stopped(info)) return 0;
        cut = cuts(m.move, value);
    }

    if (count == 0) return 0;  // stalemate: this node is never in check
    best = tb.hold(best);
    if (params.use_trans_table) node::store_zero_window(pos, depth, best, beta, best_move);
    return best;
}

int search_evasion(Position& pos, SearchInfo& info, int beta, int depth, Move* pv, int flags) {
    assert(pos.ply < MAX_PLY);
    const int ply = pos.ply;
    const EngineParams& params = *pos.params;
    std::optional<TransEntry> e;
    node::TableBound tb;
    int early;
    if (enter_zero_window(pos, info, pv, depth, beta, e, tb, early)) return early;
    if (node::too_deep(pos)) return tb.hold(evaluate(pos));

    const Bitboard pinned = pinned_pieces(pos);
    const Bitboard candidates = discovered_check_candidates(pos, pos.side);
    Move child_pv[MAX_PLY];
    MoveList list;
    picker_init(list, SEQ_EVASION, info.hash_move[ply], info.killer1[ply], info.killer2[ply], ply, depth, pos.side,
                pinned, capture_targets(pos));
    int best = -MATE, count = 0;
    Move best_move = NO_MOVE;
    UndoRecord undo;

    while (const ScoredMove* entry = next_move(pos, list, info)) {
        const Move move = entry->move;
        const int g = gives_check(pos, move, candidates);
        const int d = depth - 1;
        const int child_flags = count == 0 ? flags ^ NODE_CUT : (flags & NODE_NULL_OK) ^ NODE_CUT;
        ++count;
        make_move(pos, undo, move);
        int value;
        if (g)
            value = -search_evasion(pos, info, -beta + 1, depth, child_pv, child_flags);
        else if (d < 1)
            value = -quiesce(pos, info, -beta, -beta + 1, 0, child_pv);
        else
            value = -search_zw(pos, info, -beta + 1, d, child_pv, child_flags);
        unmake_move(pos, undo);
        if (stopped(info)) return 0;

        if (value > best) {
            best = value;
            update_pv(pv, child_pv, move, ply);
            if (value >= beta) {
                best_move = move;
                break;
            }
        }
    }

    if (count == 0) return ply - MATE;
    best = tb.hold(best);
    if (params.use_trans_table) node::store_zero_window(pos, depth, best, beta, best_move);
    return best;
}
