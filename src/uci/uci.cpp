// Start-up, the command loop and the orderly shutdown.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <cctype>

#include "board/tables.h"
#include "book/book.h"
#include "eval/eval.h"
#include "eval/pawn_table.h"
#include "movegen/picker.h"
#include "nnue/nnue.h"
#include "search/search.h"
#include "search/strength.h"
#include "search/threads.h"
#include "search/trans_table.h"
#include "uci/options.h"
#include "io/text.h"
#include "uci/uci.h"

namespace {

void (*quit_handler)() = nullptr;

using text::starts_with_nocase;

// The text after a command word, or the empty text when the line is shorter.
const char* argument_at(const char* line, std::size_t offset) {
    return std::strlen(line) > offset ? line + offset : line + std::strlen(line);
}

void allocate_tables(Position& pos) {
    if (!pawn_table_allocate(pos, option_get_int("Pawn Hash"))) {
        print_out(OUT_SCREEN | OUT_LOG, "info string Not enough memory to allocate pawn table.\n");
        engine_quit(pos);
    }
    if (!tt_allocate(pos, option_get_int("Hash"))) {
        print_out(OUT_SCREEN | OUT_LOG, "info string Not enough memory to allocate transposition table.\n");
        engine_quit(pos);
    }
    // Without its accumulators the network still evaluates, from scratch each time.
    if (!pos.nnue) pos.nnue = nnue_stack_new();
}

}  // namespace

void engine_init(Position& pos) {
    input_init();
    set_search_quit(engine_quit);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    open_output_files();
    print_out(OUT_SCREEN | OUT_LOG, "Corvane %s by Velmorin, Estoria\n", VERSION);
    print_out(OUT_SCREEN | OUT_LOG, "Use Universal Chess Interface commands\n");
    print_out(OUT_SCREEN | OUT_LOG, "Active Beta Testers: the Corvane team\n\n");
    options_init();
    init_static_tables();
    pos.book_file = nullptr;
    pos.pawn_table = nullptr;
    pos.trans_table = nullptr;
    pos.params = &pos.param_block;
    book_open(pos, option_get("Book File"));
    allocate_tables(pos);
    read_params(*pos.params);
    read_fen(pos, START_FEN);
}

void init_static_tables() {
    init_tables();
    init_keys();
    init_pst();
    init_stage_table();
    init_material_table();
    nnue_init();
}

void uci_identify() {
    print_out(OUT_SCREEN | OUT_LOG, "id name Corvane %s\n", VERSION);
    print_out(OUT_SCREEN | OUT_LOG, "id author Velmorin, Estoria\n");
    options_list();
    print_out(OUT_SCREEN | OUT_LOG, "uciok\n");
}

void uci_newgame(Position& pos) {
    strength_new_game();
    tt_clear(pos);
    pawn_table_clear(pos);
    threads_clear_pawn_tables();
}

void command_loop(Position& pos) {
    std::string text;
    for (;;) {
        read_command_line(text);
        print_out(OUT_LOG, "%s\n", text.c_str());
        // White space before the command word is allowed, as between any two tokens.
        const char* line = text::skip_blanks(text.c_str());
        if (starts_with_nocase(line, "ucinewgame"))
            uci_newgame(pos);
        else if (starts_with_nocase(line, "uci"))
            uci_identify();
        else if (starts_with_nocase(line, "debug"))
            ;
        else if (starts_with_nocase(line, "isready"))
            print_out(OUT_SCREEN | OUT_LOG, "readyok\n");
        else if (starts_with_nocase(line, "position"))
            uci_position(pos, argument_at(line, 9));
        else if (starts_with_nocase(line, "go"))
            uci_go(pos, argument_at(line, 3));
        else if (starts_with_nocase(line, "setoption"))
            uci_setoption(pos, line);
        else if (starts_with_nocase(line, "testloop") || starts_with_nocase(line, "stop"))
            ;
        else if (starts_with_nocase(line, "quit"))
            engine_quit(pos);
        else
            print_out(OUT_SCREEN | OUT_LOG, "info string Unknown UCI command.\n");
    }
}

void engine_quit(Position& pos) {
    // Quit may come during a search: every helper stops and ends first.
    threads_shutdown();
    print_out(OUT_LOG, "info string Corvane is quitting.\n");
    if (quit_handler) quit_handler();
    close_output_files();
    book_close(pos);
    tt_free(pos);
    pawn_table_free(pos);
    nnue_stack_free(pos.nnue);
    pos.nnue = nullptr;
    options_free();
    std::exit(0);
}

void set_quit_handler(void (*handler)()) { quit_handler = handler; }
