// The evaluation's terms as the driver calls them, and the small geometry
// they share. Private to src/eval/.
#pragma once

#include <algorithm>
#include <cstdlib>

#include "eval/eval.h"
#include "eval/pawn_table.h"

// Growth of a passed pawn's worth with its relative rank: most of it comes on
// the last three steps, where the defence has run out of time.
inline constexpr int passed_rank_bonus[8] = {0, 0, 0, 13, 34, 77, 128, 0};

// The king's wing: 0 for files a-c, 1 for d-e, 2 for f-h.
constexpr int king_wing(int sq) {
    constexpr int WING_OF_FILE[8] = {0, 0, 0, 1, 1, 2, 2, 2};
    return WING_OF_FILE[file_of(sq)];
}

// King steps between two squares.
inline int distance(int a, int b) {
    return std::max(std::abs(file_of(a) - file_of(b)), std::abs(rank_of(a) - rank_of(b)));
}

// The square one step ahead of sq for colour us.
constexpr int square_ahead(int us, int sq) { return us == WHITE ? sq + 8 : sq - 8; }

// Called for white, then black, after the pawn attack boards are set; each
// adds to info.mg[Us] and info.eg[Us]. eval_pieces fills attacks[KNIGHT..QUEEN]
// and the king-attack counters; the other three need both colours' all_attacks.
// Each is compiled once per colour (instantiated in its own file), so that
// the colour's boards, ranks and directions are constants.
template <int Us>
void eval_pieces(const Position& pos, EvalInfo& info);
template <int Us>
void eval_threats(const Position& pos, EvalInfo& info);
template <int Us>
void eval_king_safety(const Position& pos, EvalInfo& info);
template <int Us>
void eval_passed(const Position& pos, EvalInfo& info);
