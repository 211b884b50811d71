// The search driver: book, the root, iterative deepening with the time rules
// between iterations, the wait at the end of a pondering or analysing
// search, and the closing report of the answer.
#include <algorithm>
#include <chrono>
#include <thread>

#include "book/book.h"
#include "eval/eval.h"
#include "io/input.h"
#include "io/output.h"
#include "movegen/movegen.h"
#include "search/driver.h"
#include "search/strength.h"
#include "search/threads.h"
#include "search/trans_table.h"

static_assert(EVAL_LIMIT < TB_WIN_BOUND, "a static score must never read as a mate or a table win");

namespace {

constexpr int MAX_ITERATION = 128;
constexpr int EARLY_STOP_DEPTH = 8;
constexpr int SCORE_DROP_TO_EXTEND = 30;  // a root score falling this far earns more time

// The main thread's root and lines; the driver runs in one thread only, so
// they live in static storage rather than on a stack that holds every node's
// move lists. A helper's root lives on its own stack.
RootSearch main_root;
MultiLines multi;
LineSet final_lines, closing_lines;

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

// An infinite or ponder search answers only when stop or ponderhit asks,
// however soon its answer is known (a book move, no legal move): a GUI takes
// an earlier bestmove for the reply to a move it has not played yet.
void hold_answer(Position& pos, SearchInfo& info) {
    if (info.status == PONDERING || info.status == ANALYSING) wait_for_gui(pos, info);
}

void start_iteration(SearchInfo& info, int d) {
    info.best_score = -MATE;
    info.iteration = d;
    info.seldepth = 0;
    info.best_changed = 0;
    info.root_research = 0;
}

// After iteration d of a search that is still thinking or pondering: a
// search without a clock stops at its depth; a timed one stops early when
// the answer is forced or a mate keeps being found, and otherwise, past half
// its planned time, takes more when the best move changed or the score fell.
// The iteration loop never stops on time itself: the checks in the tree do.
void apply_time_rules(SearchInfo& info, int d, std::int64_t elapsed) {
    if (info.status != THINKING && info.status != PONDERING) return;
    if (!info.time_limited) {
        if (info.depth_limited && info.depth_limit <= d && info.status == THINKING) info.status = STOPPED;
    } else if (d >= EARLY_STOP_DEPTH && (info.root_move_count == 1 || info.mate_iterations >= 3) &&
               info.status == THINKING) {
        info.status = STOPPED;
    } else if (elapsed >= info.allotted_time / 2) {
        if (info.prev_score < info.best_score + SCORE_DROP_TO_EXTEND) {
            if (info.best_changed)
                info.soft_deadline = std::min(info.soft_deadline + info.allotted_time / 2, info.hard_deadline);
        } else {
            info.soft_deadline = std::min(
                info.soft_deadline + info.allotted_time * ((info.prev_score - info.best_score - 20) / 10) / 2,
                info.hard_deadline);
        }
    }
}

// The closing report: the line that goes with the answer, unless it is the
// principal variation last printed; with several lines, all of them once
// more as the search leaves them, the answer's line first.
void report_result(const Position& pos, SearchInfo& info, const SearchResult& result, const LineSet* lines) {
    if (!lines) {
        if (result.line && !(result.line == &main_root.pv && main_root.pv_reported))
            report_line(pos, info, *result.line, 0);
        return;
    }
    LineSet& shown = closing_lines;
    shown.count = 0;
    if (result.line) shown.lines[shown.count++] = *result.line;
    for (int i = 0; i < lines->count && shown.count < multi.shown; ++i)
        if (lines->lines[i].pv[0] != result.move) shown.lines[shown.count++] = lines->lines[i];
    report_lines(pos, info, shown);
}

// The start of a search: a new table generation, the table's move for the
// root (none gives the clock more time), and the root moves. False when
// there is no legal move.
bool prepare_root(Position& pos, SearchInfo& info, RootSearch& rs) {
    pos.ply = 0;
    info.hash_move[0] = NO_MOVE;
    tt_new_search(pos);
    if (const auto e = tt_find(pos)) info.hash_move[0] = tt_move(*e);
    if (!info.hash_move[0])
        info.soft_deadline = std::min(info.soft_deadline + info.allotted_time / 2, info.hard_deadline);
    build_root(pos, info, rs);
    if (rs.count == 0) {
        print_out(OUT_LOG | OUT_DUMP, "info string No legal moves found!\n");
        dump_position(pos);
        return false;
    }
    info.root_move_count = rs.count;
    info.prev2_score = info.prev_score = evaluate(pos);
    return true;
}

// The end of a search, its helpers stopped: the answer, its report, and the
// move and ponder move the go command prints.
void answer(const Position& pos, SearchInfo& info, bool weakened) {
    const bool one_line = multi.wanted == 1;
    LineSet* shown = nullptr;
    if (!one_line && !weakened) {
        lines_now(multi, final_lines);
        shown = &final_lines;
    }
    const Line* helper_lines[MAX_THREADS];
    const SearchResult result = choose_result({.root = &main_root,
                                               .lines = shown,
                                               .level_lines = weakened ? &multi.last : nullptr,
                                               .elo = pos.params->elo,
                                               .main_completed = &info.completed,
                                               .helpers = helper_lines,
                                               .helper_count = helper_results(helper_lines)});
    report_result(pos, info, result, one_line ? nullptr : shown ? shown : &multi.last);
    info.best_move = result.move;
    info.ponder_move = result.ponder;
    info.answer_score = result.line ? result.line->score : -MATE;
}

}  // namespace

void think(Position& pos, SearchInfo& info) {
    const EngineParams& params = *pos.params;

    // Polyglot books hold standard chess only.
    if (params.own_book && !params.chess960 && pos.hist_count + pos.hist_dropped <= params.book_move_limit) {
        MoveList list;
        if (const Move book_move = book_probe(pos, list)) {
            const SearchResult result = choose_result({.book_move = book_move});
            info.best_move = result.move;
            info.ponder_move = result.ponder;
            hold_answer(pos, info);
            return;
        }
    }
    RootSearch& rs = main_root;
    if (!prepare_root(pos, info, rs)) {
        hold_answer(pos, info);
        return;
    }

    // A weakened level searches a few lines to choose from, and shows as many
    // as asked. It searches on one thread: helpers would hand it, through the
    // shared table, sight its level does not have, so it plays the same
    // whatever the thread count.
    const bool weakened = strength_weakened(params.limit_strength, params.elo);
    const std::int64_t node_budget = weakened ? strength_node_budget(params.elo) : 0;
    multi.wanted = std::clamp(weakened ? std::max(params.multipv, STRENGTH_LINES) : params.multipv, 1,
                              std::min(rs.count, MAX_LINES));
    multi.shown = std::min(params.multipv, multi.wanted);
    multi.last.count = 0;

    // The helpers search the same root until this search ends, however it ends.
    const bool share = threads_count() > 1 && !weakened && multi.wanted == 1;
    HelperSearch helpers(pos, info, rs.moves, rs.first_count, !weakened, share);
    // A node limit counts every thread's nodes: look at the total often enough.
    if (info.nodes_limited && threads_count() > 1 && !weakened)
        info.poll_interval = std::clamp<std::int64_t>(info.node_limit / (4 * threads_count()), 64, info.poll_interval);

    for (int d = 1;; ++d) {
        start_iteration(info, d);
        report(pos, info, {.form = INFO_ITERATION_START, .depth = d});
        multi.current.count = 0;

        helpers.set_depth(d);
        const int best_index = search_first_line(pos, info, rs, d, multi.wanted == 1);
        if (info.handed_status) {
            info.status = info.handed_status;
            info.handed_status = 0;
            Line line;
            if (take_iteration(d, line)) take_helper_line(pos, info, rs, line);
        }
        const bool first_line_complete = info.status != STOPPED;
        if (first_line_complete) info.completed = rs.pv;
        if (multi.wanted > 1 && info.status != STOPPED) search_lines(pos, info, rs, best_index, d, multi);

        report(pos, info, {.form = INFO_SUMMARY, .depth = d, .seldepth = info.seldepth});
        const std::int64_t elapsed = now_ms() - info.start_time;
        // The main thread's own speed sets its polling: about every 100 ms.
        if (elapsed > 1000) info.poll_interval = std::max<std::int64_t>(1, info.nodes * 100 / elapsed);
        // A helper's completed iteration is taken within a few milliseconds.
        if (share) info.poll_interval = std::min(info.poll_interval, first_poll_interval());

        if (info.best_score > MATE_BOUND) info.mate_iterations += 1;
        apply_time_rules(info, d, elapsed);
        // A poll that finds the iteration handed over by a helper moves on
        // without looking at the nodes; helpers that complete every iteration
        // first would leave the limit to the main thread's own nodes alone.
        threads_node_limit_test(info);

        // A weakened level sees no deeper once its budget is spent and every
        // line it wants is complete (one line is complete with the first line
        // itself: a single root move, searchmoves or the tables leave no other);
        // a ponder search then waits as at its depth limit. Analysis goes on.
        const bool lines_complete = multi.wanted == 1 ? first_line_complete : multi.current.count == multi.wanted;
        const bool budget_spent = weakened && info.status != ANALYSING && lines_complete && info.nodes >= node_budget;
        if (d >= MAX_ITERATION || d >= info.depth_limit || budget_spent) {
            if (info.status == THINKING) info.status = STOPPED;
            // Nothing is left to search: the helpers stop before the wait.
            helpers.stop();
            if (info.status != STOPPED) wait_for_gui(pos, info);
            break;
        }
        if (info.status == STOPPED) break;
        info.prev2_score = info.prev_score;
        info.prev_score = info.best_score;
    }
    helpers.stop();
    flush_relayed_output();
    answer(pos, info, weakened);
}

// A helper searches the first line at the main thread's depth and moves on
// as soon as the main thread does; an iteration it completes first it hands
// to the main thread, which then moves on at once. What it stores is as deep
// as what the main thread needs, and the main thread's tree shrinks by it. A
// helper running ahead stored deeper bounds than the main thread could
// confirm, and the main thread's tree grew instead (in mating endings up to
// tens of times its size). It prints nothing and never looks at the clock or
// the input; it ends when the main thread stops it.
void helper_think(Position& pos, SearchInfo& info, const RootMove* moves, int count) {
    RootSearch rs;
    pos.ply = 0;
    rs.count = rs.first_count = count;
    std::copy(moves, moves + count, rs.moves);
    rs.candidates = discovered_check_candidates(pos, pos.side);
    rs.pv.pv[0] = NO_MOVE;
    rs.pv.depth = 0;
    rs.pv.tb_result = NO_TB_RESULT;
    if (rs.count == 0) return;
    while (!helpers_stopping()) {
        const int d = helper_depth();
        start_iteration(info, d);
        info.status = ANALYSING;
        search_first_line(pos, info, rs, d, false);
        if (info.status == STOPPED) continue;
        if (d >= info.completed.depth) info.completed = rs.pv;
        helper_completed(d, rs.pv);
        // What it searched counts while it rests: an iteration done in
        // fewer nodes than a poll interval would otherwise go uncounted.
        helper_poll(pos, info);
        helper_wait_deeper(d);
    }
}
