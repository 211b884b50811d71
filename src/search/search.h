// The search: driver with iterative deepening, the three node searches,
// quiescence, history and killers, limit checks, and the gives-check test.
#pragma once

#include "board/position.h"
#include "movegen/move.h"
#include "uci/search_info.h"

constexpr int MATE = 10000;
constexpr int MATE_BOUND = 9872;  // a score of at least this magnitude is a mate score
constexpr int NO_SCORE = -10000;

enum : int { NODE_CUT = 1, NODE_NULL_OK = 2 };

// Runs the whole search for one go; sets best_move and ponder_move.
void think(Position& pos, SearchInfo& info);
// A helper thread's part of the search: the same root, until stopped.
void helper_think(Position& pos, SearchInfo& info);

int search_pv(Position& pos, SearchInfo& info, int alpha, int beta, int depth, int in_check, Move* pv);
int search_zw(Position& pos, SearchInfo& info, int beta, int depth, Move* pv, int flags);
int search_evasion(Position& pos, SearchInfo& info, int beta, int depth, Move* pv, int flags);
int pv_new_depth(const Position& pos, Move move, int gives_check, int depth);
int quiesce(Position& pos, SearchInfo& info, int alpha, int beta, int qdepth, Move* pv);
int quiesce_evasion(Position& pos, SearchInfo& info, int alpha, int beta, int qdepth, Move* pv);

// History and killers.
void update_history(SearchInfo& info, Move move, int side, int depth, int ply);

// Limit checks: the periodic test, the PV-node variant that also counts the
// node, and the cheap node-limit test done at every other node.
void check_limits(Position& pos, SearchInfo& info);
void check_limits_pv(Position& pos, SearchInfo& info);
void node_limit_test(SearchInfo& info);
// The node interval between two looks at the clock and the input, until the
// first long iteration measures the speed.
std::int64_t first_poll_interval();
// The in-process harnesses keep every search small: the first polls come
// every poll_interval nodes (0 keeps the engine's own), and the first poll
// past node_ceiling nodes stops the search whatever its status. The engine
// never sets them.
void set_search_harness_limits(std::int64_t node_ceiling, std::int64_t poll_interval);

bool gives_check(const Position& pos, Move move, Bitboard candidates);

// Writes the pv into the parent's array at ply: move, then the child's line.
inline void update_pv(Move* parent, const Move* child, Move move, int ply) {
    parent[ply] = move;
    int i = ply + 1;
    for (; i < MAX_PLY - 1 && child[i]; ++i) parent[i] = child[i];
    parent[i] = 0;
}
