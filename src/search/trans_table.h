// The transposition table: one flat array of 16-byte entries, addressed in
// overlapping buckets of four consecutive entries starting at
// (low 32 key bits) & mask, with three spill entries behind the power-of-two
// part so the last bucket stays inside the array. Each entry keeps the best
// move and two independent bounds, each with the depth that produced it, so a
// deep lower bound survives a shallow upper bound and vice versa. Replacement
// prefers the oldest generation, then the shallowest entry; the generation
// (age) advances once per search and a probe hit refreshes an entry's age.
// Scores are stored as computed, with no mate-distance adjustment.
//
// Every search thread reads and writes the table without a lock. Each entry
// is kept as four 32-bit words held as relaxed atomics, so two threads racing
// on one entry is well defined; the first word stores the lock XOR the other
// three, so an entry whose words come from two different writes (torn) reads
// as some other position, that is as a miss. A move read from the table is
// validated before it is played, as it always was. The bounds word is kept
// XOR the pair of "no bound" values, so that an empty entry is four zero
// words: zeroed memory is an empty table, and clearing is filling with zeros.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

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

// The stored form of one entry.
struct TransSlot {
    std::atomic<std::uint32_t> check;     // lock ^ move_age ^ bounds ^ depths, as stored
    std::atomic<std::uint32_t> move_age;
    std::atomic<std::uint32_t> bounds;    // upper in the low half, lower in the high half, ^ TT_NO_BOUNDS
    std::atomic<std::uint32_t> depths;    // depth, move_depth, upper_depth, lower_depth from the low byte up
};
static_assert(sizeof(TransSlot) == 16, "bucket arithmetic assumes 16-byte entries");

// The bounds word of an entry without bounds: upper 10000, lower -10000.
constexpr std::uint32_t TT_NO_BOUNDS = std::uint16_t(10000) | std::uint32_t(std::uint16_t(-10000)) << 16;

inline TransEntry tt_read(const TransSlot& slot) {
    constexpr auto relaxed = std::memory_order_relaxed;
    const std::uint32_t move_age = slot.move_age.load(relaxed), stored_bounds = slot.bounds.load(relaxed),
                        depths = slot.depths.load(relaxed);
    const std::uint32_t bounds = stored_bounds ^ TT_NO_BOUNDS;
    return {slot.check.load(relaxed) ^ move_age ^ stored_bounds ^ depths,
            move_age,
            std::int16_t(bounds & 0xFFFF),
            std::int16_t(bounds >> 16),
            std::uint8_t(depths),
            std::uint8_t(depths >> 8),
            std::uint8_t(depths >> 16),
            std::uint8_t(depths >> 24)};
}

inline void tt_write(TransSlot& slot, const TransEntry& e) {
    constexpr auto relaxed = std::memory_order_relaxed;
    const std::uint32_t bounds = (std::uint16_t(e.upper) | std::uint32_t(std::uint16_t(e.lower)) << 16) ^ TT_NO_BOUNDS;
    const std::uint32_t depths = e.depth | e.move_depth << 8 | e.upper_depth << 16 | std::uint32_t(e.lower_depth) << 24;
    slot.move_age.store(e.move_age, relaxed);
    slot.bounds.store(bounds, relaxed);
    slot.depths.store(depths, relaxed);
    slot.check.store(e.lock ^ e.move_age ^ bounds ^ depths, relaxed);
}

constexpr int TT_BUCKET = 4;
constexpr int TT_SPILL = TT_BUCKET - 1;

inline Move tt_move(const TransEntry& e) { return e.move_age & 0x1FFFFFF; }
inline int tt_age(const TransEntry& e) { return int(e.move_age >> 26); }

// Size rule: megabytes below 4 mean 16; the largest power of two of 16-byte
// entries that fits. Returns false when the memory cannot be had.
bool tt_allocate(Position& pos, int megabytes);
void tt_free(Position& pos);
void tt_clear(Position& pos);
// Whether several threads search over the table. Then a stored bound that
// contradicts the other bound of its entry replaces it whatever their depths:
// a lower bound one thread found deeper must not outlive the upper bound
// another has just proved, or every zero-window visit cuts on the stale bound
// and every full-window re-search of the node fails low.
void tt_set_shared(bool shared);
bool tt_shared();
// Advances the generation at the start of a search.
void tt_new_search(Position& pos);
// The entry of the position, read once; a hit refreshes its age.
std::optional<TransEntry> tt_find(Position& pos);
void tt_store(Position& pos, int depth, int lower, int upper, Move move);
int tt_hashfull(const Position& pos);
