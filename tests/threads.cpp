// Searches with helper threads: legal answers, prompt stops, a clean exit
// however the session ends, helpers that search the game the main thread
// searches and count in what it reports. The ThreadSanitizer build runs
// these, with the engine's threads racing on the shared table.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <thread>

#include "harness/engine_process.h"
#include "movegen/movegen.h"
#include "search/threads.h"
#include "test_support.h"
#include "uci/uci.h"

namespace {

constexpr const char* LEGAL_BESTMOVE = "^bestmove [a-h][1-8][a-h][1-8][nbrq]?( ponder [a-h][1-8][a-h][1-8][nbrq]?)?$";

long long field(const std::string& line, const char* name) {
    std::smatch m;
    return std::regex_search(line, m, std::regex(std::string(" ") + name + " (\\d+)")) ? std::stoll(m[1]) : -1;
}

// The last line that says `name`, and its value.
long long last_field(const EngineProcess& engine, const char* name) {
    for (auto it = engine.lines().rbegin(); it != engine.lines().rend(); ++it)
        if (field(*it, name) >= 0) return field(*it, name);
    return -1;
}

}  // namespace

TEST(Threads, SearchesWithHelpersAnswerLegallyAndStopPromptly) {
    for (int threads : {2, 4}) {
        EngineProcess engine;
        engine.send("setoption name Threads value " + std::to_string(threads));
        engine.send("position startpos moves e2e4 c7c5");
        for (const char* go : {"go depth 9", "go movetime 300", "go wtime 2000 btime 2000 winc 20 binc 20", "go nodes 20000"}) {
            engine.send(go);
            EXPECT_TRUE(engine.wait_for(LEGAL_BESTMOVE, 20000)) << go;
        }

        // Stop and ponderhit come back at once, the helpers stopped first.
        engine.send("go infinite");
        engine.wait_for("^info depth 8");
        const auto sent = std::chrono::steady_clock::now();
        engine.send("stop");
        EXPECT_TRUE(engine.wait_for(LEGAL_BESTMOVE, CORVANE_LIGHT_TESTS ? 5000 : 2000));
        std::cout << threads << " threads: bestmove "
                  << std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent).count()
                  << " ms after stop\n";
        engine.send("go ponder wtime 1000 btime 1000");
        engine.wait_for("^info depth 4");
        engine.send("ponderhit");
        EXPECT_TRUE(engine.wait_for(LEGAL_BESTMOVE, 5000));

        // New thread counts and table sizes between searches.
        engine.send("setoption name Threads value " + std::to_string(6 - threads));
        engine.send("setoption name Hash value 8");
        engine.send("setoption name MultiPV value 2");
        engine.send("go depth 8");
        EXPECT_TRUE(engine.wait_for(LEGAL_BESTMOVE, 20000));
        engine.send("quit");
        EXPECT_EQ(engine.wait_exit(), 0);
    }
}

// Threads the system cannot give end nothing: here the engine's address
// space is held to 400 MB, where 8 MB stacks leave room for some 40 helpers.
// Those that could be made search, the GUI is told how many, the listing
// shows that many. (The sanitizers and an emulator need more room than that.)
TEST(Threads, ThreadsTheSystemCannotMakeAreLeftOut) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers reserve more address space than the limit";
#endif
    if (*CORVANE_EMULATOR) GTEST_SKIP() << "the emulator needs more address space than the limit";
    EngineProcess engine({"/bin/sh", "-c", "ulimit -s 8192; ulimit -v 400000 && exec \"$0\"", CORVANE_ENGINE_PATH}, {});
    engine.send("setoption name Pawn Hash value 1");  // the threads run out, not the memory for their tables
    engine.send("setoption name Threads value 256");
    const auto told = engine.wait_for("^info string Not enough memory for 256 threads: \\d+$");
    ASSERT_TRUE(told) << engine.read_file(EngineProcess::ERR_FILE);
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
// stands for the third time. A helper must know the game that led here.
TEST(Threads, HelpersSearchWithTheGamesHistory) {
    Position& pos = test_position(START_FEN);
    uci_position(pos, "fen 6k1/8/8/8/8/8/5PPP/3Q2K1 w - - 0 1 moves d1d2 g8h8 d2d1 h8g8 d1d2 g8h8 d2d1");
    ASSERT_EQ(threads_configure(2, 10), 2);
    SearchInfo info;
    search_info_init(info, now_ms());
    MoveList legal;
    gen_legal_moves(pos, legal);
    RootMove moves[MAX_MOVES];
    for (int i = 0; i < legal.count; ++i) moves[i] = {legal.moves[i].move, 0};
    // The helper's line is read only once it stopped; until it has finished
    // the sixth iteration, it searches on from what the table kept.
    const Line* lines[MAX_THREADS];
    for (int wait_ms = 10; wait_ms < 60000; wait_ms *= 2) {
        {
            HelperSearch helpers(pos, info, moves, legal.count, true, false);
            HelperSearch::set_depth(6);  // as a main thread on its sixth iteration
            std::this_thread::sleep_for(std::chrono::milliseconds(wait_ms));
        }
        if (helper_results(lines), lines[0]->depth >= 6) break;
    }
    helper_results(lines);
    EXPECT_GE(lines[0]->depth, 6);
    EXPECT_STREQ(move_to_text(lines[0]->pv[0]), "h8g8");
    EXPECT_EQ(lines[0]->score, 0);
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
    const long long reported = last_field(engine, "nodes");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    engine.send("stop");
    ASSERT_TRUE(engine.wait_for(LEGAL_BESTMOVE));
    EXPECT_LT(last_field(engine, "nodes"), reported + 50000) << engine.transcript();
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}

// Helpers take the main thread's root moves as ranked: at a root the tables
// know, they probe nothing again (probes inside the tree are off here).
TEST(Threads, HelpersTakeTheRankedRootMoves) {
    long long hits[2];
    for (int threads : {1, 2}) {
        EngineProcess engine;
        engine.send("setoption name Threads value " + std::to_string(threads));
        engine.send(std::string("setoption name SyzygyPath value ") + CORVANE_DATA_DIR + "/syzygy/tables");
        engine.send("setoption name SyzygyProbeDepth value 100");
        engine.send("position fen 8/8/3k4/8/2r5/8/8/Q3K3 w - - 0 1");
        engine.send(CORVANE_LIGHT_TESTS ? "go depth 6" : "go depth 10");
        ASSERT_TRUE(engine.wait_for(LEGAL_BESTMOVE, 60000));
        hits[threads - 1] = last_field(engine, "tbhits");
        engine.send("quit");
        EXPECT_EQ(engine.wait_exit(), 0);
    }
    EXPECT_GT(hits[0], 0);
    EXPECT_EQ(hits[1], hits[0]);
}

// A node limit counts every thread's nodes: the lines report the nodes of
// every thread, so two threads given N nodes report about N (about 2N when the
// helpers' nodes go uncounted by the limit).
TEST(Threads, ANodeLimitCountsEveryThread) {
    constexpr long long LIMIT = CORVANE_LIGHT_TESTS ? 60000 : 400000;
    EngineProcess engine;
    engine.send("setoption name Threads value 2");
    engine.send("position startpos moves d2d4 g8f6 c2c4 e7e6");
    engine.send("go nodes " + std::to_string(LIMIT));
    ASSERT_TRUE(engine.wait_for(LEGAL_BESTMOVE, 60000));
    const long long nodes = last_field(engine, "nodes");
    EXPECT_GE(nodes, LIMIT);
    EXPECT_LE(nodes, LIMIT + LIMIT / 2);
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}

// Back on one thread after a new game, a search is node for node the one a
// fresh engine makes: nothing of a threaded search (the table's rules for
// threads that share it, an iteration a helper completed) outlives it.
TEST(Threads, OneThreadAfterHelpersSearchesAsAFreshEngine) {
    auto nodes = [](int threads_before) {
        EngineProcess engine;
        engine.send("setoption name Threads value " + std::to_string(threads_before));
        engine.send("position startpos moves e2e4");
        engine.send(CORVANE_LIGHT_TESTS ? "go depth 9" : "go depth 12");
        EXPECT_TRUE(engine.wait_for(LEGAL_BESTMOVE, 60000));
        engine.send("setoption name Threads value 1");
        engine.send("ucinewgame");
        engine.send("position startpos moves d2d4");
        engine.send("go depth 8");
        EXPECT_TRUE(engine.wait_for(LEGAL_BESTMOVE, 60000));
        return last_field(engine, "nodes");
    };
    EXPECT_EQ(nodes(2), nodes(1));
}

// Helper threads need the stack the main thread has: a node keeps its move
// list in its frame, so a line's stack grows with its length. Here the lines
// run some 40 to 50 plies (seldepth) in a second or two; the Windows tests
// run it under Wine, where a helper takes the executable's stack reserve.
TEST(Threads, HelpersSearchLongLines) {
    EngineProcess engine;
    engine.send("setoption name Threads value 3");
    engine.send("position fen k7/p1p5/P1P5/8/8/8/8/4K3 w - - 0 1");
    const std::string depth = CORVANE_LIGHT_TESTS ? "32" : "40";
    engine.send("go depth " + depth);
    ASSERT_TRUE(engine.wait_for(LEGAL_BESTMOVE, 60000));
    // The lines reached 30 plies and more in some iteration (the last one's
    // selective depth can be short, where the table already holds the draw).
    const std::regex deep("^info depth \\d+ seldepth [3-9][0-9] ");
    EXPECT_TRUE(std::any_of(engine.lines().begin(), engine.lines().end(),
                            [&](const std::string& line) { return std::regex_search(line, deep); }))
        << engine.transcript();
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}
