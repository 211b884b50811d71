// Reading the go command: numbers, the order in which limits override each
// other, the status, and the searchmoves list.
#include <gtest/gtest.h>

#include <string>

#include "movegen/movegen.h"
#include "test_support.h"
#include "uci/go.h"
#include "uci/uci.h"

TEST(GoParameters, NumbersSurviveMalformedInput) {
    constexpr std::int64_t CEILING = 1000000;
    struct Case { const char* text; std::int64_t expected; };
    for (const Case& c : {Case{"wtime 500", 500}, Case{"nodes 5 wtime 42 binc 7", 42}, Case{"wtime", 0},
                          Case{"wtime ", 0}, Case{"wtime -5", 0}, Case{"wtime 0", 0}, Case{"wtime abc", 0},
                          Case{"wtime btime 9", 0}, Case{"wtime +12", 12}, Case{"wtime 5000 wtime 7", 5000},
                          Case{"wtime 99999999999999999999999999999", CEILING}, Case{"Wtime 5", 0}}) {
        EXPECT_EQ(go_parameter(c.text, "wtime", CEILING), c.expected) << '"' << c.text << '"';
    }
    EXPECT_EQ(go_parameter("nodes 9223372036854775807", "nodes", INT64_MAX), INT64_MAX);
    EXPECT_EQ(go_parameter("nodes 9223372036854775808", "nodes", INT64_MAX), INT64_MAX);
}

TEST(GoParameters, LaterLimitsOverrideEarlierOnes) {
    Position& pos = test_position(START_FEN);
    SearchInfo info;
    struct Case { const char* text; int depth_limited, depth_limit, status; };
    for (const Case& c : {Case{"", 0, MAX_PLY, THINKING}, Case{"depth 6 mate 3", 1, 5, THINKING},
                          Case{"infinite depth 4", 1, 4, ANALYSING}, Case{"infinite", 1, MAX_PLY, ANALYSING},
                          Case{"mate 0", 0, MAX_PLY, THINKING}, Case{"depth 99999999999", 1, MAX_PLY, THINKING},
                          Case{"mate 4000000000", 1, MAX_PLY, THINKING}, Case{"ponder depth -3", 0, MAX_PLY, PONDERING},
                          Case{"ponder infinite", 1, MAX_PLY, ANALYSING}}) {
        go_prepare(pos, c.text, info, 0);
        EXPECT_EQ(info.depth_limited, c.depth_limited) << c.text;
        EXPECT_EQ(info.depth_limit, c.depth_limit) << c.text;
        EXPECT_EQ(info.status, c.status) << c.text;
        EXPECT_EQ(info.poll_interval, 8192);
        EXPECT_EQ(info.best_score, -10000);
    }
    go_prepare(pos, "nodes 5000", info, 0);
    EXPECT_TRUE(info.nodes_limited);
    EXPECT_EQ(info.node_limit, 5000);
    EXPECT_FALSE(info.time_limited);
}

TEST(GoParameters, SearchmovesKeepsLegalMovesUntilANonMove) {
    Position& pos = test_position(START_FEN);
    SearchInfo info;
    go_prepare(pos, "searchmoves e2e4 e2e5 d2d4 wtime 60000 g1f3", info, 0);
    EXPECT_TRUE(info.moves_limited);
    EXPECT_STREQ(move_to_text(info.search_moves[0]), "e2e4");
    EXPECT_STREQ(move_to_text(info.search_moves[1]), "d2d4");  // e2e5 is skipped, not an end
    EXPECT_EQ(info.search_moves[2], NO_MOVE);                  // wtime ends the list
    EXPECT_TRUE(info.time_limited);

    for (const char* text : {"searchmoves", "searchmoves ", "searchmoves e2e5", "searchmoves e2e"}) {
        go_prepare(pos, text, info, 0);
        EXPECT_FALSE(info.moves_limited) << text;
        EXPECT_EQ(info.search_moves[0], NO_MOVE) << text;
    }
}

TEST(GoParameters, MoveListIsBoundedAndTakesEachTokenAlone) {
    Position& pos = test_position("8/P6k/8/8/8/8/8/K7 w - - 0 1");
    MoveList legal;
    gen_legal_moves(pos, legal);
    Move moves[MAX_SEARCH_MOVES + 8];
    for (Move& m : moves) m = 0xDEAD;  // a sentinel past the array's end shows an overrun

    parse_move_list(legal, "a7a8 a7a8n a7a8 a1b1", moves);
    EXPECT_STREQ(move_to_text(moves[0]), "a7a8q");  // four characters promote to a queen
    EXPECT_STREQ(move_to_text(moves[1]), "a7a8n");
    EXPECT_STREQ(move_to_text(moves[2]), "a1b1");
    EXPECT_EQ(moves[3], NO_MOVE);

    std::string repeated;
    for (int i = 0; i < 600; ++i) repeated += i % 2 ? "a1b1 " : "a1a2 ";
    parse_move_list(legal, repeated.c_str(), moves);
    EXPECT_EQ(moves[2], NO_MOVE);
    EXPECT_EQ(moves[MAX_SEARCH_MOVES], 0xDEADu);
}
