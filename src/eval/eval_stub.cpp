// Temporary: replaced by the evaluation.
#include "eval/eval.h"
#include "eval/pawn_table.h"
#include <cstdlib>
MaterialEntry material_table[MATERIAL_SIGNATURES * MATERIAL_SIGNATURES];
void init_material_table() {}
int evaluate(const Position& pos) { return pos.st.pst_mg[pos.side] - pos.st.pst_mg[pos.side ^ 1] + 20; }
void evaluate_breakdown(const Position& pos, EvalBreakdown& out) { out = {}; out.score = evaluate(pos); }
void pawn_table_clear(Position&) {}
bool pawn_table_allocate(Position& pos, int) { pos.pawn_table = (PawnEntry*)std::calloc(1, 32); return true; }
void pawn_table_free(Position& pos) { std::free(pos.pawn_table); pos.pawn_table = nullptr; }
