// What a GUI reads at the end of a search and while lines of analysis come in:
// the last line before bestmove starts with the move played (for several
// lines, the last line 1), its second move is the ponder move, lines come
// best first, each numbered line once, and a long iteration shows each line
// as it completes. Threads and strength levels must keep all of it. (The
// lines of fixed-depth searches are pinned in uci/multipv.txt.)
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <vector>

#include "harness/engine_process.h"

namespace {

const std::regex PV_LINE("^info depth (\\d+) seldepth \\d+ (multipv (\\d+) )?score (cp|mate) (-?\\d+) .*pv ([a-h1-8nbrq]+)"
                         "( ([a-h1-8nbrq]+))?");
const std::regex SUMMARY("^info depth \\d+ seldepth \\d+ time ");
const std::regex BESTMOVE("^bestmove (\\S+)( ponder (\\S+))?$");

struct Shown {
    int depth, multipv, score;
    std::string first, second;
};

std::vector<Shown> shown_lines(const std::vector<std::string>& lines, std::size_t from, std::size_t to) {
    std::vector<Shown> out;
    std::smatch m;
    for (std::size_t i = from; i < to; ++i)
        if (std::regex_search(lines[i], m, PV_LINE))
            out.push_back({std::stoi(m[1]), m[3].matched ? std::stoi(m[3]) : 0,
                           m[4] == "mate" ? (std::stoi(m[5]) > 0 ? 100000 : -100000) : std::stoi(m[5]), m[6], m[8]});
    return out;
}

// Sends go and checks the answer against what was shown; returns the lines
// from the go on.
std::vector<std::string> search(EngineProcess& engine, const std::string& go, int lines_wanted = 1,
                                const char* stop_after = nullptr) {
    const std::size_t from = engine.lines().size();
    engine.send(go);
    if (stop_after) {
        engine.wait_for(stop_after);
        engine.send("stop");
    }
    const auto best = engine.wait_for("^bestmove ", 60000);
    if (!best) return {};
    const auto& all = engine.lines();
    std::vector<std::string> said(all.begin() + std::ptrdiff_t(from), all.end());
    std::smatch m;
    EXPECT_TRUE(std::regex_match(*best, m, BESTMOVE));
    const std::string move = m[1], ponder = m[3];
    const auto shown = shown_lines(said, 0, said.size());
    const Shown* last = nullptr;
    for (const Shown& s : shown)
        if (s.multipv <= 1) last = &s;
    if (!last) return said;  // nothing completed: no line to agree with
    EXPECT_EQ(last->first, move) << go << "\n" << engine.transcript();
    EXPECT_TRUE(ponder.empty() || last->second == ponder) << go << "\n" << engine.transcript();
    if (lines_wanted > 1) {
        // The block after the last summary: every number once, each a move of its own.
        std::size_t summary = said.size();
        while (summary > 0 && !std::regex_search(said[summary - 1], SUMMARY)) --summary;
        const auto block = shown_lines(said, summary, said.size());
        std::set<int> numbers;
        std::set<std::string> moves;
        for (const Shown& s : block) numbers.insert(s.multipv), moves.insert(s.first);
        EXPECT_EQ(int(block.size()), lines_wanted) << go << "\n" << engine.transcript();
        EXPECT_EQ(int(numbers.size()), lines_wanted) << go;
        EXPECT_EQ(int(moves.size()), lines_wanted) << go;
    }
    return said;
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

// Lines come best first: in every block, the lines of the newest depth at
// its head (the rest are the last iteration's, shown until searched again).
TEST(Analysis, LinesAreShownBestFirst) {
    EngineProcess engine;
    engine.send("setoption name MultiPV value 3");
    for (const char* fen : {"r1bqkb1r/pp2pppp/2np1n2/8/3NP3/2N5/PPP2PPP/R1BQKB1R w KQkq - 0 6",
                            "rnbqk2r/ppp1bppp/4pn2/3p4/2PP4/2N2N2/PP2PPPP/R1BQKB1R w KQkq - 2 5"}) {
        engine.send(std::string("position fen ") + fen);
        const auto said = search(engine, CORVANE_LIGHT_TESTS ? "go depth 8" : "go depth 10", 3);
        const auto shown = shown_lines(said, 0, said.size());
        for (std::size_t i = 1; i < shown.size(); ++i)
            EXPECT_TRUE(shown[i].multipv == 1 || shown[i].depth != shown[i - 1].depth ||
                        shown[i].score <= shown[i - 1].score)
                << fen << ", depth " << shown[i].depth << ": " << shown[i].score << " after " << shown[i - 1].score;
    }
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}

// With helpers, the answer may be a helper's deeper line (most often when a
// clock stops the main thread inside an iteration the helper finished): the
// line shown last must still be the one played.
TEST(Analysis, ThreadsShowTheLineOfTheMovePlayed) {
    EngineProcess engine;
    engine.send("setoption name Threads value 2");
    int movetime = 200;
    for (const char* fen : {"r1bqkb1r/pp2pppp/2np1n2/8/3NP3/2N5/PPP2PPP/R1BQKB1R w KQkq - 0 6",
                            "6k1/pp3ppp/8/3r4/8/2N5/PP3PPP/4R1K1 b - - 0 1", "8/8/4k3/8/8/3K4/8/3R4 w - - 0 1",
                            "r2q1rk1/pp2bppp/2n1pn2/3p4/3P4/2NBPN2/PP3PPP/R2Q1RK1 w - - 0 10"}) {
        engine.send(std::string("position fen ") + fen);
        for (int i = 0; i < 5; ++i, movetime += 50) search(engine, "go movetime " + std::to_string(movetime));
    }
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}
