// The go command without a search: its numbers, the clock table, the order in
// which limits override each other, the status, searchmoves, and ponderhit.

#include "test_support.h"
#include "uci/go.h"
#include "uci/options.h"

namespace {
constexpr std::int64_t NOW = 1'700'000'000'000;  // deadlines are relative to it
}

// The rows of tests/data/tables/go.txt (ponderhit among them); then what a row cannot hold: the
// numbers at the ends of their range, black's clock, and the Time Buffer read
// at the go, not at the last read_params.
TEST(GoCommand, NumbersClockTableDepthsAndStatus) {
    Position& pos = test_position(START_FEN);
    SearchInfo info;
    for (const auto& row : read_rows("tables/go.txt")) {
        SCOPED_TRACE(row[1] + " | " + row[2]);
        if (row[0] == "ponderhit") {
            const auto n = [&](int i) { return std::stoll(row[std::size_t(i)]); };
            const std::int64_t now = now_ms();
            search_info_init(info, now);
            info.status = int(n(1)), info.iteration = int(n(2)), info.root_move_count = int(n(3));
            info.mate_iterations = int(n(4)), info.time_limited = int(n(5)), info.hard_deadline = row[6] == "none" ? 0 : now + n(6);
            ponder_hit(info);
            EXPECT_EQ(info.status, n(7));
        } else if (row[0] == "number") {
            EXPECT_EQ(go_parameter(row[1].c_str(), "wtime", 1000000), std::stoll(row[2]));
        } else if (row[0] == "depth") {
            go_prepare(pos, row[1].c_str(), info, NOW);
            EXPECT_EQ(std::vector<int>({info.depth_limited, info.depth_limit, info.status}),
                      std::vector<int>({std::stoi(row[2]), std::stoi(row[3]), std::stoi(row[4])}));
        } else {
            option_set("Move Overhead", row[1].c_str());
            go_prepare(pos, row[2].c_str(), info, NOW);
            EXPECT_EQ(std::vector<std::int64_t>({info.time_limited, info.allotted_time, info.soft_deadline - NOW,
                                                 info.hard_deadline - NOW, info.poll_interval}),
                      std::vector<std::int64_t>({1, std::stoll(row[3]), std::stoll(row[3]), std::stoll(row[4]),
                                                 std::stoll(row[5])}));
        }
    }
    option_set("Move Overhead", "0");
    EXPECT_EQ(go_parameter("nodes 9223372036854775808", "nodes", INT64_MAX), INT64_MAX);
    go_prepare(pos, "btime 60000 binc 1000 nodes 5000", info, NOW);  // black's clock while white moves
    EXPECT_TRUE(!info.time_limited && info.poll_interval == 8192 && info.nodes_limited && info.node_limit == 5000);
    Position& black = test_position("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
    option_set("Time Buffer", "0");
    go_prepare(black, "wtime 1 btime 60000", info, NOW);
    EXPECT_EQ(info.allotted_time, 60000 * 95 / 100 / 30);
    option_set("Time Buffer", "1000");
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
