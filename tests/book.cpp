// The opening book's clock-drawn choice and move text; lookups, the display,
// the file's opening and damaged files are tested through the real engine in
// the transcripts (uci/book_*.txt).
#include <gtest/gtest.h>

#include "book/book.h"

TEST(BookChoice, DependsOnlyOnTheClockModuloTheCount) {
    auto pick = [](std::initializer_list<std::uint16_t> weights, std::int64_t now) {
        BookEntry e[4];
        int n = 0;
        for (std::uint16_t w : weights) e[n++] = {1, 0, w, 0};
        return book_choose(e, n, now);
    };
    for (std::int64_t now : {0LL, 1LL, 2LL, 3LL, 1700000000000LL, 1700000000001LL}) {
        EXPECT_EQ(pick({1, 3}, now), now % 2 ? 1 : 0) << now;              // r = 0 or 2
        EXPECT_EQ(pick({10, 10, 80}, now), now % 3 == 0 ? 0 : 2) << now;  // r = 0, 33, 66
        EXPECT_EQ(pick({0, 0, 0}, now), 0) << now;
        EXPECT_EQ(pick({65535, 65535}, now), int(now % 2)) << now;
    }
}

TEST(BookMoveText, WritesCoordinatesPromotionsAndCastling) {
    char text[8];
    struct Case { std::uint16_t move; const char* text; };
    for (const Case& c : {Case{E2 << 6 | E4, "e2e4"}, Case{E1 << 6 | H1, "e1g1"}, Case{E1 << 6 | A1, "e1c1"},
                          Case{E8 << 6 | H8, "e8g8"}, Case{E8 << 6 | A8, "e8c8"}, Case{1 << 12 | B7 << 6 | B8, "b7b8n"},
                          Case{4 << 12 | B2 << 6 | A1, "b2a1q"}, Case{0xFFFF, "h8h8"}}) {
        book_move_text(c.move, text);
        EXPECT_STREQ(text, c.text);
    }
}
