// What a GUI reads at the end of a search: the last line before bestmove
// starts with the move played (for several lines, the last line 1) and its
// second move is the ponder move, and the lines of several, however the
// search stopped, each number once with a move of its own; threads keep it.
// (The lines of whole searches are pinned in uci/multipv*.txt, a level's in
// uci/strength_choice.txt.)
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "harness/engine_process.h"

namespace {

// Sends go (and stop once stop_after is seen) and checks the answer against
// the lines shown.
void search(EngineProcess& engine, const std::string& go, int lines_wanted = 1, const char* stop_after = nullptr) {
    static const std::regex line_of("^info depth \\d+ seldepth \\d+ (multipv (\\d+) )?score .* pv (\\S+)( (\\S+))?"),
        summary("^info depth \\d+ seldepth \\d+ time "), bestmove("^bestmove (\\S+)( ponder (\\S+))?$");
    const std::size_t from = engine.lines().size();
    engine.send(go);
    if (stop_after) engine.wait_for(stop_after), engine.send("stop");
    const auto best = engine.wait_for("^bestmove ", 60000);
    std::smatch b, m;
    ASSERT_TRUE(best && std::regex_match(*best, b, bestmove));
    std::string first, second;  // of the last line shown as the first
    std::set<std::string> numbers, moves;  // of the lines after the last summary
    int shown = 0;
    for (std::size_t i = from; i < engine.lines().size(); ++i) {
        if (std::regex_search(engine.lines()[i], summary)) numbers.clear(), moves.clear(), shown = 0;
        if (!std::regex_search(engine.lines()[i], m, line_of)) continue;
        if (!m[2].matched || m[2] == "1") first = m[3], second = m[5];
        numbers.insert(m[2]), moves.insert(m[3]), ++shown;
    }
    if (first.empty()) return;  // nothing completed: no line to agree with
    EXPECT_EQ(first, b[1].str()) << go << "\n" << engine.transcript();
    EXPECT_TRUE(!b[3].matched || b[3] == second) << go << "\n" << engine.transcript();
    if (lines_wanted == 1) return;
    EXPECT_EQ(shown, lines_wanted) << go << "\n" << engine.transcript();
    EXPECT_EQ(int(numbers.size()), lines_wanted) << go;
    EXPECT_EQ(int(moves.size()), lines_wanted) << go;
}

}  // namespace

// Stops at fixed node counts land in every part of an iteration (the first
// line, a further line, between lines); a stop by the GUI anywhere.
TEST(Analysis, StoppedLinesShowEachLineOnceAndAnswerWithLineOne) {
    EngineProcess engine;
    engine.send("setoption name MultiPV value 3");
    engine.send("position startpos moves e2e4");
    for (int nodes : {400, 3000, 20000, 45000, 90000}) search(engine, "go nodes " + std::to_string(nodes), 3);
    search(engine, "go infinite", 3, "^info depth 7 .*multipv 3 ");
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}

// With helpers, the answer may be a helper's deeper line (most often when a
// clock stops the main thread inside an iteration the helper finished): the
// line shown last must still be the one played.
TEST(Analysis, ThreadsShowTheLineOfTheMovePlayed) {
    EngineProcess engine;
    engine.send("setoption name Threads value 2");
    int movetime = 100;
    for (const char* fen : {"r1bqkb1r/pp2pppp/2np1n2/8/3NP3/2N5/PPP2PPP/R1BQKB1R w KQkq - 0 6",
                            "6k1/pp3ppp/8/3r4/8/2N5/PP3PPP/4R1K1 b - - 0 1", "8/8/4k3/8/8/3K4/8/3R4 w - - 0 1",
                            "r2q1rk1/pp2bppp/2n1pn2/3p4/3P4/2NBPN2/PP3PPP/R2Q1RK1 w - - 0 10"}) {
        engine.send(std::string("position fen ") + fen);
        for (int i = 0; i < 3; ++i, movetime += 50) search(engine, "go movetime " + std::to_string(movetime));
    }
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}
