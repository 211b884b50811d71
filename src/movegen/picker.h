// The staged move picker: each node takes its moves one at a time, best
// first, and generates a kind of move only when the earlier kinds are used up.
#pragma once

#include "board/position.h"
#include "movegen/move.h"

struct SearchInfo;

enum : int {
    STAGE_START = 0,
    STAGE_EVASIONS = 1,
    STAGE_HASH_MOVE = 2,
    STAGE_GOOD_CAPTURES = 5,
    STAGE_QS_CAPTURES = 6,
    STAGE_BAD_CAPTURES = 7,
    STAGE_KILLERS = 8,
    STAGE_QUIETS = 9,
    STAGE_QS_CHECKS = 13,
    STAGE_END = 15,
};

// Start indices of the four sequences in stage_table.
extern int SEQ_EVASION, SEQ_SEARCH, SEQ_QSEARCH, SEQ_QSEARCH_CHECKS;
extern int stage_table[32];
void init_stage_table();

constexpr int KILLER1_SCORE = 16388;
constexpr int KILLER2_SCORE = 16386;

inline int mvv_lva(Move m) { return move_captured(m) * 6 + move_promotion(m) - move_piece(m); }
inline int history_index(int side, Move m) { return (side * 512 + move_piece(m) * 64 + move_to(m)) & 1023; }

// A tactical move that does not lose material by the exchange rule.
bool is_good_capture(const Position& pos, Move m);

// Fills the header fields every sequence needs (next, count, bad_count, stage).
inline void picker_init(MoveList& list, int sequence, Move hash_move, Move killer1, Move killer2, int ply,
                        int depth, int side, Bitboard pinned, Bitboard target) {
    list.stage = sequence;
    list.hash_move = hash_move;
    list.killer1 = killer1;
    list.killer2 = killer2;
    list.ply = ply;
    list.depth = depth;
    list.side = side;
    list.next = 0;
    list.count = 0;
    list.bad_count = 0;
    list.pinned = pinned;
    list.target = target;
}

// The next move, or nullptr when the sequence is finished; the kind at
// stage_table[list.stage] tells which stage it came from.
ScoredMove* next_move(Position& pos, MoveList& list, const SearchInfo& info);
inline int current_stage(const MoveList& list) { return stage_table[list.stage]; }
