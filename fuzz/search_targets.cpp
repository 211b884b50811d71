// The go parameters and the option texts: whatever they say, the limits are
// sane, the search stays within its arithmetic, and its move is legal.
#include <algorithm>
#include <cstring>

#include "fuzz/harness.h"
#include "fuzz/targets.h"
#include "movegen/movegen.h"
#include "search/search.h"
#include "uci/go.h"
#include "uci/options.h"
#include "uci/uci.h"

namespace fuzz {
namespace {

// A short search from the position as the engine would run it: its move must
// be legal, and present whenever a legal move exists.
void check_search(Position& pos, SearchInfo& info, const std::string& input) {
    MoveList legal;
    gen_legal_moves(pos, legal);
    think(pos, info);
    check_consistent(pos, input);
    require(pos.ply == 0, "the search left the board off its root", input);
    if (legal.count == 0) {
        require(info.best_move == NO_MOVE, "a move was found where none is legal", input);
        return;
    }
    require(is_legal_move(pos, info.best_move), "the search answered an illegal move", input);
    if (info.ponder_move != NO_MOVE) {
        UndoRecord undo;
        make_move(pos, undo, info.best_move);
        const bool ponder_legal = is_legal_move(pos, info.ponder_move);
        unmake_move(pos, undo);
        require(ponder_legal, "the ponder move is not legal after the best move", input);
    }
}

}  // namespace

// The first byte picks a position, the rest is the text after "go".
int go(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    Position& pos = engine();
    const std::string input = text_of(data + 1, size - 1);
    read_fen(pos, seed_fen(data[0]));

    SearchInfo info;
    const std::int64_t now = 1'000'000'000;
    go_prepare(pos, input.c_str(), info, now);

    require(info.depth_limit >= 1, "a depth limit below one iteration", input);
    require(!info.nodes_limited || info.node_limit > 0, "a node limit of zero", input);
    if (info.time_limited) {
        require(info.allotted_time >= 0, "a negative time allotment", input);
        require(info.soft_deadline >= now && info.soft_deadline <= info.hard_deadline,
                "the deadlines are out of order", input);
    }
    int count = 0;
    while (count < MAX_SEARCH_MOVES && info.search_moves[count] != NO_MOVE) {
        require(is_legal_move(pos, info.search_moves[count]), "searchmoves kept an illegal move", input);
        require(std::count(info.search_moves, info.search_moves + count, info.search_moves[count]) == 0,
                "searchmoves kept a move twice", input);
        ++count;
    }
    require(count < MAX_SEARCH_MOVES, "searchmoves lost its terminating entry", input);
    require(bool(info.moves_limited) == (count > 0), "the move limit disagrees with the list", input);

    // The search stops at once (the harness's node ceiling), from the real
    // start time so no deadline has passed before it begins.
    const std::int64_t shift = now_ms() - now;
    info.start_time += shift;
    info.last_info_time += shift;
    info.soft_deadline += shift;
    info.hard_deadline += shift;
    check_search(pos, info, input);
    return 0;
}

// Lines of setoption text; then a short search with whatever they set.
int setoption(const std::uint8_t* data, std::size_t size) {
    Position& pos = engine();
    const std::string input = text_of(data, size);
    try {
        for (std::size_t start = 0; start < input.size();) {
            std::size_t end = std::min(input.find('\n', start), input.size());
            uci_setoption(pos, input.substr(start, end - start).c_str());
            start = end + 1;
        }
    } catch (const EngineQuit&) {
        // A table the ceiling refused: the engine said so and quit in order.
        reset_engine();
        return 0;
    }

    for (const OptionRecord& row : EngineOptions)
        require(row.value != nullptr || std::strcmp(row.type, "button") == 0, "an option lost its value", input);
    require(pos.trans_table && pos.pawn_table, "a hash table is missing after setoption", input);
    read_params(*pos.params);
    const EngineParams& p = *pos.params;
    require(p.iid_depth >= 1, "internal iterative deepening below depth one", input);
    for (int weight : {p.king_attack_level, p.piece_attack_mg, p.piece_attack_eg, p.delta_threshold,
                       p.zero_threshold, p.zero_multiplier})
        require(weight >= -10000 && weight <= 10000, "a weight beyond the score's arithmetic", input);

    read_fen(pos, seed_fen(std::uint8_t(size)));
    SearchInfo info;
    search_info_init(info, now_ms());
    check_search(pos, info, input);
    reset_engine();
    return 0;
}

}  // namespace fuzz
