// The transposition table: independent bounds with their own depths, the
// replacement rule across ages and depths, and the fill count.

#include "search/trans_table.h"
#include "test_support.h"

namespace {

// Positions whose keys share a bucket start are hard to find, so the tests
// plant entries by hand in the bucket of the test position.
TransSlot* bucket(Position& pos) { return pos.trans_table + (std::uint32_t(pos.st.hash) & pos.trans_table_mask); }

// Lower bound, its depth, upper bound, its depth, entry depth, move depth.
std::vector<int> fields(const std::optional<TransEntry>& e) {
    return e ? std::vector<int>{e->lower, e->lower_depth, e->upper, e->upper_depth, e->depth, e->move_depth}
             : std::vector<int>{};
}

Position& cleared(const char* fen = "4k3/8/8/8/8/8/8/4K2R w K - 0 1") {
    Position& pos = test_position(fen);
    tt_clear(pos);
    return pos;
}

}  // namespace

TEST(TransTable, BoundsOfDifferentDepthsCoexist) {
    Position& pos = cleared();
    tt_store(pos, 6, -10000, 120, NO_MOVE);  // fail low at depth 6
    EXPECT_EQ(fields(tt_find(pos)), (std::vector<int>{-10000, 0, 120, 6, 6, 0}));
    const Move castle = CASTLE_WHITE_KING;
    tt_store(pos, 4, 150, 10000, castle);  // a later, shallower fail high
    EXPECT_EQ(fields(tt_find(pos)), (std::vector<int>{150, 4, 120, 6, 6, 4}));
    EXPECT_EQ(tt_move(*tt_find(pos)), castle);
    tt_store(pos, 3, -10000, 50, NO_MOVE);  // too shallow to replace the upper bound
    EXPECT_EQ(tt_find(pos)->upper, 120);
    tt_store(pos, 2, 100, 10000, NO_MOVE);  // no move: the stored move stays
    EXPECT_EQ(tt_move(*tt_find(pos)), castle);

    // Threads sharing the table: the newer of two contradicting bounds wins
    // whatever the depths (one thread's deep fail high, another's shallow fail low).
    tt_set_shared(true);
    tt_store(pos, 1, -10000, 90, NO_MOVE);
    EXPECT_EQ(fields(tt_find(pos)), (std::vector<int>{-10000, 0, 120, 6, 6, 4}));
    tt_store(pos, 1, 130, 10000, NO_MOVE);
    EXPECT_EQ(fields(tt_find(pos)), (std::vector<int>{130, 1, 10000, 0, 6, 4}));
    tt_set_shared(false);
}

TEST(TransTable, ReplacementPrefersOldGenerationThenShallow) {
    Position& pos = cleared();
    for (int i = 0; i < 3; ++i) tt_new_search(pos);  // age 3
    const int ages[4] = {3, 3, 2, 3}, depths[4] = {10, 2, 20, 5};
    TransSlot* b = bucket(pos);
    for (int i = 0; i < 4; ++i) {
        tt_write(b[i], {0xABCD0000u + unsigned(i), std::uint32_t(ages[i]) << 26, 10000, -10000, std::uint8_t(depths[i]),
                        0, 0, 0});
    }
    tt_store(pos, 1, 5, 10000, NO_MOVE);
    EXPECT_EQ(tt_read(b[2]).lock, std::uint32_t(pos.st.hash >> 32)) << "distance 1 beats distance 0 whatever the depth";

    // Equal age: the shallowest goes, and of equal depths the first.
    for (const int depth1 : {2, 7}) {
        for (int i = 0; i < 4; ++i)
            tt_write(b[i], {0xABCD0000u + unsigned(i), 3u << 26, 10000, -10000, std::uint8_t(i == 1 ? depth1 : 7), 0, 0, 0});
        tt_store(pos, 1, 5, 10000, NO_MOVE);
        EXPECT_EQ(tt_read(b[depth1 == 2 ? 1 : 0]).lock, std::uint32_t(pos.st.hash >> 32)) << depth1;
    }
}

TEST(TransTable, ProbeRefreshesAgeAndHashfullCountsNewEntries) {
    Position& pos = cleared();
    tt_new_search(pos);  // entries written under the cleared age 0 are now old
    EXPECT_EQ(pos.trans_used, 1);
    tt_store(pos, 3, 10, 10000, NO_MOVE);
    EXPECT_EQ(pos.trans_used, 2);
    tt_new_search(pos);
    auto e = tt_find(pos);
    ASSERT_TRUE(e);
    EXPECT_EQ(tt_age(*e), pos.trans_age);
    EXPECT_EQ(tt_hashfull(pos), int(std::int64_t(pos.trans_used) * 1000 / std::int64_t(pos.trans_table_size)));
}

// An entry whose words come from two different writes, as two threads
// storing at once can leave it, is no entry at all: the probe misses.
TEST(TransTable, EntryTornByTwoWritersReadsAsAMiss) {
    Position& pos = cleared();
    tt_store(pos, 5, 30, 30, CASTLE_WHITE_KING);
    auto e = tt_find(pos);
    ASSERT_TRUE(e);
    TransSlot* b = bucket(pos);
    int slot = 0;
    while (tt_read(b[slot]).lock != e->lock) ++slot;
    // Another writer's bounds and depths over this writer's lock and move.
    TransEntry other = *e;
    other.upper = other.lower = -200;
    other.depth = other.upper_depth = other.lower_depth = 9;
    TransSlot second;
    tt_write(second, other);
    b[slot].bounds.store(second.bounds.load());
    b[slot].depths.store(second.depths.load());
    EXPECT_FALSE(tt_find(pos));
}

TEST(TransTable, SizeRule) {
    Position& pos = test_position("4k3/8/8/8/8/8/8/4K3 w - - 0 1");
    for (const auto& [megabytes, entries] : {std::pair{32, 2097152u}, {48, 2097152u}, {64, 4194304u}, {100, 4194304u},
                                             {2, 1048576u}, {4, 262144u}}) {
        ASSERT_TRUE(tt_allocate(pos, megabytes));
        EXPECT_EQ(std::vector<std::uint64_t>({pos.trans_table_size, pos.trans_table_mask}),
                  std::vector<std::uint64_t>({entries + 3, entries - 1})) << megabytes << " MB";
    }
    ASSERT_TRUE(tt_allocate(pos, 4));
}
