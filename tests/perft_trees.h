// Perft suites and tree walks shared by the board and move-generation tests:
// the EPD reader and a walker that visits every node of a perft tree.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/position.h"
#include "fuzz/harness.h"
#include "movegen/movegen.h"
#include "test_support.h"

// Sanitized and 32-bit builds walk smaller trees.
constexpr bool LIGHT = CORVANE_LIGHT_TESTS == 1;

struct PerftLine {
    int line;  // 1-based line number in its file
    std::string fen;
    std::vector<std::uint64_t> counts;  // counts[d - 1] is perft(d)
};

// Reads a suite from tests/data ("perft/standard.epd" ...).
const std::vector<PerftLine>& perft_suite(const std::string& name);

// "move: count" for each legal move, to compare with a correct divide.
std::string divide_report(Position& pos, int depth);

using fuzz::legal_moves;
using fuzz::pseudo_moves;

// The positions the tree tests start from: both small suites, every
// `stride`-th line of random.epd, some of chess960.epd (read as Chess960),
// plus the standard positions given.
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

// walk_tree from each of tree_roots(stride, extra) in turn.
template <typename Visit>
void walk_roots(int stride, int depth, Visit&& visit, const std::vector<std::string>& extra = {}) {
    for (const TreeRoot& root : tree_roots(stride, extra))
        walk_tree(test_position(root.fen, root.chess960), depth, visit);
}

inline std::vector<Move> sorted(std::vector<Move> v) {
    std::sort(v.begin(), v.end());
    return v;
}

inline bool contains(const std::vector<Move>& moves, Move m) {
    for (Move x : moves)
        if (x == m) return true;
    return false;
}
