// The reader's own records, shared by its three jobs: files.cpp finds and maps
// the table files, decode.cpp reads their headers and values, probe.cpp turns
// positions into indices and resolves captures.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "syzygy/syzygy.h"

namespace syzygy {

// A material signature: men of each colour and type but kings, three bits a
// count, white's in the low fifteen bits.
using MaterialKey = std::uint32_t;
constexpr int key_shift(int colour, int type) { return 3 * (5 * colour + type - 1); }

// Piece codes inside a table: the type (PAWN..KING) plus 8 for the table's
// second side. The table's first side is the one named first in its file name.
constexpr int code_type(int code) { return code & 7; }
constexpr int code_side(int code) { return code >> 3; }

// One compressed sequence of values: one side to move of one table (and one
// leading-pawn file in tables with pawns). Offsets are into the mapped file,
// each checked against its size when the header was read.
struct Stream {
    std::uint64_t positions = 0;  // indices it covers
    int constant = -1;            // the value of a stream that holds only one, else -1
    std::uint8_t flags = 0;       // its header's first byte (DTZ meanings in decode.cpp)
    int index_bits = 0, block_bits = 0, min_len = 0, max_len = 0;
    std::uint32_t symbols = 0, blocks = 0, data_blocks = 0;
    std::uint64_t first_symbol_at = 0;  // 16-bit first symbol of each code length
    std::uint64_t pairs_at = 0;         // three bytes a symbol: its two halves
    std::uint64_t index_at = 0, sizes_at = 0, data_at = 0;
    std::uint64_t index_bytes = 0, sizes_bytes = 0, data_bytes = 0;
    std::vector<std::uint64_t> lowest_code;  // by code length - min_len, left-justified
    std::vector<std::uint32_t> run;          // values a symbol stands for, minus one
    std::uint64_t dtz_map[4] = {0, 0, 0, 0};  // DTZ: each result's value map (count first)
};

// How the men of one side to move (and leading-pawn file) become an index:
// the order of the men, how they group (identical men are placed together) and
// the weight of each group in the mixed-radix index.
struct Layout {
    int code[TB_MAX_MEN] = {};
    int group[TB_MAX_MEN] = {};  // men in the group starting here, 0 inside a group
    std::uint64_t factor[TB_MAX_MEN] = {};
    Stream stream;
};

enum : int { FILE_UNMAPPED = 0, FILE_READY = 1, FILE_ABSENT = 2 };

// One .rtbw or .rtbz file. `state` is written once, under the set-up lock,
// from UNMAPPED to READY or ABSENT (and from READY to ABSENT when a probe
// finds damage the header could not show); the map stays until tb_free.
struct TableFile {
    std::filesystem::path path;  // in the system's own encoding (wide on Windows); empty when not found
    std::atomic<int> state{FILE_UNMAPPED};
    std::atomic<bool> reported{false};
    const std::uint8_t* bytes = nullptr;
    std::uint64_t size = 0;
    void* map_handle = nullptr;  // Windows: the mapping object
    bool split = false;          // WDL: values stored for both sides to move
    bool wide_map = false;       // DTZ: 16-bit value maps
    Layout part[4][2];           // [leading-pawn file][side to move]; one file without pawns
};

// One material combination, named as its files are: "KRPvKP".
struct Table {
    std::string name;
    MaterialKey key = 0;  // with the first-named side as white
    int men = 0;
    bool symmetric = false;  // both sides hold the same men
    bool has_pawns = false;
    int lead_pawns = 0, other_pawns = 0;  // pawn tables: the leading colour's and the other's
    int pivot = 0;  // tables without pawns: 3 when three lone men lead the index, 2 for the two kings
    TableFile wdl, dtz;
};

// files.cpp
// The table of the material, and whether the position's white is the table's
// second side; nullptr when none was found.
Table* find_table(MaterialKey key, bool& flipped);
// Maps and decodes the file on first use; false when it is absent or damaged.
bool file_ready(Table& table, TableFile& file, bool dtz);
// Reports a file once and marks it absent.
void file_damaged(Table& table, TableFile& file, const char* why);

// decode.cpp
// Reads the header of a mapped file into its layouts; the reason on failure.
const char* read_header(Table& table, TableFile& file, bool dtz);
// The stored value at `index`, or -1 when the data proves damaged.
int stream_value(const TableFile& file, const Stream& stream, std::uint64_t index);
// DTZ: the mapped value of a stored one for WDL result `wdl`, -1 if damaged.
int dtz_map_value(const TableFile& file, const Stream& stream, int wdl, int stored);

// probe.cpp: the factor of each group size on each number of free squares,
// and of the leading men, shared with the header reader.
std::uint64_t binomial(int n, int k);
std::uint64_t lead_pawn_positions(int lead_pawns, int file);
constexpr std::uint64_t PIVOT_POSITIONS_3 = 31332;  // three lone men, board symmetry folded
constexpr std::uint64_t PIVOT_POSITIONS_KK = 462;   // two kings apart, board symmetry folded

}  // namespace syzygy
