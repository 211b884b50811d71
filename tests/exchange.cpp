// The static exchange evaluation against hand-worked swap lists in
// tests/data/tables/see.txt (over whole trees it is checked to leave the
// position untouched).
#include "test_support.h"

TEST(Exchange, SwapListExamples) {
    for (const auto& row : read_rows("tables/see.txt")) {
        Position& pos = test_position(row[0]);
        const std::vector<Move> moves = pseudo_moves(pos);
        const auto m = std::find_if(moves.begin(), moves.end(), [&](Move x) { return move_to_text(x) == row[1]; });
        ASSERT_NE(m, moves.end()) << row[0] << " has no move " << row[1];
        EXPECT_EQ(see(pos, *m), std::stoi(row[2])) << row[0] << " " << row[1];
    }
}
