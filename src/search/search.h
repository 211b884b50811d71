// The search: driver with iterative deepening, the three node searches,
// quiescence, history and killers, limit checks, and the gives-check test.
#pragma once

#include "board/position.h"
#include "movegen/move.h"
#include "search/search_info.h"

constexpr int MATE = 10000;
constexpr int MATE_BOUND = 9872;  // a score of at least this magnitude is a mate score
constexpr int NO_SCORE = -10000;
// A position the endgame tables call won, reached `ply` plies from the root,
// scores TB_WIN_SCORE - ply: above every evaluation, below every mate, and
// higher the sooner the win is reached.
constexpr int TB_WIN_SCORE = MATE_BOUND - 1;
constexpr int TB_WIN_BOUND = TB_WIN_SCORE - MAX_PLY;

enum : int { NODE_CUT = 1, NODE_NULL_OK = 2 };

// Runs the whole search for one go; sets best_move and ponder_move.
void think(Position& pos, SearchInfo& info);
struct RootMove {
    Move move;
    int key;  // ordering key: larger keys are searched first
    int tb_result = NO_TB_RESULT;  // its result in the endgame tables
};

// A helper thread's part of the search: the main thread's root moves, until stopped.
void helper_think(Position& pos, SearchInfo& info, const RootMove* moves, int count);

// Endgame tables in the search. A node reached by a capture or a pawn move
// (or any child of the root), without castling rights, with few enough men
// and depth enough left, takes the tables' value: `value` with `bound`
// (the lower bound of a win, the upper bound of a loss, or an exact draw).
enum : int { TB_EXACT = 0, TB_LOWER = 1, TB_UPPER = 2 };
bool tb_probe_node(Position& pos, SearchInfo& info, int depth, int& value, int& bound);
// At a root the tables know: puts first the moves that keep the best result
// the tables give (a win that the 50-move rule lets through, else a draw);
// of the moves that win, those that mate, else those that reach the next
// capture or pawn move soonest; of the moves that lose, those that reach it
// last. Returns how many moves that is: the moves the best line chooses
// from. The other moves follow them ranked (wins, draws, losses) and stay in
// `count` when the user asked for several lines ("MultiPV" above 1, at full
// strength); else `count` becomes the number returned. When a table is
// missing nothing changes and all `count` moves are returned.
int tb_rank_root(Position& pos, SearchInfo& info, RootMove* moves, int& count);

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
// The node limit against every thread's nodes (with helpers only).
void threads_node_limit_test(SearchInfo& info);
// The GUI's commands during a search: stop, ponderhit, isready and quit act,
// everything else is logged and dropped.
void check_input(Position& pos, SearchInfo& info);
void ponder_hit(SearchInfo& info);
// What a quit read during a search does: the front end ends the process
// there (its handler does not return). Set once at start-up.
void set_search_quit(void (*quit)(Position&));
// The node interval between two looks at the clock and the input, until the
// first long iteration measures the speed.
std::int64_t first_poll_interval();
// The in-process harnesses keep every search small: the first polls come
// every poll_interval nodes (0 keeps the engine's own), and the first poll
// past node_ceiling nodes stops the search whatever its status. The engine
// never sets them.
void set_search_harness_limits(std::int64_t node_ceiling, std::int64_t poll_interval);

bool gives_check(const Position& pos, Move move, Bitboard candidates);

// Win, draw and loss chances per mille for the side to move (they sum to
// 1000), as UCI_ShowWDL shows them beside a score of the root.
struct WdlChances {
    int win, draw, loss;
};
// The chances a score gives with `material` on the board (pawns 1, knights
// and bishops 3, rooks 5, queens 9, both sides counted): certain for a mate
// or a table's win or loss, else the model fitted to Corvane's own games
// (to its games with the network evaluating, for the network's scores).
WdlChances wdl_chances(int score, int material, bool network = false);
int wdl_material(const Position& pos);
// The chances of a root line's score: a line whose first move the tables
// know has their result, whatever the score.
WdlChances line_wdl(const Position& pos, int score, int tb_result);

// Writes the pv into the parent's array at ply: move, then the child's line.
inline void update_pv(Move* parent, const Move* child, Move move, int ply) {
    parent[ply] = move;
    int i = ply + 1;
    for (; i < MAX_PLY - 1 && child[i]; ++i) parent[i] = child[i];
    parent[i] = 0;
}
