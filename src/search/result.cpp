// The answer of a search: one function decides the move, the ponder move
// and the line that goes with them, so the closing info line and bestmove,
// both written from its result, can never disagree.
#include "search/driver.h"
#include "search/strength.h"
#include "search/threads.h"

namespace {

SearchResult from_line(const Line& line) { return {line.pv[0], line.pv[1], &line}; }

}  // namespace

SearchResult choose_result(const ResultSources& sources) {
    // 1. The book answers without a search.
    if (sources.book_move) return {sources.book_move, NO_MOVE, nullptr};

    // 2. A weakened level plays one of its last completed iteration's lines,
    //    chosen by blurred score.
    if (const LineSet* level = sources.level_lines; level && level->count > 0) {
        int scores[MAX_LINES];
        for (int i = 0; i < level->count; ++i) scores[i] = level->lines[i].score;
        return from_line(level->lines[strength_pick(scores, level->count, sources.elo)]);
    }

    // 3. Several lines: the best of those shown; the helpers search only the
    //    first line, so they have no say here.
    // 4. One line: a helper that completed a deeper iteration, with a score no
    //    worse than the main thread's last completed one, saw further. A main
    //    thread that completed nothing has no score to compare.
    if (sources.lines) {
        if (sources.lines->count > 0) return from_line(sources.lines->lines[0]);
    } else {
        const Line* best = sources.main_completed;
        for (int i = 0; i < sources.helper_count; ++i) {
            const Line& h = *sources.helpers[i];
            if (h.depth > best->depth && h.pv[0] && (best->depth == 0 || h.score >= best->score)) best = &h;
        }
        if (best != sources.main_completed) return from_line(*best);
    }
    const RootSearch& root = *sources.root;
    if (root.pv.depth > 0) return from_line(root.pv);

    // 5. Stopped before any root move completed: still a legal move, the one
    //    the search would have searched first.
    bool none[MAX_MOVES] = {};
    return {root.moves[pick_root_move(root.moves, none, root.first_count)].move, NO_MOVE, nullptr};
}
