// corvane-bench search: fixed-depth searches over built-in positions. The
// total node count is the engine's behaviour signature.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench.h"
#include "eval/pawn_table.h"
#include "search/search.h"
#include "search/threads.h"
#include "search/trans_table.h"
#include "uci/options.h"
#include "uci/uci.h"

namespace {

constexpr int DEFAULT_DEPTH = 9;

// Openings, middlegames, endgames and tactics.
const char* const BENCH_POSITIONS[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3",
    "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/8/PPP2PPP/RNBQKB1R w KQkq - 1 5",
    "rnbqk2r/ppp1bppp/4pn2/3p4/2PP4/2N2N2/PP2PPPP/R1BQKB1R w KQkq - 4 5",
    "r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - - 1 7",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "2rq1rk1/pp1bppbp/2np1np1/8/3NP3/1BN1BP2/PPPQ2PP/2KR3R b - - 6 11",
    "r1bqr1k1/pp3pbp/2pp1np1/4p3/2PPP3/2N1BP2/PP1Q2PP/R3KBNR w KQ - 0 10",
    "r2q1rk1/pb1nbppp/1p2pn2/2pp4/3P4/1PNBPN2/PB3PPP/R2Q1RK1 w - - 2 11",
    "3r1rk1/p1q2ppp/1pn1p3/2p5/2P1P3/P1Q1BP2/4B1PP/3R1RK1 w - - 0 20",
    "r1b2rk1/2q1bppp/p2ppn2/1p6/3BP3/2N2B2/PPPQ1PPP/R4RK1 w - - 0 13",
    "2kr3r/pp1q1ppp/2n1pn2/3p4/3P1B2/2PB1N2/P1P2PPP/R2Q1RK1 w - - 4 13",
    "r3r1k1/ppqb1ppp/8/4p1NQ/8/2P5/PP3PPP/R3R1K1 b - - 0 16",
    "r1bq1rk1/4bppp/p1n2n2/1pppp3/4P3/2PP1N2/PPB2PPP/R1BQRNK1 w - - 0 11",
    "1r1q1rk1/p4pbp/2pp1np1/2P5/1PQ1P3/2N1B3/P4PPP/R4RK1 b - - 0 16",
    "r2qr1k1/1p1n1pp1/p1pb1n1p/3p4/3P4/2NBPN1P/PPQ2PP1/R4RK1 w - - 1 14",
    "4rrk1/pp1n3p/3q2pQ/2p1pb2/2PP4/2P3N1/P2B2PP/4RRK1 b - - 7 19",
    "r1b1k2r/ppppnppp/2n2q2/2b5/3NP3/2P1B3/PP3PPP/RN1QKB1R w KQkq - 0 1",
    "6k1/6p1/6Pp/ppp5/3pn2P/1P3K2/1PP2P2/3N4 b - - 0 1",
    "8/8/8/8/5kp1/P7/8/1K1N4 w - - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/k7/3p4/p2P1p2/P2P1P2/8/8/K7 w - - 0 1",
    "8/8/1p1k4/5ppp/PPK1n3/6P1/5P1P/8 b - - 0 1",
    "8/3k4/1p6/2pPp3/2P1P2p/7P/5K2/8 w - - 0 1",
    "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1",
    "8/8/4k3/8/8/3K4/8/3R4 w - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
    "2r3k1/1q1nbppp/r3p3/3pP3/pPpP4/P1Q2N2/2RN1PPP/2R4K b - - 0 22",
    "r1bq2rk/pp3pbp/2p1p1pQ/7P/3P4/2PB1N2/PP3PP1/R3K2R w KQ - 0 1",
    "2r2rk1/1bqnbpp1/1p1ppn1p/pP6/N1P1P3/P2B1N1P/1B2QPP1/R2R2K1 b - - 0 1",
    "r1bbk1nr/pp3p1p/2n5/1N4p1/2Np1B2/8/PPP2PPP/2KR1B1R w kq - 0 13",
    "2kr1bnr/pbpq4/2n1pp2/3p3p/3P1P1B/2N2N1Q/PPP3PP/2KR1B1R w - - 0 1",
    "3rr1k1/pp3pp1/1qn2np1/8/3p4/PP1R1P2/2P1NQPP/R1B3K1 b - - 0 1",
    "1k1r4/pp1b1R2/3q2pp/4p3/2B5/4Q3/PPP2B2/2K5 b - - 0 1",
};

}  // namespace

namespace {

// A whole decimal number within [low, high], or false.
bool read_count(const char* text, int low, int high, int& out) {
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text || *end || value < low || value > high) return false;
    out = int(value);
    return true;
}

// Searches every benchmark position to depth and prints the totals; with
// each_position, first a line per position.
int run_search_bench(int depth, int multipv, int threads, bool each_position,
                     const std::vector<std::string>& options = {}) {
    static Position pos;
    bench_setup(pos);
    option_set("MultiPV", std::to_string(multipv).c_str());
    bench_set_options(pos, options);
    if (threads > 1) {
        threads = threads_configure(threads, option_get_int("Pawn Hash"));
        // The threads race for the table, so their node counts differ from run to run.
        std::printf("threads %d: node counts vary from run to run\n\n", threads);
    }
    set_screen_output(false);
    set_input_polling(false);
    std::uint64_t total = 0;
    std::int64_t elapsed = 0;  // searching only: clearing 32 MB of tables is not search speed
    int index = 0;
    for (const char* fen : BENCH_POSITIONS) {
        read_fen(pos, fen);
        tt_clear(pos);
        pawn_table_clear(pos);
        threads_clear_pawn_tables();
        auto info = std::make_unique<SearchInfo>();
        search_info_init(*info, now_ms());
        info->status = THINKING;
        info->depth_limited = 1;
        info->depth_limit = depth;
        read_params(*pos.params);
        const std::int64_t start = bench_now_ms();
        think(pos, *info);
        elapsed += bench_now_ms() - start;
        const std::uint64_t nodes = std::uint64_t(search_nodes(*info));
        total += nodes;
        ++index;
        if (each_position)
            std::printf("position %2d nodes %12" PRIu64 " bestmove %s\n", index, nodes, move_to_text(info->best_move));
    }
    threads_shutdown();
    std::printf("%snodes %" PRIu64 "\ntime_ms %" PRId64 "\nnps %" PRIu64 "\n", each_position ? "\n" : "", total,
                elapsed, elapsed > 0 ? total * 1000 / std::uint64_t(elapsed) : total * 1000);
    return 0;
}

}  // namespace

int bench_search(int argc, char** argv) {
    int depth = DEFAULT_DEPTH, multipv = 1, threads = 1;
    bool depth_given = false;
    std::vector<std::string> options;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--option") == 0) {
            if (++i == argc || !std::strchr(argv[i], '=')) return -1;
            options.push_back(argv[i]);
        } else if (std::strcmp(argv[i], "--multipv") == 0) {
            if (++i == argc || !read_count(argv[i], 1, 256, multipv)) return -1;
        } else if (std::strcmp(argv[i], "--threads") == 0) {
            if (++i == argc || !read_count(argv[i], 1, 256, threads)) return -1;
        } else if (depth_given || !read_count(argv[i], 1, 64, depth)) {
            return -1;
        } else {
            depth_given = true;
        }
    }
    return run_search_bench(depth, multipv, threads, true, options);
}

// Only the totals: the per-position lines would also read as node counts to
// a client that takes the first match.
int bench_signature() { return run_search_bench(DEFAULT_DEPTH, 1, 1, false); }
