// perft, perft-suite and key: move generation checked and timed.
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench.h"
#include "board/tables.h"
#include "eval/eval.h"
#include "eval/pawn_table.h"
#include "movegen/movegen.h"
#include "movegen/picker.h"
#include "nnue/nnue.h"
#include "search/trans_table.h"
#include "uci/options.h"
#include "uci/uci.h"

namespace {

bool parse_int(const char* text, long long& out) {
    char* end = nullptr;
    out = std::strtoll(text, &end, 10);
    return end && end != text && *end == '\0';
}

// A leading --chess960 reads castling fields and move text as the engine does
// with UCI_Chess960 on; without it, as in standard chess. Consumes the flag.
bool take_chess960_flag(int& argc, char**& argv) {
    if (argc < 1 || std::string(argv[0]) != "--chess960") return false;
    --argc;
    ++argv;
    return true;
}

}  // namespace

std::int64_t bench_now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void bench_setup(Position& pos, bool hash_tables) {
    options_init();
    init_static_tables();
    pos.params = &pos.param_block;
    read_params(*pos.params);
    if (hash_tables && !(pawn_table_allocate(pos, option_get_int("Pawn Hash")) && tt_allocate(pos, option_get_int("Hash")))) {
        std::fprintf(stderr, "corvane-bench: not enough memory for the hash tables\n");
        std::exit(2);
    }
    if (hash_tables && !pos.nnue) pos.nnue = nnue_stack_new();
    read_fen(pos, START_FEN);
}

void bench_set_options(Position& pos, const std::vector<std::string>& options) {
    for (const std::string& option : options) {
        const std::size_t eq = option.find('=');
        const std::string line = "setoption name " + option.substr(0, eq) + " value " + option.substr(eq + 1);
        uci_setoption(pos, line.c_str());
    }
}

bool bench_set_position(Position& pos, int argc, char** argv) {
    std::string text;
    for (int i = 0; i < argc; ++i) text += std::string(i ? " " : "") + argv[i];
    if (text.empty()) text = "startpos";
    if (text.rfind("startpos", 0) != 0 && text.rfind("fen", 0) != 0) text = "fen " + text;
    uci_position(pos, text.c_str());
    if (const char* why = position_unplayable(pos)) {
        std::fprintf(stderr, "corvane-bench: position is not playable: %s\n", why);
        return false;
    }
    return true;
}

int bench_perft(int argc, char** argv) {
    const bool chess960 = take_chess960_flag(argc, argv);
    long long depth;
    if (argc < 1 || !parse_int(argv[0], depth) || depth < 1 || depth > 20) return -1;
    static Position pos;
    bench_setup(pos, false);
    pos.params->chess960 = chess960;
    if (!bench_set_position(pos, argc - 1, argv + 1)) return 2;
    std::int64_t start = bench_now_ms();
    MoveList list;
    gen_legal_moves(pos, list);
    std::uint64_t total = 0;
    UndoRecord undo;
    for (int i = 0; i < list.count; ++i) {
        Move m = list.moves[i].move;
        make_move(pos, undo, m);
        std::uint64_t n = depth > 1 ? perft(pos, int(depth) - 1) : 1;
        unmake_move(pos, undo);
        total += n;
        std::printf("%s: %" PRIu64 "\n", move_to_text(pos, m), n);
    }
    std::int64_t elapsed = bench_now_ms() - start;
    std::printf("\nnodes %" PRIu64 "\ntime_ms %" PRId64 "\nnps %" PRIu64 "\n", total, elapsed,
                elapsed > 0 ? total * 1000 / std::uint64_t(elapsed) : total * 1000);
    return 0;
}

int bench_perft_suite(int argc, char** argv) {
    const bool chess960 = take_chess960_flag(argc, argv);
    if (argc != 1 && argc != 3) return -1;
    long long max_nodes = -1;
    if (argc == 3) {
        if (std::string(argv[1]) != "--max-nodes" || !parse_int(argv[2], max_nodes) || max_nodes < 0) return -1;
    }
    std::ifstream file(argv[0]);
    if (!file) {
        std::fprintf(stderr, "corvane-bench: cannot read %s\n", argv[0]);
        return 2;
    }
    static Position pos;
    bench_setup(pos, false);
    pos.params->chess960 = chess960;
    int passed = 0, failed = 0, line_number = 0;
    std::string line;
    while (std::getline(file, line)) {
        ++line_number;
        if (line.empty()) continue;
        std::stringstream parts(line);
        std::string fen, part;
        std::getline(parts, fen, ';');
        std::string report;
        bool ok = true;
        int checked = 0;
        while (std::getline(parts, part, ';')) {
            int depth;
            unsigned long long expected;
            if (std::sscanf(part.c_str(), " D%d %llu", &depth, &expected) != 2) continue;
            if (max_nodes >= 0 && expected > (unsigned long long)max_nodes) continue;
            read_fen(pos, fen.c_str());
            std::uint64_t got = perft(pos, depth);
            ++checked;
            if (got != expected) {
                ok = false;
                report += " D" + std::to_string(depth) + " expected " + std::to_string(expected) + " got " +
                          std::to_string(got);
            }
        }
        std::printf("%d %s %s (%d depths)%s\n", line_number, ok ? "ok" : "FAIL", fen.c_str(), checked, report.c_str());
        (ok ? passed : failed) += 1;
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}

int bench_key(int argc, char** argv) {
    const bool chess960 = take_chess960_flag(argc, argv);
    static Position pos;
    bench_setup(pos, false);
    pos.params->chess960 = chess960;
    if (!bench_set_position(pos, argc, argv)) return 2;
    std::printf("%016" PRIx64 " %016" PRIx64 "\n", pos.st.hash, pos.st.pawn_hash);
    return 0;
}
