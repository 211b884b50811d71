// The evaluation's terms in small positions worked out by hand: pawn
// structure, outposts, rook files, threats, king safety, passed pawns and
// the fixed patterns. Values are one colour's midgame and endgame rows.
#include <gtest/gtest.h>

#include <vector>

#include "eval/pawn_table.h"
#include "test_support.h"

namespace {

struct TermCase {
    const char* fen;
    const char* term;
    int white_mg, white_eg, black_mg, black_eg;
};

TEST(EvalTerms, HandWorkedPositions) {
    const TermCase cases[] = {
        // c2 behind c3 is doubled; b2 keeps both from being isolated.
        {"4k3/8/8/8/8/2P5/1PP5/4K3 w - - 0 1", "Pawns", -8, -10, 0, 0},
        // A lone a-pawn is isolated on an open file.
        {"4k3/6pp/8/8/8/8/P7/4K3 w - - 0 1", "Pawns", -28, -10, 0, 0},
        // d3 is backward (c5 guards d4, e4 can never) on an open file; c5 is isolated.
        {"4k3/8/8/2p5/4P3/3P4/8/4K3 w - - 0 1", "Pawns", -30, -10, -28, -10},
        // c5 is a candidate on the fifth (b4 matches b7); b7 is isolated but not frontmost.
        {"4k3/1p6/8/2P5/1P6/8/8/4K3 w - - 0 1", "Pawns", 33, 16, -12, -10},
        // Knight mobility 8 x 6 = 48, plus the e5 outpost (44 / 2 = 22) tripled
        // when the d4 pawn guards it and nothing can exchange the knight...
        {"4k3/8/8/4N3/3P4/8/8/4K3 w - - 0 1", "Pieces", 114, 64, 0, 0},
        {"4k3/1b6/8/4N3/3P4/8/8/4K3 w - - 0 1", "Pieces", 114, 64, 45, 45},
        // ...doubled when a bishop of the square's colour could,
        {"4k3/b7/8/4N3/3P4/8/8/4K3 w - - 0 1", "Pieces", 92, 64, 15, 15},  // c5 is under the pawn
        // single without the guarding pawn, none where an enemy pawn can attack.
        {"4k3/8/8/4N3/8/8/8/4K3 w - - 0 1", "Pieces", 70, 64, 0, 0},
        {"4k3/8/3p4/4N3/3P4/8/8/4K3 w - - 0 1", "Pieces", 48, 64, 0, 0},
        // Rook on the open e-file facing the king with queen support: mobility 10
        // (30 / 20), 10 + 20 + 30 and 20; queen mobility 17 (34 / 34).
        {"4k3/8/8/8/8/8/8/Q3RK2 b - - 0 1", "Pieces", 124, 74, 0, 0},
        // Half-open: the e7 pawn shortens the file and takes f6 from the queen.
        {"4k3/4p3/8/8/8/8/8/Q3RK2 w - - 0 1", "Pieces", 99, 60, 0, 0},
        // A knight on the queen: 12 points at 5 per point.
        {"4k3/8/4q3/8/3N4/8/8/7K w - - 0 1", "Threats", 60, 60, 0, 0},
        // The queen hits an unguarded knight (2) and rook (3); a pawn guards the bishop.
        {"4k3/8/4q3/8/8/4B2R/N4P2/7K w - - 0 1", "Threats", 0, 0, 25, 25},
        // A queen alone is no attack: the term is skipped, shelter included.
        {"3qk3/8/8/8/8/8/PPP5/1K6 w - - 0 1", "King safety", 0, 0, 0, 0},
        {"3qk1n1/8/8/8/8/8/PPP5/1K6 w - - 0 1", "King safety", -12, 0, 0, 0},
        // Queen h4 and knight g4 on g1: units 2 (open zone squares) + 1 (shelter)
        // + 0 (exposure) + 4 + 2 * 7 / 2 (counter) + 2 * 3 (supported queen
        // contact, white to move) = 20, costing 5 * 20 * 20 / 20 = 100.
        {"4k3/8/8/8/6nq/8/5PPP/6K1 w - - 0 1", "King safety", -112, 0, 0, 0},
        // Black to move makes the queen contact count double: 26 units.
        {"4k3/8/8/8/6nq/8/5PPP/6K1 b - - 0 1", "King safety", -181, 0, 0, 0},
        // Outside the black king's square: extra 40 * 7 - 20 * 7 + 800, at full weight.
        {"8/P7/8/8/8/8/8/4K2k w - - 0 1", "Passed pawns", 140, 1010, 0, 0},
        // Caught: extra 40 - 140 + 40 (contested path) + 10 (no own piece ahead).
        {"8/Pk6/8/8/8/8/8/4K3 w - - 0 1", "Passed pawns", 140, 20, 0, 0},
        // The rule of the square turns on the move: 25 + 820 * 34 / 128 ...
        {"8/8/8/P3k3/8/8/8/7K w - - 0 1", "Passed pawns", 51, 242, 0, 0},
        // ... against 25 + (20 + 70 + 10) * 34 / 128.
        {"8/8/8/P3k3/8/8/8/7K b - - 0 1", "Passed pawns", 51, 51, 0, 0},
        {"4k3/8/8/8/8/8/8/5KR1 w - - 0 1", "Trapped pieces", -60, 0, 0, 0},
        {"6kr/8/8/8/8/8/8/4K3 w - - 0 1", "Trapped pieces", 0, 0, -60, 0},
        // Both queen-side bishop traps together cost once.
        {"4k3/B7/Bp6/1p6/8/8/8/4K3 w - - 0 1", "Trapped pieces", -60, 0, 0, 0},
        {"4k3/8/8/8/8/3NB3/3PP3/4K3 w - - 0 1", "Blocked centre", -120, 0, 0, 0},
    };
    for (const TermCase& c : cases) {
        SCOPED_TRACE(std::string(c.fen) + " / " + c.term);
        Position& pos = test_position(c.fen);
        EvalBreakdown b;
        evaluate_breakdown(pos, b);
        const EvalTerm& t = eval_term(b, c.term);
        EXPECT_EQ((std::vector<int>{t.mg[WHITE], t.eg[WHITE], t.mg[BLACK], t.eg[BLACK]}),
                  (std::vector<int>{c.white_mg, c.white_eg, c.black_mg, c.black_eg}));
        EXPECT_EQ(b.score, evaluate(pos));
    }

    // Only the unopposed e4 is passed.
    Position& pos = test_position("4k3/8/8/2p5/4P3/3P4/8/4K3 w - - 0 1");
    evaluate(pos);
    EXPECT_EQ(pos.pawn_table[std::uint32_t(pos.st.pawn_hash) & pos.pawn_table_mask].passed, bit(E4));
    // Threats weighted at zero vanish.
    Position& threats = test_position("4k3/8/4q3/8/3N4/8/8/7K w - - 0 1");
    threats.params->piece_attack_mg = threats.params->piece_attack_eg = 0;
    EvalBreakdown b;
    evaluate_breakdown(threats, b);
    EXPECT_EQ(eval_term(b, "Threats").mg[WHITE], 0);
    EXPECT_EQ(eval_term(b, "Threats").eg[WHITE], 0);
    threats.params->piece_attack_mg = threats.params->piece_attack_eg = 5;
}

}  // namespace
