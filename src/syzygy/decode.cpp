// Reading a table file: its header (which men index it, in what order, and
// where each compressed stream lies) and single values from its streams.
//
// A stream is a sequence of small values, one per index, cut into blocks of
// 2^block_bits bytes. Each block holds a bit string of canonical prefix codes
// (longest codes smallest, stored big-endian); each code is a symbol, and a
// symbol stands either for one value or for a pair of symbols, so one code
// can cover a long run of values. A sparse index (one entry per 2^index_bits
// values) names the block near a value and the value's distance from the
// block's start; the per-block value counts walk from there to the right
// block.
//
// Every offset computed from file data is checked against the file's size
// here, once, so that a probe reads only inside the map; what a probe alone
// can detect (a code past its block, a symbol out of range) fails that probe.
#include <cstring>
#include <vector>

#include "syzygy/table.h"

namespace syzygy {
namespace {

constexpr std::uint32_t WDL_MAGIC = 0x5d23e871;
constexpr std::uint32_t DTZ_MAGIC = 0xa50c66d7;

constexpr int HEADER_SPLIT = 1;  // WDL: a stream for each side to move
constexpr int HEADER_PAWNS = 2;

constexpr int STREAM_CONSTANT = 0x80;  // first byte of a stream holding one value only
constexpr int DTZ_HAS_MAP = 2;         // stored values index a per-result value map
constexpr int DTZ_WIDE_MAP = 16;       // the maps hold 16-bit values

constexpr int MAX_CODE_LENGTH = 32;      // the bit reader refills 32 bits at a time
constexpr int MAX_SYMBOLS = 4096;        // symbols are twelve bits wide
constexpr int NO_SYMBOL = 0xfff;         // second half of a symbol that stands for one value
constexpr std::uint32_t MAX_RUN = 1u << 24;  // far beyond a block's 65,536 values
// Blocks walked from an index entry to a value: a real table needs a few
// (each block holds many values); damaged counts could ask for billions.
constexpr int MAX_BLOCK_WALK = 1 << 20;

std::uint32_t read_le16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
std::uint32_t read_le32(const std::uint8_t* p) { return read_le16(p) | read_le16(p + 2) << 16; }

// A read position in the file that refuses to pass its end.
struct Cursor {
    const std::uint8_t* bytes;
    std::uint64_t size;
    std::uint64_t at;
    bool has(std::uint64_t n) const { return at <= size && n <= size - at; }
    const std::uint8_t* here() const { return bytes + at; }
};

// The two halves of a symbol that stands for a pair; a lone value has NO_SYMBOL second.
void symbol_halves(const std::uint8_t* pairs, std::uint32_t s, std::uint32_t& first, std::uint32_t& second) {
    const std::uint8_t* w = pairs + 3 * std::uint64_t(s);
    first = std::uint32_t(w[0]) | std::uint32_t(w[1] & 0x0f) << 8;
    second = std::uint32_t(w[1] >> 4) | std::uint32_t(w[2]) << 4;
}

// Values each symbol stands for (minus one), found depth first without
// recursion; a symbol that contains itself is damage, not a loop.
const char* measure_runs(Stream& s, const std::uint8_t* pairs) {
    enum : std::uint8_t { NEW, OPEN, DONE };
    std::vector<std::uint8_t> state(s.symbols, NEW);
    std::vector<std::uint32_t> stack;
    s.run.assign(s.symbols, 0);
    for (std::uint32_t root = 0; root < s.symbols; ++root) {
        if (state[root] == DONE) continue;
        stack.assign(1, root);
        while (!stack.empty()) {
            const std::uint32_t x = stack.back();
            std::uint32_t a, b;
            symbol_halves(pairs, x, a, b);
            if (state[x] == DONE) {
                stack.pop_back();
            } else if (b == NO_SYMBOL) {
                state[x] = DONE;
                stack.pop_back();
            } else if (a >= s.symbols || b >= s.symbols) {
                return "has a symbol out of range";
            } else if (state[x] == NEW) {
                state[x] = OPEN;
                for (std::uint32_t c : {a, b}) {
                    if (state[c] == OPEN) return "has a symbol that contains itself";
                    if (state[c] == NEW) stack.push_back(c);
                }
            } else {
                const std::uint64_t run = std::uint64_t(s.run[a]) + s.run[b] + 1;
                if (run > MAX_RUN) return "has a symbol of impossible length";
                s.run[x] = std::uint32_t(run);
                state[x] = DONE;
                stack.pop_back();
            }
        }
    }
    return nullptr;
}

// The stream header at the cursor: code lengths, symbols and the sizes of the
// index, block-size and data areas that follow all headers.
const char* read_stream(Cursor& c, Stream& s, bool wdl) {
    if (!c.has(2)) return "is truncated";
    const std::uint8_t* h = c.here();
    s.flags = h[0];
    if (h[0] & STREAM_CONSTANT) {
        s.constant = wdl ? h[1] : 0;
        c.at += 2;
        return nullptr;
    }
    if (!c.has(12)) return "is truncated";
    s.block_bits = h[1];
    s.index_bits = h[2];
    s.data_blocks = read_le32(h + 4);
    s.blocks = s.data_blocks + h[3];  // the block-size table has padding entries
    s.max_len = h[8];
    s.min_len = h[9];
    if (s.block_bits > 30 || s.index_bits < 1 || s.index_bits > 40 || s.blocks < s.data_blocks)
        return "has impossible block sizes";
    if (s.min_len < 1 || s.max_len > MAX_CODE_LENGTH || s.min_len > s.max_len) return "has impossible code lengths";
    const int lengths = s.max_len - s.min_len + 1;
    if (!c.has(12 + 2 * std::uint64_t(lengths))) return "is truncated";
    s.symbols = read_le16(h + 10 + 2 * lengths);
    if (s.symbols < 1 || s.symbols > MAX_SYMBOLS) return "has an impossible symbol count";
    const std::uint64_t header_bytes = 12 + 2 * std::uint64_t(lengths) + 3 * std::uint64_t(s.symbols) + (s.symbols & 1);
    if (!c.has(header_bytes)) return "is truncated";
    s.first_symbol_at = c.at + 10;
    s.pairs_at = c.at + 12 + 2 * std::uint64_t(lengths);
    if (const char* why = measure_runs(s, c.bytes + s.pairs_at)) return why;

    // Canonical codes: the lowest code of each length follows from the first
    // symbol numbers of that length and the next, counted up from the longest.
    s.lowest_code.assign(std::size_t(lengths), 0);
    for (int i = lengths - 2; i >= 0; --i) {
        const std::uint64_t first = read_le16(c.bytes + s.first_symbol_at + 2 * i);
        const std::uint64_t next = read_le16(c.bytes + s.first_symbol_at + 2 * (i + 1));
        s.lowest_code[std::size_t(i)] = (s.lowest_code[std::size_t(i) + 1] + first - next) / 2;
    }
    for (int i = 0; i < lengths; ++i) s.lowest_code[std::size_t(i)] <<= 64 - (s.min_len + i);

    s.index_bytes = 6 * ((s.positions + (std::uint64_t(1) << s.index_bits) - 1) >> s.index_bits);
    s.sizes_bytes = 2 * std::uint64_t(s.blocks);
    s.data_bytes = std::uint64_t(s.data_blocks) << s.block_bits;
    c.at += header_bytes;
    return nullptr;
}

int lone_count(const Table& t, int code) {
    const int side = code_side(code), type = code_type(code);
    if (type == KING) return 1;
    return int((t.key >> key_shift(side, type)) & 7);
}

// The men of one side to move (low nibbles for the first, high for the
// second) and the index weights of their groups.
const char* read_layout(const Table& t, const std::uint8_t* h, int side, int file, Layout& l) {
    const int shift = side ? 4 : 0;
    const bool two_pawn_groups = t.has_pawns && t.other_pawns > 0;
    const int order = (h[0] >> shift) & 15;
    const int order2 = two_pawn_groups ? (h[1] >> shift) & 15 : -1;
    const std::uint8_t* codes = h + 1 + two_pawn_groups;
    int seen[16] = {};
    for (int i = 0; i < t.men; ++i) {
        const int code = (codes[i] >> shift) & 15;
        if (code_type(code) < PAWN || code_type(code) > KING) return "names an unknown man";
        l.code[i] = code;
        ++seen[code];
    }
    for (int code = 0; code < 16; ++code)
        if (code_type(code) >= PAWN && code_type(code) <= KING && seen[code] != lone_count(t, code))
            return "does not hold the men of its name";

    std::fill(l.group, l.group + TB_MAX_MEN, 0);
    int first_free;
    if (t.has_pawns) {
        l.group[0] = t.lead_pawns;
        if (two_pawn_groups) l.group[t.lead_pawns] = t.other_pawns;
        first_free = t.lead_pawns + t.other_pawns;
        for (int i = 0; i < first_free; ++i)
            if (code_type(l.code[i]) != PAWN || l.code[i] != l.code[i < t.lead_pawns ? 0 : t.lead_pawns])
                return "does not lead with its pawns";
        if (seen[l.code[0]] != t.lead_pawns) return "does not lead with its pawns";
    } else {
        l.group[0] = t.pivot;
        first_free = t.pivot;
        for (int i = 0; i < t.pivot; ++i)
            if (seen[l.code[i]] != 1 || (t.pivot == 2 && code_type(l.code[i]) != KING))
                return "does not lead with lone men";
    }
    for (int i = first_free; i < t.men; i += l.group[i]) {
        for (int j = i; j < t.men && l.code[j] == l.code[i]; ++j) ++l.group[i];
        if (l.group[i] != seen[l.code[i]]) return "splits identical men";
    }

    // Mixed radix: `order` says where the leading group's digit falls among
    // the others (and `order2` the second pawn colour's).
    bool lead_placed = false, second_placed = !two_pawn_groups;
    int i = first_free, free_squares = 64 - first_free;
    std::uint64_t f = 1;
    for (int k = 0; i < t.men || k == order || k == order2; ++k) {
        if (k == order) {
            l.factor[0] = f;
            f *= t.has_pawns ? lead_pawn_positions(t.lead_pawns, file)
                             : t.pivot == 3 ? PIVOT_POSITIONS_3 : PIVOT_POSITIONS_KK;
            lead_placed = true;
        } else if (k == order2) {
            l.factor[t.lead_pawns] = f;
            f *= binomial(48 - t.lead_pawns, t.other_pawns);
            second_placed = true;
        } else {
            l.factor[i] = f;
            f *= binomial(free_squares, l.group[i]);
            free_squares -= l.group[i];
            i += l.group[i];
        }
    }
    if (!lead_placed || !second_placed) return "has an impossible index order";
    l.stream.positions = f;
    return nullptr;
}

}  // namespace

const char* read_header(Table& t, TableFile& file, bool dtz) {
    Cursor c{file.bytes, file.size, 0};
    if (read_le32(c.bytes) != (dtz ? DTZ_MAGIC : WDL_MAGIC)) return "is not a Syzygy table (bad magic number)";
    const int flags = c.bytes[4];
    if (bool(flags & HEADER_PAWNS) != t.has_pawns) return "does not match its name";
    file.split = !dtz && (flags & HEADER_SPLIT);
    // Unequal sides need a stream for each side to move.
    if (!dtz && !file.split && !t.symmetric) return "does not match its name";
    const int files = t.has_pawns ? 4 : 1;
    const int sides = file.split ? 2 : 1;
    c.at = 5;

    const std::uint64_t men_bytes = 1 + std::uint64_t(t.has_pawns && t.other_pawns > 0) + t.men;
    for (int f = 0; f < files; ++f) {
        if (!c.has(men_bytes)) return "is truncated";
        for (int side = 0; side < sides; ++side) {
            if (const char* why = read_layout(t, c.here(), side, f, file.part[f][side])) return why;
            // Every index leads with the same pawns: the probe finds them before it knows the file.
            if (t.has_pawns && file.part[f][side].code[0] != file.part[0][0].code[0]) return "does not lead with its pawns";
        }
        c.at += men_bytes;
    }
    c.at += c.at & 1;

    for (int f = 0; f < files; ++f)
        for (int side = 0; side < sides; ++side)
            if (const char* why = read_stream(c, file.part[f][side].stream, !dtz)) return why;

    if (dtz) {
        for (int f = 0; f < files; ++f) {
            Stream& s = file.part[f][0].stream;
            if (!(s.flags & DTZ_HAS_MAP)) continue;
            file.wide_map = s.flags & DTZ_WIDE_MAP;
            if (file.wide_map) c.at += c.at & 1;  // 16-bit maps start on an even offset
            for (int result = 0; result < 4; ++result) {
                s.dtz_map[result] = c.at;
                if (!c.has(file.wide_map ? 2 : 1)) return "is truncated";
                c.at += file.wide_map ? 2 + 2 * std::uint64_t(read_le16(c.here())) : 1 + std::uint64_t(*c.here());
            }
        }
        c.at += c.at & 1;
    }

    for (int f = 0; f < files; ++f)
        for (int side = 0; side < sides; ++side) {
            Stream& s = file.part[f][side].stream;
            s.index_at = c.at;
            if (!c.has(s.index_bytes)) return "is truncated";
            c.at += s.index_bytes;
        }
    for (int f = 0; f < files; ++f)
        for (int side = 0; side < sides; ++side) {
            Stream& s = file.part[f][side].stream;
            s.sizes_at = c.at;
            if (!c.has(s.sizes_bytes)) return "is truncated";
            c.at += s.sizes_bytes;
        }
    for (int f = 0; f < files; ++f)
        for (int side = 0; side < sides; ++side) {
            Stream& s = file.part[f][side].stream;
            c.at = (c.at + 63) & ~std::uint64_t(63);  // blocks start on 64-byte lines
            s.data_at = c.at;
            if (!c.has(s.data_bytes)) return "is truncated";
            c.at += s.data_bytes;
        }
    return nullptr;
}

int stream_value(const TableFile& file, const Stream& s, std::uint64_t index) {
    if (s.constant >= 0) return s.constant;
    if (index >= s.positions) return -1;
    const std::uint8_t* bytes = file.bytes;

    // The index entry: a block, and the value's distance from that block's start
    // measured from the middle of the entry's span.
    const std::uint8_t* entry = bytes + s.index_at + 6 * (index >> s.index_bits);
    std::uint32_t block = read_le32(entry);
    std::int64_t offset = std::int64_t(index & ((std::uint64_t(1) << s.index_bits) - 1)) -
                          (std::int64_t(1) << (s.index_bits - 1)) + std::int64_t(read_le16(entry + 4));
    if (block >= s.blocks) return -1;
    const std::uint8_t* sizes = bytes + s.sizes_at;
    int walked = 0;
    while (offset < 0) {
        if (block == 0 || ++walked > MAX_BLOCK_WALK) return -1;
        --block;
        offset += std::int64_t(read_le16(sizes + 2 * std::uint64_t(block))) + 1;
    }
    while (offset > std::int64_t(read_le16(sizes + 2 * std::uint64_t(block)))) {
        offset -= std::int64_t(read_le16(sizes + 2 * std::uint64_t(block))) + 1;
        if (++block >= s.blocks || ++walked > MAX_BLOCK_WALK) return -1;
    }
    if (block >= s.data_blocks) return -1;

    // Decode codes until the one whose symbol covers the value. Bits past the
    // block read as zeros and a code reaching them is damage.
    const std::uint64_t block_bytes = std::uint64_t(1) << s.block_bits;
    const std::uint8_t* data = bytes + s.data_at + (std::uint64_t(block) << s.block_bits);
    auto word_at = [&](std::uint64_t at) {
        std::uint32_t w = 0;
        for (std::uint64_t k = at; k < at + 4; ++k) w = w << 8 | (k < block_bytes ? data[k] : 0);
        return w;
    };
    std::uint64_t code = std::uint64_t(word_at(0)) << 32 | word_at(4);
    std::uint64_t next_word = 8, used_bits = 0;
    int spare_bits = 0;  // bits shifted out of `code` since its last refill
    const std::uint8_t* first_symbol = bytes + s.first_symbol_at;
    std::uint32_t sym;
    for (;;) {
        int len = s.min_len;
        while (code < s.lowest_code[std::size_t(len - s.min_len)]) ++len;  // the longest length's bound is 0
        sym = read_le16(first_symbol + 2 * (len - s.min_len)) +
              std::uint32_t((code - s.lowest_code[std::size_t(len - s.min_len)]) >> (64 - len));
        used_bits += std::uint64_t(len);
        if (sym >= s.symbols || used_bits > 8 * block_bytes) return -1;
        if (offset <= std::int64_t(s.run[sym])) break;
        offset -= std::int64_t(s.run[sym]) + 1;
        code <<= len;
        spare_bits += len;
        if (spare_bits >= 32) {
            spare_bits -= 32;
            code |= std::uint64_t(word_at(next_word)) << spare_bits;
            next_word += 4;
        }
    }

    // Walk down the pairs to the one value.
    const std::uint8_t* pairs = bytes + s.pairs_at;
    for (;;) {
        std::uint32_t first, second;
        symbol_halves(pairs, sym, first, second);
        if (second == NO_SYMBOL) return int(first);
        if (offset <= std::int64_t(s.run[first])) {
            sym = first;
        } else {
            offset -= std::int64_t(s.run[first]) + 1;
            sym = second;
        }
    }
}

int dtz_map_value(const TableFile& file, const Stream& s, int wdl, int stored) {
    if (!(s.flags & DTZ_HAS_MAP)) return stored;
    // The maps are stored for win, loss, cursed win, blessed loss, in that order.
    static constexpr int MAP_OF_RESULT[5] = {1, 3, 0, 2, 0};
    const std::uint8_t* map = file.bytes + s.dtz_map[MAP_OF_RESULT[wdl + 2]];
    if (file.wide_map) {
        if (std::uint32_t(stored) >= read_le16(map)) return -1;
        return int(read_le16(map + 2 + 2 * stored));
    }
    if (stored >= map[0]) return -1;
    return map[1 + stored];
}

}  // namespace syzygy
