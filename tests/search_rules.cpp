// Search rules that decide scores: repetitions, the fifty-move rule at PV
// nodes, mate distances, the bare king in a corner, history and killers.
#include <gtest/gtest.h>

#include <memory>

#include "search/search.h"
#include "movegen/picker.h"
#include "search/trans_table.h"
#include "test_support.h"
#include "uci/uci.h"

namespace {

std::unique_ptr<SearchInfo> new_search(int depth_limit = 128) {
    auto info = std::make_unique<SearchInfo>();
    search_info_init(*info, now_ms());
    info->status = THINKING;
    info->depth_limited = 1;
    info->depth_limit = depth_limit;
    return info;
}

}  // namespace

TEST(SearchRules, RepetitionBelowTheRootIsADraw) {
    Position& pos = test_position("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    uci_position(pos, "startpos moves g1f3 g8f6 f3g1 f6g8");
    ASSERT_TRUE(is_repetition(pos));
    auto info = new_search();
    Move pv[MAX_PLY];
    pos.ply = 1;  // any node below the root
    EXPECT_EQ(search_zw(pos, *info, 50, 3, pv, 0), 0);
    EXPECT_EQ(search_pv(pos, *info, -100, 100, 3, 0, pv), 0);
    pos.ply = 0;
}

TEST(SearchRules, FiftyMoveRuleOnlyAtPvNodes) {
    // White is a rook up: without the rule the side to move is far ahead.
    Position& pos = test_position("4k3/8/8/8/8/8/8/R3K3 w - - 100 80");
    auto info = new_search();
    Move pv[MAX_PLY];
    pos.ply = 1;
    EXPECT_EQ(search_pv(pos, *info, -1000, 1000, 2, 0, pv), 0);
    EXPECT_GT(search_zw(pos, *info, 200, 2, pv, 0), 200);
    pos.ply = 0;
}

TEST(SearchRules, MateScoresCountPliesFromTheRoot) {
    Position& pos = test_position("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");  // black is mated
    auto info = new_search();
    Move pv[MAX_PLY];
    pos.ply = 5;
    EXPECT_EQ(search_pv(pos, *info, -10000, 10000, 3, 1, pv), 5 - 10000);
    pos.ply = 7;
    EXPECT_EQ(quiesce_evasion(pos, *info, -10000, 10000, 0, pv), 7 - 10000);
    pos.ply = 0;
}

TEST(SearchRules, FindsMateInTwoAndReportsItsDistance) {
    // 1.Rd8+ Rxd8 2.Rxd8#
    Position& pos = test_position("2r3k1/5ppp/8/8/8/8/3R1PPP/3R2K1 w - - 0 1");
    auto info = new_search(3);
    think(pos, *info);
    EXPECT_EQ(info->best_score, 10000 - 3);
    EXPECT_EQ(std::string(move_to_text(info->best_move)), "d2d8");
}

TEST(SearchRules, BareKingBoxedInACornerScoresZero) {
    // The white king on h1 can only shuffle into attacked squares; the pawn move does not matter.
    Position& pos = test_position("6k1/8/8/8/8/P5q1/8/7K w - - 0 1");
    auto info = new_search();
    Move pv[MAX_PLY];
    EXPECT_EQ(quiesce(pos, *info, -10000, 10000, 0, pv), 0);
}

TEST(SearchRules, HistoryHalvesAndKillersShift) {
    auto info = new_search();
    const Move a = make_move_word(G1, F3, KNIGHT, EMPTY), b = make_move_word(B1, C3, KNIGHT, EMPTY);
    info->history[0] = 1;
    info->history[history_index(WHITE, a)] = 16000;
    update_history(*info, a, WHITE, 20, 4);
    EXPECT_EQ(info->history[history_index(WHITE, a)], 8200);
    EXPECT_EQ(info->history[0], 1);
    EXPECT_EQ(info->history[5], 0);
    EXPECT_EQ(info->killer1[4], a);
    update_history(*info, b, WHITE, 1, 4);
    update_history(*info, b, WHITE, 1, 4);
    EXPECT_EQ(info->killer1[4], b);
    EXPECT_EQ(info->killer2[4], a) << "a repeated first killer leaves the second alone";
}
