// Pieces every search node shares (private to src/search/).
#pragma once

#include <algorithm>

#include "search/search.h"
#include "search/trans_table.h"

namespace node {

// Per-ply arrays hold MAX_PLY entries and the key history HISTORY_SIZE; a
// node this deep answers with its evaluation so every index stays in range.
constexpr int PLY_LIMIT = MAX_PLY - 1;
constexpr int HIST_LIMIT = HISTORY_SIZE - 1;

inline bool stopped(const SearchInfo& info) { return info.status == STOPPED; }
inline bool too_deep(const Position& pos) { return pos.ply >= PLY_LIMIT || pos.hist_count >= HIST_LIMIT; }

// Counts the node and records the line to it; the clock and the input are
// looked at only every poll_interval nodes, the node limit at every node.
inline void count(Position& pos, SearchInfo& info) {
    info.nodes += 1;
    info.nodes_since_poll += 1;
    info.current_line[pos.ply] = pos.st.last_move;
    if (info.nodes_since_poll >= info.poll_interval)
        check_limits(pos, info);
    else
        node_limit_test(info);
}

// A bound searched at least this deep decides a zero-window node.
inline bool table_cutoff(const TransEntry& e, int depth, int beta, int& value) {
    if (e.lower_depth >= depth && e.lower >= beta) return value = e.lower, true;
    if (e.upper_depth >= depth && e.upper < beta) return value = e.upper, true;
    if (e.lower_depth >= depth && e.upper_depth >= depth && e.lower == e.upper) return value = e.lower, true;
    return false;
}

// What the tables said of a node that searches on (a win is a floor under
// its value and a loss a ceiling over it), and at a PV node with threads
// sharing the table, the bounds another thread proved. Every value the node
// returns or stores is held between them; else a bound that only the
// evaluation gave would contradict theirs, in the table and in the parent.
struct TableBound {
    int floor = -MATE, ceiling = MATE;
    void set(int value, int bound) {
        if (bound == TB_LOWER) floor = std::max(floor, value);
        else ceiling = std::min(ceiling, value);
    }
    int hold(int value) const { return std::clamp(value, floor, std::max(floor, ceiling)); }
};

// With threads sharing the table, a principal-variation node keeps its value
// within the bounds another thread proved at least as deep, as a
// zero-window node does: one that ignored them would re-search, and fail
// low, every move whose zero-window search had cut on them, and the tree
// would grow without end where scores rise with depth. True with `value`
// when a bound decides the node; else the bounds narrow floor and ceiling.
inline bool shared_bound_decides(const TransEntry& e, int depth, int alpha, int beta, TableBound& bounds,
                                 int& value) {
    const bool lower = e.lower_depth >= depth && e.lower > -MATE, upper = e.upper_depth >= depth && e.upper < MATE;
    if (lower && upper && e.lower > e.upper) return false;  // bounds that disagree say nothing
    if (lower && e.lower >= beta) return value = e.lower, true;
    if (upper && e.upper <= alpha) return value = e.upper, true;
    if (lower) bounds.floor = std::max(bounds.floor, int(e.lower));
    if (upper) bounds.ceiling = std::min(bounds.ceiling, int(e.upper));
    return false;
}

// A zero-window result is a lower bound with the refuting move, or an upper bound.
inline void store_zero_window(Position& pos, int depth, int best, int beta, Move refutation) {
    if (best >= beta)
        tt_store(pos, depth, best, MATE, refutation);
    else
        tt_store(pos, depth, -MATE, best, NO_MOVE);
}

// A tablebase result is stored as the bound it is.
inline void store_tablebase(Position& pos, int depth, int value, int bound) {
    if (pos.params->use_trans_table)
        tt_store(pos, depth, bound == TB_UPPER ? -MATE : value, bound == TB_LOWER ? MATE : value, NO_MOVE);
}

}  // namespace node
