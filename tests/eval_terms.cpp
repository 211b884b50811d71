// The evaluation's terms in small positions worked out by hand (the table in
// tests/data/tables/eval_terms.txt): pawn structure, outposts, rook files,
// threats, king safety, passed pawns and the fixed patterns.
#include <sstream>

#include "eval/pawn_table.h"
#include "test_support.h"

TEST(EvalTerms, HandWorkedPositions) {
    for (const auto& row : read_rows("tables/eval_terms.txt")) {
        SCOPED_TRACE(row[0] + " / " + row[1]);
        Position& pos = test_position(row[0]);
        EvalBreakdown b;
        evaluate_breakdown(pos, b);
        const EvalTerm& t = eval_term(b, row[1]);
        std::istringstream expected(row[2] + " " + row[3]);
        std::vector<int> want(4);
        for (int& v : want) expected >> v;
        EXPECT_EQ((std::vector<int>{t.mg[WHITE], t.eg[WHITE], t.mg[BLACK], t.eg[BLACK]}), want);
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
    EXPECT_EQ(eval_term(b, "Threats").mg[WHITE] | eval_term(b, "Threats").eg[WHITE], 0);
    threats.params->piece_attack_mg = threats.params->piece_attack_eg = 5;
}
