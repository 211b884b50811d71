#include "eval_support.h"

#include <gtest/gtest.h>

#include "eval/pawn_table.h"
#include "test_support.h"

void FreeTables::operator()(Position* pos) const {
    pawn_table_free(*pos);
    delete pos;
}

OwnedPosition make_eval_position(const std::string& fen, int pawn_table_power) {
    init_engine_tables();
    OwnedPosition pos(new Position{});
    pos->params = &pos->param_block;
    pos->params->king_attack_level = pos->params->piece_attack_mg = pos->params->piece_attack_eg = 5;
    pawn_table_allocate(*pos, pawn_table_power);
    read_fen(*pos, fen.c_str());
    return pos;
}

Position& eval_position(const std::string& fen) {
    static OwnedPosition pos;
    if (!pos) pos = make_eval_position(fen, 10);
    pos->params->king_attack_level = pos->params->piece_attack_mg = pos->params->piece_attack_eg = 5;
    read_fen(*pos, fen.c_str());
    return *pos;
}

const EvalTerm& eval_term(const EvalBreakdown& b, const std::string& name) {
    for (int i = 0; i < b.term_count; ++i)
        if (name == b.terms[i].name) return b.terms[i];
    ADD_FAILURE() << "no evaluation term " << name;
    static const EvalTerm none{};
    return none;
}
