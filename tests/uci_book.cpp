// The opening book end to end where files are made or taken away during the
// session: when "Book File" (re)opens its file. Its answers, limits and
// damaged files are in the transcripts of tests/uci/.
#include <gtest/gtest.h>
#include <unistd.h>

#include "harness/engine_process.h"

namespace {

// Sends go; true when the book answered (its first line lists the book's moves).
bool book_answers(EngineProcess& engine) {
    engine.send("go depth 2");
    const auto first = engine.wait_for("^(info string book moves: |info depth 1$)", 5000);
    engine.wait_for("^$");  // the empty line that closes every answer
    return first && first->rfind("info string", 0) == 0;
}

// Setting "Book File" opens the file there and then, even to the same name:
// a file that appears later is not seen until it is set again, and one that
// disappears after it was set is still read through the open handle.
TEST(UciBook, BookFileOpensWhenSetWithSpacesInTheName) {
    EngineProcess engine;
    auto link = [&](const std::string& name) {
        ASSERT_EQ(symlink(CORVANE_DATA_DIR "/book/performance.bin", (engine.dir() + "/" + name).c_str()), 0);
    };
    for (const char* option : {"OwnBook value true", "Display Book Moves value true", "Book File value later.bin"})
        engine.send(std::string("setoption name ") + option);
    engine.send("position startpos");
    engine.send("isready");
    ASSERT_TRUE(engine.wait_for("^readyok$"));
    link("later.bin");
    EXPECT_FALSE(book_answers(engine)) << engine.transcript();
    engine.send("setoption name Book File value later.bin");
    EXPECT_TRUE(book_answers(engine));

    link("my opening book.bin");
    engine.send("setoption name Book File value my opening book.bin");
    engine.send("isready");
    ASSERT_TRUE(engine.wait_for("^readyok$"));
    ASSERT_EQ(unlink((engine.dir() + "/my opening book.bin").c_str()), 0);
    EXPECT_TRUE(book_answers(engine));

    engine.send("setoption name Book File value no such book.bin");
    EXPECT_FALSE(book_answers(engine));
    engine.send("quit");
    ASSERT_EQ(engine.wait_exit(), 0);
    EXPECT_NE(engine.read_file("logfile.txt").find("info string Book File is set to value my opening book.bin\n"),
              std::string::npos);
}

}  // namespace
