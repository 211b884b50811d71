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
#include "nnue/nnue.h"
#include "search/search.h"
#include "search/strength.h"
#include "search/threads.h"
#include "search/trans_table.h"
#include "syzygy/syzygy.h"
#include "io/text.h"
#include "uci/uci.h"

namespace {

// The listed maximum of a spin's range text ("min 1 max 256").
constexpr int listed_max(const char* range) {
    for (const char* p = range; *p; ++p)
        if (p[0] == 'm' && p[1] == 'a' && p[2] == 'x') {
            int value = 0;
            for (p += 4; *p >= '0' && *p <= '9'; ++p) value = value * 10 + (*p - '0');
            return value;
        }
    return 0;
}

constexpr const char* MULTIPV_RANGE = "min 1 max 256";
constexpr const char* THREADS_RANGE = "min 1 max 256";
static_assert(listed_max(MULTIPV_RANGE) == MAX_LINES && listed_max(THREADS_RANGE) == MAX_THREADS);

}  // namespace

// Listed in this order; the ranges are shown to the interface but never
// enforced, except where a value would leave the engine unable to work. The
// options after UCI_EngineAbout are the ones GUIs know from other engines.
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
    {1, "MultiPV", "1", "spin", MULTIPV_RANGE, nullptr},
    {1, "Clear Hash", "", "button", "", nullptr},
    {1, "Threads", "1", "spin", THREADS_RANGE, nullptr},
    {1, "SyzygyPath", "<empty>", "string", "", nullptr},
    {1, "SyzygyProbeDepth", "1", "spin", "min 1 max 100", nullptr},
    {1, "Syzygy50MoveRule", "true", "check", "", nullptr},
    {1, "SyzygyProbeLimit", "7", "spin", "min 0 max 7", nullptr},
    {1, "UCI_Chess960", "false", "check", "", nullptr},
    {1, "UCI_LimitStrength", "false", "check", "", nullptr},
    {1, "UCI_Elo", "1500", "spin", "min 1350 max 2050", nullptr},
    {1, "UCI_ShowWDL", "false", "check", "", nullptr},
    {1, "Move Overhead", "0", "spin", "min 0 max 5000", nullptr},
    {1, "Use NNUE", "false", "check", "", nullptr},
    {1, "EvalFile", "<embedded>", "string", "", nullptr},
};

namespace {

// Option names are matched with case ignored, as the protocol has it.
OptionRecord* find_option(const char* name) {
    for (OptionRecord& row : EngineOptions)
        if (text::equals_nocase(row.name, name)) return &row;
    return nullptr;
}

// A check is on when its value begins with "t", "true" in any case.
bool is_on(const char* value) { return value[0] == 't' || value[0] == 'T'; }

// A table that cannot be had leaves the engine unable to search: say so and
// end in order, as at start-up.
void reallocate_trans_table(Position& pos, int megabytes) {
    if (!tt_allocate(pos, megabytes)) {
        print_out(OUT_SCREEN | OUT_LOG, "info string Not enough memory to allocate transposition table.\n");
        engine_quit(pos);
    }
}

// The helpers are replaced by as many as the count asks; one that cannot
// have its pawn table or its thread is not made, the GUI is told how many
// there are, and the listing shows that many.
void set_threads(int count) {
    const int made = threads_configure(count, std::clamp(option_get_int("Pawn Hash"), 1, 32));
    if (made < count) {
        print_out(OUT_SCREEN | OUT_LOG, "info string Not enough memory for %d threads: %d\n", count, made);
        option_set("Threads", std::to_string(made).c_str());
    }
}

void reallocate_pawn_table(Position& pos, int power) {
    if (!pawn_table_allocate(pos, power)) {
        print_out(OUT_SCREEN | OUT_LOG, "info string Not enough memory to allocate pawn table.\n");
        engine_quit(pos);
    }
}

}  // namespace

namespace {

bool is_button(const OptionRecord& row) { return std::strcmp(row.type, "button") == 0; }
bool is_check(const OptionRecord& row) { return std::strcmp(row.type, "check") == 0; }

constexpr int HASH_MAX_MB = 4096;  // the listed maximum

// A value the engine cannot use as sent is held at the nearer end of its
// range, the GUI is told, and the listing shows the value in force.
int held_value(const char* name, int low, int high, const char* unit) {
    const int value = option_get_int(name);
    if (value >= low && value <= high) return value;
    const bool below = value < low;
    const int held = below ? low : high;
    option_set(name, std::to_string(held).c_str());
    print_out(OUT_SCREEN | OUT_LOG, "info string %s is held at its %s of %d%s\n", name, below ? "minimum" : "maximum",
              held, unit);
    return held;
}

}  // namespace

void options_init() {
    for (const OptionRecord& row : EngineOptions)
        if (!is_button(row)) option_set(row.name, row.default_value);
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
        if (is_button(row)) {
            print_out(OUT_SCREEN | OUT_LOG, "option name %s type %s\n", row.name, row.type);
            continue;
        }
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
    if (is_button(*row)) return 1;  // pressed, not set: it keeps no value
    // A check keeps "true" or "false" as the readers decode the value, so the
    // listing shows the setting in force ("True" is listed as "true").
    if (is_check(*row)) value = is_on(value) ? "true" : "false";
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

int option_get_bool(const char* name) { return is_on(option_get(name)) ? 1 : 0; }

namespace {

constexpr int WEIGHT_BOUND = 10000;  // far beyond every listed range, far below an overflow
int bounded_weight(int value) { return std::clamp(value, -WEIGHT_BOUND, WEIGHT_BOUND); }

}  // namespace

void read_params(EngineParams& params) {
    params.use_trans_table = option_get_bool("Transposition Table");
    params.own_book = option_get_bool("OwnBook");
    params.display_book_moves = option_get_bool("Display Book Moves");
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
    params.multipv = std::clamp(option_get_int("MultiPV"), 1, MAX_LINES);
    params.tb_men = std::min(std::clamp(option_get_int("SyzygyProbeLimit"), 0, TB_MAX_MEN), tb_max_men());
    params.tb_probe_depth = std::clamp(option_get_int("SyzygyProbeDepth"), 1, 100);
    params.tb_rule50 = option_get_bool("Syzygy50MoveRule");
    params.chess960 = option_get_bool("UCI_Chess960");
    params.limit_strength = option_get_bool("UCI_LimitStrength");
    params.elo = std::clamp(option_get_int("UCI_Elo"), STRENGTH_MIN_ELO, STRENGTH_MAX_ELO);
    params.show_wdl = option_get_bool("UCI_ShowWDL");
    // A level's calibration was made with the hand-written evaluation, so a
    // weakened level keeps it whatever the switch says.
    params.use_nnue = option_get_bool("Use NNUE") && !strength_weakened(params.limit_strength, params.elo);
    if (params.use_nnue) nnue_ensure_network();
}

namespace {

// The words of text[begin, end) joined by single spaces: GUIs may put any
// white space between the words of a name or a value.
std::string joined_words(const char* begin, const char* end) {
    std::string out;
    for (const char* p = begin; p < end;) {
        while (p < end && text::is_space(*p)) ++p;
        const char* word = p;
        while (p < end && !text::is_space(*p)) ++p;
        if (p == word) break;
        if (!out.empty()) out += ' ';
        out.append(word, p);
    }
    return out;
}

}  // namespace

// "setoption name <name> [value <value>]": the name runs from "name" to
// "value", so it may hold several words; the value runs to the end of the
// line. Both words are found by plain, case-sensitive search; the name is
// matched with case ignored, and a name no option has is answered. A line
// without "value" can only press a button.
void uci_setoption(Position& pos, const char* line) {
    const char* name_word = std::strstr(line, "name");
    if (!name_word) return;
    const char* value_word = std::strstr(name_word + 4, "value");
    const char* line_end = line + std::strlen(line);
    const std::string sent = joined_words(name_word + 4, value_word ? value_word : line_end);
    const OptionRecord* row = find_option(sent.c_str());
    if (!row) {
        if (!sent.empty()) print_out(OUT_SCREEN | OUT_LOG, "info string No such option: %s\n", sent.c_str());
        return;
    }
    // The table's own spelling from here on, whatever case was sent.
    const std::string name = row->name;
    if (name == "Clear Hash") {
        uci_newgame(pos);
        print_out(OUT_LOG, "info string Hash tables cleared\n");
        return;
    }
    if (!value_word) return;
    const std::string value = joined_words(value_word + 5, line_end);

    option_set(name.c_str(), value.c_str());

    // These act at once, even when the value did not change; a new table starts empty.
    if (name == "Hash") {
        // No GUI sends more; a value beyond any memory must not end the session.
        // Below 4 MB the table in use stays.
        const int megabytes = held_value("Hash", INT_MIN, HASH_MAX_MB, " MB");
        if (megabytes >= 4) reallocate_trans_table(pos, megabytes);
    } else if (name == "Pawn Hash") {
        reallocate_pawn_table(pos, option_get_int("Pawn Hash"));
        // Each helper has a pawn table of this size too.
        if (threads_count() > 1) set_threads(threads_count());
    } else if (name == "SyzygyPath") {
        // "<empty>", the listed default, means no tables, as an empty path does.
        const char* path = option_get("SyzygyPath");
        const int found = tb_init(std::strcmp(path, "<empty>") == 0 ? "" : path);
        if (found) print_out(OUT_SCREEN | OUT_LOG, "info string Syzygy tables: %d, up to %d men\n", found, tb_max_men());
    } else if (name == "Threads") {
        set_threads(held_value("Threads", 1, MAX_THREADS, ""));
    } else if (name == "MultiPV") {
        held_value("MultiPV", 1, MAX_LINES, "");
    } else if (name == "Book File") {
        book_open(pos, option_get("Book File"));
    } else if (name == "UCI_Elo") {
        // The levels end where the scale does: the listing shows the level played.
        held_value("UCI_Elo", STRENGTH_MIN_ELO, STRENGTH_MAX_ELO, "");
    } else if (name == "EvalFile") {
        // A file that cannot be used leaves the network in use, and the listing names it.
        const std::string path = option_get("EvalFile");
        if (const char* why = nnue_load_file(path.c_str())) {
            print_out(OUT_SCREEN | OUT_LOG, "info string EvalFile %s: %s; the network in use stays (%s)\n",
                      path.c_str(), why, nnue_source());
            option_set("EvalFile", nnue_source());
        } else {
            print_out(OUT_SCREEN | OUT_LOG, "info string Network loaded from %s\n", path.c_str());
        }
    } else if (name == "UCI_Chess960") {
        // The castling fields and move text of the position commands that follow depend on it.
        pos.params->chess960 = option_get_bool("UCI_Chess960");
    }
}
