// Searches with helper threads: threads the system cannot make, a clean exit
// however the session ends, helpers that search the game the main thread
// searches, rest when it waits and count in what it reports, and a node
// limit that counts every thread (their sessions are in uci/threads*.txt).
// The ThreadSanitizer build runs these, the engine's threads racing on the
// shared table.

#include <chrono>
#include <regex>
#include <thread>

#include "harness/engine_process.h"
#include "search/threads.h"
#include "test_support.h"

namespace {

constexpr const char* LEGAL_BESTMOVE = "^bestmove [a-h][1-8][a-h][1-8][nbrq]?( ponder [a-h][1-8][a-h][1-8][nbrq]?)?$";

// The nodes of the last line that reports them.
long long last_nodes(const EngineProcess& engine) {
    static const std::regex nodes(" nodes (\\d+)");
    std::smatch m;
    for (auto it = engine.lines().rbegin(); it != engine.lines().rend(); ++it)
        if (std::regex_search(*it, m, nodes)) return std::stoll(m[1]);
    return -1;
}

}  // namespace

// Threads the system cannot give end nothing: here the engine's address
// space is held to 400 MB, where 8 MB stacks leave room for some 40 helpers.
// Those that could be made search, the GUI is told how many, the listing
// shows that many. (The sanitizers and an emulator need more room than that.)
TEST(Threads, ThreadsTheSystemCannotMakeAreLeftOut) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
#endif
    if (*CORVANE_EMULATOR) GTEST_SKIP() << "the emulator needs more address space than the limit";
    EngineProcess engine({"/bin/sh", "-c", "ulimit -s 8192; ulimit -v 400000 && exec \"$0\"", CORVANE_ENGINE_PATH});
    engine.send("setoption name Pawn Hash value 1");  // the threads run out, not the memory for their tables
    engine.send("setoption name Threads value 256");
    const auto told = engine.wait_for("^info string Not enough memory for 256 threads: \\d+$");
    ASSERT_TRUE(told);
    const std::string made = told->substr(told->rfind(' ') + 1);
    EXPECT_LT(std::stoi(made), 256);
    engine.send("uci");
    EXPECT_TRUE(engine.wait_for("^option name Threads type spin default " + made + " min 1 max 256$"));
    engine.send("go depth 6");
    EXPECT_TRUE(engine.wait_for(LEGAL_BESTMOVE, 20000));
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}

// Quit or a closed input mid-search ends the process at once, without a
// bestmove, and every helper ends before the process does (a helper left
// running would make the exit abort).
TEST(Threads, QuitOrClosedInputDuringAThreadedSearchExitsCleanly) {
    for (int threads : {1, 3})
        for (bool close : {false, true}) {
            EngineProcess engine;
            engine.send("setoption name Threads value " + std::to_string(threads));
            engine.send("go infinite");
            engine.wait_for("^info depth 6");
            close ? engine.close_stdin() : void(engine.send("quit"));
            EXPECT_EQ(engine.wait_exit(), 0);
            for (const auto& line : engine.lines()) EXPECT_EQ(line.rfind("bestmove", 0), std::string::npos);
            EXPECT_NE(engine.read_file("logfile.txt").rfind("info string Corvane is quitting.\n"), std::string::npos);
        }
}

// Black, a queen down, can only hold by going back to g8, where the position
// stands for the third time: a helper must know the game that led here. The
// nodes a search reports (what `go nodes` counts and nps shows) include the
// helper's while it searches: here the main thread searches none. A new
// search forgets the helper's line.
TEST(Threads, HelpersSearchTheGamesHistoryAndCountInTheNodes) {
    Position& pos = test_position(START_FEN);
    uci_position(pos, "fen 6k1/8/8/8/8/8/5PPP/3Q2K1 w - - 0 1 moves d1d2 g8h8 d2d1 h8g8 d1d2 g8h8 d2d1");
    ASSERT_EQ(threads_configure(2, 10), 2);
    set_search_harness_limits(INT64_MAX, 64);
    SearchInfo info;
    search_info_init(info, now_ms());
    RootMove moves[MAX_MOVES];
    int count = 0;
    for (Move m : legal_moves(pos)) moves[count++] = {m, 0};
    {
        HelperSearch helpers(pos, info, moves, count, true, true);
        HelperSearch::set_depth(6);  // as a main thread on its sixth iteration
        // The helper's count is published as it polls and as it rests: a
        // sixth iteration here can take fewer nodes than one poll interval.
        for (int waited = 0; waited < 60000 && !(iteration_taken(6) && search_nodes(info) > 0); waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_GT(search_nodes(info), 0);
    }
    const Line* lines[MAX_THREADS];
    ASSERT_EQ(helper_results(lines), 1);
    EXPECT_GE(lines[0]->depth, 6);
    EXPECT_STREQ(move_to_text(lines[0]->pv[0]), "h8g8");
    EXPECT_EQ(lines[0]->score, 0);
    // The next search starts with no line of this one, whose move may be
    // illegal there.
    { HelperSearch next(pos, info, moves, count, false, false); }
    helper_results(lines);
    EXPECT_EQ(lines[0]->depth, 0);
    set_search_harness_limits(INT64_MAX, 0);
    threads_configure(1, 10);
}

// A ponder search that reached its depth has nothing left to search: the
// helpers stop while it waits, and the nodes it reports stop growing.
TEST(Threads, HelpersRestWhileAFinishedSearchWaits) {
    EngineProcess engine;
    engine.send("setoption name Threads value 2");
    engine.send("position startpos moves e2e4");
    engine.send("go ponder depth 6");
    ASSERT_TRUE(engine.wait_for("^info string Waiting for stop"));
    const long long reported = last_nodes(engine);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    engine.send("stop");
    ASSERT_TRUE(engine.wait_for(LEGAL_BESTMOVE));
    EXPECT_LT(last_nodes(engine), reported + 50000) << engine.transcript();
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}

// A node limit counts every thread's nodes: the lines report the nodes of
// every thread, so two threads given N nodes report about N (about 2N when the
// helpers' nodes go uncounted by the limit). Then with the table full of an
// earlier search's entries, where a helper completes iteration after iteration
// before the main thread and the main thread's polls find them handed over:
// there, on a loaded machine, a limit of 20,000 nodes was seen to report 41,624.
TEST(Threads, ANodeLimitCountsEveryThread) {
    constexpr long long LIMIT = CORVANE_LIGHT_TESTS ? 60000 : 400000;
    EngineProcess engine;
    engine.send("setoption name Threads value 2");
    engine.send("position startpos moves d2d4 g8f6 c2c4 e7e6");
    engine.send("go nodes " + std::to_string(LIMIT));
    ASSERT_TRUE(engine.wait_for(LEGAL_BESTMOVE, 60000));
    const long long nodes = last_nodes(engine);
    EXPECT_GE(nodes, LIMIT);
    EXPECT_LE(nodes, LIMIT + LIMIT / 2);
    for (const char* moves : {"d2d4 g8f6 c2c4 e7e6 g1f3", "d2d4 g8f6 c2c4 e7e6 b1c3", "d2d4 g8f6 c2c4 e7e6 g1f3 d7d5"}) {
        engine.send(std::string("position startpos moves ") + moves);
        engine.send("go nodes 20000");
        ASSERT_TRUE(engine.wait_for(LEGAL_BESTMOVE, 60000));
        EXPECT_LE(last_nodes(engine), 30000) << moves;
    }
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}
