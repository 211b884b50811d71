// The go command end to end: limits, time allocation, stop, ponder, input
// during a search, and the answer a GUI always gets.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "harness/engine_process.h"
#include "movegen/movegen.h"
#include "test_support.h"
#include "uci/uci.h"

namespace {

constexpr const char* BESTMOVE = "^bestmove ";

// The move text of a bestmove line, checked for legality in the position the
// position command describes.
void expect_legal_bestmove(const std::string& position, const std::optional<std::string>& line) {
    ASSERT_TRUE(line.has_value());
    std::smatch m;
    ASSERT_TRUE(std::regex_search(*line, m, std::regex("^bestmove (\\S+)( ponder (\\S+))?$"))) << *line;
    Position& pos = test_position("8/8/8/8/8/8/8/8 w - - 0 1");
    uci_position(pos, position.c_str());
    MoveList list;
    gen_legal_moves(pos, list);
    bool found = false;
    for (int i = 0; i < list.count; ++i) found |= m[1].str() == move_to_text(list.moves[i].move);
    EXPECT_TRUE(found) << m[1].str() << " is not legal after position " << position;
}

}  // namespace

TEST(UciSearch, DepthNodesAndMateLimits) {
    EngineProcess engine;
    engine.send("position startpos moves e2e4");
    engine.send("go depth 3");
    auto best = engine.wait_for(BESTMOVE);
    expect_legal_bestmove("startpos moves e2e4", best);
    bool depth3 = false, depth4 = false;
    for (const auto& line : engine.lines()) {
        depth3 |= line.rfind("info depth 3 ", 0) == 0;
        depth4 |= line.rfind("info depth 4", 0) == 0;
    }
    EXPECT_TRUE(depth3 && !depth4) << engine.transcript();

    engine.send("go nodes 5000");
    expect_legal_bestmove("startpos moves e2e4", engine.wait_for(BESTMOVE));
    // A mate score is reported in moves.
    engine.send("position fen 2r3k1/5ppp/8/8/8/8/3R1PPP/3R2K1 w - - 0 1");
    engine.send("go mate 2");
    engine.wait_for("score mate 2 ");
    EXPECT_EQ(*engine.wait_for(BESTMOVE), "bestmove d2d8 ponder c8d8");
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
    // 5000 nodes, in hexadecimal: the limit holds exactly, not at the next poll.
    EXPECT_NE(engine.read_file("logfile.txt").find("info string Aborting search: nodes spent = 1388"), std::string::npos);
}

TEST(UciSearch, StopPonderAndIsreadyDuringASearch) {
    EngineProcess engine;
    engine.send("position startpos");
    engine.send("go infinite");
    engine.wait_for("^info depth 5");
    engine.send("isready");
    engine.wait_for("^readyok$");
    // A line longer than the poll buffer comes in pieces; only its start is a command.
    engine.send("isready" + std::string(300, 'x') + "stop");
    engine.send("isready");
    for (int i = 0; i < 2; ++i) EXPECT_EQ(*engine.wait_for("^(readyok|bestmove)"), "readyok");
    // A position sent during a search is dropped: the next search still starts from the start position.
    engine.send("position startpos moves e2e4");
    engine.send("stop");
    expect_legal_bestmove("startpos", engine.wait_for(BESTMOVE));
    engine.send("go depth 1");
    expect_legal_bestmove("startpos", engine.wait_for(BESTMOVE));

    engine.send("go ponder wtime 1500 btime 1500");
    engine.wait_for("^info depth 3");
    engine.send("ponderhit");
    expect_legal_bestmove("startpos", engine.wait_for(BESTMOVE, 5000));

    engine.send("go ponder wtime 60000 btime 60000");
    engine.wait_for("^info depth 3");
    engine.send("stop");
    expect_legal_bestmove("startpos", engine.wait_for(BESTMOVE));
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
    std::string log = engine.read_file("logfile.txt");
    EXPECT_NE(log.find("info string Switch from pondering to thinking"), std::string::npos);
}

TEST(UciSearch, AlwaysALegalAnswerOrTheNoMoveMessage) {
    EngineProcess engine;
    // Stopped before a single root move completed: still a legal move.
    engine.send("position startpos moves g1f3");
    engine.send("go nodes 1");
    expect_legal_bestmove("startpos moves g1f3", engine.wait_for(BESTMOVE));
    engine.send("go infinite");
    engine.send("stop");
    expect_legal_bestmove("startpos moves g1f3", engine.wait_for(BESTMOVE));

    // Mate and stalemate: the message, and no bestmove.
    for (const char* fen : {"R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", "7k/5Q2/8/8/8/8/8/6K1 b - - 0 1"}) {
        engine.send(std::string("position fen ") + fen);
        engine.send("go depth 3");
        engine.wait_for("^info string No legal move found. Start a new game.$");
        engine.send("isready");
        EXPECT_EQ(*engine.wait_for("^(readyok|bestmove)"), "readyok");
    }

    // A board a game cannot hold is refused with a null move.
    engine.send("position fen 8/8/8/8/8/8/8/K7 w - - 0 1");
    engine.send("go depth 3");
    EXPECT_EQ(*engine.wait_for(BESTMOVE), "bestmove 0000");
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
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
