// The command loop and the output files, end to end through pipes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <sstream>

#include "harness/engine_process.h"

namespace {

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool starts_with(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// The screen after the four banner lines.
std::vector<std::string> replies(const EngineProcess& engine) {
    const auto& seen = engine.lines();
    return seen.size() < 4 ? std::vector<std::string>{}
                           : std::vector<std::string>(seen.begin() + 4, seen.end());
}

TEST(UciLoop, HandshakeRepliesAndLogTranscript) {
    EngineProcess engine;
    for (const char* command : {"uci", "isready", "quit"}) engine.send(command);
    ASSERT_EQ(engine.wait_exit(), 0);

    const auto& screen = engine.lines();
    ASSERT_GE(screen.size(), 8u) << engine.transcript();
    EXPECT_EQ(screen[0], "Corvane 20100131z by Velmorin, Estoria");
    EXPECT_EQ(screen[1], "Use Universal Chess Interface commands");
    EXPECT_TRUE(starts_with(screen[2], "Active Beta Testers: "));
    EXPECT_EQ(screen[3], "");
    auto reply = replies(engine);
    std::size_t i = 0;
    EXPECT_EQ(reply[i++], "id name Corvane 20100131z");
    EXPECT_EQ(reply[i++], "id author Velmorin, Estoria");
    while (i < reply.size() && starts_with(reply[i], "option name ")) ++i;
    ASSERT_EQ(reply.size(), i + 2) << engine.transcript();
    EXPECT_EQ(reply[i], "uciok");
    EXPECT_EQ(reply[i + 1], "readyok");

    // The log is the whole dialogue: every screen line in order, each input
    // line followed by an empty line, the log-only quitting note last.
    auto log = split_lines(engine.read_file("logfile.txt"));
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
        ASSERT_NE(it, log.end()) << input << " not logged";
        ASSERT_NE(it + 1, log.end());
        EXPECT_EQ(*(it + 1), "") << input << " not followed by an empty line";
    }
}

// A command line is read whole, however long (a position command carries the
// whole game); whatever the lines hold, the engine must keep answering.
TEST(UciLoop, OverlongLinesAndBinaryGarbageAreSurvived) {
    EngineProcess engine;
    engine.send(std::string(5000, 'x') + "isready");
    engine.send("isready");
    ASSERT_TRUE(engine.wait_for("^readyok$"));
    EXPECT_EQ(engine.lines().end()[-2], "info string Unknown UCI command.");

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
    chmod(dir.path().c_str(), 0555);
    EngineProcess blocked(dir.path());
    for (const auto& command : session) blocked.send(command);
    ASSERT_EQ(blocked.wait_exit(), 0);
    EXPECT_EQ(blocked.lines(), normal.lines());
}

TEST(UciLoop, RestartEmptiesTheLogButAppendsTheOtherFiles) {
    ScratchDir dir;
    {
        EngineProcess first(dir.path());
        first.send("isready");
        first.close_stdin();
        ASSERT_EQ(first.wait_exit(), 0);
    }
    ASSERT_NE(dir.read_file("logfile.txt").find("isready"), std::string::npos);
    const std::string earlier = "left by an earlier run\n";
    dir.write_file("dumpfile.txt", dir.read_file("dumpfile.txt") + earlier);
    dir.write_file("errfile.txt", earlier);

    EngineProcess second(dir.path());
    second.send("uci");
    second.close_stdin();
    ASSERT_EQ(second.wait_exit(), 0);
    std::string log = dir.read_file("logfile.txt");
    EXPECT_EQ(log.find("isready"), std::string::npos) << log;
    EXPECT_NE(log.find("uciok"), std::string::npos) << log;
    EXPECT_TRUE(starts_with(dir.read_file("dumpfile.txt"), earlier));
    EXPECT_TRUE(starts_with(dir.read_file("errfile.txt"), earlier));
}

}  // namespace
