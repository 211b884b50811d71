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
#include "search/trans_table.h"
#include "uci/uci.h"

static_assert(EVAL_LIMIT < MATE_BOUND, "a static score must never read as a mate");

namespace {

constexpr int MAX_ITERATION = 128;
constexpr int ROOT_HASH_KEY = 49152;
constexpr int ROOT_TACTICAL_KEY = 16384;
constexpr int BEST_MOVE_KEY_BONUS = 1024;   // last best move first, the rest by subtree size
constexpr int SUBTREE_KEY_SHIFT = 13;       // one key point per 8192 nodes
constexpr int PV_LINE_MIN_DEPTH = 8;        // shallower iterations are too quick to report
constexpr int EARLY_STOP_DEPTH = 8;
constexpr std::int64_t CURRMOVE_AFTER_MS = 10000;

struct RootMove {
    Move move;
    int key;
};

std::int64_t elapsed_ms(const SearchInfo& info) { return now_ms() - info.start_time; }

void print_pv_info(const Position& pos, SearchInfo& info, int score, const Move* pv) {
    const std::int64_t now = now_ms();
    const std::int64_t elapsed = now - info.start_time;
    info.last_info_time = now;
    print_out(OUT_SCREEN, "info depth %d seldepth %d ", info.iteration, info.seldepth);
    if (score >= MATE_BOUND)
        print_out(OUT_SCREEN, "score mate %d ", (MATE + 1 - score) / 2);
    else if (score <= -MATE_BOUND)
        print_out(OUT_SCREEN, "score mate %d ", (-MATE - score) / 2);
    else
        print_out(OUT_SCREEN, "score cp %d ", score);
    print_out(OUT_SCREEN, "time %llu ", (unsigned long long)elapsed);
    print_out(OUT_SCREEN, "nodes %llu ", (unsigned long long)info.nodes);
    print_out(OUT_SCREEN, "hashfull %d ", tt_hashfull(pos));
    if (elapsed > 1000) print_out(OUT_SCREEN, "nps %llu ", (unsigned long long)(info.nodes * 1000 / elapsed));
    print_out(OUT_SCREEN, "pv ");
    for (int i = 0; i < MAX_PLY && pv[i]; ++i) print_out(OUT_SCREEN, "%s ", move_to_text(pos, pv[i]));
    print_out(OUT_SCREEN, "\n");
}

void print_currmove(const Position& pos, const SearchInfo& info, Move move) {
    if (elapsed_ms(info) > CURRMOVE_AFTER_MS)
        print_out(OUT_SCREEN, "info currmove %s currmovenumber %d\n", move_to_text(pos, move), info.root_move_number);
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

}  // namespace

void think(Position& pos, SearchInfo& info) {
    const EngineParams& params = *pos.params;
    MoveList list;

    // Polyglot books hold standard chess only.
    if (params.own_book && !params.chess960 && pos.hist_count + pos.hist_dropped <= params.book_move_limit) {
        info.best_move = book_probe(pos, list);
        if (info.best_move) return;
    }

    pos.ply = 0;
    info.hash_move[0] = NO_MOVE;
    tt_new_search(pos);
    if (const TransEntry* e = tt_find(pos)) info.hash_move[0] = tt_move(*e);
    if (!info.hash_move[0])
        info.soft_deadline = std::min(info.soft_deadline + info.allotted_time / 2, info.hard_deadline);

    static RootMove root[MAX_MOVES];
    int root_count = 0;
    if (info.moves_limited) {
        for (int i = 0; i < MAX_SEARCH_MOVES && info.search_moves[i]; ++i) root[root_count++].move = info.search_moves[i];
    } else {
        gen_legal_moves(pos, list);
        for (int i = 0; i < list.count; ++i) root[root_count++].move = list.moves[i].move;
    }
    for (int i = 0; i < root_count; ++i) {
        const Move m = root[i].move;
        root[i].key = m == info.hash_move[0] ? ROOT_HASH_KEY : is_quiet(m) ? 0 : ROOT_TACTICAL_KEY + mvv_lva(m);
    }

    if (root_count == 0) {
        print_out(OUT_LOG | OUT_DUMP, "info string No legal moves found!\n");
        dump_position(pos);
        return;
    }
    info.root_move_count = root_count;
    info.prev2_score = info.prev_score = evaluate(pos);

    const Bitboard candidates = discovered_check_candidates(pos, pos.side);
    Move root_pv[MAX_PLY] = {};
    Move child_pv[MAX_PLY];
    bool searched[MAX_MOVES];
    bool pv_reported = true;
    int pv_score = 0;
    UndoRecord undo;

    for (int d = 1;; ++d) {
        info.best_score = -MATE;
        info.iteration = d;
        info.seldepth = 0;
        info.best_changed = 0;
        info.root_research = 0;
        print_out(OUT_SCREEN, "info depth %d\n", d);
        int alpha = -MATE, largest_key = 0, best_index = -1;
        std::fill(searched, searched + root_count, false);

        for (int n = 1; n <= root_count; ++n) {
            const int i = pick_root_move(root, searched, root_count);
            searched[i] = true;
            const Move move = root[i].move;
            info.root_move_number = n;
            info.current_line[0] = pos.st.last_move;
            print_currmove(pos, info, move);

            const int g = gives_check(pos, move, candidates);
            const int cd = pv_new_depth(pos, move, g, d);
            make_move(pos, undo, move);
            const std::int64_t nodes_before = info.nodes;
            int value;
            if (cd < 1)
                value = -quiesce(pos, info, -MATE, -alpha, 0, child_pv);
            else if (info.best_score == -MATE)
                value = -search_pv(pos, info, -MATE, -alpha, cd, g, child_pv);
            else {
                value = g ? -search_evasion(pos, info, -alpha, cd, child_pv, NODE_CUT | NODE_NULL_OK)
                          : -search_zw(pos, info, -alpha, cd, child_pv, NODE_CUT | NODE_NULL_OK);
                if (info.status != STOPPED && value > alpha) {
                    // A fail high on the zero window: the re-search may take
                    // time, and a deadline passed meanwhile extends instead of stopping.
                    info.root_research = 1;
                    print_currmove(pos, info, move);
                    value = -search_pv(pos, info, -MATE, -alpha, cd, g, child_pv);
                    info.root_research = 0;
                }
            }
            unmake_move(pos, undo);
            if (info.status == STOPPED) break;

            root[i].key = int(std::min<std::int64_t>((info.nodes - nodes_before) >> SUBTREE_KEY_SHIFT, 1 << 28));
            largest_key = std::max(largest_key, root[i].key);

            if (value > info.best_score) {
                info.best_score = value;
                if (value > alpha) {
                    update_pv(root_pv, child_pv, move, 0);
                    pv_score = value;
                    pv_reported = d >= PV_LINE_MIN_DEPTH;
                    if (pv_reported) print_pv_info(pos, info, value, root_pv);
                    info.best_move = root_pv[0];
                    info.ponder_move = root_pv[1];
                    if (n > 1) info.best_changed = 1;
                    best_index = i;
                    alpha = value;
                }
            }
        }
        root[best_index >= 0 ? best_index : 0].key = largest_key + BEST_MOVE_KEY_BONUS;

        const std::int64_t now = now_ms();
        const std::int64_t elapsed = now - info.start_time;
        info.last_info_time = now;
        print_out(OUT_SCREEN, "info depth %d ", d);
        print_out(OUT_SCREEN, "seldepth %d ", info.seldepth);
        print_out(OUT_SCREEN, "time %llu ", (unsigned long long)elapsed);
        print_out(OUT_SCREEN, "nodes %llu ", (unsigned long long)info.nodes);
        print_out(OUT_SCREEN, "hashfull %d ", tt_hashfull(pos));
        if (elapsed > 1000) {
            print_out(OUT_SCREEN, "nps %llu", (unsigned long long)(info.nodes * 1000 / elapsed));
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

        if (d >= MAX_ITERATION || d >= info.depth_limit) {
            if (info.status == THINKING) info.status = STOPPED;
            if (info.status != STOPPED) wait_for_gui(pos, info);
            break;
        }
        if (info.status == STOPPED) break;
        info.prev2_score = info.prev_score;
        info.prev_score = info.best_score;
    }

    // A search stopped before any root move completed still answers with a
    // legal move: the one it would have searched first.
    if (!info.best_move) {
        bool none[MAX_MOVES] = {};
        info.best_move = root[pick_root_move(root, none, root_count)].move;
        info.ponder_move = NO_MOVE;
    }
    // Short searches end before the depth where lines are reported; the GUI
    // still gets the score and line of the move it is about to receive.
    if (!pv_reported && root_pv[0] == info.best_move) print_pv_info(pos, info, pv_score, root_pv);
}
