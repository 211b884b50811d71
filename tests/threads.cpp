// Searches with helper threads end to end: legal answers, prompt stops, a
// clean exit however the session ends. The ThreadSanitizer build runs these,
// with the engine's threads racing on the shared table.
#include <gtest/gtest.h>

#include <chrono>

#include "harness/engine_process.h"

namespace {

constexpr const char* LEGAL_BESTMOVE = "^bestmove [a-h][1-8][a-h][1-8][nbrq]?( ponder [a-h][1-8][a-h][1-8][nbrq]?)?$";

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
    EXPECT_TRUE(engine.wait_for("^info depth " + depth + " seldepth [3-9][0-9] ", 60000));
    EXPECT_TRUE(engine.wait_for(LEGAL_BESTMOVE));
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}
