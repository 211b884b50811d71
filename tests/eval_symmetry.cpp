// Colour symmetry of the whole evaluation, and the pawn table's cached
// entries against fresh computations, over the perft suites' trees.

#include <cctype>
#include <sstream>

#include "board/tables.h"
#include "eval/pawn_table.h"
#include "nnue/nnue.h"
#include "test_support.h"

namespace {

// Ranks mirrored, colours swapped, side, castling rights and en passant with them.
std::string mirror_fen(const std::string& fen) {
    std::istringstream in(fen);
    std::string board, side, castle, ep, rank, mirrored;
    in >> board >> side >> castle >> ep;
    auto swap_case = [](std::string s) {
        for (char& c : s) c = std::isupper((unsigned char)c) ? char(std::tolower(c)) : char(std::toupper(c));
        return s;
    };
    std::istringstream rows(board);
    while (std::getline(rows, rank, '/')) mirrored = swap_case(rank) + (mirrored.empty() ? "" : "/") + mirrored;
    if (ep != "-") ep[1] = ep[1] == '3' ? '6' : '3';
    return mirrored + (side == "w" ? " b " : " w ") + (castle == "-" ? castle : swap_case(castle)) + " " + ep;
}

// The entry a probe leaves behind must equal what the pawn evaluation gives
// from scratch, whatever the slot held before.
bool cached_entry_is_fresh(const Position& pos) {
    const PawnEntry& cached = pos.pawn_table[std::uint32_t(pos.st.pawn_hash) & pos.pawn_table_mask];
    EvalInfo info{};
    PawnEntry fresh{};
    info.pawn_entry = &fresh;
    for (int c = WHITE; c <= BLACK; ++c) {
        info.pawns_of[c] = pos.pieces_of(c, PAWN);
        info.attacks[PAWN][c] = pawn_attack_set(c, info.pawns_of[c]);
        info.pawn_attack_span[c] = fill_forward(c, info.attacks[PAWN][c]);
    }
    int mg[2] = {0, 0}, eg[2] = {0, 0};
    for (int c = WHITE; c <= BLACK; ++c) eval_pawns(pos, info, c, mg[c], eg[c]);
    return cached.lock == std::uint32_t(pos.st.pawn_hash >> 32) && cached.passed == fresh.passed &&
           cached.mg == mg[WHITE] - mg[BLACK] && cached.eg == eg[WHITE] - eg[BLACK];
}

// Every suite position (every fifth in light builds) and two plies below it.
// The position is made and unmade move by move; its mirror is read from FEN,
// so incremental and from-scratch scores meet too, the network's as well. Small pawn tables make
// slots shared and overwritten often.
TEST(EvalSymmetry, MirroredPositionsScoreTheSameAndPawnEntriesAreFresh) {
    auto pos = owned_position(START_FEN, 8), mirror = owned_position(START_FEN, 8);
    for (const TreeRoot& root : tree_roots(LIGHT ? 5 : 1)) {
        pos->params->chess960 = mirror->params->chess960 = root.chess960;
        read_fen(*pos, root.fen.c_str());
        walk_tree(*pos, 3, [&](Position& p) {
            const std::string text = position_to_fen(p);
            read_fen(*mirror, mirror_fen(text).c_str());
            const int a = evaluate(p), b = evaluate(*mirror);
            ASSERT_EQ(a, b) << text << " against its mirror " << position_to_fen(*mirror);
            // The network sees each side's men from that side: the mirror's views are the same two,
            // swapped. Here its accumulators are kept move by move, the mirror's summed afresh.
            ASSERT_EQ(nnue_evaluate(p, EVAL_LIMIT), nnue_evaluate(*mirror, EVAL_LIMIT)) << "network, " << text;
            ASSERT_TRUE(cached_entry_is_fresh(p)) << "stale pawn entry for " << text;
        });
    }
}

// Pawnless positions have pawn key 0, which a cleared slot matches: the
// clear itself must leave the pawnless entry, shelter included.
TEST(EvalPawnTable, PawnlessSlotAfterClear) {
    auto pos = owned_position("4k3/8/8/8/8/8/8/R3K3 w - - 0 1", 8);
    EvalBreakdown b;
    evaluate_breakdown(*pos, b);
    const PawnEntry& slot = pos->pawn_table[0];
    EXPECT_TRUE(pos->st.pawn_hash == 0 && slot.lock == 0 && slot.mg == 0 && slot.shelter[WHITE][1] == 16 &&
                slot.shelter[BLACK][2] == 16 && eval_term(b, "Pawns").mg[WHITE] == 0);
}

}  // namespace
