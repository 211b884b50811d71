// Endgame tables in play: with SyzygyPath set (two directories here, each
// holding half the tables), Corvane converts won endings within the 50-move
// rule and never lets a drawn one slip, against itself without tables; the
// root's ranking counts the 50-move rule and resists a loss longest; every
// node kind keeps the tables' bound. (The root's ranking as an analyst sees
// it, and the largest tables deciding below the root, are in uci/tables_root.txt.)
#include <filesystem>
#include <set>

#include "harness/engine_process.h"
#include "search/trans_table.h"
#include "syzygy/syzygy.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string TABLES = std::string(CORVANE_DATA_DIR) + "/syzygy/tables";

}  // namespace

// Both engines search a fixed number of nodes, so every game is the same.
TEST(Tablebases, WonEndingsAreConvertedAndDrawnOnesHeld) {
    ScratchDir halves[2];
    int n = 0;
    for (const auto& entry : fs::directory_iterator(TABLES))
        fs::create_symlink(entry.path(), fs::path(halves[n++ % 2].path) / entry.path().filename());
    const std::string path = halves[0].path + ":" + halves[1].path;
    ASSERT_EQ(tb_init(path.c_str()), 35);
    // KQvKR (47 plies to the capture) and KRvK won, KRvKR drawn.
    for (const auto& [fen, won] : {std::pair{"8/8/3k4/8/2r5/8/8/Q3K3 w - - 0 1", true},
                                   std::pair{"8/8/8/4k3/8/8/8/R3K3 w - - 0 1", true},
                                   std::pair{"8/8/R2k4/8/8/K7/8/4r3 b - - 0 1", false}}) {
        EngineProcess with, without;
        with.send("setoption name SyzygyPath value " + path);
        with.send("setoption name Threads value 2");
        const std::string start = std::string("fen ") + fen + " moves";
        std::string moves;
        bool mated = false;
        for (int ply = 0; ply < (won ? 110 : 40) && !mated; ++ply) {
            EngineProcess& mover = ply % 2 ? without : with;
            mover.send("position " + start + moves);
            mover.send("go nodes 3000");
            const auto best = mover.wait_for("^bestmove ");
            ASSERT_TRUE(best);
            moves.append(" ").append(*best, 9, best->find(' ', 9) - 9);
            Position& pos = test_position(START_FEN);
            uci_position(pos, (start + moves).c_str());
            ASSERT_EQ(pos.hist_count, ply + 1) << "illegal move in " << moves;
            mated = legal_moves(pos).empty() && in_check(pos);
            // After each move of the side with the tables the result stands:
            // the win inside the 50-move rule, the draw not lost.
            int ok = 0;
            if (ply % 2 == 0 && !mated) {
                EXPECT_TRUE(won ? -tb_probe_dtz(pos, &ok) + pos.st.fifty <= 100 && tb_probe_wdl(pos, &ok) == TB_LOSS
                                : tb_probe_wdl(pos, &ok) <= TB_DRAW)
                    << "the result slipped after" << moves;
            }
        }
        EXPECT_EQ(mated, won) << fen << moves;
        EXPECT_TRUE(std::any_of(with.lines().begin(), with.lines().end(),
                                [](const std::string& line) { return line.find(" tbhits ") != std::string::npos; }));
    }
    tb_free();
}

// The root's ranking, the 50-move rule counted, and the tables' bound at
// every node kind: the rows of tests/data/tables/tablebases.txt.
TEST(Tablebases, RootRankingAndTheBoundAtEveryNode) {
    ASSERT_EQ(tb_init(TABLES.c_str()), 35);
    const int win = TB_WIN_SCORE - 1;  // a win the tables give one ply from the root
    for (const auto& row : read_rows("tables/tablebases.txt")) {
        SCOPED_TRACE(row[1] + " | " + row[2]);
        auto pos = owned_position(row[1]);
        pos->params->tb_men = tb_max_men();
        auto info = new_search();
        if (row[0] == "root") {
            pos->params->tb_rule50 = row[2] == "true";
            RootMove moves[MAX_MOVES];
            int count = 0;
            for (Move m : legal_moves(*pos)) moves[count++] = {m, 0};
            const int best = tb_rank_root(*pos, *info, moves, count);
            std::set<std::string> kept;
            for (int i = 0; i < best; ++i) kept.insert(move_to_text(moves[i].move));
            std::string text;
            for (const std::string& m : kept) text += (text.empty() ? "" : " ") + m;
            EXPECT_EQ(text, row[3]);
            EXPECT_EQ(count, best);
            continue;
        }
        const bool won = row[3] == "won";
        pos->ply = 1;
        Move pv[MAX_PLY];
        // Beyond a win lies a mate, beneath a loss a quicker one: only a search can tell.
        const int beta = won ? win + 1 : -win;
        const int value = row[2] == "zw" ? search_zw(*pos, *info, beta, 3, pv, 0) : search_evasion(*pos, *info, beta, 3, pv, 0);
        const auto e = tt_find(*pos);
        ASSERT_TRUE(e);
        EXPECT_TRUE(won ? value >= win && e->upper >= win : value <= -win && e->lower <= -win)
            << "value " << value << " bounds " << e->lower << " " << e->upper;
        EXPECT_GT(info->tb_hits, 0);
    }
    tb_free();
}
