// Engine options end to end beyond what the transcripts of tests/uci/ show:
// a hash size that is stored but not acted on, and the log of each setting.
#include <gtest/gtest.h>

#include <regex>

#include "harness/engine_process.h"
#include "uci/options.h"

namespace {

// The node count of the last completed iteration of a depth-limited search.
long long nodes_of_search(EngineProcess& engine, int depth) {
    engine.send("go depth " + std::to_string(depth));
    auto line = engine.wait_for("^info depth " + std::to_string(depth) + " seldepth ");
    engine.wait_for("^bestmove ");
    std::smatch m;
    if (!line || !std::regex_search(*line, m, std::regex(" nodes (\\d+) "))) return -1;
    return std::stoll(m[1].str());
}

}  // namespace

// A size below 4 MB is stored but leaves the table, contents and all, alone;
// any other size brings a new, empty table at once. A value ends before the
// carriage return of a Windows line end.
TEST(UciOptions, HashBelowFourKeepsTheTableAndALaterSizeReplacesIt) {
    EngineProcess engine;
    engine.send("position startpos");
    long long fresh = nodes_of_search(engine, 6);
    ASSERT_GT(fresh, 0);

    engine.send("setoption name Hash value 2");
    engine.send("isready");
    ASSERT_TRUE(engine.wait_for("^readyok$"));
    // The entries of the first search cut the second one short.
    EXPECT_LT(nodes_of_search(engine, 6), fresh);

    engine.send("setoption name Hash value 8\r");
    EXPECT_EQ(nodes_of_search(engine, 6), fresh);
    engine.send("uci");
    EXPECT_TRUE(engine.wait_for("^option name Hash type spin default 8 min 1 max 4096$"));
    engine.send("quit");
    ASSERT_EQ(engine.wait_exit(), 0);
    const std::string log = engine.read_file("logfile.txt");
    EXPECT_NE(log.find("info string Hash is set to value 2\n"), std::string::npos);
    EXPECT_NE(log.find("info string Hash is set to value 8\n"), std::string::npos);
}
