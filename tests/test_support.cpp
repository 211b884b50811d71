#include "test_support.h"

#include <memory>

#include "board/tables.h"
#include "eval/eval.h"
#include "eval/pawn_table.h"
#include "movegen/picker.h"
#include "search/trans_table.h"
#include "uci/options.h"
#include "uci/uci.h"

namespace {

// The shared test position owns its hash tables and gives them back at exit,
// so the leak checker of the sanitizer build sees nothing left behind.
struct SharedPosition {
    Position pos{};
    SharedPosition() {
        pos.params = &pos.param_block;
        read_params(*pos.params);
        pawn_table_allocate(pos, 10);
        tt_allocate(pos, 4);
    }
    ~SharedPosition() {
        tt_free(pos);
        pawn_table_free(pos);
    }
};

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
}

Position& test_position(const std::string& fen) {
    init_engine_tables();
    static auto shared = std::make_unique<SharedPosition>();
    read_fen(shared->pos, fen.c_str());
    return shared->pos;
}
