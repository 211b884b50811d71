// Colour symmetry of the whole evaluation, and the pawn table's cached
// entries against fresh computations, over the perft suites and their trees.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/tables.h"
#include "eval/pawn_table.h"
#include "eval_support.h"
#include "movegen/movegen.h"
#include "test_support.h"

namespace {

// Light builds walk every LIGHT_STRIDE-th suite position.
constexpr int LIGHT_STRIDE = 5;

std::vector<std::string> suite_fens() {
    std::vector<std::string> fens;
    int line_number = 0;
    for (const char* name : {"standard", "tricky", "random"}) {
        std::ifstream file(std::string(CORVANE_DATA_DIR) + "/perft/" + name + ".epd");
        std::string line;
        while (std::getline(file, line)) {
            if (CORVANE_LIGHT_TESTS && line_number++ % LIGHT_STRIDE) continue;
            fens.push_back(line.substr(0, line.find(';')));
        }
    }
    return fens;
}

// Ranks mirrored, colours swapped, side, castling rights and en passant with them.
std::string mirror_fen(const std::string& fen) {
    std::istringstream in(fen);
    std::string board, side, castle, ep, fifty = "0", moves = "1";
    in >> board >> side >> castle >> ep >> fifty >> moves;
    std::vector<std::string> ranks;
    std::istringstream rows(board);
    for (std::string rank; std::getline(rows, rank, '/');) ranks.insert(ranks.begin(), rank);
    auto swap_case = [](std::string s) {
        for (char& c : s) c = std::isupper((unsigned char)c) ? char(std::tolower(c)) : char(std::toupper(c));
        return s;
    };
    std::string mirrored;
    for (const std::string& rank : ranks) {
        if (!mirrored.empty()) mirrored += '/';
        mirrored += swap_case(rank);
    }
    if (castle != "-") castle = swap_case(castle);
    if (ep != "-") ep[1] = ep[1] == '3' ? '6' : '3';
    return mirrored + (side == "w" ? " b " : " w ") + castle + " " + ep + " " + fifty + " " + moves;
}

// Each walk uses a small pawn table, so that slots are shared and overwritten often.
constexpr int SMALL_PAWN_TABLE = 8;

Move mirror_move(const Position& mirror, Move move) {
    MoveList list;
    gen_legal_moves(mirror, list);
    for (int i = 0; i < list.count; ++i) {
        Move m = list.moves[i].move;
        if (move_from(m) == (move_from(move) ^ 56) && move_to(m) == (move_to(move) ^ 56) &&
            move_promotion(m) == move_promotion(move))
            return m;
    }
    return NO_MOVE;
}

struct Walk {
    long long positions = 0;
    long long score_sum = 0;  // printed, so 32-bit and 64-bit builds can be compared
    int failures = 0;
};

// The entry a probe leaves behind must equal what the pawn evaluation gives
// from scratch, whatever the slot held before.
void check_cached_entry(const Position& pos, int& failures) {
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
    const bool same = cached.lock == std::uint32_t(pos.st.pawn_hash >> 32) && cached.passed == fresh.passed &&
                      cached.mg == mg[WHITE] - mg[BLACK] && cached.eg == eg[WHITE] - eg[BLACK];
    if (!same && ++failures <= 10) ADD_FAILURE() << "stale pawn entry for " << position_to_fen(pos);
}

void check_pair(Position& pos, Position& mirror, Walk& walk) {
    ++walk.positions;
    const int a = evaluate(pos), b = evaluate(mirror);
    walk.score_sum += a;
    check_cached_entry(pos, walk.failures);
    if (a != b && ++walk.failures <= 10)
        ADD_FAILURE() << position_to_fen(pos) << " scores " << a << ", its mirror " << position_to_fen(mirror)
                      << " scores " << b;
}

void walk_pair(Position& pos, Position& mirror, int depth, Walk& walk) {
    check_pair(pos, mirror, walk);
    if (depth == 0) return;
    MoveList list;
    gen_legal_moves(pos, list);
    UndoRecord undo, mirror_undo;
    for (int i = 0; i < list.count; ++i) {
        const Move move = list.moves[i].move;
        const Move reflected = mirror_move(mirror, move);
        ASSERT_NE(reflected, NO_MOVE) << "no mirror of a move in " << position_to_fen(pos);
        make_move(pos, undo, move);
        make_move(mirror, mirror_undo, reflected);
        walk_pair(pos, mirror, depth - 1, walk);
        unmake_move(mirror, mirror_undo);
        unmake_move(pos, undo);
    }
}

// Every node of the walk also checks the pawn entry its evaluation used.
TEST(EvalSymmetry, MirroredPositionsScoreTheSame) {
    init_engine_tables();
    Walk walk;
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& fen : suite_fens()) {
        auto pos = make_eval_position(fen, SMALL_PAWN_TABLE);
        auto mirror = make_eval_position(mirror_fen(fen), SMALL_PAWN_TABLE);
        walk_pair(*pos, *mirror, 2, walk);
        if (walk.failures > 10) break;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("[ info ] %lld position pairs in %.1f s, score sum %lld\n", walk.positions, seconds,
                walk.score_sum);
    EXPECT_EQ(walk.failures, 0);
}

TEST(EvalPawnTable, PawnlessSlotAfterClear) {
    auto pos = make_eval_position("4k3/8/8/8/8/8/8/R3K3 w - - 0 1", SMALL_PAWN_TABLE);
    ASSERT_EQ(pos->st.pawn_hash, 0u);
    EvalBreakdown b;
    evaluate_breakdown(*pos, b);
    const PawnEntry& slot = pos->pawn_table[0];
    EXPECT_EQ(slot.lock, 0u);
    EXPECT_EQ(slot.mg, 0);
    EXPECT_EQ(slot.shelter[WHITE][1], 16);
    EXPECT_EQ(slot.shelter[BLACK][2], 16);
    EXPECT_EQ(eval_term(b, "Pawns").mg[WHITE], 0);
}

}  // namespace
