// Shared helpers for the unit tests: engine start-up without the UCI front
// end, and positions from FEN text with their own hash tables.
#pragma once

#include <memory>
#include <string>

#include "board/position.h"
#include "eval/eval.h"
#include "search/search_info.h"

// Builds every start-up table once (idempotent).
void init_engine_tables();

// A position with a table of 2^pawn_table_power pawn entries and a small
// transposition table, its parameters at their option defaults.
struct OwnedPosition : Position {
    explicit OwnedPosition(int pawn_table_power);
    ~OwnedPosition();
};
std::unique_ptr<OwnedPosition> owned_position(const std::string& fen, int pawn_table_power);

// The one shared position, read from fen in standard chess or Chess960 (the
// rest of its parameters are not reset).
Position& test_position(const std::string& fen, bool chess960 = false);

// A search record as a search starting now has it, thinking without limits
// (for the node searches, which read no limit of iterations).
std::unique_ptr<SearchInfo> new_search();

// The named row of an evaluation breakdown.
const EvalTerm& eval_term(const EvalBreakdown& b, const std::string& name);
