// Corvane against Corvane, two processes at a fast clock: every bestmove must
// be legal and every move must be made within the mover's clock.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <regex>

#include "harness/engine_process.h"
#include "movegen/movegen.h"
#include "test_support.h"
#include "uci/uci.h"

namespace {

// The slow builds (sanitizers, 32-bit under emulation) search many times
// slower, so their games get a clock that leaves the same margin per move;
// below about a second the default Time Buffer leaves no time to plan with.
constexpr int START_CLOCK_MS = CORVANE_LIGHT_TESTS ? 6000 : 2000;
constexpr int INCREMENT_MS = CORVANE_LIGHT_TESTS ? 100 : 50;
constexpr int MAX_PLIES = CORVANE_LIGHT_TESTS ? 40 : 200;

bool insufficient_material(const Position& pos) {
    if (pos.pawns() | pos.rooks() | pos.queens()) return false;
    return popcount(pos.knights() | pos.bishops()) <= 1;
}

}  // namespace

TEST(SelfPlay, GamesEndWithLegalMovesAndNoTimeLoss) {
    EngineProcess players[2];
    for (auto& p : players) {
        p.send("uci");
        p.wait_for("^uciok$");
        p.send("ucinewgame");
        p.send("isready");
        p.wait_for("^readyok$");
    }
    std::string moves;
    std::int64_t clock[2] = {START_CLOCK_MS, START_CLOCK_MS};
    std::map<Key, int> seen;
    std::string result = "200 plies";
    for (int ply = 0; ply < MAX_PLIES; ++ply) {
        Position& pos = test_position("8/8/8/8/8/8/8/8 w - - 0 1");
        std::string position = "startpos" + (moves.empty() ? "" : " moves" + moves);
        uci_position(pos, position.c_str());
        MoveList legal;
        gen_legal_moves(pos, legal);
        if (legal.count == 0) {
            result = in_check(pos) ? "mate" : "stalemate";
            break;
        }
        if (pos.st.fifty >= 100 || ++seen[pos.st.hash] >= 3 || insufficient_material(pos)) {
            result = "draw by rule";
            break;
        }

        const int us = ply % 2;
        EngineProcess& engine = players[us];
        engine.send("position " + position);
        const auto start = std::chrono::steady_clock::now();
        engine.send("go wtime " + std::to_string(clock[0]) + " btime " + std::to_string(clock[1]) + " winc " +
                    std::to_string(INCREMENT_MS) + " binc " + std::to_string(INCREMENT_MS));
        auto line = engine.wait_for("^bestmove ", 20000);
        const std::int64_t used = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now() - start)
                                      .count();
        ASSERT_TRUE(line.has_value()) << "no answer at ply " << ply;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(*line, m, std::regex("^bestmove (\\S+)"))) << *line;
        bool legal_move = false;
        for (int i = 0; i < legal.count; ++i) legal_move |= m[1].str() == move_to_text(legal.moves[i].move);
        ASSERT_TRUE(legal_move) << m[1].str() << " is illegal after " << position;
        ASSERT_LE(used, clock[us]) << "lost on time at ply " << ply << " (" << used << " ms)";
        clock[us] += INCREMENT_MS - used;
        moves += " " + m[1].str();
    }
    for (auto& p : players) {
        p.send("quit");
        EXPECT_EQ(p.wait_exit(), 0);
    }
    std::cout << "game over: " << result << " after" << moves << "\n";
}
