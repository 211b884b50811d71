// Search rules that decide scores: repetitions, the fifty-move rule at PV
// nodes, mate distances, the bare king in a corner, and what nodes leave in
// the table (the rows of tests/data/tables/search_nodes.txt), a stopped one
// nothing. (History and killers shape every search: the bench signature sees
// them.)
#include <fcntl.h>
#include <unistd.h>

#include "io/input.h"
#include "search/trans_table.h"
#include "test_support.h"

// One node of a row of tests/data/tables/search_nodes.txt searched, its
// value; a store row's on a cleared table, a value row's on the table the
// rows before it left.
int node_value(Position& pos, const std::vector<std::string>& row) {
    uci_position(pos, row[1].c_str());
    const std::string& node = row[2];
    const int alpha = std::stoi(row[4]), beta = std::stoi(row[5]), depth = std::stoi(row[6]);
    auto info = new_search();
    Move pv[MAX_PLY];
    if (row[0] == "store") tt_clear(pos);
    pos.ply = std::stoi(row[3]);
    const int value = node == "pv"        ? search_pv(pos, *info, alpha, beta, depth, in_check(pos), pv)
                      : node == "zw"      ? search_zw(pos, *info, beta, depth, pv, 0)
                      : node == "evasion" ? search_evasion(pos, *info, beta, depth, pv, 0)
                      : node == "quiesce" ? quiesce(pos, *info, alpha, beta, 0, pv)
                                          : quiesce_evasion(pos, *info, alpha, beta, 0, pv);
    pos.ply = 0;
    return value;
}

// Repetitions, the fifty-move rule, mate distances, a bare king stalemated;
// the bounds, depths and move a node stores.
TEST(SearchRules, NodeValuesAndWhatTheyStore) {
    for (const auto& row : read_rows("tables/search_nodes.txt")) {
        SCOPED_TRACE(row[1] + " | " + row[2] + " | " + row[4] + " " + row[5]);
        Position& pos = test_position(START_FEN);
        const int value = node_value(pos, row);
        if (row[0] == "value") {
            EXPECT_TRUE(value >= std::stoi(row[7]) && value <= std::stoi(row[8])) << value;
            continue;
        }
        const auto e = tt_find(pos);
        ASSERT_TRUE(e);
        const int depth = std::stoi(row[6]);
        const bool lower = row[7] != "upper", upper = row[7] != "lower", move = row[8] != "0000";
        // Lower bound and depth, upper bound and depth, entry depth, move and its depth.
        EXPECT_EQ((std::vector<int>{e->lower, e->lower_depth, e->upper, e->upper_depth, e->depth, e->move_depth}),
                  (std::vector<int>{lower ? value : -10000, lower ? depth : 0, upper ? value : 10000,
                                    upper ? depth : 0, depth, move ? depth : 0})) << value;
        EXPECT_STREQ(move_to_text(tt_move(*e)), row[8].c_str());
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
