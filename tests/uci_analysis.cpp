// Analysis end to end: several lines (MultiPV) with their scores, the Clear
// Hash button, and the white space a GUI may put between tokens.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "harness/engine_process.h"

namespace {

struct Line {
    int depth, score;
    bool mate;
    std::string first;
};

// The multipv lines the engine printed for one search, keyed by line number:
// the last one printed for each number. Every such line must carry a score
// and a principal variation, so that a client can read it by itself.
std::map<int, Line> read_lines(const EngineProcess& engine, std::size_t from) {
    static const std::regex FORM(
        "^info depth (\\d+) seldepth \\d+ multipv (\\d+) score (cp|mate) (-?\\d+) nodes \\d+ nps \\d+ hashfull \\d+ "
        "time \\d+ pv ([a-h][1-8][a-h][1-8][nbrq]?)( [a-h][1-8][a-h][1-8][nbrq]?)*$");
    std::map<int, Line> lines;
    for (std::size_t i = from; i < engine.lines().size(); ++i) {
        const std::string& text = engine.lines()[i];
        if (text.find(" multipv ") == std::string::npos) continue;
        std::smatch m;
        EXPECT_TRUE(std::regex_match(text, m, FORM)) << text;
        if (m.empty()) continue;
        lines[std::stoi(m[2])] = {std::stoi(m[1]), std::stoi(m[4]), m[3] == "mate", m[5]};
    }
    return lines;
}

// Runs one search to its bestmove and returns the lines it printed.
std::map<int, Line> analyse(EngineProcess& engine, const std::string& position, const std::string& go,
                            std::string* bestmove = nullptr) {
    const std::size_t from = engine.lines().size();
    engine.send("position " + position);
    engine.send(go);
    auto best = engine.wait_for("^bestmove ");
    if (bestmove && best) *bestmove = best->substr(9, best->find(' ', 9) - 9);
    return read_lines(engine, from);
}

}  // namespace

TEST(Analysis, SeveralLinesEachWithItsOwnScore) {
    EngineProcess engine;
    engine.send("setoption name MultiPV value 3");

    // Three captures stand out: each line a different one, best first.
    auto lines = analyse(engine, "fen 4k3/8/8/2b5/3P3r/4n1P1/5P2/6K1 w - - 0 1", "go depth 6");
    ASSERT_EQ(lines.size(), 3u) << engine.transcript();
    EXPECT_EQ((std::set<std::string>{lines[1].first, lines[2].first, lines[3].first}),
              (std::set<std::string>{"g3h4", "f2e3", "d4c5"}));
    EXPECT_TRUE(lines[1].score >= lines[2].score && lines[2].score >= lines[3].score);
    for (auto& [n, line] : lines) EXPECT_EQ(line.depth, 6) << n;

    // Two mates in one: both lines say so, with exact scores.
    std::string best;
    lines = analyse(engine, "fen 6k1/5ppp/8/8/8/8/8/R3R1K1 w - - 0 1", "go depth 4", &best);
    EXPECT_TRUE(lines[1].mate && lines[1].score == 1 && lines[2].mate && lines[2].score == 1);
    EXPECT_EQ((std::set<std::string>{lines[1].first, lines[2].first}), (std::set<std::string>{"a1a8", "e1e8"}));
    EXPECT_EQ(best, lines[1].first);

    // More lines asked for than there are moves (three king moves), and a
    // searchmoves list: as many lines as moves to search.
    engine.send("setoption name MultiPV value 10");
    lines = analyse(engine, "fen 7k/8/8/8/8/8/8/K7 w - - 0 1", "go depth 3");
    EXPECT_EQ(lines.size(), 3u);
    lines = analyse(engine, "startpos", "go depth 4 searchmoves e2e4 d2d4");
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_EQ((std::set<std::string>{lines[1].first, lines[2].first}), (std::set<std::string>{"e2e4", "d2d4"}));

    // Stopped analysis: the last lines printed are the ones left, and the
    // best move is line 1's.
    engine.send("setoption name MultiPV value 4");
    engine.send("position startpos moves e2e4");
    const std::size_t from = engine.lines().size();
    engine.send("go infinite");
    engine.wait_for("^info depth 6 .*multipv 4 ");
    engine.send("stop");
    auto stopped = engine.wait_for("^bestmove ", 2000);
    ASSERT_TRUE(stopped);
    lines = read_lines(engine, from);
    EXPECT_EQ(lines.size(), 4u);
    EXPECT_EQ(stopped->substr(9, 4), lines[1].first);
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}

// Clear Hash empties the tables: the same search then costs what it cost on
// the fresh tables, where a second search on warm tables costs less.
TEST(Analysis, ClearHashAndWhiteSpaceBetweenTokens) {
    EngineProcess engine;
    auto nodes_of = [&](const std::string& go) {
        const std::size_t from = engine.lines().size();
        engine.send("position\tstartpos   moves  e2e4 ");
        engine.send(go);
        engine.wait_for("^bestmove [a-h][1-8][a-h][1-8]");
        static const std::regex SUMMARY("^info depth 7 seldepth \\d+ time \\d+ nodes (\\d+) ");
        std::smatch m;
        for (std::size_t i = from; i < engine.lines().size(); ++i)
            if (std::regex_search(engine.lines()[i], m, SUMMARY)) return std::stol(m[1]);
        ADD_FAILURE() << engine.transcript();
        return 0L;
    };
    const long fresh = nodes_of("go depth 7");
    EXPECT_LT(nodes_of("  go   depth\t7  "), fresh);
    engine.send("setoption name Clear Hash");
    EXPECT_EQ(nodes_of("go depth 7"), fresh);

    engine.send("  isready  ");
    engine.wait_for("^readyok$");
    engine.send("setoption   name  Book   File value\tx.bin ");
    engine.send("\tquit ");
    EXPECT_EQ(engine.wait_exit(), 0);
    EXPECT_NE(engine.read_file("logfile.txt").find("info string Book File is set to value x.bin\n"), std::string::npos);
}
