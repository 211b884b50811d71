// The opening book end to end: which go commands it answers and how, the
// candidate display, the half-move limit, and when the file is (re)opened.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <utility>

#include "harness/engine_process.h"

namespace {

const std::string BOOK = CORVANE_DATA_DIR "/book/performance.bin";
constexpr const char* QGD = "startpos moves d2d4 g8f6 c2c4 e7e6";
constexpr const char* QGD_FEN = "fen rnbqkb1r/pppp1ppp/4pn2/8/2PP4/8/PP2PPPP/RNBQKBNR w KQkq - 0 3";

using Candidates = std::vector<std::pair<std::string, int>>;  // move and stored weight

// The display line: each candidate's share of the key's total weight.
std::string book_moves_line(const Candidates& candidates) {
    int total = 0;
    for (const auto& c : candidates) total += c.second;
    std::string line = "info string book moves: ";
    for (const auto& [move, weight] : candidates) {
        char share[32];
        std::snprintf(share, sizeof share, "(%5.2f%%) ", weight * 100.0 / total);
        line += move + share;
    }
    return line;
}

EngineProcess& with_book(EngineProcess& engine, const std::string& file) {
    engine.send("setoption name OwnBook value true");
    engine.send("setoption name Display Book Moves value true");
    engine.send("setoption name Book File value " + file);
    engine.send("isready");  // past the banner: later replies start clean
    engine.wait_for("^readyok$");
    return engine;
}

// Sends position and go; returns the screen lines from there to bestmove.
// Every go here ends on its own, so a search left running fails the wait.
std::vector<std::string> answer(EngineProcess& engine, const std::string& position, const std::string& go) {
    std::size_t from = engine.lines().size();
    engine.send("position " + position);
    engine.send(go);
    if (!engine.wait_for("^bestmove ", 5000)) return {};
    std::vector<std::string> lines(engine.lines().begin() + from, engine.lines().end());
    engine.wait_for("^$");  // the empty line that closes every answer
    return lines;
}

bool searched(const std::vector<std::string>& lines) {
    bool depth = false, book = false;
    for (const auto& line : lines) {
        depth |= line.rfind("info depth 2 ", 0) == 0;
        book |= line.find("book") != std::string::npos;
    }
    return depth && !book && !lines.empty() && lines.back().rfind("bestmove ", 0) == 0;
}

}  // namespace

// The book answers at once, without search lines or ponder move, even where
// a search would wait for stop or ponderhit; castling stored as king takes
// rook is played as the king's two-square move.
TEST(UciBook, SamplePositionsAnswerAtOnceWithTheirShares) {
    struct Sample {
        std::string position;
        Candidates candidates;
        std::vector<std::string> chosen;
    };
    const Candidates start = {{"e2e4", 1}, {"d2d4", 1}, {"c2c4", 1}};
    const Sample samples[] = {
        {"startpos", start, {"e2e4", "d2d4", "c2c4"}},
        {"startpos moves e2e4", {{"e7e5", 1}, {"c7c5", 1}}, {"e7e5", "c7c5"}},
        // The pick point is 0, 84 or 168 of 252: g2g3 (from 242 on) is never drawn.
        {QGD, {{"g1f3", 162}, {"b1c3", 80}, {"g2g3", 10}}, {"g1f3", "b1c3"}},
        {"startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5a4 g8f6", {{"e1g1", 82}}, {"e1g1"}},
        {"startpos moves e2e4 c7c5 g1f3 d7d6 d2d4 c5d4 f3d4 g8f6 b1c3 a7a6 f1e2 e7e5 d4b3 f8e7", {{"e1g1", 13}}, {"e1g1"}},
    };
    EngineProcess engine;
    with_book(engine, BOOK);
    for (const Sample& s : samples) {
        auto lines = answer(engine, s.position, "go depth 2");
        ASSERT_EQ(lines.size(), 2u) << s.position << "\n" << engine.transcript();
        EXPECT_EQ(lines[0], book_moves_line(s.candidates));
        EXPECT_NE(std::find(s.chosen.begin(), s.chosen.end(), lines[1].substr(9)), s.chosen.end()) << lines[1];
    }
    for (const char* go : {"go infinite", "go ponder wtime 60000 btime 60000", "go", "go wtime 60000 btime 60000"}) {
        auto lines = answer(engine, "startpos", go);
        ASSERT_EQ(lines.size(), 2u) << go << "\n" << engine.transcript();
        EXPECT_EQ(lines[0], book_moves_line(start));
        EXPECT_TRUE(lines[1] == "bestmove e2e4" || lines[1] == "bestmove d2d4" || lines[1] == "bestmove c2c4")
            << go << ": " << lines[1];
    }
    engine.send("quit");
    ASSERT_EQ(engine.wait_exit(), 0);
    EXPECT_NE(engine.read_file("logfile.txt").find(book_moves_line(samples[2].candidates) + "\n"), std::string::npos);
}

// The limit counts half-moves made since the position was set up, not the
// game's move number: a FEN of the same position is asked again.
TEST(UciBook, AskedOnlyWhileTheGameIsYoungEnoughAndInTheBook) {
    EngineProcess engine;
    with_book(engine, BOOK);
    engine.send("setoption name Book Move Limit value 1");
    EXPECT_FALSE(searched(answer(engine, "startpos", "go depth 2")));
    EXPECT_FALSE(searched(answer(engine, "startpos moves e2e4", "go depth 2")));
    EXPECT_TRUE(searched(answer(engine, QGD, "go depth 2")));
    EXPECT_FALSE(searched(answer(engine, QGD_FEN, "go depth 2")));
    engine.send("setoption name Book Move Limit value 3");
    EXPECT_TRUE(searched(answer(engine, QGD, "go depth 2")));
    engine.send("setoption name Book Move Limit value 4");
    EXPECT_FALSE(searched(answer(engine, QGD, "go depth 2")));

    // Out of the book: a search and a legal move, no display.
    auto lines = answer(engine, "fen 4k3/8/8/8/8/8/8/4K2R w K - 0 1", "go depth 2");
    EXPECT_TRUE(searched(lines)) << engine.transcript();
    EXPECT_TRUE(std::regex_search(lines.back(), std::regex("^bestmove (e1(d1|f1|d2|e2|f2|g1)|h1h[2-8]|h1[fg]1)( |$)")))
        << lines.back();

    // Only a lower-case "t" switches a check option on.
    engine.send("setoption name OwnBook value True");
    EXPECT_TRUE(searched(answer(engine, "startpos", "go depth 2")));
    engine.send("setoption name OwnBook value true");
    EXPECT_FALSE(searched(answer(engine, "startpos", "go depth 2")));
}

// Setting "Book File" opens the file there and then, even to the same name:
// a file that appears later is not seen until it is set again, and one that
// disappears after it was set is still read through the open handle.
TEST(UciBook, BookFileOpensWhenSetWithSpacesInTheName) {
    EngineProcess engine;
    auto link = [&](const std::string& name) { ASSERT_EQ(symlink(BOOK.c_str(), (engine.dir() + "/" + name).c_str()), 0); };
    with_book(engine, "later.bin");
    link("later.bin");
    EXPECT_TRUE(searched(answer(engine, "startpos", "go depth 2"))) << engine.transcript();
    engine.send("setoption name Book File value later.bin");
    EXPECT_FALSE(searched(answer(engine, "startpos", "go depth 2")));

    link("my opening book.bin");
    engine.send("setoption name Book File value my opening book.bin");
    engine.send("isready");
    ASSERT_TRUE(engine.wait_for("^readyok$"));
    ASSERT_EQ(unlink((engine.dir() + "/my opening book.bin").c_str()), 0);
    EXPECT_FALSE(searched(answer(engine, "startpos", "go depth 2")));

    engine.send("setoption name Book File value no such book.bin");
    EXPECT_TRUE(searched(answer(engine, "startpos", "go depth 2")));
    engine.send("quit");
    ASSERT_EQ(engine.wait_exit(), 0);
    EXPECT_NE(engine.read_file("logfile.txt").find("info string Book File is set to value my opening book.bin\n"),
              std::string::npos);
}
