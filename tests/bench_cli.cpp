// corvane-bench as a user runs it: arguments in, report and exit status out.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "harness/engine_process.h"

namespace {

TEST(BenchCli, PerftReportsDivideAndTotal) {
    Finished r = run_to_end(bench_command({"perft", "3", "startpos", "moves", "e2e4"}));
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\nnodes 13160\n"), std::string::npos) << r.out;
    // One line per legal reply to 1.e4, and their counts add up to the total.
    std::istringstream lines(r.out);
    int moves = 0;
    long long sum = 0;
    for (std::string line; std::getline(lines, line) && !line.empty(); ++moves)
        sum += std::stoll(line.substr(line.find(": ") + 2));
    EXPECT_EQ(moves, 20);
    EXPECT_EQ(sum, 13160);

    // The g1 rook's right exists in Chess960 only: one move more there.
    for (const auto& [flag, nodes] : {std::pair{"", "14"}, std::pair{"--chess960", "15"}}) {
        std::vector<std::string> args = {"perft", "1", "4k3/8/8/8/8/8/8/4K1R1", "w", "K", "-", "0", "1"};
        if (*flag) args.insert(args.begin() + 1, flag);
        r = run_to_end(bench_command(args));
        const std::string total = std::string("\nnodes ") + nodes + "\n";
        EXPECT_NE(r.out.find(total), std::string::npos) << flag << "\n" << r.out;
    }
}

TEST(BenchCli, BadArgumentsGiveUsageAndStatusTwo) {
    for (auto args : {std::vector<std::string>{}, {"perft"}, {"perft", "0"}, {"perft", "x"}, {"perft", "--chess960"},
                      {"no-such-command"}, {"perft", "2", "fen", "8/8/8/8/8/8/8/KK5k", "w", "-", "-", "0", "1"}}) {
        Finished r = run_to_end(bench_command(args));
        EXPECT_EQ(r.status, 2) << testing::PrintToString(args) << "\n" << r.out;
        EXPECT_TRUE(r.out.find("nodes") == std::string::npos) << r.out;
    }
}

// The totals a search benchmark ends with: the node count, and the speed in
// nodes per second of the search time (OpenBench reads a speed in nodes per
// millisecond a thousand times too small).
long long bench_nodes(const std::string& out) {
    long long nodes = -1, ms = -1, nps = -1;
    EXPECT_EQ(std::sscanf(out.substr(out.rfind("nodes ")).c_str(), "nodes %lld\ntime_ms %lld\nnps %lld", &nodes, &ms, &nps), 3) << out;
    EXPECT_EQ(nps, ms > 0 ? nodes * 1000 / ms : nodes * 1000) << out;
    return nodes;
}

// The search's behaviour signature: the total node count of the benchmark
// positions at a fixed depth, the same in every run and build (release,
// sanitized, 32-bit); a change that alters the search or the evaluation
// updates it here and quotes it in its commit message.
TEST(BenchCli, SearchSignature) {
    const Finished r = run_to_end(bench_command({"search", "5"}));
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(bench_nodes(r.out), 398068);
}

// OpenBench's client runs `ENGINE bench` and reads the node count and the
// speed with these two expressions; each must match once, the node count
// being the signature.
TEST(OpenBench, EngineBenchPrintsTheSignatureAndSpeed) {
    if (CORVANE_LIGHT_TESTS) GTEST_SKIP() << "depth 9 takes minutes in slow builds; SearchSignature covers them";
    Finished r = run_to_end(engine_command({"bench"}));
    ASSERT_EQ(r.status, 0);
    for (const char* expression : {R"((\d+\s+nodes)|(nodes\s+\d+)|(nodes searched\s+\d+))", R"((\d+\s+nps)|(nps\s+\d+)|(nodes second\s+\d+))"}) {
        const std::regex re(expression);
        EXPECT_EQ(std::distance(std::sregex_iterator(r.out.begin(), r.out.end(), re), std::sregex_iterator()), 1) << r.out;
    }
    EXPECT_EQ(bench_nodes(r.out), 10565114);
    r = run_to_end(engine_command({"bench", "5"}));
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_EQ(r.out, "");
}

}  // namespace
