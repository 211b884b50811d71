// Legality: the legal list, is_valid_move, the evasion and quiet-check
// generators, each against make-the-move-and-look over perft trees. Pins,
// en passant along a rank and castling across attacked squares are left to
// the perft suites, which hold them all.
#include <gtest/gtest.h>

#include <random>

#include "perft_trees.h"
#include "uci/uci.h"

namespace {

TEST(Legality, GeneratorsAgreeWithMakeAndTest) {
    std::mt19937 rng(2024);
    std::vector<Move> foreign(64, NO_MOVE);  // moves of earlier positions: stale hash moves and killers
    walk_roots(LIGHT ? 400 : 100, LIGHT ? 2 : 3, [&](Position& p) {
        const std::vector<Move> legal = legal_moves(p), reference = reference_legal_moves(p);
        ASSERT_EQ(sorted(legal), sorted(reference)) << position_to_fen(p);
        MoveList list;
        std::vector<Move> generated;
        if (in_check(p)) {
            gen_evasions(p, list);
            for (int i = 0; i < list.count; ++i) generated.push_back(list.moves[i].move);
            ASSERT_EQ(sorted(generated), sorted(reference)) << "evasions of " << position_to_fen(p);
            return;
        }

        const Bitboard pinned = pinned_pieces(p);
        const std::vector<Move> pseudo = pseudo_moves(p);  // the illegal ones among them too
        std::vector<Move> candidates = pseudo;
        candidates.insert(candidates.end(), foreign.begin(), foreign.end());
        candidates.push_back(NO_MOVE);
        for (Move m : candidates)
            ASSERT_EQ(is_valid_move(p, m, pinned), contains(legal, m))
                << position_to_fen(p) << " move " << move_to_text(m) << " word " << std::hex << m;
        for (int i = 0; i < 4 && !legal.empty(); ++i) foreign[rng() % 64] = legal[rng() % legal.size()];

        // Quiet checks: exactly the legal quiet moves after which the opponent is in check.
        gen_quiet_checks(p, list);
        std::vector<Move> expected;
        for (int i = 0; i < list.count; ++i) {
            Move m = list.moves[i].move;
            ASSERT_TRUE(is_quiet(m) && contains(pseudo, m) && !contains(generated, m))
                << position_to_fen(p) << " quiet check " << move_to_text(m) << " malformed or repeated";
            if (is_legal(p, m, pinned)) generated.push_back(m);
        }
        UndoRecord undo;
        for (Move m : legal) {
            if (!is_quiet(m)) continue;
            make_move(p, undo, m);
            if (in_check(p)) expected.push_back(m);
            unmake_move(p, undo);
        }
        ASSERT_EQ(sorted(generated), sorted(expected)) << "quiet checks of " << position_to_fen(p);
    });
}

}  // namespace
