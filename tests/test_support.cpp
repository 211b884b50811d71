#include "test_support.h"

#include <gtest/gtest.h>

#include "board/tables.h"
#include "eval/pawn_table.h"
#include "io/output.h"
#include "nnue/nnue.h"
#include "search/trans_table.h"
#include "uci/options.h"
#include "uci/uci.h"

namespace {

// Gives the option values back at exit, so the leak checker of the sanitizer
// build sees nothing left behind (positions free their own tables).
struct SharedOptions {
    ~SharedOptions() { options_free(); }
};

}  // namespace

void init_engine_tables() {
    static bool done = false;
    if (done) return;
    done = true;
    static SharedOptions options_owner;
    // A search inside a test must never read the test runner's standard
    // input: its end would quit the process with status 0, a silent pass.
    set_input_polling(false);
    options_init();
    init_static_tables();
    nnue_ensure_network();  // the network tests evaluate with it whatever "Use NNUE" says
}

OwnedPosition::OwnedPosition(int pawn_table_power) : Position{} {
    init_engine_tables();
    params = &param_block;
    read_params(*params);
    pawn_table_allocate(*this, pawn_table_power);
    tt_allocate(*this, 4);
    nnue = nnue_stack_new();
}

OwnedPosition::~OwnedPosition() {
    tt_free(*this);
    pawn_table_free(*this);
    nnue_stack_free(nnue);
}

std::unique_ptr<OwnedPosition> owned_position(const std::string& fen, int pawn_table_power) {
    auto pos = std::make_unique<OwnedPosition>(pawn_table_power);
    read_fen(*pos, fen.c_str());
    return pos;
}

Position& test_position(const std::string& fen, bool chess960) {
    static auto shared = std::make_unique<OwnedPosition>(10);
    shared->params->chess960 = chess960;
    read_fen(*shared, fen.c_str());
    return *shared;
}

std::unique_ptr<SearchInfo> new_search() {
    auto info = std::make_unique<SearchInfo>();
    search_info_init(*info, now_ms());
    info->status = THINKING;
    return info;
}

const EvalTerm& eval_term(const EvalBreakdown& b, const std::string& name) {
    for (int i = 0; i < b.term_count; ++i)
        if (name == b.terms[i].name) return b.terms[i];
    ADD_FAILURE() << "no evaluation term " << name;
    static const EvalTerm none{};
    return none;
}
