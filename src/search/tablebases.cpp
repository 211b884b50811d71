// The endgame tables in the search: the nodes that probe them, the score and
// bound a probe gives, and the choice of root moves when the root itself is
// in the tables.
#include <algorithm>

#include "movegen/movegen.h"
#include "search/search.h"
#include "search/strength.h"
#include "syzygy/syzygy.h"

namespace {

constexpr int FIFTY_MOVE_PLIES = 100;

bool zeroing(Move m) { return move_captured(m) != EMPTY || move_piece(m) == PAWN; }

// Under the 50-move rule a cursed win is a draw, and so is a blessed loss.
int by_rule(int wdl, bool rule50) {
    if (!rule50) return wdl > 0 ? TB_WIN : wdl < 0 ? TB_LOSS : TB_DRAW;
    return wdl == TB_WIN || wdl == TB_LOSS ? wdl : TB_DRAW;
}

// What a root move keeps by the tables: its result (after the 50-move rule)
// and the plies to the mate (0) or to the next capture or pawn move.
struct RootRank {
    int result;
    int distance;
};

// Better results first. A win is converted by the moves that mate or zero
// soonest (that alone keeps it inside the 50-move rule whatever the counter
// says later), a loss resisted by those that zero last; every drawing move
// keeps a draw.
bool ranks_before(const RootRank& a, const RootRank& b) {
    if (a.result != b.result) return a.result > b.result;
    if (a.result == TB_WIN) return a.distance < b.distance;
    if (a.result == TB_LOSS) return a.distance > b.distance;
    return false;
}

}  // namespace

bool tb_probe_node(Position& pos, SearchInfo& info, int depth, int& value, int& bound) {
    const EngineParams& params = *pos.params;
    // Only where the men just changed: a capture or a pawn move (the tables'
    // zeroing moves), or the first ply, so each new material is probed once
    // on its way in and not again at every node below it.
    const Move last = pos.st.last_move;
    if (pos.ply == 0 || (pos.ply > 1 && !(last && zeroing(last)))) return false;
    if (pos.st.castle || depth < params.tb_probe_depth || popcount(pos.occupied) > params.tb_men) return false;
    int ok = 0;
    int wdl = tb_probe_wdl(pos, &ok);
    if (!ok) return false;
    // The tables' results assume a fresh 50-move counter, which a zeroing
    // move gives. Only a reply to a root move that did not zero keeps the
    // counter the game brought: a win (or loss) reached only after it passes
    // 100 half-moves is then the rule's draw, as the root's ranking counts it.
    if (params.tb_rule50 && (wdl == TB_WIN || wdl == TB_LOSS) && pos.st.fifty > 0) {
        int dtz_ok = 0;
        const int dtz = tb_probe_dtz(pos, &dtz_ok);
        if (dtz_ok && pos.st.fifty + (dtz < 0 ? -dtz : dtz) > FIFTY_MOVE_PLIES)
            wdl = wdl == TB_WIN ? TB_CURSED_WIN : TB_BLESSED_LOSS;
    }
    wdl = by_rule(wdl, params.tb_rule50);
    info.tb_hits += 1;
    if (wdl == TB_WIN) {
        value = TB_WIN_SCORE - pos.ply;
        bound = TB_LOWER;  // the search may still find the mate
    } else if (wdl == TB_LOSS) {
        value = pos.ply - TB_WIN_SCORE;
        bound = TB_UPPER;
    } else {
        value = 0;
        bound = TB_EXACT;
    }
    return true;
}

int tb_rank_root(Position& pos, SearchInfo& info, RootMove* moves, int& count) {
    const EngineParams& params = *pos.params;
    if (!params.tb_men || pos.st.castle || popcount(pos.occupied) > params.tb_men) return count;
    RootRank rank[MAX_MOVES];
    UndoRecord undo;
    MoveList replies;
    for (int i = 0; i < count; ++i) {
        const Move m = moves[i].move;
        make_move(pos, undo, m);
        int ok = 0, dtz_ok = 0;
        int wdl = -tb_probe_wdl(pos, &ok);
        // A mate is the shortest win there is: it needs no converting, and the
        // mated side's table counts it as a loss one ply away.
        bool mates = false;
        if (ok && wdl == TB_WIN && in_check(pos)) {
            gen_legal_moves(pos, replies);
            mates = replies.count == 0;
        }
        // The distance the opponent's table gives, plus this move; a zeroing
        // move reaches its result at once.
        const int dtz = ok && !mates && !zeroing(m) ? tb_probe_dtz(pos, &dtz_ok) : 0;
        const int fifty = pos.st.fifty;
        unmake_move(pos, undo);
        if (!ok) return count;  // a table is missing: let the search choose
        info.tb_hits += 1;
        rank[i].distance = mates ? 0 : 1;
        if (dtz_ok) {
            const int plies = dtz < 0 ? -dtz : dtz;
            rank[i].distance = plies + 1;
            // A result reached only after the counter passes 100 half-moves
            // is the 50-move rule's draw.
            if (fifty + plies > FIFTY_MOVE_PLIES) {
                if (wdl == TB_WIN) wdl = TB_CURSED_WIN;
                if (wdl == TB_LOSS) wdl = TB_BLESSED_LOSS;
            }
        }
        rank[i].result = moves[i].tb_result = by_rule(wdl, params.tb_rule50);
    }
    // Insertion sort, stable so that equal moves keep the order they came in
    // (and nothing is allocated at the root of a search).
    for (int i = 1; i < count; ++i) {
        const RootMove move = moves[i];
        const RootRank r = rank[i];
        int j = i;
        for (; j > 0 && ranks_before(r, rank[j - 1]); --j) {
            moves[j] = moves[j - 1];
            rank[j] = rank[j - 1];
        }
        moves[j] = move;
        rank[j] = r;
    }
    int best = 1;
    while (best < count && !ranks_before(rank[0], rank[best])) ++best;
    // One line plays the best result. Several lines asked for by the user
    // show the other moves after it too: an analyst wants the alternatives.
    if (params.multipv == 1 || strength_weakened(params.limit_strength, params.elo)) count = best;
    return best;
}
