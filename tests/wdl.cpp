// Win, draw and loss chances: per mille that always add up, move the right
// way with the score, and are certain for mates and the tables' wins. The
// line format, and a root the tables know, are in uci/show_wdl.txt.

#include "test_support.h"

TEST(WinDrawLoss, ChancesAddUpAndFollowTheScore) {
    for (bool network : {false, true}) {  // the hand-written evaluation's model and the network's
        for (int material = 0; material <= 90; material += 2) {
            WdlChances last{0, 0, 1000};
            for (int score = -MATE; score <= MATE; score += score > -4000 && score < 4000 ? 5 : 97) {
                const WdlChances c = wdl_chances(score, material, network),
                                 mirror = wdl_chances(-score, material, network);
                ASSERT_TRUE(c.win >= 0 && c.draw >= 0 && c.loss >= 0 && c.win + c.draw + c.loss == 1000 &&
                            c.win >= last.win && c.loss <= last.loss && mirror.win == c.loss && mirror.loss == c.win)
                    << score << " cp, material " << material << ", network " << network << ": " << c.win << " "
                    << c.draw << " " << c.loss;
                last = c;
            }
        }
        EXPECT_GT(wdl_chances(0, 78, network).draw, wdl_chances(0, 78, network).win);
    }
    EXPECT_GE(wdl_chances(2000, 78).win, 990);
    EXPECT_GE(wdl_chances(1000, 10).win, 990);
    // The material the model reads: pawns 1, minor pieces 3, rooks 5, queens 9, both sides.
    EXPECT_EQ(wdl_material(test_position("r3k3/pp6/8/8/8/8/PB6/R3K1NQ w - - 0 1")), 2 + 1 + 3 + 3 + 5 + 5 + 9);
    for (const int score : {MATE - 1, MATE_BOUND, TB_WIN_SCORE - 3, TB_WIN_BOUND}) {
        EXPECT_EQ(wdl_chances(score, 78).win, 1000) << score;
        EXPECT_EQ(wdl_chances(-score, 78).loss, 1000) << score;
    }
}
