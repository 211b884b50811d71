// The limits a GUI can push the engine to: the largest hash table listed and
// a table the machine cannot give. (Overlong lines are covered with the
// command loop, a game of 2,000 half-moves with the position command.)
#include <sys/mman.h>

#include "board/table_memory.h"
#include "eval/pawn_table.h"
#include "harness/engine_process.h"
#include "search/trans_table.h"
#include "test_support.h"
#include "uci/options.h"

namespace {

struct Quit {};
[[noreturn]] void throw_quit() { throw Quit{}; }

// What the setoption line printed, and whether it ended in the orderly quit.
std::pair<std::string, bool> set_option(Position& pos, const std::string& line) {
    testing::internal::CaptureStdout();
    bool quit = false;
    try {
        uci_setoption(pos, line.c_str());
    } catch (const Quit&) {
        quit = true;
    }
    return {testing::internal::GetCapturedStdout(), quit};
}

}  // namespace

// 4096 MB is the largest size listed, and larger values are held there (and
// listed so); a 64-bit build has it where the machine does, a 32-bit one
// cannot address it and says so.
TEST(Limits, HashAtTheLargestListedSize) {
    EngineProcess engine;
    engine.send("setoption name Hash value 99999999999999999999");
    EXPECT_TRUE(engine.wait_for("^info string Hash is held at its maximum of 4096 MB$"));
    engine.send("isready");
    if (sizeof(void*) == 8) {
        ASSERT_TRUE(engine.wait_for("^readyok$", 120000));
        engine.send("uci");
        EXPECT_TRUE(engine.wait_for("^option name Hash type spin default 4096 min 1 max 4096$"));
        engine.send("position startpos moves e2e4");
        engine.send("go depth 4");
        EXPECT_TRUE(engine.wait_for("^bestmove [a-h][1-8][a-h][1-8]", 60000));
        engine.send("quit");
    } else {
        EXPECT_TRUE(engine.wait_for("^info string Not enough memory to allocate transposition table\\.$"));
    }
    EXPECT_EQ(engine.wait_exit(60000), 0);
}

// A table the machine cannot give (simulated by a ceiling on table sizes):
// the engine says which, then quits in order; sizes that fit are taken.
TEST(Limits, TablesThatCannotBeHadEndTheEngineWithTheMessage) {
    Position& pos = test_position(START_FEN);
    set_quit_handler(throw_quit);
    set_table_size_ceiling(std::uint64_t(64) << 20);

    EXPECT_EQ(set_option(pos, "setoption name Hash value 32"), std::make_pair(std::string(), false));
    EXPECT_EQ(set_option(pos, "setoption name Hash value 4096"),
              std::make_pair(std::string("info string Not enough memory to allocate transposition table.\n"), true));
    EXPECT_EQ(set_option(pos, "setoption name Pawn Hash value 20"), std::make_pair(std::string(), false));
    EXPECT_EQ(set_option(pos, "setoption name Pawn Hash value 32"),
              std::make_pair(std::string("info string Not enough memory to allocate pawn table.\n"), true));

    set_table_size_ceiling(UINT64_MAX);
    set_quit_handler(nullptr);
    options_init();
    tt_allocate(pos, 4);
    pawn_table_allocate(pos, 10);
}

// Tables of 2 MB and more are mappings of their own, each given back whole
// when freed while the others live: one freed with another's size would keep
// memory the engine never gets back as Hash changes, or unmap a table still
// in use.
TEST(Limits, FreedTablesGiveBackTheirPagesAndOnlyTheirs) {
    constexpr std::uint64_t MB = 1 << 20, PAGE = 4096;
    // mincore fails on a page not mapped, here and under the user-mode
    // emulator the 32-bit tests may run in (whose unmapped pages msync still
    // accepts, the emulator keeping them reserved).
    const auto pages_mapped = [](void* block, std::uint64_t bytes) {
        int mapped = 0;
        unsigned char resident;
        for (std::uint64_t at = 0; at < bytes; at += PAGE) mapped += mincore(static_cast<char*>(block) + at, PAGE, &resident) == 0;
        return mapped;
    };
    const std::uint64_t sizes[3] = {8 * MB, 2 * MB, 4 * MB};
    void* blocks[3];
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(blocks[i] = table_alloc_zeroed(sizes[i]));
    for (int freed : {1, 0, 2}) {
        table_free(blocks[freed]);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(blocks[i] ? pages_mapped(blocks[i], sizes[i]) : 0, i == freed || !blocks[i] ? 0 : int(sizes[i] / PAGE)) << i;
        blocks[freed] = nullptr;
    }
}
