// The command loop and the output files, end to end through pipes. The
// replies to uci and isready are pinned in the transcripts of tests/uci/.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <random>
#include <regex>
#include <sstream>

#include "harness/engine_process.h"

namespace {

bool starts_with(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// The banner, and the log as the whole dialogue: every screen line in order,
// each input line followed by an empty line, the log-only quitting note last.
TEST(UciLoop, BannerAndLogTranscript) {
    EngineProcess engine;
    for (const char* command : {"uci", "isready", "quit"}) engine.send(command);
    ASSERT_EQ(engine.wait_exit(), 0);
    const auto& screen = engine.lines();
    ASSERT_GE(screen.size(), 4u) << engine.transcript();
    EXPECT_EQ(std::vector<std::string>(screen.begin(), screen.begin() + 4),
              (std::vector<std::string>{"Corvane 20100131z by Velmorin, Estoria", "Use Universal Chess Interface commands",
                                        "Active Beta Testers: the Corvane team", ""}));

    std::vector<std::string> log;
    std::istringstream in(engine.read_file("logfile.txt"));
    for (std::string line; std::getline(in, line);) log.push_back(line);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "info string Corvane is quitting.");
    std::size_t at = 0;
    for (const auto& line : screen) {
        while (at < log.size() && log[at] != line) ++at;
        ASSERT_LT(at, log.size()) << "screen line \"" << line << "\" missing from the log in order";
        ++at;
    }
    for (const char* input : {"uci", "isready", "quit"}) {
        auto it = std::find(log.begin(), log.end(), input);
        ASSERT_TRUE(it != log.end() && it + 1 != log.end() && it[1].empty()) << input;
    }
}

// A command line is read whole, however long (a position command carries the
// whole game), up to 1 MiB: a 20 MB line is read in pieces, the first a
// position command cut inside a move (played up to the cut), the rest unknown
// commands. Whatever the lines hold, the engine keeps answering.
TEST(UciLoop, OverlongLinesAndBinaryGarbageAreSurvived) {
    EngineProcess engine;
    // 25,000 half-moves, then 1.e4: black is to move when the search starts.
    std::string moves = "position startpos moves";
    while (moves.size() < 100000) moves += " g1f3 g8f6 f3g1 f6g8";
    engine.send(moves + " e2e4");
    engine.send("go depth 1");
    auto best = engine.wait_for("^bestmove ", 30000);
    ASSERT_TRUE(best.has_value());
    EXPECT_TRUE(best->at(10) == '7' || best->at(10) == '8') << *best;

    // Bytes outside ASCII letters cannot spell a command word, so each piece is
    // unknown; the replies (far more than a pipe holds) flow while input goes in.
    std::mt19937 rng(2010);
    std::string garbage;
    for (int i = 0; i < 100000; ++i) {
        unsigned char c = static_cast<unsigned char>(rng() % 256);
        garbage += std::isalpha(c) ? '\n' : char(c);
    }
    engine.send(garbage);
    engine.send("isready");
    ASSERT_TRUE(engine.wait_for("^readyok$", 30000));

    std::string line = "position startpos moves";
    while (line.size() < 20'000'000) line += " g1f3 g8f6 f3g1 f6g8";
    const std::size_t before = engine.lines().size();
    engine.send(line + " e2e4");
    engine.send("isready");
    ASSERT_TRUE(engine.wait_for("^readyok$", 120000));
    const std::vector<std::string> said(engine.lines().begin() + std::ptrdiff_t(before), engine.lines().end() - 1);
    ASSERT_EQ(said.size(), 20u);
    EXPECT_TRUE(std::regex_match(said[0], std::regex("info string Illegal move: \\S+"))) << said[0];
    EXPECT_EQ(std::count(said.begin(), said.end(), "info string Unknown UCI command."), 19);
    engine.send("go depth 3");
    EXPECT_TRUE(engine.wait_for("^bestmove [a-h][1-8][a-h][1-8]"));
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}

// Output files that cannot be opened are skipped: the screen must not change.
// Each file name is taken by a directory, which no fopen can write, root's
// included (a read-only directory would not stop root).
TEST(UciLoop, UnwritableFilesLeaveTheScreenUnchanged) {
    const std::vector<std::string> session = {"uci", "isready", "xyzzy", "quit"};
    EngineProcess normal;
    for (const auto& command : session) normal.send(command);
    ASSERT_EQ(normal.wait_exit(), 0);

    ScratchDir dir;
    for (const char* name : {"logfile.txt", "errfile.txt", "dumpfile.txt"})
        ASSERT_EQ(mkdir(dir.file(name).c_str(), 0755), 0);
    chmod(dir.path.c_str(), 0555);
    EngineProcess blocked({}, dir.path);
    for (const auto& command : session) blocked.send(command);
    ASSERT_EQ(blocked.wait_exit(), 0);
    EXPECT_EQ(blocked.lines(), normal.lines());
}

TEST(UciLoop, RestartEmptiesTheLogButAppendsTheOtherFiles) {
    ScratchDir dir;
    auto session = [&](const char* command) {
        EngineProcess engine({}, dir.path);
        engine.send(command);
        engine.close_stdin();
        ASSERT_EQ(engine.wait_exit(), 0);
    };
    session("isready");
    ASSERT_NE(read_text(dir.file("logfile.txt")).find("isready"), std::string::npos);
    const std::string earlier = "left by an earlier run\n";
    for (const char* name : {"dumpfile.txt", "errfile.txt"}) std::ofstream(dir.file(name)) << earlier;
    session("uci");
    const std::string log = read_text(dir.file("logfile.txt"));
    EXPECT_TRUE(log.find("isready") == std::string::npos && log.find("uciok") != std::string::npos) << log;
    EXPECT_TRUE(starts_with(read_text(dir.file("dumpfile.txt")), earlier));
    EXPECT_TRUE(starts_with(read_text(dir.file("errfile.txt")), earlier));
}

}  // namespace
