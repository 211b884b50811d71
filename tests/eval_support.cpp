#include "eval_support.h"

#include <gtest/gtest.h>

#include "test_support.h"

Position& eval_position(const std::string& fen) {
    Position& pos = test_position(fen);
    pos.params->king_attack_level = pos.params->piece_attack_mg = pos.params->piece_attack_eg = 5;
    return pos;
}

const EvalTerm& eval_term(const EvalBreakdown& b, const std::string& name) {
    for (int i = 0; i < b.term_count; ++i)
        if (name == b.terms[i].name) return b.terms[i];
    ADD_FAILURE() << "no evaluation term " << name;
    static const EvalTerm none{};
    return none;
}
