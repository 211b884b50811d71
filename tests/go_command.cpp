// The go command without a search: its numbers, the clock table, the order in
// which limits override each other, the status, searchmoves, and ponderhit.
#include <gtest/gtest.h>

#include <string>

#include "movegen/movegen.h"
#include "search/search.h"
#include "test_support.h"
#include "uci/go.h"
#include "uci/options.h"
#include "uci/uci.h"

namespace {
constexpr std::int64_t NOW = 1'700'000'000'000;  // deadlines are relative to it
}

TEST(GoCommand, NumbersSurviveMalformedInput) {
    struct Case { const char* text; std::int64_t expected; };
    for (const Case& c : {Case{"nodes 5 wtime 42", 42}, Case{"wtime", 0}, Case{"wtime ", 0}, Case{"wtime -5", 0},
                          Case{"wtime abc", 0}, Case{"wtime btime 9", 0}, Case{"wtime 5000 wtime 7", 5000},
                          Case{"wtime 99999999999999999999999999", 1000000}, Case{"Wtime 5", 0}})
        EXPECT_EQ(go_parameter(c.text, "wtime", 1000000), c.expected) << '"' << c.text << '"';
    EXPECT_EQ(go_parameter("nodes 9223372036854775808", "nodes", INT64_MAX), INT64_MAX);
}

// The mover's clock, increment and moves to go give the planned time and the
// hard limit; the clock wins over movetime; a short limit brings the first
// look at the clock forward; the move overhead comes off every limit.
TEST(GoCommand, ClockTableAndPollInterval) {
    Position& pos = test_position(START_FEN);
    SearchInfo info;
    struct Case { const char* text; std::int64_t planned, hard, poll; };
    const auto check = [&](const Case& c) {
        go_prepare(pos, c.text, info, NOW);
        EXPECT_TRUE(info.time_limited && info.allotted_time == c.planned && info.soft_deadline == NOW + c.planned &&
                    info.hard_deadline == NOW + c.hard && info.poll_interval == c.poll)
            << c.text << ": " << info.allotted_time << " " << info.hard_deadline - NOW << " " << info.poll_interval;
    };
    for (const Case& c : {Case{"wtime 60000", 1866, 22400, 8192},
                          Case{"wtime 300000 winc 2000 movestogo 40", 11066, 115200, 8192},
                          Case{"wtime 300000 winc 2000 movestogo 40 ponder", 13832, 115200, 8192},
                          Case{"wtime 300000 movestogo 1", 284000, 284000, 8192},
                          Case{"wtime 1000 winc 10", 0, 0, 256},  // nothing left after the reserve
                          Case{"wtime 10000 winc 20000", 8500, 8500, 8192},
                          Case{"wtime 60000 winc -500 movestogo -3", 1866, 22400, 8192},
                          Case{"btime 60000 binc 1000 wtime 60000 movetime 5000", 1866, 22400, 8192},
                          Case{"movetime 5000 nodes 5000", 5000, 5000, 8192}, Case{"movetime 20", 20, 20, 320},
                          Case{"movetime 600", 600, 600, 8192}})
        check(c);
    option_set("Move Overhead", "100");
    for (const Case& c : {Case{"wtime 60000", 1766, 22300, 8192}, Case{"wtime 1000 winc 10", 0, 0, 256},
                          Case{"movetime 600", 500, 500, 8000}, Case{"movetime 20", 0, 0, 256}})
        check(c);
    option_set("Move Overhead", "0");
    go_prepare(pos, "btime 60000 binc 1000 nodes 5000", info, NOW);  // black's clock while white moves
    EXPECT_TRUE(!info.time_limited && info.poll_interval == 8192 && info.nodes_limited && info.node_limit == 5000);

    Position& black = test_position("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
    option_set("Time Buffer", "0");  // read at the go, not at the last read_params
    go_prepare(black, "wtime 1 btime 60000", info, NOW);
    EXPECT_EQ(info.allotted_time, 60000 * 95 / 100 / 30);
    option_set("Time Buffer", "1000");
}

TEST(GoCommand, DepthLimitsAndStatus) {
    Position& pos = test_position(START_FEN);
    SearchInfo info;
    struct Case { const char* text; int depth_limited, depth_limit, status; };
    for (const Case& c : {Case{"", 0, MAX_PLY, THINKING}, Case{"depth 6 mate 3", 1, 5, THINKING},
                          Case{"infinite depth 4", 1, 4, ANALYSING}, Case{"depth 99999999999", 1, INT32_MAX, THINKING},
                          Case{"mate 4000000000", 1, INT32_MAX - 2, THINKING}, Case{"ponder depth -3", 0, MAX_PLY, PONDERING},
                          Case{"ponder infinite", 1, MAX_PLY, ANALYSING}}) {
        go_prepare(pos, c.text, info, NOW);
        EXPECT_EQ(std::vector<int>({info.depth_limited, info.depth_limit, info.status}),
                  std::vector<int>({c.depth_limited, c.depth_limit, c.status})) << c.text;
    }
}

// Four letters mean a queen; a move not legal is skipped, a word ends the
// list; repeats must not overrun it.
TEST(GoCommand, SearchmovesPromotionsAndRepeats) {
    Position& promo = test_position("8/P6k/8/8/8/8/8/K7 w - - 0 1");
    MoveList legal;
    gen_legal_moves(promo, legal);
    Move moves[MAX_SEARCH_MOVES];
    parse_move_list(promo, legal, "a7a8 a7a8n a7a8 a1b1 a7a6 a1a2 wtime 5 b1b2", moves);
    std::string listed;
    for (int i = 0; moves[i] != NO_MOVE; ++i) listed += std::string(move_to_text(moves[i])) + " ";
    EXPECT_EQ(listed, "a7a8q a7a8n a1b1 a1a2 ");
    std::string repeated;
    for (int i = 0; i < 600; ++i) repeated += "a1b1 a1a2 ";
    parse_move_list(promo, legal, repeated.c_str(), moves);
    EXPECT_EQ(moves[2], NO_MOVE);
}

TEST(PonderHit, SwitchesToThinkingUnlessAlreadyDone) {
    std::int64_t now = now_ms();
    auto hit = [&](int status, int iteration, int root_moves, int mates, bool timed, std::int64_t hard) {
        SearchInfo info;
        search_info_init(info, now);
        info.status = status, info.iteration = iteration, info.root_move_count = root_moves;
        info.mate_iterations = mates, info.time_limited = timed, info.hard_deadline = hard;
        ponder_hit(info);
        return info.status;
    };
    EXPECT_EQ(hit(PONDERING, 3, 1, 0, true, now + 60000), THINKING);
    EXPECT_EQ(hit(PONDERING, 8, 1, 0, true, now + 60000), STOPPED);   // a single reply, searched deep enough
    EXPECT_EQ(hit(PONDERING, 8, 20, 3, true, now + 60000), STOPPED);  // a mate seen in three iterations
    EXPECT_EQ(hit(PONDERING, 3, 20, 0, true, now - 1), STOPPED);      // its time is already spent
    EXPECT_EQ(hit(PONDERING, 3, 20, 0, false, 0), STOPPED);           // no clock: nothing left to keep
    EXPECT_EQ(hit(ANALYSING, 9, 1, 0, false, 0), STOPPED);            // it also ends an analysis's wait
}
