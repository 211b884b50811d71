// The option table: its rows, the uci listing, setoption, the readers the
// rest of the engine uses, and the four options that act the moment they change.
#include "uci/options.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "book/book.h"
#include "eval/pawn_table.h"
#include "search/trans_table.h"
#include "uci/uci.h"

// Listed in this order; the ranges are shown to the interface but never enforced.
OptionRecord EngineOptions[OPTION_COUNT] = {
    {1, "Hash", "32", "spin", "min 1 max 4096", nullptr},
    {1, "Pawn Hash", "16", "spin", "min 1 max 32", nullptr},
    {1, "Ponder", "false", "check", "", nullptr},
    {1, "OwnBook", "false", "check", "", nullptr},
    {1, "Book File", "corvanebook.bin", "string", "", nullptr},
    {1, "Book Move Limit", "128", "spin", "min 1 max 256", nullptr},
    {1, "Display Book Moves", "false", "check", "", nullptr},
    {1, "Time Buffer", "1000", "spin", "min 0 max 10000", nullptr},
    {1, "Transposition Table", "true", "check", "", nullptr},
    {1, "Null Move Pruning", "true", "check", "", nullptr},
    {1, "Internal Iterative Deepening", "true", "check", "", nullptr},
    {1, "Internal Iterative Deepening Depth", "5", "spin", "min 1 max 15", nullptr},
    {1, "Delta Pruning", "true", "check", "", nullptr},
    {1, "Delta Pruning Threshold", "50", "spin", "min 0 max 500", nullptr},
    {1, "Zero Pruning", "true", "check", "", nullptr},
    {1, "Zero Pruning Aggressive", "false", "check", "", nullptr},
    {1, "Zero Pruning Level", "6", "spin", "min 1 max 15", nullptr},
    {1, "Zero Pruning Threshold", "100", "spin", "min 0 max 500", nullptr},
    {1, "Zero Pruning Multiplier", "50", "spin", "min 0 max 500", nullptr},
    {1, "Speculation PV", "true", "check", "", nullptr},
    {1, "Speculation PV Level", "12", "spin", "min 0 max 30", nullptr},
    {1, "Speculation", "true", "check", "", nullptr},
    {1, "Speculation Base", "3", "spin", "min 2 max 15", nullptr},
    {1, "Speculation Level", "4", "spin", "min 2 max 30", nullptr},
    {1, "Extended Speculation", "false", "check", "", nullptr},
    {1, "Extended Speculation Base", "4", "spin", "min 3 max 15", nullptr},
    {1, "Extended Speculation Level", "4", "spin", "min 2 max 30", nullptr},
    {1, "King Attacks Aggression Level", "5", "spin", "min 0 max 20", nullptr},
    {1, "Piece Attacks Midgame", "5", "spin", "min 0 max 20", nullptr},
    {1, "Piece Attacks Endgame", "5", "spin", "min 0 max 20", nullptr},
    {1, "UCI_ShowCurrLine", "false", "check", "", nullptr},
    {1, "UCI_EngineAbout", "Corvane by Velmorin", "string", "", nullptr},
    // Options beyond the first 32 follow them, each off at its default.
    {1, "UCI_Chess960", "false", "check", "", nullptr},
};

namespace {

OptionRecord* find_option(const char* name) {
    for (OptionRecord& row : EngineOptions)
        if (std::strcmp(row.name, name) == 0) return &row;
    return nullptr;
}

// A table that cannot be had leaves the engine unable to search: say so and
// end in order, as at start-up.
void reallocate_trans_table(Position& pos, int megabytes) {
    if (!tt_allocate(pos, megabytes)) {
        print_out(OUT_SCREEN | OUT_LOG, "info string Not enough memory to allocate transposition table.\n");
        engine_quit(pos);
    }
}

void reallocate_pawn_table(Position& pos, int power) {
    if (!pawn_table_allocate(pos, power)) {
        print_out(OUT_SCREEN | OUT_LOG, "info string Not enough memory to allocate pawn table.\n");
        engine_quit(pos);
    }
}

}  // namespace

void options_init() {
    for (const OptionRecord& row : EngineOptions) option_set(row.name, row.default_value);
}

void options_free() {
    for (OptionRecord& row : EngineOptions) {
        std::free(row.value);
        row.value = nullptr;
    }
}

// The value shown after "default" is the current one, so a listing after
// setoption shows what the engine will actually use.
void options_list() {
    for (const OptionRecord& row : EngineOptions) {
        if (!row.visible) continue;
        const char* value = row.value ? row.value : row.default_value;
        if (row.range[0])
            print_out(OUT_SCREEN | OUT_LOG, "option name %s type %s default %s %s\n", row.name, row.type, value,
                      row.range);
        else
            print_out(OUT_SCREEN | OUT_LOG, "option name %s type %s default %s\n", row.name, row.type, value);
    }
}

int option_set(const char* name, const char* value) {
    OptionRecord* row = find_option(name);
    if (!row) return 0;
    // A value ends at its line end; a carriage return from a Windows interface
    // would otherwise become part of a file name or turn "true" into junk.
    std::size_t length = std::strcspn(value, "\r\n");
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (!copy) {
        // The old text stays: an option always holds a value the readers can use.
        print_out(OUT_SCREEN | OUT_LOG, "info string myMalloc() error!\n");
        return 1;
    }
    std::memcpy(copy, value, length);
    copy[length] = '\0';
    std::free(row->value);
    row->value = copy;
    print_out(OUT_LOG, "info string %s is set to value %s\n", row->name, row->value);
    return 1;
}

// Callers only ask for names of the table; an unknown one is reported and
// reads as the empty text, which every reader decodes as 0 or off.
const char* option_get(const char* name) {
    const OptionRecord* row = find_option(name);
    if (!row) {
        print_out(OUT_SCREEN | OUT_LOG, "info string optionGet(): unknown option \"%s\"\n", name);
        return "";
    }
    return row->value ? row->value : row->default_value;
}

// Leading white space, an optional sign, then digits up to the first other
// character; no digits give 0. Values beyond an int are held at its bounds.
int option_get_int(const char* name) {
    const char* text = option_get(name);
    char* end = nullptr;
    long long value = std::strtoll(text, &end, 10);
    if (end == text) return 0;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return int(value);
}

// Only a lower-case "t" switches a check on: "True" counts as off.
int option_get_bool(const char* name) { return option_get(name)[0] == 't' ? 1 : 0; }

namespace {

constexpr int WEIGHT_BOUND = 10000;  // far beyond every listed range, far below an overflow
int bounded_weight(int value) { return std::clamp(value, -WEIGHT_BOUND, WEIGHT_BOUND); }

}  // namespace

void read_params(EngineParams& params) {
    params.use_trans_table = option_get_bool("Transposition Table");
    params.own_book = option_get_bool("OwnBook");
    params.book_move_limit = option_get_int("Book Move Limit");
    params.null_move = option_get_bool("Null Move Pruning");
    params.iid = option_get_bool("Internal Iterative Deepening");
    // Values are taken as given, out of their listed ranges too, as far as the
    // search's arithmetic allows: a depth below 1 would nest internal
    // iterative deepening without end, and margins or weights of millions
    // would overflow the scores they are added to.
    params.iid_depth = std::max(1, option_get_int("Internal Iterative Deepening Depth"));
    params.delta_pruning = option_get_bool("Delta Pruning");
    params.delta_threshold = bounded_weight(option_get_int("Delta Pruning Threshold"));
    params.zero_pruning = option_get_bool("Zero Pruning");
    params.zero_aggressive = option_get_bool("Zero Pruning Aggressive");
    params.zero_level = bounded_weight(option_get_int("Zero Pruning Level"));
    params.zero_threshold = bounded_weight(option_get_int("Zero Pruning Threshold"));
    params.zero_multiplier = bounded_weight(option_get_int("Zero Pruning Multiplier"));
    params.speculation = option_get_bool("Speculation");
    params.spec_base = option_get_int("Speculation Base");
    params.spec_level = option_get_int("Speculation Level");
    params.ext_speculation = option_get_bool("Extended Speculation");
    params.ext_spec_base = option_get_int("Extended Speculation Base");
    params.ext_spec_level = option_get_int("Extended Speculation Level");
    params.spec_pv = option_get_bool("Speculation PV");
    params.spec_pv_level = option_get_int("Speculation PV Level");
    params.king_attack_level = bounded_weight(option_get_int("King Attacks Aggression Level"));
    params.piece_attack_mg = bounded_weight(option_get_int("Piece Attacks Midgame"));
    params.piece_attack_eg = bounded_weight(option_get_int("Piece Attacks Endgame"));
    params.show_curr_line = option_get_bool("UCI_ShowCurrLine");
    params.time_buffer = option_get_int("Time Buffer");
    params.chess960 = option_get_bool("UCI_Chess960");
}

// "setoption name <name> value <value>": the name runs from after "name " to
// the space before "value", so it may hold spaces; the value runs to the end
// of the line. Both words are found by plain, case-sensitive search.
void uci_setoption(Position& pos, const char* line) {
    const char* name_word = std::strstr(line, "name");
    const char* value_word = std::strstr(line, "value");
    if (!name_word || !value_word || value_word <= name_word) return;

    const char* name_start = name_word + 5;
    std::string name;
    if (value_word - 1 > name_start) name.assign(name_start, value_word - 1);
    // "value" at the very end of the line has no separator and no text after it.
    const char* value = std::strlen(value_word) > 6 ? value_word + 6 : "";

    if (!option_set(name.c_str(), value)) return;

    // These act at once, even when the value did not change; a new table starts empty.
    if (name == "Hash") {
        int megabytes = option_get_int("Hash");
        if (megabytes >= 4) reallocate_trans_table(pos, megabytes);
    } else if (name == "Pawn Hash") {
        reallocate_pawn_table(pos, option_get_int("Pawn Hash"));
    } else if (name == "Book File") {
        book_open(pos);
    } else if (name == "UCI_Chess960") {
        // The move text of the position command that follows depends on it.
        pos.params->chess960 = option_get_bool("UCI_Chess960");
    }
}
