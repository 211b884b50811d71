// The record of one search: limits, deadlines, counters, root bookkeeping,
// result, and the per-ply move-ordering memory. Each go creates a fresh one.
#pragma once

#include <cstdint>

#include "movegen/move.h"

enum : int { STOPPED = 0, THINKING = 1, PONDERING = 2, ANALYSING = 3 };

constexpr int MAX_PLY = 128;           // per-ply arrays; the search never goes deeper
constexpr int MAX_SEARCH_MOVES = 256;  // searchmoves entries, the ending 0 included
constexpr int HISTORY_TABLE_SIZE = 1024;
// Limits the options, the thread pool and the driver share.
constexpr int MAX_THREADS = 256;  // search threads, the main one included
constexpr int MAX_LINES = 256;    // root lines of a multi-line search (MultiPV)

// A root move's result in the endgame tables (TB_LOSS, TB_DRAW or TB_WIN, as
// the 50-move rule counts it), or none when they do not know the root.
constexpr int NO_TB_RESULT = -100;

// A root line: its moves (0-terminated), exact score, and the iteration and
// selective depth it was found at.
struct Line {
    Move pv[MAX_PLY];
    int score;
    int depth;
    int seldepth;
    int tb_result = NO_TB_RESULT;  // the first move's result in the endgame tables
};

struct SearchInfo {
    int status;
    int depth_limited;
    int depth_limit;
    int moves_limited;
    int time_limited;
    std::int64_t soft_deadline;
    std::int64_t hard_deadline;
    int nodes_limited;
    std::int64_t node_limit;
    std::int64_t nodes_since_poll;
    std::int64_t poll_interval;
    std::int64_t nodes;
    std::int64_t start_time;
    std::int64_t last_info_time;
    std::int64_t allotted_time;
    int prev2_score, prev_score, best_score;
    int mate_iterations;
    int root_move_number;
    int best_changed;
    int root_research;
    int iteration;
    int seldepth;
    int root_move_count;
    Move best_move;
    Move ponder_move;
    int answer_score;  // the score of the line shown with best_move; -MATE when none goes with it (a book move)
    int history[HISTORY_TABLE_SIZE];
    Move search_moves[MAX_SEARCH_MOVES];
    Move hash_move[MAX_PLY];
    Move killer1[MAX_PLY];
    Move killer2[MAX_PLY];
    Move current_line[MAX_PLY];
    int helper;  // 0 for the main thread, else the helper thread's number
    // The main thread's status when a helper completed its iteration first:
    // the search unwinds as if stopped, then goes on with it (0: no helper did).
    int handed_status;
    std::int64_t tb_hits;  // successful tablebase probes
    // The first line of the deepest iteration this thread completed (depth 0: none).
    Line completed;
};

// The starting values of a new search (times from now).
void search_info_init(SearchInfo& info, std::int64_t now);
