// The go command without a search: its numbers, the clock rule, the order in
// which limits override each other, the status and the searchmoves list.
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

TEST(GoCommand, TimeAllocationFollowsTheClockTable) {
    struct Row { std::int64_t time, inc, moves_to_go; bool ponder; std::int64_t target, absolute; };
    for (const Row& r : {Row{60000, 0, 0, false, 1866, 22400}, Row{300000, 2000, 40, false, 11066, 115200},
                         Row{300000, 2000, 40, true, 13832, 115200}, Row{300000, 0, 1, false, 284000, 284000},
                         Row{1000, 0, 0, false, 0, 0}, Row{10000, 20000, 0, false, 8500, 8500},
                         Row{60000, -500, -3, false, 1866, 22400}}) {
        TimeBudget b = allocate_time(r.time, r.inc, r.moves_to_go, r.ponder, 1000);
        EXPECT_EQ(b.target, r.target) << r.time << " inc " << r.inc << " mtg " << r.moves_to_go;
        EXPECT_EQ(b.absolute, r.absolute) << r.time << " inc " << r.inc << " mtg " << r.moves_to_go;
    }
    TimeBudget huge = allocate_time(GO_TIME_CEILING, GO_TIME_CEILING, 0, true, -5);
    EXPECT_TRUE(huge.target > 0 && huge.target <= huge.absolute && huge.absolute <= GO_TIME_CEILING);
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

    Position& black = test_position("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
    option_set("Time Buffer", "0");  // read at the go, not at the last read_params
    go_prepare(black, "wtime 1 btime 60000", info, NOW);
    EXPECT_EQ(info.allotted_time, 60000 * 95 / 100 / 30);
    option_set("Time Buffer", "1000");
}

TEST(GoCommand, SearchmovesKeepsLegalMovesUntilANonMove) {
    Position& pos = test_position(START_FEN);
    SearchInfo info;
    go_prepare(pos, "searchmoves e2e4 e2e5 d2d4 wtime 60000 g1f3", info, NOW);
    EXPECT_TRUE(info.moves_limited && info.time_limited);
    EXPECT_STREQ(move_to_text(info.search_moves[0]), "e2e4");
    EXPECT_STREQ(move_to_text(info.search_moves[1]), "d2d4");  // e2e5 is skipped, not an end
    EXPECT_EQ(info.search_moves[2], NO_MOVE);
    for (const char* text : {"searchmoves", "searchmoves ", "searchmoves e2e5", "searchmoves e2e"}) {
        go_prepare(pos, text, info, NOW);
        EXPECT_TRUE(!info.moves_limited && info.search_moves[0] == NO_MOVE) << text;
    }

    Position& promo = test_position("8/P6k/8/8/8/8/8/K7 w - - 0 1");
    MoveList legal;
    gen_legal_moves(promo, legal);
    Move moves[MAX_SEARCH_MOVES];
    parse_move_list(legal, "a7a8 a7a8n a7a8 a1b1", moves);  // each token alone: four letters mean a queen
    EXPECT_STREQ(move_to_text(moves[0]), "a7a8q");
    EXPECT_STREQ(move_to_text(moves[1]), "a7a8n");
    EXPECT_STREQ(move_to_text(moves[2]), "a1b1");
    std::string repeated;
    for (int i = 0; i < 600; ++i) repeated += "a1b1 a1a2 ";
    parse_move_list(legal, repeated.c_str(), moves);  // repeats would overrun the array
    EXPECT_EQ(moves[2], NO_MOVE);
}
