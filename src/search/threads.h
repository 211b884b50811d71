// The helper threads of a parallel search. The main thread searches as it
// always has; helper threads search the same root at the same time, each with
// its own position, history, killers, search stack and pawn table, and share
// only the transposition table, through which they help. They are created
// when the thread count is set, wait parked between searches, and never read
// input, look at the clock or print.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "search/search.h"

// Replaces the helpers so that `count` threads search in all (1 = the main
// thread alone, no helper exists), each helper with a pawn table of
// 2^pawn_power entries. Called between searches only. Returns the number of
// threads there are now: fewer than asked when memory runs out or the system
// makes no more threads.
int threads_configure(int count, int pawn_power);
int threads_count();
// Stops and joins every helper: before the process ends.
void threads_shutdown();
void threads_clear_pawn_tables();

// Starts the helpers on the root of the main thread's search, each with the
// game's history and the main thread's ranked root moves, and stops them, all
// of them, before the search returns. Without `start` no helper searches, and
// the counters read as the main thread's alone.
class HelperSearch {
   public:
    // With `share`, a helper that completes an iteration before the main
    // thread completes it for the main thread too (a single line only: the
    // helpers search no further lines).
    HelperSearch(const Position& root, const SearchInfo& main_info, const RootMove* moves, int count, bool start,
                 bool share);
    ~HelperSearch() { stop(); }
    HelperSearch(const HelperSearch&) = delete;
    HelperSearch& operator=(const HelperSearch&) = delete;
    // Returns once every helper has stopped searching.
    void stop() const;
    // The main thread's iteration, which the helpers search too.
    static void set_depth(int depth);
};

// The depth a helper searches: the main thread's current iteration.
int helper_depth();
// A helper that has completed the main thread's iteration waits here until
// the main thread starts a deeper one (or stops the helpers): searching the
// same iteration again would only count nodes the table already answers.
void helper_wait_deeper(int depth);
// A helper completed the iteration at `depth` with `line`: the first to do
// so while the main thread still searches it hands the line over.
void helper_completed(int depth, const Line& line);
// The main thread's look: has a helper completed the iteration at `depth`?
bool iteration_taken(int depth);
// The line a helper completed the iteration at `depth` with, if one did.
bool take_iteration(int depth, Line& line);
// Whether the main thread is stopping the helpers (else a helper's stop was
// only its iteration falling behind the main thread's).
bool helpers_stopping();
// A helper's look at the world every poll interval: publishes its node count
// and stops when the main thread says so, or stops every helper when the
// threads' nodes together have reached the main thread's node limit.
void helper_poll(const Position& pos, SearchInfo& info);
// The main thread's look every poll interval: its node count and whether a
// node limit holds now (it thinks), for the helpers to stop at the limit.
void threads_main_poll(const SearchInfo& info);
// After the helpers stopped: each helper's completed line (depth 0 when it
// completed nothing) into `lines`; returns how many helpers there are.
int helper_results(const Line** lines);
// The nodes, table use and table hits of every thread of the search.
std::int64_t search_nodes(const SearchInfo& info);
int search_hashfull(const Position& pos);
std::int64_t search_tb_hits(const SearchInfo& info);
