// Search rules that decide scores: repetitions, the fifty-move rule at PV
// nodes, mate distances, the bare king in a corner, and what nodes leave in
// the table, a stopped one nothing. (History and killers shape every search:
// the bench signature sees them.)
#include <fcntl.h>
#include <unistd.h>

#include "io/input.h"
#include "search/trans_table.h"
#include "test_support.h"

namespace {

enum Node { PV, ZW, EVASION, QUIESCE, QUIESCE_EVASION };

// One node's value on a fresh table, `ply` plies below the root (a zero-window
// node's alpha is beta - 1).
int node_value(Position& pos, Node node, int ply, int alpha, int beta, int depth) {
    auto info = new_search();
    Move pv[MAX_PLY];
    tt_clear(pos);
    pos.ply = ply;
    const int value = node == PV        ? search_pv(pos, *info, alpha, beta, depth, in_check(pos), pv)
                      : node == ZW      ? search_zw(pos, *info, beta, depth, pv, 0)
                      : node == EVASION ? search_evasion(pos, *info, beta, depth, pv, 0)
                      : node == QUIESCE ? quiesce(pos, *info, alpha, beta, 0, pv)
                                        : quiesce_evasion(pos, *info, alpha, beta, 0, pv);
    pos.ply = 0;
    return value;
}

}  // namespace

// A repetition below the root is a draw; the hundredth half-move without a
// pawn move or capture draws at a PV node (not at a zero-window one), a pawn
// move on the hundredth does not (black is a rook and a pawn down); mates
// count plies from the root; a bare king boxed in a corner is stalemated.
TEST(SearchRules, ScoresTheRulesDecide) {
    const struct Case {
        const char* position;
        Node node;
        int ply, alpha, beta, depth, low, high;  // the value lies in [low, high]
    } cases[] = {
        {"startpos moves g1f3 g8f6 f3g1 f6g8", ZW, 1, 49, 50, 3, 0, 0},
        {"startpos moves g1f3 g8f6 f3g1 f6g8", PV, 1, -100, 100, 3, 0, 0},
        {"fen 4k3/8/8/8/8/8/4P3/R3K3 w - - 99 80 moves a1a2", PV, 1, -1000, 1000, 2, 0, 0},
        {"fen 4k3/8/8/8/8/8/4P3/R3K3 w - - 99 80 moves a1a2", ZW, 1, -201, -200, 2, -10000, -201},
        {"fen 4k3/8/8/8/8/8/4P3/R3K3 w - - 99 80 moves e2e3", PV, 1, -1000, 1000, 2, -1000, -301},
        {"fen R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", PV, 5, -10000, 10000, 3, 5 - 10000, 5 - 10000},
        {"fen R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", QUIESCE_EVASION, 7, -10000, 10000, 0, 7 - 10000, 7 - 10000},
        {"fen 6k1/8/8/8/8/P5q1/8/7K w - - 0 1", QUIESCE, 0, -10000, 10000, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Position& pos = test_position(START_FEN);
        uci_position(pos, c.position);
        const int value = node_value(pos, c.node, c.ply, c.alpha, c.beta, c.depth);
        EXPECT_TRUE(value >= c.low && value <= c.high) << c.position << " node " << c.node << ": " << value;
    }
}

// What a node leaves in the table: a fail high is a lower bound with the
// refuting move, a fail low an upper bound without a move, an exact PV result
// both bounds and its move; each bound carries the node's depth.
TEST(SearchRules, NodesStoreTheirBoundsAndMove) {
    enum Kind { LOW, HIGH, EXACT };
    const struct Case {
        const char* fen;  // white wins a queen with `move`
        Node node;
        int alpha, beta, depth;
        Kind kind;
        const char* move;
    } cases[] = {
        {"4k3/8/8/3q4/8/8/3R4/4K3 w - - 0 1", ZW, 0, 300, 2, HIGH, "d2d5"},
        {"4k3/8/8/3q4/8/8/3R4/4K3 w - - 0 1", ZW, 0, 5000, 2, LOW, nullptr},
        {"4k3/8/8/3q4/8/8/3R4/4K3 w - - 0 1", PV, -6000, -5000, 3, HIGH, "d2d5"},
        {"4k3/8/8/3q4/8/8/3R4/4K3 w - - 0 1", PV, 5000, 6000, 3, LOW, nullptr},
        {"4k3/8/8/3q4/8/8/3R4/4K3 w - - 0 1", PV, -9000, 9000, 3, EXACT, "d2d5"},
        {"4k3/8/8/8/8/8/3q4/4K3 w - - 0 1", EVASION, 0, -500, 2, HIGH, "e1d2"},
        {"4k3/8/8/8/8/8/3q4/4K3 w - - 0 1", EVASION, 0, 5000, 2, LOW, nullptr},
    };
    for (const Case& c : cases) {
        Position& pos = test_position(c.fen);
        const int value = node_value(pos, c.node, 0, c.alpha, c.beta, c.depth);
        const auto e = tt_find(pos);
        ASSERT_TRUE(e) << c.fen;
        const bool lower = c.kind != LOW, upper = c.kind != HIGH;
        // Lower bound and depth, upper bound and depth, entry depth, move and its depth.
        EXPECT_EQ((std::vector<int>{e->lower, e->lower_depth, e->upper, e->upper_depth, e->depth, e->move_depth}),
                  (std::vector<int>{lower ? value : -10000, lower ? c.depth : 0, upper ? value : 10000,
                                    upper ? c.depth : 0, c.depth, c.move ? c.depth : 0}))
            << c.fen << " node " << c.node << " kind " << c.kind << " value " << value;
        EXPECT_STREQ(move_to_text(tt_move(*e)), c.move ? c.move : "0000") << c.fen;
    }
}

// Threads sharing the table put off a move another thread is searching. A
// node stopped before it came back to such a move stores nothing: a bound
// that never saw the move would tell every thread the node is worse than it
// is. The other thread is played here by this one: an outer search, at its
// last node and so still searching its last root move, reads the end of its
// input as quit, and the quit handler searches the same root again, to one
// node before its end, which falls in the move put off to the end.
namespace {

constexpr const char* DEFER_FEN = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3";
constexpr int DEFER_DEPTH = 4, DEFER_BETA = 9000;  // every root move fails low: none is cut off
struct Unwind {};
bool stopped_root_stored = false;

// A zero-window search of the root on a cleared table, stopped at `limit` nodes; returns its nodes.
std::int64_t search_root(OwnedPosition& pos, std::int64_t limit) {
    tt_clear(pos);
    pos.params->zero_pruning = false;  // no quiet move is pruned: every one is searched or put off
    auto info = new_search();
    info->iteration = 1;
    info->nodes_limited = limit > 0;
    info->node_limit = limit;
    Move pv[MAX_PLY];
    search_zw(pos, *info, DEFER_BETA, DEFER_DEPTH, pv, 0);
    return info->nodes;
}

void search_again_while_claimed(Position&) {
    set_input_polling(false);
    set_search_harness_limits(INT64_MAX, 0);
    auto inner = owned_position(DEFER_FEN);
    search_root(*inner, search_root(*inner, 0));
    stopped_root_stored = tt_find(*inner).has_value();
    throw Unwind{};
}

}  // namespace

TEST(SearchRules, AStoppedNodeStoresNothingOfTheMovesItPutOff) {
    auto outer = owned_position(DEFER_FEN);
    const std::int64_t total = search_root(*outer, 0);
    tt_set_shared(true);
    const int saved = dup(0), none = open("/dev/null", O_RDONLY);
    dup2(none, 0);
    close(none);
    input_reset();
    set_input_polling(true);
    set_search_quit(search_again_while_claimed);
    set_search_harness_limits(INT64_MAX, total - 1);  // the first look at the input
    EXPECT_THROW(search_root(*outer, 0), Unwind);
    set_search_quit(nullptr);
    dup2(saved, 0);
    close(saved);
    input_reset();
    tt_set_shared(false);
    EXPECT_FALSE(stopped_root_stored);
}
