// The opening book end to end where files are made or taken away during the
// session: when "Book File" (re)opens its file, and damaged files. Its
// answers and limits are in the transcripts of tests/uci/.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <regex>

#include "harness/engine_process.h"

namespace {

const std::string BOOK = CORVANE_DATA_DIR "/book/performance.bin";

// A Polyglot record: big-endian key, the move's from and to squares (0 = a1), weight 1.
std::string record(std::uint64_t key, int from, int to) {
    std::string r;
    for (int shift = 56; shift >= 0; shift -= 8) r += char(key >> shift & 0xFF);
    for (int v : {from >> 2, (from << 6 | to) & 0xFF, 0, 1, 0, 0, 0, 0}) r += char(v);
    return r;
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

// Whole records followed by a partial one, a file shorter than one record,
// records of illegal moves, a directory: never a crash, never an illegal move.
TEST(UciBook, DamagedFilesNeverCrashOrGiveIllegalMoves) {
    constexpr std::uint64_t START_KEY = 0x463b96181691fc9cULL;
    EngineProcess engine;
    auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream(engine.dir() + "/" + name, std::ios::binary) << bytes;
    };
    // The start position's record is the last whole one; nine junk bytes follow.
    write("tail.bin", record(5, 6, 21) + record(START_KEY, 11, 27) + "123456789");  // g1f3, d2d4
    write("short.bin", "0123456789");
    write("illegal.bin", record(START_KEY, 12, 36) + record(START_KEY, 4, 12));  // e2e5, e1e2
    with_book(engine, "tail.bin");
    EXPECT_EQ(answer(engine, "startpos", "go depth 2"),
              (std::vector<std::string>{"info string book moves: d2d4(100.00%) ", "bestmove d2d4"}));
    EXPECT_TRUE(searched(answer(engine, "fen 4k3/8/8/8/8/8/8/4K3 w - - 0 1", "go depth 2")));  // key above every key
    // Empty and unsorted files are among the book fuzz target's seeds.
    for (const char* file : {"short.bin", "illegal.bin", "."}) {
        engine.send(std::string("setoption name Book File value ") + file);
        auto lines = answer(engine, "startpos", "go depth 2");
        ASSERT_FALSE(lines.empty()) << file << "\n" << engine.transcript();
        EXPECT_TRUE(std::regex_match(lines.back(), std::regex("bestmove ([a-h]2[a-h][34]|[bg]1[a-h]3)( ponder \\S+)?")))
            << file << ": " << lines.back();
    }
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}
