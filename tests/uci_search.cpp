// The go command end to end: limits, time allocation, stop, ponder, input
// during a search, and the answer a GUI always gets.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>
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

// The clock table: the mover's time, increment and moves to go give the
// target and absolute limits the log records.
TEST(GoCommand, TimeAllocationIsLogged) {
    const std::pair<const char*, const char*> cases[] = {
        {"go wtime 60000", "max = 1866, abs = 22400"},
        {"go wtime 300000 winc 2000 movestogo 40", "max = 11066, abs = 115200"},
        {"go wtime 300000 winc 2000 movestogo 40 ponder", "max = 13832, abs = 115200"},
        {"go wtime 300000 movestogo 1", "max = 284000, abs = 284000"},
        {"go wtime 1000", "max = 0, abs = 0"},
        {"go wtime 10000 winc 20000", "max = 8500, abs = 8500"},
        {"go wtime 60000 winc -500 movestogo -3", "max = 1866, abs = 22400"},
        {"go btime 60000 binc 1000 wtime 60000 movetime 5000", "max = 1866, abs = 22400"},
    };
    EngineProcess engine;
    engine.send("position startpos");
    std::vector<std::string> expected;
    for (const auto& [go, logged] : cases) {
        engine.send(go);
        engine.send("stop");
        engine.wait_for(BESTMOVE);
        expected.push_back(std::string("info string Time is limited: ") + logged);
    }
    engine.send("quit");
    ASSERT_EQ(engine.wait_exit(), 0);
    std::istringstream log(engine.read_file("logfile.txt"));
    std::vector<std::string> logged;
    for (std::string line; std::getline(log, line);)
        if (line.rfind("info string Time is limited: ", 0) == 0) logged.push_back(line);
    EXPECT_EQ(logged, expected);
}

TEST(GoCommand, DepthNodesAndMateLimits) {
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

    // 1.Rd8+ Rxd8 2.Rxd8#
    engine.send("position fen 2r3k1/5ppp/8/8/8/8/3R1PPP/3R2K1 w - - 0 1");
    engine.send("go mate 2");
    engine.wait_for("score mate 2 ");
    EXPECT_EQ(*engine.wait_for(BESTMOVE), "bestmove d2d8 ponder c8d8");
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
    std::string log = engine.read_file("logfile.txt");
    // 5000 nodes, in hexadecimal: the limit holds exactly, not at the next poll.
    EXPECT_NE(log.find("info string Aborting search: nodes spent = 1388"), std::string::npos) << log;
    EXPECT_NE(log.find("info string Mate in 3 half moves"), std::string::npos);
}

TEST(GoCommand, StopPonderAndIsreadyDuringASearch) {
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

TEST(GoCommand, AlwaysALegalAnswerOrTheNoMoveMessage) {
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

TEST(GoCommand, QuitOrClosedInputDuringASearchEndsCleanly) {
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

TEST(GoCommand, MalformedParametersNeverHangOrCorruptTheNextSearch) {
    EngineProcess engine;
    engine.send("position startpos");
    std::string many = "go depth 2 searchmoves";
    for (int i = 0; i < 400; ++i) many += i % 2 ? " d2d4" : " e2e4";
    for (const std::string& go :
         {std::string("go wtime"), std::string("go wtime -5 btime x depth 2"), std::string("go depth 99999999999999999999"),
          std::string("go movetime 100 nodes -1"), std::string("go depth 2 depth 3 mate"),
          std::string("go depth 2 searchmoves e2e4 zz99 e7e5 a1a1"), many, std::string("go wtime 4294967396 depth 2"),
          std::string("go movestogo 0 wtime 100"), std::string("go depth 2 searchmoves")}) {
        engine.send(go);
        if (go.find("depth 2") == std::string::npos) engine.send("stop");
        expect_legal_bestmove("startpos", engine.wait_for(BESTMOVE));
    }
    engine.send("go depth 2 searchmoves e2e4");
    EXPECT_EQ(engine.wait_for(BESTMOVE)->substr(0, 13), "bestmove e2e4");
    engine.send("go depth 2 searchmoves e2e5 d2d4 wtime 60000 e2e4");  // skips a non-legal move, ends at a word
    EXPECT_EQ(engine.wait_for(BESTMOVE)->substr(0, 13), "bestmove d2d4");
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}
