// The clock rule and the deadlines go derives from it.
#include <gtest/gtest.h>

#include "test_support.h"
#include "uci/go.h"
#include "uci/options.h"
#include "uci/uci.h"

namespace {
constexpr std::int64_t NOW = 1'700'000'000'000;  // any start time; deadlines are relative to it
}

TEST(TimeAllocation, FollowsTheClockTable) {
    struct Row { std::int64_t time, inc, moves_to_go; bool ponder; std::int64_t target, absolute; };
    const Row rows[] = {
        {60000, 0, 0, false, 1866, 22400},
        {300000, 2000, 40, false, 11066, 115200},  // more than 30 moves to go counts as 30
        {300000, 2000, 40, true, 13832, 115200},
        {300000, 0, 1, false, 284000, 284000},
        {1000, 0, 0, false, 0, 0},                  // the reserve eats the whole clock
        {10000, 20000, 0, false, 8500, 8500},       // the increment never lifts the plan past the clock
        {60000, -500, -3, false, 1866, 22400},      // negative extras count as 0
    };
    for (const Row& r : rows) {
        TimeBudget b = allocate_time(r.time, r.inc, r.moves_to_go, r.ponder, 1000);
        EXPECT_EQ(b.target, r.target) << "time " << r.time << " inc " << r.inc << " mtg " << r.moves_to_go;
        EXPECT_EQ(b.absolute, r.absolute) << "time " << r.time << " inc " << r.inc << " mtg " << r.moves_to_go;
    }
    // The largest clock go accepts stays ordered and inside what is available.
    TimeBudget huge = allocate_time(GO_TIME_CEILING, GO_TIME_CEILING, 0, true, -5);
    EXPECT_GT(huge.target, 0);
    EXPECT_LE(huge.target, huge.absolute);
    EXPECT_LE(huge.absolute, GO_TIME_CEILING);
}

TEST(TimeAllocation, GoSetsDeadlinesFromTheMoversClock) {
    init_engine_tables();
    Position& pos = test_position(START_FEN);
    SearchInfo info;

    go_prepare(pos, "wtime 60000 btime 5 movetime 5000", info, NOW);  // the clock wins over movetime
    EXPECT_TRUE(info.time_limited);
    EXPECT_EQ(info.allotted_time, 1866);
    EXPECT_EQ(info.soft_deadline, NOW + 1866);
    EXPECT_EQ(info.hard_deadline, NOW + 22400);

    go_prepare(pos, "movetime 5000", info, NOW);
    EXPECT_EQ(info.allotted_time, 5000);
    EXPECT_EQ(info.soft_deadline, NOW + 5000);
    EXPECT_EQ(info.hard_deadline, NOW + 5000);

    go_prepare(pos, "btime 60000 binc 1000", info, NOW);  // black's clock while white moves
    EXPECT_FALSE(info.time_limited);

    Position& black = test_position("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
    go_prepare(black, "wtime 1 btime 60000 winc 99999", info, NOW);
    EXPECT_EQ(info.soft_deadline, NOW + 1866);

    option_set("Time Buffer", "0");  // read at the go, not from the last read_params
    go_prepare(black, "btime 60000", info, NOW);
    EXPECT_EQ(info.allotted_time, 60000 * 95 / 100 / 30);
    option_set("Time Buffer", "1000");
}
