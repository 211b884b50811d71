// The search driver: book, root move ordering, iterative deepening with its
// own root move loop, info lines, time rules between iterations, and the wait
// at the end of a pondering or analysing search.
#include <algorithm>
#include <chrono>
#include <thread>

#include "book/book.h"
#include "eval/eval.h"
#include "movegen/movegen.h"
#include "movegen/picker.h"
#include "search/search.h"
#include "search/strength.h"
#include "search/threads.h"
#include "search/trans_table.h"
#include "uci/uci.h"

static_assert(EVAL_LIMIT < TB_WIN_BOUND, "a static score must never read as a mate or a table win");

namespace {

constexpr int MAX_ITERATION = 128;
constexpr int ROOT_HASH_KEY = 49152;
constexpr int ROOT_TACTICAL_KEY = 16384;
constexpr int BEST_MOVE_KEY_BONUS = 1024;   // last best move first, the rest by subtree size
constexpr int SUBTREE_KEY_SHIFT = 13;       // one key point per 8192 nodes
constexpr int PV_LINE_MIN_DEPTH = 8;        // shallower iterations are too quick to report
constexpr int EARLY_STOP_DEPTH = 8;
constexpr std::int64_t CURRMOVE_AFTER_MS = 10000;
constexpr int MAX_MULTI_PV = 256;

std::int64_t elapsed_ms(const SearchInfo& info) { return now_ms() - info.start_time; }

// The root moves of one thread's search with their ordering keys, and its
// first line as the last root move to raise alpha left it.
struct RootSearch {
    RootMove moves[MAX_MOVES];
    int count;
    Bitboard candidates;
    Move pv[MAX_PLY];
    int pv_score, pv_depth, pv_seldepth;
    bool pv_reported;
};

void print_score(const Position& pos, const SearchInfo& info, int score);

void print_pv_info(const Position& pos, SearchInfo& info, int score, const Move* pv) {
    const std::int64_t now = now_ms();
    const std::int64_t elapsed = now - info.start_time;
    info.last_info_time = now;
    print_out(OUT_SCREEN, "info depth %d seldepth %d ", info.iteration, info.seldepth);
    print_score(pos, info, score);
    print_out(OUT_SCREEN, "time %llu ", (unsigned long long)elapsed);
    const std::int64_t nodes = search_nodes(info);
    print_out(OUT_SCREEN, "nodes %llu ", (unsigned long long)nodes);
    print_out(OUT_SCREEN, "hashfull %d ", search_hashfull(pos));
    print_tb_hits(pos, info);
    if (elapsed > 1000) print_out(OUT_SCREEN, "nps %llu ", (unsigned long long)(nodes * 1000 / elapsed));
    print_out(OUT_SCREEN, "pv ");
    for (int i = 0; i < MAX_PLY && pv[i]; ++i) print_out(OUT_SCREEN, "%s ", move_to_text(pos, pv[i]));
    print_out(OUT_SCREEN, "\n");
}

void print_currmove(const Position& pos, const SearchInfo& info, Move move) {
    if (elapsed_ms(info) > CURRMOVE_AFTER_MS)
        print_out(OUT_SCREEN, "info currmove %s currmovenumber %d\n", move_to_text(pos, move), info.root_move_number);
}

// One line of a multi-line analysis: its moves, exact score, and the
// iteration and selective depth it was found at.
struct PvLine {
    Move pv[MAX_PLY];
    int score;
    int depth;
    int seldepth;
};

// The lines of the last completed iteration and of the current one; the
// driver runs in one thread only, so they live in static storage rather than
// on a stack that holds every node's move lists.
PvLine last_lines[MAX_MULTI_PV], current_lines[MAX_MULTI_PV], shown_lines[MAX_MULTI_PV];

void copy_line(PvLine& to, const Move* pv, int score, int depth, int seldepth) {
    int i = 0;
    for (; i < MAX_PLY - 1 && pv[i]; ++i) to.pv[i] = pv[i];
    to.pv[i] = NO_MOVE;
    to.score = score;
    to.depth = depth;
    to.seldepth = seldepth;
}

bool holds_move(const PvLine* lines, int count, Move move) {
    for (int i = 0; i < count; ++i)
        if (lines[i].pv[0] == move) return true;
    return false;
}

// Every score shown carries the win, draw and loss chances when asked for.
void print_score(const Position& pos, const SearchInfo& info, int score) {
    if (score >= MATE_BOUND)
        print_out(OUT_SCREEN, "score mate %d ", (MATE + 1 - score) / 2);
    else if (score <= -MATE_BOUND)
        print_out(OUT_SCREEN, "score mate %d ", (-MATE - score) / 2);
    else
        print_out(OUT_SCREEN, "score cp %d ", score);
    if (pos.params->show_wdl) {
        const WdlChances c = root_wdl(pos, info, score);
        print_out(OUT_SCREEN, "wdl %d %d %d ", c.win, c.draw, c.loss);
    }
}

// Every line of a multi-line analysis carries its number, score and moves,
// so a client can read each one by itself.
void print_lines(const Position& pos, SearchInfo& info, const PvLine* lines, int count) {
    const std::int64_t now = now_ms();
    const std::int64_t elapsed = now - info.start_time;
    info.last_info_time = now;
    const std::int64_t nodes = search_nodes(info);
    for (int i = 0; i < count; ++i) {
        print_out(OUT_SCREEN, "info depth %d seldepth %d multipv %d ", lines[i].depth, lines[i].seldepth, i + 1);
        print_score(pos, info, lines[i].score);
        print_out(OUT_SCREEN, "nodes %llu ", (unsigned long long)nodes);
        print_out(OUT_SCREEN, "nps %llu ", (unsigned long long)(nodes * 1000 / std::max<std::int64_t>(elapsed, 1)));
        print_out(OUT_SCREEN, "hashfull %d ", search_hashfull(pos));
        print_tb_hits(pos, info);
        print_out(OUT_SCREEN, "time %llu ", (unsigned long long)elapsed);
        print_out(OUT_SCREEN, "pv");
        for (int j = 0; j < MAX_PLY && lines[i].pv[j]; ++j) print_out(OUT_SCREEN, " %s", move_to_text(pos, lines[i].pv[j]));
        print_out(OUT_SCREEN, "\n");
    }
}

// Waits, polling the input, until stop, quit or ponderhit ends a search that
// has nothing left to do. Without polling (benchmarks, tests) nothing could
// ever end the wait, so there is none.
void wait_for_gui(Position& pos, SearchInfo& info) {
    print_out(OUT_SCREEN | OUT_LOG, "info string Waiting for stop, quit, or ponderhit\n");
    if (!input_polling()) info.status = STOPPED;
    while (info.status == PONDERING || info.status == ANALYSING) {
        if (input_available())
            check_input(pos, info);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// The index of the unsearched root move with the largest key, the earliest on ties.
int pick_root_move(const RootMove* moves, const bool* searched, int count) {
    int best = -1;
    for (int i = 0; i < count; ++i)
        if (!searched[i] && (best < 0 || moves[i].key > moves[best].key)) best = i;
    return best;
}

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
                if (!info.helper) print_currmove(pos, info, move);
            }
            value = -search_pv(pos, info, -MATE, -alpha, cd, g, child_pv);
            info.root_research = 0;
        }
    }
    unmake_move(pos, undo);
    return value;
}

// The root move loop of a further line: the best of the root moves no earlier
// line of this iteration took, its score exact. `first` (last iteration's
// move of this line) is tried first when still free, then the rest by their
// keys. Returns the index of the line's move, or -1 when the search stopped.
int search_further_line(Position& pos, SearchInfo& info, const RootMove* root, int root_count, const bool* taken,
                        Move first, int d, Bitboard candidates, Move* line_pv, int& line_score) {
    bool searched[MAX_MOVES];
    std::copy(taken, taken + root_count, searched);
    Move child_pv[MAX_PLY];
    int alpha = -MATE, best_index = -1;
    line_pv[0] = NO_MOVE;
    for (;;) {
        int i = -1;
        for (int k = 0; k < root_count && first; ++k)
            if (!searched[k] && root[k].move == first) i = k;
        first = NO_MOVE;
        if (i < 0) i = pick_root_move(root, searched, root_count);
        if (i < 0) break;
        searched[i] = true;
        info.current_line[0] = pos.st.last_move;
        const int value = search_root_move(pos, info, root[i].move, d, alpha, candidates, child_pv, false);
        if (info.status == STOPPED) return -1;
        if (value > alpha) {
            update_pv(line_pv, child_pv, root[i].move, 0);
            line_score = value;
            best_index = i;
            alpha = value;
        }
    }
    return best_index;
}

// The root moves (the searchmoves list, or every legal move) with their
// first keys: the table's move first, then captures and promotions by
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
    }
    rs.count = tb_rank_root(pos, info, rs.moves, rs.count);
    rs.candidates = discovered_check_candidates(pos, pos.side);
    rs.pv[0] = NO_MOVE;
    rs.pv_score = rs.pv_depth = rs.pv_seldepth = 0;
    rs.pv_reported = true;
}

// One iteration's first line: every root move in key order, principal
// variation search without an aspiration window. Afterwards each move's key
// is the size of its subtree, and the best move's the largest plus a bonus,
// so the next iteration starts with it and goes on by subtree size. The main
// thread reports a new best line as it finds one (`report`); a stop leaves
// the best move found so far. Returns the index of the best move, or -1.
int search_first_line(Position& pos, SearchInfo& info, RootSearch& rs, int d, bool report) {
    bool searched[MAX_MOVES];
    std::fill(searched, searched + rs.count, false);
    Move child_pv[MAX_PLY];
    int alpha = -MATE, largest_key = 0, best_index = -1;

    for (int n = 1; n <= rs.count; ++n) {
        const int i = pick_root_move(rs.moves, searched, rs.count);
        searched[i] = true;
        const Move move = rs.moves[i].move;
        info.root_move_number = n;
        info.current_line[0] = pos.st.last_move;
        if (report) print_currmove(pos, info, move);

        const std::int64_t nodes_before = info.nodes;
        const int value = search_root_move(pos, info, move, d, alpha, rs.candidates, child_pv, true);
        if (info.status == STOPPED) break;

        rs.moves[i].key = int(std::min<std::int64_t>((info.nodes - nodes_before) >> SUBTREE_KEY_SHIFT, 1 << 28));
        largest_key = std::max(largest_key, rs.moves[i].key);

        if (value > info.best_score) {
            info.best_score = value;
            if (value > alpha) {
                update_pv(rs.pv, child_pv, move, 0);
                rs.pv_score = value;
                rs.pv_depth = d;
                rs.pv_seldepth = info.seldepth;
                rs.pv_reported = d >= PV_LINE_MIN_DEPTH;
                if (rs.pv_reported && report) print_pv_info(pos, info, value, rs.pv);
                info.best_move = rs.pv[0];
                info.ponder_move = rs.pv[1];
                if (n > 1) info.best_changed = 1;
                best_index = i;
                alpha = value;
            }
        }
    }
    rs.moves[best_index >= 0 ? best_index : 0].key = largest_key + BEST_MOVE_KEY_BONUS;
    return best_index;
}

void record_iteration(SearchInfo& info, const RootSearch& rs, int d) {
    info.completed_depth = d;
    info.completed_score = rs.pv_score;
    info.completed_move = rs.pv[0];
    info.completed_ponder = rs.pv[1];
}

void start_iteration(SearchInfo& info, int d) {
    info.best_score = -MATE;
    info.iteration = d;
    info.seldepth = 0;
    info.best_changed = 0;
    info.root_research = 0;
}

RootSearch main_root;  // the main thread's; a helper's lives on its own stack

}  // namespace

void think(Position& pos, SearchInfo& info) {
    const EngineParams& params = *pos.params;

    // Polyglot books hold standard chess only.
    if (params.own_book && !params.chess960 && pos.hist_count + pos.hist_dropped <= params.book_move_limit) {
        MoveList list;
        info.best_move = book_probe(pos, list);
        if (info.best_move) return;
    }

    pos.ply = 0;
    info.hash_move[0] = NO_MOVE;
    tt_new_search(pos);
    if (const auto e = tt_find(pos)) info.hash_move[0] = tt_move(*e);
    if (!info.hash_move[0])
        info.soft_deadline = std::min(info.soft_deadline + info.allotted_time / 2, info.hard_deadline);

    RootSearch& rs = main_root;
    build_root(pos, info, rs);
    if (rs.count == 0) {
        print_out(OUT_LOG | OUT_DUMP, "info string No legal moves found!\n");
        dump_position(pos);
        return;
    }
    info.root_move_count = rs.count;
    info.prev2_score = info.prev_score = evaluate(pos);

    // The helpers search the same root until this search ends, however it ends.
    const HelperSearch helpers(pos, info);
    // A node limit counts every thread's nodes: look at the total often enough.
    if (info.nodes_limited && threads_count() > 1)
        info.poll_interval = std::clamp<std::int64_t>(info.node_limit / (4 * threads_count()), 64, info.poll_interval);

    // Several lines: line 1 is the search a single line gets; each further
    // line is the best of the root moves the earlier lines left. A weakened
    // level searches a few lines to choose from, and shows as many as asked.
    const bool weakened = strength_weakened(params.limit_strength, params.elo);
    const int multipv = std::clamp(weakened ? std::max(params.multipv, STRENGTH_LINES) : params.multipv, 1,
                                   std::min(rs.count, MAX_MULTI_PV));
    const int shown_count = std::min(params.multipv, multipv);
    const std::int64_t node_budget = weakened ? strength_node_budget(params.elo) : 0;
    int lines_done = 0, last_count = 0;
    Move child_pv[MAX_PLY];

    for (int d = 1;; ++d) {
        start_iteration(info, d);
        print_out(OUT_SCREEN, "info depth %d\n", d);
        lines_done = 0;

        helpers.enter_depth(d);
        const int best_index = search_first_line(pos, info, rs, d, multipv == 1);
        helpers.leave_depth(d);
        if (info.status != STOPPED) record_iteration(info, rs, d);

        if (multipv > 1 && info.status != STOPPED) {
            copy_line(current_lines[0], rs.pv, rs.pv_score, d, info.seldepth);
            lines_done = 1;
            bool taken[MAX_MOVES] = {};
            taken[best_index] = true;
            for (; lines_done < multipv; ++lines_done) {
                const Move first = lines_done < last_count ? last_lines[lines_done].pv[0] : NO_MOVE;
                int score = 0;
                const int i = search_further_line(pos, info, rs.moves, rs.count, taken, first, d, rs.candidates,
                                                  child_pv, score);
                if (i < 0) break;
                taken[i] = true;
                copy_line(current_lines[lines_done], child_pv, score, d, info.seldepth);
            }
            if (lines_done == multipv) {
                print_lines(pos, info, current_lines, shown_count);
                std::copy(current_lines, current_lines + multipv, last_lines);
                last_count = multipv;
            }
        }

        const std::int64_t now = now_ms();
        const std::int64_t elapsed = now - info.start_time;
        const std::int64_t nodes = search_nodes(info);
        info.last_info_time = now;
        print_out(OUT_SCREEN, "info depth %d ", d);
        print_out(OUT_SCREEN, "seldepth %d ", info.seldepth);
        print_out(OUT_SCREEN, "time %llu ", (unsigned long long)elapsed);
        print_out(OUT_SCREEN, "nodes %llu ", (unsigned long long)nodes);
        print_out(OUT_SCREEN, "hashfull %d ", search_hashfull(pos));
        print_tb_hits(pos, info);
        if (elapsed > 1000) {
            print_out(OUT_SCREEN, "nps %llu", (unsigned long long)(nodes * 1000 / elapsed));
            // The main thread's own speed sets its polling: about every 100 ms.
            info.poll_interval = std::max<std::int64_t>(1, info.nodes * 100 / elapsed);
        }
        print_out(OUT_SCREEN, "\n");

        if (info.best_score > MATE_BOUND) info.mate_iterations += 1;

        if (info.status == THINKING || info.status == PONDERING) {
            if (!info.time_limited) {
                if (info.depth_limited && info.depth_limit <= d && info.status == THINKING) info.status = STOPPED;
            } else if (d >= EARLY_STOP_DEPTH && (info.root_move_count == 1 || info.mate_iterations >= 3) &&
                       info.status == THINKING) {
                info.status = STOPPED;
            } else if (elapsed >= info.allotted_time / 2) {
                if (info.prev_score < info.best_score + 30) {
                    if (info.best_changed)
                        info.soft_deadline = std::min(info.soft_deadline + info.allotted_time / 2, info.hard_deadline);
                } else {
                    info.soft_deadline =
                        std::min(info.soft_deadline + info.allotted_time * ((info.prev_score - info.best_score - 20) / 10) / 2,
                                 info.hard_deadline);
                }
            }
        }

        // A weakened level sees no deeper once its budget is spent; a ponder
        // search then waits as at its depth limit. Analysis goes on.
        const bool budget_spent = weakened && info.status != ANALYSING && (multipv == 1 || lines_done == multipv) &&
                                  search_nodes(info) >= node_budget;
        if (d >= MAX_ITERATION || d >= info.depth_limit || budget_spent) {
            if (info.status == THINKING) info.status = STOPPED;
            if (info.status != STOPPED) wait_for_gui(pos, info);
            break;
        }
        if (info.status == STOPPED) break;
        info.prev2_score = info.prev_score;
        info.prev_score = info.best_score;
    }
    helpers.stop();
    // One line played at full strength: a helper that saw deeper, and no
    // worse for us, has the better move.
    if (multipv == 1 && !weakened) {
        if (const SearchInfo* deeper = deepest_helper(info.completed_depth, info.completed_score)) {
            info.best_move = deeper->completed_move;
            info.ponder_move = deeper->completed_ponder;
        }
    }

    // A search stopped before any root move completed still answers with a
    // legal move: the one it would have searched first.
    if (!info.best_move) {
        bool none[MAX_MOVES] = {};
        info.best_move = rs.moves[pick_root_move(rs.moves, none, rs.count)].move;
        info.ponder_move = NO_MOVE;
    }
    const Move searched_best = info.best_move;
    if (weakened && last_count > 0) {
        int scores[MAX_MULTI_PV];
        for (int i = 0; i < last_count; ++i) scores[i] = last_lines[i].score;
        const PvLine& played = last_lines[strength_pick(scores, last_count, params.elo)];
        info.best_move = played.pv[0];
        info.ponder_move = played.pv[1];
    }
    if (multipv == 1) {
        // Short searches end before the depth where lines are reported; the GUI
        // still gets the score and line of the move it is about to receive.
        if (!rs.pv_reported && rs.pv[0] == searched_best) print_pv_info(pos, info, rs.pv_score, rs.pv);
        return;
    }

    // The lines once more as the search leaves them: the best move's line,
    // the lines this iteration completed, then the last iteration's lines
    // for the moves not shown yet.
    int shown = 0;
    if (rs.pv[0] == searched_best) copy_line(shown_lines[shown++], rs.pv, rs.pv_score, rs.pv_depth, rs.pv_seldepth);
    for (int j = 1; j < lines_done && shown < shown_count; ++j)
        if (!holds_move(shown_lines, shown, current_lines[j].pv[0])) shown_lines[shown++] = current_lines[j];
    for (int j = 0; j < last_count && shown < shown_count; ++j)
        if (!holds_move(shown_lines, shown, last_lines[j].pv[0])) shown_lines[shown++] = last_lines[j];
    print_lines(pos, info, shown_lines, shown);
}

// A helper searches the first line only, iteration after iteration, and
// leaves a depth to the others when enough threads search it already: the
// threads then spread over two depths, and what the deeper ones store in the
// table lets the main thread cut its tree. It prints nothing and never looks
// at the clock or the input; it ends when the main thread stops it.
void helper_think(Position& pos, SearchInfo& info) {
    RootSearch rs;
    pos.ply = 0;
    build_root(pos, info, rs);
    if (rs.count == 0) return;
    for (int d = 1; d <= MAX_ITERATION && info.status != STOPPED; ++d) {
        if (helper_skips_depth(d)) continue;
        start_iteration(info, d);
        HelperSearch::enter_depth(d);
        search_first_line(pos, info, rs, d, false);
        HelperSearch::leave_depth(d);
        if (info.status != STOPPED) record_iteration(info, rs, d);
    }
}
