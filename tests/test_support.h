// What the in-process tests share: the engine's start-up without the UCI
// front end, positions with their own hash tables, the tables of tests/data,
// and a walker over every node of a perft tree.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "board/position.h"
#include "eval/eval.h"
#include "fuzz/harness.h"
#include "movegen/movegen.h"
#include "search/search.h"
#include "search/search_info.h"
#include "uci/uci.h"

// Every allocation the test binary makes, counted by its operator new.
extern std::atomic<long> heap_allocations;

// Sanitized and 32-bit builds walk smaller trees.
constexpr bool LIGHT = CORVANE_LIGHT_TESTS == 1;

// Builds every start-up table once (idempotent).
void init_engine_tables();

// A position with 2^pawn_table_power pawn entries, a small transposition
// table and its own network stack, its parameters at their option defaults.
struct OwnedPosition : Position {
    explicit OwnedPosition(int pawn_table_power);
    ~OwnedPosition();
};
std::unique_ptr<OwnedPosition> owned_position(const std::string& fen, int pawn_table_power = 10);

// The one shared position, read from fen in standard chess or Chess960 (the
// rest of its parameters are not reset).
Position& test_position(const std::string& fen, bool chess960 = false);

// A search record as a search starting now has it, thinking without limits.
std::unique_ptr<SearchInfo> new_search();

// The named row of an evaluation breakdown.
const EvalTerm& eval_term(const EvalBreakdown& b, const std::string& name);

// The rows of a table in tests/data: fields separated by '|' with the blanks
// around them trimmed; blank lines and lines starting with '#' are skipped.
std::vector<std::vector<std::string>> read_rows(const std::string& name);

// A perft suite of tests/data ("perft/standard.epd" ...): FEN ;D1 n ;D2 n ...
struct PerftLine {
    int line;  // 1-based line number in its file
    std::string fen;
    std::vector<std::uint64_t> counts;  // counts[d - 1] is perft(d)
};
const std::vector<PerftLine>& perft_suite(const std::string& name);

using fuzz::legal_moves;
using fuzz::pseudo_moves;

inline std::vector<Move> sorted(std::vector<Move> v) {
    std::sort(v.begin(), v.end());
    return v;
}
inline bool contains(const std::vector<Move>& moves, Move m) {
    return std::find(moves.begin(), moves.end(), m) != moves.end();
}

// The roots the tree tests start from: both small suites, every `stride`-th
// line of random.epd, some of chess960.epd (read as Chess960), and `extra`.
struct TreeRoot {
    std::string fen;
    bool chess960;
};
std::vector<TreeRoot> tree_roots(int stride, const std::vector<std::string>& extra = {});

// Calls visit(pos) at every node of the tree of legal moves up to `depth`
// plies below the current position (the root included, leaves excluded);
// a fatal failure ends the walk.
template <typename Visit>
void walk_tree(Position& pos, int depth, Visit&& visit) {
    if (depth <= 0 || ::testing::Test::HasFatalFailure()) return;
    visit(pos);
    MoveList list;
    gen_legal_moves(pos, list);
    UndoRecord undo;
    for (int i = 0; i < list.count; ++i) {
        make_move(pos, undo, list.moves[i].move);
        walk_tree(pos, depth - 1, visit);
        unmake_move(pos, undo);
    }
}

// walk_tree from each of tree_roots(stride, extra) in turn, on the shared position.
template <typename Visit>
void walk_roots(int stride, int depth, Visit&& visit, const std::vector<std::string>& extra = {}) {
    for (const TreeRoot& root : tree_roots(stride, extra)) walk_tree(test_position(root.fen, root.chess960), depth, visit);
}
