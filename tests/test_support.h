// Shared helpers for the unit tests: engine start-up without the UCI front
// end, and positions from FEN text.
#pragma once

#include <string>

#include "board/position.h"

// Builds every start-up table once (idempotent) and allocates small hash tables.
void init_engine_tables();
// A position read from FEN, with small hash tables and default parameters.
Position& test_position(const std::string& fen);
