// The go command end to end where a transcript cannot look: the depth and
// node limits against what the search printed and logged, and the end of the
// process during a search. Input during a search and the answers to every go
// are in the transcripts of tests/uci/.
#include <gtest/gtest.h>

#include "harness/engine_process.h"

namespace {

// Black's legal replies to 1.e4.
constexpr const char* BLACK_REPLY = "^bestmove ([a-h]7[a-h][56]|[bg]8[a-h]6)( ponder \\S+)?$";

TEST(UciSearch, DepthNodesAndMateLimits) {
    EngineProcess engine;
    engine.send("position startpos moves e2e4");
    engine.send("go depth 3");
    EXPECT_TRUE(engine.wait_for(BLACK_REPLY));
    bool depth3 = false, depth4 = false;
    for (const auto& line : engine.lines()) {
        depth3 |= line.rfind("info depth 3 ", 0) == 0;
        depth4 |= line.rfind("info depth 4", 0) == 0;
    }
    EXPECT_TRUE(depth3 && !depth4) << engine.transcript();
    engine.send("go nodes 5000");
    EXPECT_TRUE(engine.wait_for(BLACK_REPLY));
    // A mate score is reported in moves.
    engine.send("position fen 2r3k1/5ppp/8/8/8/8/3R1PPP/3R2K1 w - - 0 1");
    engine.send("go mate 2");
    engine.wait_for("score mate 2 ");
    EXPECT_EQ(*engine.wait_for("^bestmove "), "bestmove d2d8 ponder c8d8");
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
    // 5000 nodes, in hexadecimal: the limit holds exactly, not at the next poll.
    EXPECT_NE(engine.read_file("logfile.txt").find("info string Aborting search: nodes spent = 1388"), std::string::npos);
}

TEST(UciSearch, QuitOrClosedInputDuringASearchEndsCleanly) {
    for (bool close : {false, true}) {
        EngineProcess engine;
        engine.send("go infinite");
        engine.wait_for("^info depth 4");
        close ? engine.close_stdin() : void(engine.send("quit"));
        EXPECT_EQ(engine.wait_exit(), 0);
        for (const auto& line : engine.lines()) EXPECT_EQ(line.rfind("bestmove", 0), std::string::npos);
        EXPECT_NE(engine.read_file("logfile.txt").rfind("info string Corvane is quitting.\n"), std::string::npos);
    }
}

}  // namespace
