// The root of the search: the root moves and their ordering keys, and the two
// line searches over them: the first line (every root move, the one search a
// single line gets) and each further line of a multi-line search.
#include <algorithm>

#include "movegen/movegen.h"
#include "movegen/picker.h"
#include "search/driver.h"

namespace {

constexpr int ROOT_HASH_KEY = 49152;
constexpr int ROOT_TACTICAL_KEY = 16384;
constexpr int BEST_MOVE_KEY_BONUS = 1024;  // last best move first, the rest by subtree size
constexpr int SUBTREE_KEY_SHIFT = 13;      // one key point per 8192 nodes

// Searches one root move below alpha's current value. The first move of a
// line gets the full window (nothing to compare it with yet); a later one a
// zero window and, when it beats alpha, the full window again, so that the
// line's score is exact. On the first line the re-search is marked for the
// clock rules (a deadline passed meanwhile extends instead of stopping) and
// reported to the GUI as the move being searched.
int search_root_move(Position& pos, SearchInfo& info, Move move, int d, int alpha, Bitboard candidates,
                     Move* child_pv, bool first_line) {
    UndoRecord undo;
    const int g = gives_check(pos, move, candidates);
    const int cd = pv_new_depth(pos, move, g, d);
    make_move(pos, undo, move);
    int value;
    if (cd < 1)
        value = -quiesce(pos, info, -MATE, -alpha, 0, child_pv);
    else if (alpha == -MATE)
        value = -search_pv(pos, info, -MATE, -alpha, cd, g, child_pv);
    else {
        value = g ? -search_evasion(pos, info, -alpha, cd, child_pv, NODE_CUT | NODE_NULL_OK)
                  : -search_zw(pos, info, -alpha, cd, child_pv, NODE_CUT | NODE_NULL_OK);
        if (info.status != STOPPED && value > alpha) {
            if (first_line) {
                info.root_research = 1;
                if (!info.helper) report(pos, info, {.form = INFO_CURRMOVE, .currmove = move,
                                                     .currmove_number = info.root_move_number});
            }
            value = -search_pv(pos, info, -MATE, -alpha, cd, g, child_pv);
            info.root_research = 0;
        }
    }
    unmake_move(pos, undo);
    return value;
}

}  // namespace

int pick_root_move(const RootMove* moves, const bool* searched, int count) {
    int best = -1;
    for (int i = 0; i < count; ++i)
        if (!searched[i] && (best < 0 || moves[i].key > moves[best].key)) best = i;
    return best;
}

// The first keys: the table's move first, then captures and promotions by
// victim and attacker, then quiet moves in generation order.
void build_root(Position& pos, SearchInfo& info, RootSearch& rs) {
    MoveList list;
    rs.count = 0;
    if (info.moves_limited) {
        for (int i = 0; i < MAX_SEARCH_MOVES && info.search_moves[i]; ++i) rs.moves[rs.count++].move = info.search_moves[i];
    } else {
        gen_legal_moves(pos, list);
        for (int i = 0; i < list.count; ++i) rs.moves[rs.count++].move = list.moves[i].move;
    }
    for (int i = 0; i < rs.count; ++i) {
        const Move m = rs.moves[i].move;
        rs.moves[i].key = m == info.hash_move[0] ? ROOT_HASH_KEY : is_quiet(m) ? 0 : ROOT_TACTICAL_KEY + mvv_lva(m);
        rs.moves[i].tb_result = NO_TB_RESULT;
    }
    rs.first_count = tb_rank_root(pos, info, rs.moves, rs.count);
    rs.candidates = discovered_check_candidates(pos, pos.side);
    rs.pv.pv[0] = NO_MOVE;
    rs.pv.score = rs.pv.depth = rs.pv.seldepth = 0;
    rs.pv.tb_result = NO_TB_RESULT;
    rs.pv_reported = true;
}

// Principal variation search without an aspiration window, every root move
// in key order. Afterwards each move's key is the size of its subtree, and
// the best move's the largest plus a bonus, so the next iteration starts
// with it and goes on by subtree size. A stop leaves the best move found so
// far.
int search_first_line(Position& pos, SearchInfo& info, RootSearch& rs, int d, bool report_lines) {
    bool searched[MAX_MOVES];
    std::fill(searched, searched + rs.first_count, false);
    Move child_pv[MAX_PLY];
    int alpha = -MATE, largest_key = 0, best_index = -1;

    for (int n = 1; n <= rs.first_count; ++n) {
        const int i = pick_root_move(rs.moves, searched, rs.first_count);
        searched[i] = true;
        const Move move = rs.moves[i].move;
        info.root_move_number = n;
        info.current_line[0] = pos.st.last_move;
        if (report_lines) report(pos, info, {.form = INFO_CURRMOVE, .currmove = move, .currmove_number = n});

        const std::int64_t nodes_before = info.nodes;
        const int value = search_root_move(pos, info, move, d, alpha, rs.candidates, child_pv, true);
        if (info.status == STOPPED) break;

        rs.moves[i].key = int(std::min<std::int64_t>((info.nodes - nodes_before) >> SUBTREE_KEY_SHIFT, 1 << 28));
        largest_key = std::max(largest_key, rs.moves[i].key);

        if (value > info.best_score) {
            info.best_score = value;
            if (value > alpha) {
                update_pv(rs.pv.pv, child_pv, move, 0);
                rs.pv.tb_result = rs.moves[i].tb_result;
                rs.pv.score = value;
                rs.pv.depth = d;
                rs.pv.seldepth = info.seldepth;
                rs.pv_reported = d >= PV_LINE_MIN_DEPTH && report_lines;
                if (rs.pv_reported) report_line(pos, info, rs.pv, 0);
                info.best_move = rs.pv.pv[0];
                info.ponder_move = rs.pv.pv[1];
                if (n > 1) info.best_changed = 1;
                best_index = i;
                alpha = value;
            }
        }
    }
    rs.moves[best_index >= 0 ? best_index : 0].key = largest_key + BEST_MOVE_KEY_BONUS;
    return best_index;
}

void take_helper_line(const Position& pos, SearchInfo& info, RootSearch& rs, const Line& line) {
    int largest_key = 0, best = -1;
    for (int i = 0; i < rs.first_count; ++i) {
        if (rs.moves[i].move == line.pv[0]) best = i;
        else largest_key = std::max(largest_key, rs.moves[i].key);
    }
    if (best < 0) return;
    rs.moves[best].key = largest_key + BEST_MOVE_KEY_BONUS;
    if (line.pv[0] != info.completed.pv[0] && info.completed.depth > 0) info.best_changed = 1;
    rs.pv = line;
    rs.pv.seldepth = info.seldepth = std::max(info.seldepth, line.seldepth);
    rs.pv_reported = line.depth >= PV_LINE_MIN_DEPTH;
    if (rs.pv_reported) report_line(pos, info, rs.pv, 0);
    info.best_score = line.score;
    info.best_move = line.pv[0];
    info.ponder_move = line.pv[1];
}

int search_further_line(Position& pos, SearchInfo& info, const RootSearch& rs, const bool* taken, Move first,
                        int d, Line& line) {
    bool searched[MAX_MOVES];
    std::copy(taken, taken + rs.count, searched);
    Move child_pv[MAX_PLY];
    int alpha = -MATE, best_index = -1;
    line.pv[0] = NO_MOVE;
    for (;;) {
        int i = -1;
        for (int k = 0; k < rs.count && first; ++k)
            if (!searched[k] && rs.moves[k].move == first) i = k;
        first = NO_MOVE;
        if (i < 0) i = pick_root_move(rs.moves, searched, rs.count);
        if (i < 0) break;
        searched[i] = true;
        info.current_line[0] = pos.st.last_move;
        const int value = search_root_move(pos, info, rs.moves[i].move, d, alpha, rs.candidates, child_pv, false);
        if (info.status == STOPPED) return -1;
        if (value > alpha) {
            update_pv(line.pv, child_pv, rs.moves[i].move, 0);
            line.tb_result = rs.moves[i].tb_result;
            line.score = value;
            best_index = i;
            alpha = value;
        }
    }
    line.depth = d;
    return best_index;
}

namespace {

// Stable: a line goes after every line that scores at least as well.
void insert_by_score(LineSet& set, const Line& line) {
    int at = set.count;
    while (at > 0 && set.lines[at - 1].score < line.score) {
        set.lines[at] = set.lines[at - 1];
        --at;
    }
    set.lines[at] = line;
    set.count += 1;
}

bool holds_move(const LineSet& set, Move move) {
    for (int i = 0; i < set.count; ++i)
        if (set.lines[i].pv[0] == move) return true;
    return false;
}

LineSet shown_now;  // the driver runs in one thread: no stack holds this much

}  // namespace

void lines_now(const MultiLines& ml, LineSet& out) {
    out.count = 0;
    for (int i = 0; i < ml.current.count && out.count < ml.shown; ++i) out.lines[out.count++] = ml.current.lines[i];
    for (int i = 0; i < ml.last.count && out.count < ml.shown; ++i)
        if (!holds_move(ml.current, ml.last.lines[i].pv[0])) out.lines[out.count++] = ml.last.lines[i];
}

void search_lines(Position& pos, SearchInfo& info, const RootSearch& rs, int best_index, int d, MultiLines& ml) {
    ml.current.count = 0;
    Line line = rs.pv;
    line.depth = d;
    line.seldepth = info.seldepth;
    insert_by_score(ml.current, line);
    bool taken[MAX_MOVES] = {};
    taken[best_index] = true;
    for (int n = 1;; ++n) {
        if (d >= PV_LINE_MIN_DEPTH || n == ml.wanted) {
            lines_now(ml, shown_now);
            report_lines(pos, info, shown_now);
        }
        if (n == ml.wanted) break;
        // Each line's selective depth is its own; the iteration's is the deepest.
        const int seldepth = info.seldepth;
        info.seldepth = 0;
        const Move first = n < ml.last.count ? ml.last.lines[n].pv[0] : NO_MOVE;
        const int i = search_further_line(pos, info, rs, taken, first, d, line);
        line.seldepth = info.seldepth;
        info.seldepth = std::max(seldepth, info.seldepth);
        if (i < 0) break;
        taken[i] = true;
        insert_by_score(ml.current, line);
    }
    if (ml.current.count == ml.wanted) ml.last = ml.current;
}
