// The go command without a search: its numbers, the order in which limits
// override each other, the status, the searchmoves list, and ponderhit.
// The clock table itself is checked end to end in uci_search.cpp.
#include <gtest/gtest.h>

#include <string>

#include "movegen/movegen.h"
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

TEST(GoCommand, LimitsOverrideInOrderAndTheMoversClockWins) {
    Position& pos = test_position(START_FEN);
    SearchInfo info;
    struct Case { const char* text; int depth_limited, depth_limit, status; };
    for (const Case& c : {Case{"", 0, MAX_PLY, THINKING}, Case{"depth 6 mate 3", 1, 5, THINKING},
                          Case{"infinite depth 4", 1, 4, ANALYSING}, Case{"depth 99999999999", 1, INT32_MAX, THINKING},
                          Case{"mate 4000000000", 1, INT32_MAX - 2, THINKING}, Case{"ponder depth -3", 0, MAX_PLY, PONDERING},
                          Case{"ponder infinite", 1, MAX_PLY, ANALYSING}}) {
        go_prepare(pos, c.text, info, NOW);
        EXPECT_EQ(info.depth_limited, c.depth_limited) << c.text;
        EXPECT_EQ(info.depth_limit, c.depth_limit) << c.text;
        EXPECT_EQ(info.status, c.status) << c.text;
    }
    go_prepare(pos, "movetime 5000 nodes 5000", info, NOW);
    EXPECT_TRUE(info.time_limited && info.nodes_limited && info.node_limit == 5000);
    EXPECT_TRUE(info.allotted_time == 5000 && info.soft_deadline == NOW + 5000 && info.hard_deadline == NOW + 5000);
    go_prepare(pos, "wtime 60000 btime 5 movetime 5000", info, NOW);
    EXPECT_TRUE(info.allotted_time == 1866 && info.soft_deadline == NOW + 1866 && info.hard_deadline == NOW + 22400);
    go_prepare(pos, "btime 60000 binc 1000", info, NOW);  // black's clock while white moves
    EXPECT_FALSE(info.time_limited);
    EXPECT_EQ(info.poll_interval, 8192);

    // A short deadline brings the first look at the clock forward.
    go_prepare(pos, "movetime 20", info, NOW);
    EXPECT_EQ(info.poll_interval, 320);
    go_prepare(pos, "wtime 1000 winc 10", info, NOW);  // nothing left after the reserve
    EXPECT_EQ(info.poll_interval, 256);
    go_prepare(pos, "movetime 600", info, NOW);
    EXPECT_EQ(info.poll_interval, 8192);

    Position& black = test_position("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
    option_set("Time Buffer", "0");  // read at the go, not at the last read_params
    go_prepare(black, "wtime 1 btime 60000", info, NOW);
    EXPECT_EQ(info.allotted_time, 60000 * 95 / 100 / 30);
    option_set("Time Buffer", "1000");
}

// Four letters mean a queen; repeats must not overrun the list.
TEST(GoCommand, SearchmovesPromotionsAndRepeats) {
    Position& promo = test_position("8/P6k/8/8/8/8/8/K7 w - - 0 1");
    MoveList legal;
    gen_legal_moves(promo, legal);
    Move moves[MAX_SEARCH_MOVES];
    parse_move_list(promo, legal, "a7a8 a7a8n a7a8 a1b1", moves);
    EXPECT_STREQ(move_to_text(moves[0]), "a7a8q");
    EXPECT_STREQ(move_to_text(moves[1]), "a7a8n");
    EXPECT_STREQ(move_to_text(moves[2]), "a1b1");
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
