// The transposition table: one flat array of 16-byte entries, addressed in
// overlapping buckets of four consecutive entries starting at
// (low 32 key bits) & mask, with three spill entries behind the power-of-two
// part so the last bucket stays inside the array. Each entry keeps the best
// move and two independent bounds, each with the depth that produced it, so a
// deep lower bound survives a shallow upper bound and vice versa. Replacement
// prefers the oldest generation, then the shallowest entry; the generation
// (age) advances once per search and a probe hit refreshes an entry's age.
// Scores are stored as computed, with no mate-distance adjustment.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "movegen/move.h"

struct TransEntry {
    std::uint32_t lock;      // high 32 bits of the position key
    std::uint32_t move_age;  // bits 0-24 move, bit 25 zero, bits 26-31 age
    std::int16_t upper;      // 10000 = no upper bound
    std::int16_t lower;      // -10000 = no lower bound
    std::uint8_t depth;      // deepest store for this position
    std::uint8_t move_depth;
    std::uint8_t upper_depth;
    std::uint8_t lower_depth;
};
static_assert(sizeof(TransEntry) == 16, "bucket arithmetic assumes 16-byte entries");

constexpr int TT_BUCKET = 4;
constexpr int TT_SPILL = TT_BUCKET - 1;

inline Move tt_move(const TransEntry& e) { return e.move_age & 0x1FFFFFF; }
inline int tt_age(const TransEntry& e) { return int(e.move_age >> 26); }

// Size rule: megabytes below 4 mean 16; the largest power of two of 16-byte
// entries that fits. Returns false when the memory cannot be had.
bool tt_allocate(Position& pos, int megabytes);
void tt_free(Position& pos);
void tt_clear(Position& pos);
// Advances the generation at the start of a search.
void tt_new_search(Position& pos);
TransEntry* tt_find(Position& pos);
void tt_store(Position& pos, int depth, int lower, int upper, Move move);
int tt_hashfull(const Position& pos);
