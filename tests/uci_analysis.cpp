// Several lines of analysis stopped by the GUI: the lines printed last are
// the ones the search leaves, each readable by itself, and the best move is
// line 1's. (The lines of fixed-depth searches are pinned in uci/multipv.txt.)
#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "harness/engine_process.h"

TEST(Analysis, StoppedAnalysisAnswersWithLineOnesMove) {
    static const std::regex LINE(
        "^info depth \\d+ seldepth \\d+ multipv (\\d+) score (cp|mate) -?\\d+ nodes \\d+ nps \\d+ hashfull \\d+ "
        "time \\d+ pv ([a-h][1-8][a-h][1-8][nbrq]?)( [a-h][1-8][a-h][1-8][nbrq]?)*$");
    EngineProcess engine;
    engine.send("setoption name MultiPV value 4");
    engine.send("position startpos moves e2e4");
    engine.send("go infinite");
    engine.wait_for("^info depth 6 .*multipv 4 ");
    engine.send("stop");
    auto best = engine.wait_for("^bestmove ", 5000);
    ASSERT_TRUE(best);
    std::map<int, std::string> first_moves;  // the last line printed for each number
    std::smatch m;
    for (const auto& line : engine.lines())
        if (line.find(" multipv ") != std::string::npos) {
            ASSERT_TRUE(std::regex_match(line, m, LINE)) << line;
            first_moves[std::stoi(m[1])] = m[3];
        }
    EXPECT_EQ(first_moves.size(), 4u);
    EXPECT_EQ(best->substr(9, 4), first_moves[1]);
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}
