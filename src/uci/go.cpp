// The go command: its parameters, the time allocation, the search status,
// the search itself and the bestmove line; also the wall clock.
#include "uci/go.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cinttypes>
#include <cstring>

#include "eval/pawn_table.h"
#include "movegen/movegen.h"
#include "search/search.h"
#include "search/threads.h"
#include "search/trans_table.h"
#include "uci/options.h"
#include "io/text.h"
#include "uci/uci.h"

namespace {

constexpr int TIME_PERCENT = 95;           // of the clock; the rest covers lag the reserve misses
constexpr std::int64_t MAX_MOVES_TO_GO = 30;  // also assumed when the interface gives none
constexpr std::int64_t COUNT_CEILING = INT32_MAX;
constexpr std::int64_t POLL_NODES_PER_MS = 16;
constexpr std::int64_t MIN_POLL_INTERVAL = 256;

using text::is_space;
bool is_file(char c) { return c >= 'a' && c <= 'h'; }
bool is_rank(char c) { return c >= '1' && c <= '8'; }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

[[maybe_unused]] bool is_root_move(const Position& pos, Move move) {
    MoveList legal;
    gen_legal_moves(pos, legal);
    return std::any_of(legal.moves, legal.moves + legal.count, [&](const ScoredMove& m) { return m.move == move; });
}

}  // namespace

TimeBudget allocate_time(std::int64_t time, std::int64_t inc, std::int64_t moves_to_go, bool ponder,
                         std::int64_t reserve, std::int64_t overhead) {
    inc = std::max<std::int64_t>(inc, 0);
    reserve = std::max<std::int64_t>(reserve, 0);
    overhead = std::max<std::int64_t>(overhead, 0);
    std::int64_t available = std::max<std::int64_t>(time * TIME_PERCENT / 100 - reserve, 0);
    std::int64_t moves = moves_to_go >= 1 && moves_to_go <= MAX_MOVES_TO_GO ? moves_to_go : MAX_MOVES_TO_GO;
    std::int64_t bonus = inc * 4 / 5;

    std::int64_t target = available / moves + bonus;
    // The opponent's time is ours too when the ponder move is played.
    if (ponder) target += target / 4;
    target = std::min(target, available);

    // The hard limit lets an unstable search run on, but never spends more
    // than two fifths of what is left, nor less than the plan.
    std::int64_t absolute = available * 2 / 5 + bonus;
    absolute = std::clamp(absolute, target, available);
    // The time the GUI or the network loses on the move comes off both limits.
    return {std::max<std::int64_t>(target - overhead, 0), std::max<std::int64_t>(absolute - overhead, 0)};
}

std::int64_t go_parameter(const char* text, const char* keyword, std::int64_t ceiling) {
    const char* at = std::strstr(text, keyword);
    if (!at) return 0;
    const char* p = at + std::strlen(keyword);
    if (*p == '\0') return 0;  // the keyword ends the text: no separator, no number
    ++p;
    while (is_space(*p)) ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (!is_digit(*p)) return 0;
    std::int64_t value = 0;
    for (; is_digit(*p); ++p) {
        int digit = *p - '0';
        value = value > (ceiling - digit) / 10 ? ceiling : value * 10 + digit;
    }
    return negative ? 0 : value;
}

void parse_move_list(const Position& pos, const MoveList& legal, const char* text, Move* search_moves) {
    int count = 0;
    const char* p = text;
    for (;;) {
        while (is_space(*p)) ++p;
        int length = 0;
        while (p[length] && !is_space(p[length])) ++length;
        // A token that is not a coordinate move (a parameter word, a number)
        // ends the list.
        if (length < 4 || !is_file(p[0]) || !is_rank(p[1]) || !is_file(p[2]) || !is_rank(p[3])) break;
        // Each token by itself: four characters and the promotion letter, if any.
        char token[6] = {p[0], p[1], p[2], p[3], length > 4 ? p[4] : '\0', '\0'};
        Move move = text_to_move(pos, legal, token);
        bool repeated = std::find(search_moves, search_moves + count, move) != search_moves + count;
        if (move != NO_MOVE && !repeated && count < MAX_SEARCH_MOVES - 1) search_moves[count++] = move;
        p += length;
    }
    search_moves[count] = NO_MOVE;
}

void go_prepare(const Position& pos, const char* text, SearchInfo& info, std::int64_t now) {
    search_info_init(info, now);

    bool infinite = std::strstr(text, "infinite") != nullptr;
    bool ponder = std::strstr(text, "ponder") != nullptr;
    std::int64_t wtime = go_parameter(text, "wtime", GO_TIME_CEILING);
    std::int64_t btime = go_parameter(text, "btime", GO_TIME_CEILING);
    std::int64_t winc = go_parameter(text, "winc", GO_TIME_CEILING);
    std::int64_t binc = go_parameter(text, "binc", GO_TIME_CEILING);
    std::int64_t moves_to_go = go_parameter(text, "movestogo", COUNT_CEILING);
    // Depths beyond the driver's last iteration are kept as given: the log
    // shows them, and the driver stops at its own limit anyway.
    std::int64_t depth = go_parameter(text, "depth", COUNT_CEILING);
    std::int64_t nodes = go_parameter(text, "nodes", INT64_MAX);
    std::int64_t mate = go_parameter(text, "mate", COUNT_CEILING / 2);
    std::int64_t movetime = go_parameter(text, "movetime", GO_TIME_CEILING);

    if (const char* at = std::strstr(text, "searchmoves")) {
        const char* list_text = at + std::strlen("searchmoves");
        if (*list_text) ++list_text;
        MoveList legal;
        gen_legal_moves(pos, legal);
        parse_move_list(pos, legal, list_text, info.search_moves);
    }

    // Later items override earlier ones: mate wins over depth, both over
    // infinite, and the clock over movetime.
    if (infinite) {
        info.depth_limited = 1;
        info.depth_limit = MAX_PLY;
        print_out(OUT_LOG, "info string Infinite\n");
    }
    if (depth > 0) {
        info.depth_limited = 1;
        info.depth_limit = int(depth);
        print_out(OUT_LOG, "info string Depth is limited to %d half moves\n", info.depth_limit);
    }
    if (mate > 0) {
        info.depth_limited = 1;
        info.depth_limit = int(2 * mate - 1);
        print_out(OUT_LOG, "info string Mate in %d half moves\n", info.depth_limit);
    }
    if (nodes > 0) {
        info.nodes_limited = 1;
        info.node_limit = nodes;
        print_out(OUT_LOG, "info string Nodes is limited to %" PRId64 " positions\n", nodes);
    }
    if (info.search_moves[0] != NO_MOVE) {
        info.moves_limited = 1;
        print_out(OUT_LOG, "info string Moves is limited\n");
    }
    const std::int64_t overhead = std::max(option_get_int("Move Overhead"), 0);
    if (movetime > 0) {
        info.time_limited = 1;
        info.allotted_time = std::max<std::int64_t>(movetime - overhead, 0);
        info.soft_deadline = info.hard_deadline = now + info.allotted_time;
        print_out(OUT_LOG, "info string Fixed time per move: %" PRId64 " ms\n", movetime);
    }
    std::int64_t clock = pos.side == WHITE ? wtime : btime;
    std::int64_t inc = pos.side == WHITE ? winc : binc;
    if (clock > 0) {
        TimeBudget budget = allocate_time(clock, inc, moves_to_go, ponder, option_get_int("Time Buffer"), overhead);
        info.time_limited = 1;
        print_out(OUT_LOG, "info string Time is limited: ");
        // The log shows the low 32 bits, as the limits have always been logged.
        print_out(OUT_LOG, "max = %d, ", int(std::uint32_t(budget.target)));
        print_out(OUT_LOG, "abs = %d\n", int(std::uint32_t(budget.absolute)));
        info.allotted_time = budget.target;
        info.soft_deadline = now + budget.target;
        info.hard_deadline = now + budget.absolute;
    }

    // The first look at the clock must come well before a short deadline,
    // whatever the speed: at this many nodes per millisecond of the hard
    // limit, even a slow build (sanitizers, emulation) looks several times.
    if (info.time_limited)
        info.poll_interval = std::min(info.poll_interval,
                                      std::max((info.hard_deadline - now) * POLL_NODES_PER_MS, MIN_POLL_INTERVAL));

    // The limits above hold in every status; the search applies the time
    // limits only while THINKING, so a ponder search waits for ponderhit.
    if (infinite) {
        info.status = ANALYSING;
        print_out(OUT_LOG, "info string Search status is ANALYSING\n");
    } else if (ponder) {
        info.status = PONDERING;
        print_out(OUT_LOG, "info string Search status is PONDERING\n");
    } else {
        info.status = THINKING;
        print_out(OUT_LOG, "info string Search status is THINKING\n");
    }
}

void uci_go(Position& pos, const char* text) {
    // The generators and the evaluation assume a board a game can hold.
    if (const char* why = position_unplayable(pos)) {
        print_out(OUT_SCREEN | OUT_LOG, "info string Position is not playable (%s)\n", why);
        print_out(OUT_SCREEN | OUT_LOG, "bestmove 0000\n\n");
        return;
    }

    SearchInfo info;  // lives for this search only: history and killers start from zero
    go_prepare(pos, text, info, now_ms());
    // Two analyses of one position start from the same tables.
    if (info.status == ANALYSING) {
        tt_clear(pos);
        pawn_table_clear(pos);
        threads_clear_pawn_tables();
    }
    // Every setoption since the last search takes effect now.
    read_params(*pos.params);

    think(pos, info);

    // Every go ends in bestmove, which GUIs and clients wait for; "(none)" is
    // how they read the answer of a root without a legal move.
    if (info.best_move == NO_MOVE) {
        print_out(OUT_SCREEN | OUT_LOG, "info string No legal move found. Start a new game.\n");
        print_out(OUT_SCREEN | OUT_LOG, "bestmove (none)\n\n");
        return;
    }
    assert(is_root_move(pos, info.best_move));
    // move_to_text has one buffer, so each move gets its own print.
    print_out(OUT_SCREEN | OUT_LOG, "bestmove %s", move_to_text(pos, info.best_move));
    if (info.ponder_move != NO_MOVE) print_out(OUT_SCREEN | OUT_LOG, " ponder %s", move_to_text(pos, info.ponder_move));
    print_out(OUT_SCREEN | OUT_LOG, "\n\n");
}
