// Helpers shared by the evaluation tests.
#pragma once

#include <string>

#include "board/position.h"
#include "eval/eval.h"

// The test position with the evaluation weights at their option defaults.
Position& eval_position(const std::string& fen);
// The named row of an evaluation breakdown.
const EvalTerm& eval_term(const EvalBreakdown& b, const std::string& name);
