// Legality: the legal list, is_valid_move, the evasion and quiet-check
// generators, each against make-the-move-and-look over perft trees.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "perft_trees.h"
#include "test_support.h"
#include "uci/uci.h"

namespace {

const int DEPTH = LIGHT ? 2 : 3;
const int STRIDE = LIGHT ? 400 : 100;

// A word built the way the generators build moves, with random squares and
// pieces: what a hash move or killer from another position may look like.
Move random_move_word(std::mt19937& rng, const Position& pos) {
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    const int us = pick(4) ? pos.side : pos.side ^ 1, fwd = us == WHITE ? 8 : -8;
    int from = pick(64);
    if (pick(2) && pos.color[us]) {  // half the time start on one of the pieces of `us`
        Bitboard b = pos.color[us];
        for (int skip = pick(popcount(b)); skip--;) b &= b - 1;
        from = bitscan(b);
    }
    const int side_step = pick(3) - 1;
    const int pawn_to = std::clamp(from + fwd + side_step, 0, 63);
    const int captured = pick(2) ? 0 : 1 + pick(5);
    static const Move PROMOTIONS[4] = {PROMOTE_QUEEN, PROMOTE_KNIGHT, PROMOTE_ROOK, PROMOTE_BISHOP};
    static const Move CASTLINGS[4] = {CASTLE_WHITE_KING, CASTLE_WHITE_QUEEN, CASTLE_BLACK_KING,
                                      CASTLE_BLACK_QUEEN};
    const Move words[] = {
        make_move_word(from, pick(64), 2 + pick(5), captured),
        make_move_word(from, pawn_to, PAWN, side_step ? captured : 0),
        make_double_push(from, std::clamp(from + 2 * fwd, 0, 63)),
        make_ep_move(from, pawn_to),
        Move(from) | Move(pawn_to) << 6 | Move(side_step ? captured : 0) << 18 | PROMOTIONS[pick(4)],
        CASTLINGS[pick(4)],
    };
    return words[pick(6)];
}

TEST(Legality, GeneratorsAgreeWithMakeAndTest) {
    std::mt19937 rng(2024);
    std::vector<Move> foreign(64, NO_MOVE);  // moves of earlier positions
    for (const std::string& fen : tree_roots(STRIDE)) {
        Position& pos = test_position(fen);
        walk_tree(pos, DEPTH, [&](Position& p) {
            if (HasFatalFailure()) return;
            const std::vector<Move> legal = legal_moves(p), reference = reference_legal_moves(p);
            ASSERT_EQ(sorted(legal), sorted(reference)) << position_to_fen(p);
            MoveList list;
            if (in_check(p)) {
                gen_evasions(p, list);
                std::vector<Move> evasions(list.count);
                for (int i = 0; i < list.count; ++i) evasions[i] = list.moves[i].move;
                ASSERT_EQ(sorted(evasions), sorted(reference)) << "evasions of " << position_to_fen(p);
                return;
            }

            const Bitboard pinned = pinned_pieces(p);
            std::vector<Move> candidates = pseudo_moves(p);  // the illegal ones among them too
            candidates.insert(candidates.end(), foreign.begin(), foreign.end());
            for (int i = 0; i < 32; ++i) candidates.push_back(random_move_word(rng, p));
            candidates.push_back(NO_MOVE);
            for (Move m : candidates)
                ASSERT_EQ(is_valid_move(p, m, pinned), contains(legal, m))
                    << position_to_fen(p) << " move " << move_to_text(m) << " word " << std::hex << m;
            for (int i = 0; i < 4 && !legal.empty(); ++i) foreign[rng() % 64] = legal[rng() % legal.size()];

            // Quiet checks: exactly the legal quiet moves after which the opponent is in check.
            gen_quiet_checks(p, list);
            std::vector<Move> checks, pseudo = pseudo_moves(p), expected;
            for (int i = 0; i < list.count; ++i) {
                Move m = list.moves[i].move;
                ASSERT_TRUE(is_quiet(m) && contains(pseudo, m) && !contains(checks, m))
                    << position_to_fen(p) << " quiet check " << move_to_text(m) << " malformed or repeated";
                if (is_legal(p, m, pinned)) checks.push_back(m);
            }
            UndoRecord undo;
            for (Move m : legal) {
                if (!is_quiet(m)) continue;
                make_move(p, undo, m);
                if (in_check(p)) expected.push_back(m);
                unmake_move(p, undo);
            }
            ASSERT_EQ(sorted(checks), sorted(expected)) << "quiet checks of " << position_to_fen(p);
        });
        if (HasFatalFailure()) return;
    }
}

struct LegalityCase {
    const char* fen;
    const char* move;
    bool legal;
};

// Pins, en passant along a rank, and castling across attacked squares.
const LegalityCase CASES[] = {
    {"4r1k1/8/8/8/8/8/4B3/4K3 w - - 0 1", "e2d3", false},  // bishop pinned on the file
    {"4r1k1/8/8/8/8/8/4R3/4K3 w - - 0 1", "e2e5", true},   // rook slides along its pin
    {"4r1k1/8/8/8/8/8/4R3/4K3 w - - 0 1", "e2e8", true},   // and takes the pinner
    {"4r1k1/8/8/8/8/8/4R3/4K3 w - - 0 1", "e2d2", false},
    {"4k3/8/8/8/8/2b5/3P4/4K3 w - - 0 1", "d2c3", true},  // pinned pawn takes its pinner
    {"4k3/8/8/8/8/2b5/3P4/4K3 w - - 0 1", "d2d3", false},
    {"8/8/8/KPp4r/8/8/8/7k w - c6 0 1", "b5c6", false},  // both pawns leave the king's rank
    {"8/8/8/KPp5/8/8/8/7k w - c6 0 1", "b5c6", true},
    {"4k3/8/8/8/8/8/5r2/R3K2R w KQ - 0 1", "e1g1", false},  // f1 attacked
    {"4k3/8/8/8/8/8/5r2/R3K2R w KQ - 0 1", "e1c1", true},
    {"4k3/8/8/8/8/8/1r6/R3K2R w KQ - 0 1", "e1c1", true},   // only b1 attacked: it need not be safe
    {"4k3/8/8/8/8/8/3r4/R3K2R w KQ - 0 1", "e1c1", false},  // d1 attacked
    {"4r1k1/8/8/8/8/8/8/R3K2R w KQ - 0 1", "e1g1", false},  // no castling out of check
    {"4k3/8/8/8/8/8/8/r3K3 w - - 0 1", "e1f1", false},      // king stays on the checking line
    {"4k3/8/8/8/8/8/8/r3K3 w - - 0 1", "e1e2", true},
};

TEST(Legality, EdgeCases) {
    for (const LegalityCase& c : CASES) {
        Position& pos = test_position(c.fen);
        std::vector<Move> words = pseudo_moves(pos);
        words.insert(words.end(),
                     {CASTLE_WHITE_KING, CASTLE_WHITE_QUEEN, CASTLE_BLACK_KING, CASTLE_BLACK_QUEEN});
        Move m = NO_MOVE;
        for (Move w : words)
            if (std::string(move_to_text(w)) == c.move) m = w;
        ASSERT_NE(m, NO_MOVE) << c.fen << " has no move " << c.move;
        EXPECT_EQ(contains(legal_moves(pos), m), c.legal) << c.fen << " " << c.move;
        if (!in_check(pos)) {
            EXPECT_EQ(is_valid_move(pos, m, pinned_pieces(pos)), c.legal) << c.fen << " " << c.move;
        }
    }
}

// Generation order is the picker's tie-break and so part of every node count.
struct OrderCase {
    const char* fen;
    void (*generate)(const Position&, MoveList&);
    const char* expected;  // the whole list, or its beginning when it ends in "..."
};

void captures_of(const Position& pos, MoveList& list) {
    list.target = pos.color[pos.side ^ 1] & ~pos.kings();
    gen_captures(pos, list);
}

const OrderCase ORDER_CASES[] = {
    {START_FEN, gen_legal_moves,
     "b1a3 b1c3 g1f3 g1h3 a2a3 b2b3 c2c3 d2d3 e2e3 f2f3 g2g3 h2h3 a2a4 b2b4 c2c4 d2d4 e2e4 f2f4 g2g4 h2h4"},
    {"r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1", captures_of, "b7b8q b7b8n b7b8r b7b8b b7a8q b7a8n b7a8r b7a8b"},
    {"rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3", captures_of, "e5f6"},
    {"4k3/8/8/8/8/8/b7/R3K2R w KQ - 0 1", gen_quiets, "e1g1 e1c1 ..."},
    {"4r2k/8/8/8/8/8/R7/4K1N1 w - - 0 1", gen_evasions, "e1d1 e1f1 e1d2 e1f2 g1e2 a2e2"},
    {"8/8/8/8/R2K3k/8/8/8 w - - 0 1", gen_quiet_checks, "d4c3 d4d3 d4e3 d4c5 d4d5 d4e5"},
};

TEST(Legality, GenerationOrder) {
    for (const OrderCase& c : ORDER_CASES) {
        Position& pos = test_position(c.fen);
        MoveList list;
        c.generate(pos, list);
        std::string got, expected = c.expected;
        for (int i = 0; i < list.count; ++i)
            got += std::string(i ? " " : "") + move_to_text(list.moves[i].move);
        if (expected.ends_with(" ...")) {
            expected.resize(expected.size() - 4);
            got.resize(std::min(got.size(), expected.size()));
        }
        EXPECT_EQ(got, expected) << c.fen;
    }
}

}  // namespace
