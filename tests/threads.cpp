// The parallel search: the shared table under concurrent writers, and
// searches with helper threads end to end (legal answers, prompt stops, a
// clean exit however the session ends). The ThreadSanitizer build runs these.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "harness/engine_process.h"
#include "search/trans_table.h"
#include "test_support.h"

namespace {

constexpr const char* LEGAL_BESTMOVE = "^bestmove [a-h][1-8][a-h][1-8][nbrq]?( ponder [a-h][1-8][a-h][1-8][nbrq]?)?$";

// Every field of a stored entry is derived from its key, so a hit whose
// fields disagree with its own lock comes from two writes mixed in one entry.
bool consistent(const TransEntry& e) {
    const int d = int(e.lock % 100);
    return e.depth == d && e.upper_depth == d && e.lower_depth == d && e.upper == int(e.lock % 5000) &&
           e.lower == -int(e.lock % 5000);
}

}  // namespace

TEST(Threads, RacingWritersNeverLeaveATornEntryThatReadsAsAHit) {
    Position& shared = test_position("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    ASSERT_TRUE(tt_allocate(shared, 4));
    tt_clear(shared);
    std::atomic<int> torn{0}, hits{0};
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&, t] {
            Position pos = shared;  // own keys, ages and counters, one shared table
            std::mt19937_64 rng(std::uint64_t(t) + 1);
            for (int i = 0; i < 200000; ++i) {
                // Few buckets, many keys: the threads collide on entries all the time.
                pos.st.hash = (rng() & ~Key(0xFFFFFFFF)) | (rng() & 63);
                const std::uint32_t lock = std::uint32_t(pos.st.hash >> 32);
                if (i % 2) {
                    if (auto e = tt_find(pos)) {
                        ++hits;
                        if (!consistent(*e)) ++torn;
                    }
                } else {
                    tt_store(pos, int(lock % 100), -int(lock % 5000), int(lock % 5000), NO_MOVE);
                }
            }
        });
    }
    for (auto& w : writers) w.join();
    EXPECT_EQ(torn.load(), 0) << "of " << hits.load() << " hits";
    tt_allocate(shared, 4);
}

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
        EXPECT_TRUE(engine.wait_for(LEGAL_BESTMOVE, CORVANE_LIGHT_TESTS ? 2000 : 500));
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

// Quit or a closed input mid-search: every helper ends before the process
// does (a helper left running would make the exit abort).
TEST(Threads, QuitOrClosedInputDuringAThreadedSearchExitsCleanly) {
    for (bool close : {false, true}) {
        EngineProcess engine;
        engine.send("setoption name Threads value 3");
        engine.send("go infinite");
        engine.wait_for("^info depth 6");
        close ? engine.close_stdin() : void(engine.send("quit"));
        EXPECT_EQ(engine.wait_exit(), 0);
        EXPECT_NE(engine.read_file("logfile.txt").rfind("info string Corvane is quitting.\n"), std::string::npos);
    }
}
