// The pawn hash table: pawn-structure scores cached by pawn key, with the
// passed pawns and the shelter and storm bytes that king safety reads.
#pragma once

#include <cstdint>

#include "board/position.h"

struct EvalInfo;

struct PawnEntry {
    Bitboard passed;          // passed pawns of both colours
    std::uint32_t lock;       // high 32 bits of the pawn key
    std::int32_t mg;          // white minus black, midgame
    std::int32_t eg;          // white minus black, endgame
    std::uint8_t shelter[2][3];
    std::uint8_t storm[2][3];
};
static_assert(sizeof(PawnEntry) == 32, "the table's size rule counts 32-byte entries");

void pawn_table_clear(Position& pos);
// Returns false when the table cannot be allocated (the old one is released).
bool pawn_table_allocate(Position& pos, int power);
void pawn_table_free(Position& pos);

// The pawn evaluation of one colour, added to mg_out and eg_out; also adds the
// colour's passed pawns and shelter/storm bytes to info.pawn_entry.
void eval_pawns(const Position& pos, EvalInfo& info, int us, int& mg_out, int& eg_out);
