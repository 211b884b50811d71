// The staged picker over perft trees: each sequence hands out the moves it
// promises, each once, legal, and best first within every stage.

#include <random>

#include "movegen/picker.h"
#include "test_support.h"

namespace {

struct Handed {
    Move move;
    int stage, score;
};

// What the picker hands out, scores never rising within a stage.
std::vector<Handed> run_picker(Position& pos, MoveList& list, const SearchInfo& info, const std::string& fen) {
    std::vector<Handed> out;
    while (ScoredMove* sm = next_move(pos, list, info)) {
        const Handed h{sm->move, current_stage(list), sm->score};
        EXPECT_FALSE(!out.empty() && h.stage == out.back().stage && h.score > out.back().score)
            << fen << " " << move_to_text(h.move) << " out of order";
        out.push_back(h);
        if (out.size() > 600) break;  // a picker that never ends fails below instead of hanging
    }
    return out;
}

std::vector<Move> moves_of(const std::vector<Handed>& handed) {
    std::vector<Move> v;
    for (const Handed& h : handed) v.push_back(h.move);
    return sorted(v);
}

TEST(MovePicker, SequencesHandOutWhatTheyPromise) {
    std::mt19937 rng(7);
    auto info = std::make_unique<SearchInfo>();
    std::vector<Move> foreign(32, NO_MOVE);  // moves of earlier positions
    for (const TreeRoot& root : tree_roots(LIGHT ? 400 : 100)) {
        Position& pos = test_position(root.fen, root.chess960);
        // Zero history for half the roots, random history (below the killer scores) for the rest.
        for (int& h : info->history) h = (rng() & 1) ? int(rng() % 16384) : 0;
        walk_tree(pos, LIGHT ? 2 : 3, [&](Position& p) {
            if (HasFailure()) return;
            const std::vector<Move> legal = legal_moves(p);
            const std::string fen_now = position_to_fen(p);
            const Bitboard pinned = pinned_pieces(p);
            const Bitboard target = p.color[p.side ^ 1] & ~p.kings();
            MoveList list;

            if (in_check(p)) {
                picker_init(list, SEQ_EVASION, legal.empty() ? NO_MOVE : legal[0], NO_MOVE, NO_MOVE, 0,
                            int(rng() % 2), p.side, pinned, target);
                auto handed = run_picker(p, list, *info, fen_now);
                EXPECT_EQ(moves_of(handed), sorted(legal)) << "evasions " << fen_now;
                return;
            }

            // Hash move and killers as the search may hold them: legal, illegal
            // here, left over from another position, or empty.
            std::vector<Move> pseudo = pseudo_moves(p);
            auto draw = [&](bool quiet_only) {
                for (int tries = 0; tries < 8; ++tries) {
                    const std::vector<Move>& pool = rng() % 3 == 0 ? foreign : rng() % 2 ? legal : pseudo;
                    Move m = pool.empty() ? NO_MOVE : pool[rng() % pool.size()];
                    if (!quiet_only || is_quiet(m)) return m;
                }
                return NO_MOVE;
            };
            Move hash = draw(false), killer1 = draw(true), killer2 = draw(true);
            if (killer2 == killer1) killer2 = NO_MOVE;
            picker_init(list, SEQ_SEARCH, hash, killer1, killer2, 0, 5, p.side, pinned, target);
            auto handed = run_picker(p, list, *info, fen_now);
            EXPECT_EQ(moves_of(handed), sorted(legal))
                << fen_now << " hash " << move_to_text(hash) << " killers " << std::hex << killer1 << " "
                << killer2;
            if (contains(legal, hash)) {
                EXPECT_EQ(handed.front().move, hash) << fen_now;
            }
            // The search prunes by the stage a move came from, so it must be the right one.
            for (const Handed& h : handed) {
                const Move m = h.move;
                const bool right =
                    h.stage == STAGE_HASH_MOVE ? m == hash
                    : h.stage == STAGE_KILLERS ? m != hash && (m == killer1 || m == killer2)
                    : h.stage == STAGE_QUIETS  ? is_quiet(m) && m != hash && m != killer1 && m != killer2
                    : h.stage == STAGE_GOOD_CAPTURES || h.stage == STAGE_BAD_CAPTURES ? is_tactical(m)
                                                                                      : false;
                EXPECT_TRUE(right) << fen_now << " " << move_to_text(m) << " from stage " << h.stage;
            }
            if (!legal.empty()) foreign[rng() % foreign.size()] = legal[rng() % legal.size()];

            // Quiescence: tactical moves that do not lose material, then quiet
            // checks that do not; none of those may be withheld.
            const Bitboard candidates = discovered_check_candidates(p, p.side);
            auto underpromotion = [](Move m) { return is_promotion(m) && move_promotion(m) != QUEEN; };
            std::vector<Move> winning, safe_checks;
            for (Move m : legal) {
                if (is_tactical(m) && !underpromotion(m) && see(p, m) >= 0) winning.push_back(m);
                // gives_check is proven against making the move elsewhere.
                if (is_quiet(m) && gives_check(p, m, candidates) && see(p, m) >= 0) safe_checks.push_back(m);
            }
            for (int sequence : {SEQ_QSEARCH, SEQ_QSEARCH_CHECKS}) {
                picker_init(list, sequence, NO_MOVE, NO_MOVE, NO_MOVE, 0, 0, p.side, pinned, target);
                handed = run_picker(p, list, *info, fen_now);
                std::vector<Move> captures, checks;
                for (const Handed& h : handed)
                    (h.stage == STAGE_QS_CHECKS ? checks : captures).push_back(h.move);
                captures = sorted(captures);
                EXPECT_EQ(std::adjacent_find(captures.begin(), captures.end()), captures.end()) << fen_now;
                for (Move m : captures)
                    EXPECT_TRUE(contains(legal, m) && is_tactical(m) && !underpromotion(m) &&
                                (see(p, m) >= 0 || move_captured(m) >= move_piece(m)))
                        << fen_now << " quiescence handed out " << move_to_text(m);
                for (Move m : winning)
                    EXPECT_TRUE(contains(captures, m)) << fen_now << " withheld " << move_to_text(m);
                EXPECT_EQ(sorted(checks), sequence == SEQ_QSEARCH ? std::vector<Move>{} : sorted(safe_checks))
                    << "quiet checks " << fen_now;
            }
        });
    }
}

}  // namespace
