// Transposition table storage, probing and the replacement rule.
#include "search/trans_table.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "board/table_memory.h"

namespace {

constexpr int AGE_SHIFT = 26;
constexpr std::uint32_t MOVE_BITS = 0x1FFFFFF;

inline std::uint32_t key_lock(Key key) { return std::uint32_t(key >> 32); }
inline TransSlot* bucket_of(Position& pos) {
    return pos.trans_table + (std::uint32_t(pos.st.hash) & pos.trans_table_mask);
}

bool table_shared = false;

void rebuild_age_table(Position& pos) {
    for (int i = 0; i < 16; ++i) pos.trans_age_table[i] = (pos.trans_age - i) & 15;
}

// The ageing state of an empty table.
void reset_generation(Position& pos) {
    pos.trans_age = 0;
    rebuild_age_table(pos);
    pos.trans_used = 1;
    pos.trans_written = false;
}

// Oldest generation first, then the shallowest entry.
inline int replacement_value(const Position& pos, const TransEntry& e) {
    return pos.trans_age_table[tt_age(e)] * 256 - e.depth;
}

}  // namespace

bool tt_allocate(Position& pos, int megabytes) {
    if (megabytes < 4) megabytes = 16;
    tt_free(pos);
    // In 64 bits: 2048 MB and more do not fit a 32-bit byte count.
    std::uint64_t bytes = std::uint64_t(megabytes) * 1048576;
    std::uint64_t power = 1;
    while (power <= bytes) power <<= 1;
    std::uint64_t entries = power / 32;
    std::uint64_t total = (entries + TT_SPILL) * sizeof(TransSlot);
    // Zeroed memory is an empty table: nothing is written here, and the pages
    // are touched only as the search stores into them.
    pos.trans_table = static_cast<TransSlot*>(table_alloc_zeroed(total));
    if (!pos.trans_table) return false;
    pos.trans_table_size = entries + TT_SPILL;
    pos.trans_table_mask = entries - 1;
    reset_generation(pos);
    return true;
}

void tt_free(Position& pos) {
    table_free(pos.trans_table);
    pos.trans_table = nullptr;
    pos.trans_table_size = pos.trans_table_mask = 0;
}

void tt_clear(Position& pos) {
    // A table nothing was stored into since it was made or cleared is empty
    // already (a new game right after start-up costs nothing).
    if (pos.trans_written && pos.trans_table) {
        // No thread searches now, so the words need not be stored one by one;
        // zeros are the empty entry.
        std::memset(static_cast<void*>(pos.trans_table), 0, std::size_t(pos.trans_table_size * sizeof(TransSlot)));
    }
    reset_generation(pos);
}

void tt_set_shared(bool shared) { table_shared = shared; }
bool tt_shared() { return table_shared; }

void tt_new_search(Position& pos) {
    pos.trans_age = (pos.trans_age + 1) & 15;
    rebuild_age_table(pos);
    pos.trans_used = 1;
    pos.trans_written = true;
}

std::optional<TransEntry> tt_find(Position& pos) {
    TransSlot* bucket = bucket_of(pos);
    const std::uint32_t lock = key_lock(pos.st.hash);
    for (int i = 0; i < TT_BUCKET; ++i) {
        TransEntry e = tt_read(bucket[i]);
        if (e.lock == lock) {
            // A position seen again in this search counts as current. Most hits
            // are already current: they are left untouched, so a probe costs no
            // store and cannot overwrite what another thread has just stored.
            const std::uint32_t move_age = (e.move_age & MOVE_BITS) | std::uint32_t(pos.trans_age) << AGE_SHIFT;
            if (move_age != e.move_age) {
                // Only the two words that change: the bounds and depths stay as
                // another thread may have left them, and a word written in
                // between makes the entry read as torn, never as stale.
                constexpr auto relaxed = std::memory_order_relaxed;
                bucket[i].move_age.store(move_age, relaxed);
                bucket[i].check.store(bucket[i].check.load(relaxed) ^ e.move_age ^ move_age, relaxed);
                e.move_age = move_age;
            }
            return e;
        }
    }
    return std::nullopt;
}

void tt_store(Position& pos, int depth, int lower, int upper, Move move) {
    // Internal iterative deepening can search a PV node below depth 0; the
    // depth bytes are unsigned, so such a result counts as depth 0.
    if (depth < 0) depth = 0;
    pos.trans_written = true;
    TransSlot* bucket = bucket_of(pos);
    const std::uint32_t lock = key_lock(pos.st.hash);
    const std::uint32_t age_bits = std::uint32_t(pos.trans_age) << AGE_SHIFT;
    int victim = 0;
    int victim_value = -1 << 30;
    for (int i = 0; i < TT_BUCKET; ++i) {
        TransEntry e = tt_read(bucket[i]);
        if (e.lock == lock) {
            if (tt_age(e) != pos.trans_age) pos.trans_used += 1;
            if (e.depth < depth) e.depth = std::uint8_t(depth);
            std::uint32_t kept = e.move_age & MOVE_BITS;
            if (move && depth > e.move_depth) {
                e.move_depth = std::uint8_t(depth);
                kept = move & MOVE_BITS;
            }
            e.move_age = kept | age_bits;
            // Each bound is replaced only by one of at least the same depth.
            if (upper < 10000 && depth >= e.upper_depth) {
                e.upper = std::int16_t(upper);
                e.upper_depth = std::uint8_t(depth);
            }
            if (lower > -10000 && depth >= e.lower_depth) {
                e.lower = std::int16_t(lower);
                e.lower_depth = std::uint8_t(depth);
            }
            if (table_shared) {
                // Another thread's deeper bound that this result contradicts
                // gives way: kept, it would go on cutting zero-window nodes
                // whose full-window re-searches then fail low, again and again.
                if (upper < 10000 && upper < e.lower) {
                    e.lower = -10000;
                    e.lower_depth = 0;
                }
                if (lower > -10000 && lower > e.upper) {
                    e.upper = 10000;
                    e.upper_depth = 0;
                }
            }
            tt_write(bucket[i], e);
            return;
        }
        int value = replacement_value(pos, e);
        if (value > victim_value) {
            victim_value = value;
            victim = i;
        }
    }
    if (tt_age(tt_read(bucket[victim])) != pos.trans_age) pos.trans_used += 1;
    tt_write(bucket[victim], {lock, (move & MOVE_BITS) | age_bits, std::int16_t(upper), std::int16_t(lower),
                              std::uint8_t(depth), std::uint8_t(move ? depth : 0), std::uint8_t(upper < 10000 ? depth : 0),
                              std::uint8_t(lower > -10000 ? depth : 0)});
}

int tt_hashfull(const Position& pos) {
    return pos.trans_table_size ? int(std::int64_t(pos.trans_used) * 1000 / std::int64_t(pos.trans_table_size)) : 0;
}
