#include "test_support.h"

#include <memory>

#include "board/tables.h"
#include "eval/eval.h"
#include "eval/pawn_table.h"
#include "movegen/picker.h"
#include "search/trans_table.h"
#include "uci/options.h"

void init_engine_tables() {
    static bool done = false;
    if (done) return;
    done = true;
    options_init();
    init_tables();
    init_keys();
    init_pst();
    init_stage_table();
    init_material_table();
}

Position& test_position(const std::string& fen) {
    init_engine_tables();
    static std::unique_ptr<Position> pos;
    if (!pos) {
        pos = std::make_unique<Position>();
        pos->params = &pos->param_block;
        read_params(*pos->params);
        pawn_table_allocate(*pos, 10);
        tt_allocate(*pos, 4);
    }
    read_fen(*pos, fen.c_str());
    return *pos;
}
