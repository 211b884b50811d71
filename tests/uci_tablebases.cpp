// Endgame tables in play: with SyzygyPath set (two directories here, each
// holding half the tables), Corvane converts won endings within the 50-move
// rule and never lets a drawn one slip, against itself without tables; the
// root's ranking counts the 50-move rule and resists a loss longest; every
// node kind keeps the tables' bound. (The root's ranking as an analyst sees
// it, and the largest tables deciding below the root, are in uci/tables_root.txt.)
#include <filesystem>

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

// The 50-move counter at the root turns the wins it spoils (the next capture
// or pawn move comes too late) into draws, and the losses it saves, unless
// Syzygy50MoveRule is off. KQvKR: from a fresh counter the two king moves
// that zero soonest keep the win, and the loser keeps the moves that resist
// longest; at 60 every win is spoiled, so every move that does not lose the
// queen keeps the draw; the loser's moves likewise. (The 3- and 4-man tables
// hold no cursed or blessed result of their own.)
TEST(Tablebases, RootCountsTheFiftyMoveRule) {
    ASSERT_EQ(tb_init(TABLES.c_str()), 35);
    const struct Case {
        const char* fen;
        bool rule50;
        const char* kept;  // sorted
    } cases[] = {
        {"8/8/3k4/8/2r5/8/8/Q3K3 w - - 0 1", true, "e1d2 e1e2"},
        {"8/8/3k4/8/2r5/8/8/Q3K3 b - - 0 1", true, "c4c5 c4c6 c4c7 c4c8 c4e4 c4f4 d6c5 d6c6 d6c7 d6d5 d6d7 d6e6"},
        {"8/8/3k4/8/2r5/8/8/Q3K3 w - - 60 1", false, "e1d2 e1e2"},
        {"8/8/3k4/8/2r5/8/8/Q3K3 w - - 60 1", true,
         "a1a2 a1a3 a1a5 a1a6 a1a7 a1a8 a1b1 a1b2 a1d1 a1f6 a1g7 a1h8 e1d1 e1d2 e1e2 e1f1 e1f2"},
        {"8/8/3k4/8/2r5/8/8/Q3K3 b - - 60 1", true,
         "c4b4 c4c5 c4c6 c4c7 c4c8 c4e4 c4f4 d6c5 d6c6 d6c7 d6d5 d6d7 d6e6"},
    };
    for (const Case& c : cases) {
        auto pos = owned_position(c.fen);
        pos->params->tb_men = tb_max_men();
        pos->params->tb_rule50 = c.rule50;
        auto info = new_search();
        RootMove moves[MAX_MOVES];
        int count = 0;
        for (Move m : legal_moves(*pos)) moves[count++] = {m, 0};
        const int best = tb_rank_root(*pos, *info, moves, count);
        std::vector<std::string> kept;
        for (int i = 0; i < best; ++i) kept.push_back(move_to_text(moves[i].move));
        std::sort(kept.begin(), kept.end());
        std::string text;
        for (const std::string& m : kept) text += (text.empty() ? "" : " ") + m;
        EXPECT_EQ(text, c.kept) << c.fen << (c.rule50 ? "" : " without the 50-move rule");
        EXPECT_EQ(count, best) << c.fen;
    }
    tb_free();
}

// A node that searches on past the tables' result (the window lies beyond
// it) returns and stores a value within the tables' bound, whatever kind of
// node it is: a won position at least the win's score, a lost one at most
// the loss's. KQvK and KQvKR one ply below the root, the side to move in
// check for the evasion nodes, with no mate inside the depth searched.
TEST(Tablebases, EveryNodeKindHoldsTheTablesBound) {
    ASSERT_EQ(tb_init(TABLES.c_str()), 35);
    enum Node { ZERO_WINDOW, EVASION };
    const struct Case {
        const char* fen;
        Node node;
        bool won;
    } cases[] = {
        {"8/8/8/2k5/8/8/8/3QK3 w - - 0 1", ZERO_WINDOW, true},
        {"8/8/8/2k5/8/8/8/3QK3 b - - 0 1", ZERO_WINDOW, false},
        {"4r3/8/8/3k4/8/8/8/Q3K3 w - - 0 1", EVASION, true},
        {"8/8/8/3k4/8/8/8/3QK3 b - - 0 1", EVASION, false},
    };
    const int win = TB_WIN_SCORE - 1;  // a win the tables give one ply from the root
    for (const Case& c : cases) {
        auto pos = owned_position(c.fen, 10);
        pos->params->tb_men = tb_max_men();
        pos->ply = 1;
        auto info = new_search();
        Move pv[MAX_PLY];
        // Beyond a win lies a mate, beneath a loss a quicker one: only a search can tell.
        const int beta = c.won ? win + 1 : -win;
        const int value = c.node == ZERO_WINDOW ? search_zw(*pos, *info, beta, 3, pv, 0)
                                                : search_evasion(*pos, *info, beta, 3, pv, 0);
        const auto e = tt_find(*pos);
        ASSERT_TRUE(e) << c.fen;
        const bool held = c.won ? value >= win && e->upper >= win : value <= -win && e->lower <= -win;
        EXPECT_TRUE(held) << c.fen << " value " << value << " bounds " << e->lower << " " << e->upper;
        EXPECT_GT(info->tb_hits, 0) << c.fen;
    }
    tb_free();
}

