// Helpers shared by the evaluation tests.
#pragma once

#include <memory>
#include <string>

#include "board/position.h"
#include "eval/eval.h"

// A position that owns its pawn table, with the evaluation weights at their
// option defaults.
struct FreeTables {
    void operator()(Position* pos) const;
};
using OwnedPosition = std::unique_ptr<Position, FreeTables>;
OwnedPosition make_eval_position(const std::string& fen, int pawn_table_power);

// One shared position, re-read from the FEN on each call.
Position& eval_position(const std::string& fen);
// The named row of an evaluation breakdown.
const EvalTerm& eval_term(const EvalBreakdown& b, const std::string& name);
