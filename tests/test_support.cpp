#include "test_support.h"

#include <fstream>
#include <map>
#include <sstream>

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

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t"), last = s.find_last_not_of(" \t");
    return first == std::string::npos ? "" : s.substr(first, last - first + 1);
}

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

std::vector<std::vector<std::string>> read_rows(const std::string& name) {
    std::vector<std::vector<std::string>> rows;
    std::ifstream file(std::string(CORVANE_DATA_DIR) + "/" + name);
    for (std::string line; std::getline(file, line);) {
        if (trimmed(line).empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::istringstream parts(line + "|");
        for (std::string field; std::getline(parts, field, '|');) fields.push_back(trimmed(field));
        rows.push_back(fields);
    }
    EXPECT_FALSE(rows.empty()) << "no rows in tests/data/" << name;
    return rows;
}

const std::vector<PerftLine>& perft_suite(const std::string& name) {
    static std::map<std::string, std::vector<PerftLine>> cache;
    if (auto found = cache.find(name); found != cache.end()) return found->second;
    std::vector<PerftLine>& lines = cache[name];
    std::ifstream file(std::string(CORVANE_DATA_DIR) + "/" + name);
    std::string text;
    for (int number = 1; std::getline(file, text); ++number) {
        std::stringstream parts(text);
        PerftLine line{number, "", {}};
        std::getline(parts, line.fen, ';');
        line.fen = trimmed(line.fen);
        unsigned long long count = 0;
        for (std::string part; std::getline(parts, part, ';');)
            if (int depth = 0; std::sscanf(part.c_str(), " D%d %llu", &depth, &count) == 2 && depth == int(line.counts.size()) + 1)
                line.counts.push_back(count);
        if (!line.fen.empty()) lines.push_back(line);
    }
    return lines;
}

std::vector<TreeRoot> tree_roots(int stride, const std::vector<std::string>& extra) {
    std::vector<TreeRoot> roots;
    for (const std::string& fen : extra) roots.push_back({fen, false});
    for (const char* name : {"perft/standard.epd", "perft/tricky.epd"})
        for (const PerftLine& line : perft_suite(name)) roots.push_back({line.fen, false});
    const std::vector<PerftLine>& random = perft_suite("perft/random.epd");
    for (std::size_t i = 0; i < random.size(); i += std::size_t(stride)) roots.push_back({random[i].fen, false});
    // An odd step, so that both the start positions and the played ones
    // (they alternate in the file) are walked.
    const std::vector<PerftLine>& chess960 = perft_suite("perft/chess960.epd");
    for (std::size_t i = 0; i < chess960.size(); i += std::size_t(stride / 25 | 1)) roots.push_back({chess960[i].fen, true});
    return roots;
}
