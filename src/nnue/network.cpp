// The network's weights: the one built into the program, files read in its
// place, and the checks a file must pass before it replaces the one in use.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "nnue/nnue_internal.h"

Network network;
std::uint32_t network_generation = 1;

namespace {

std::string source = "<embedded>";  // what is in use, or will be once read
bool in_place = false;

std::uint32_t read_u32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
std::int16_t read_i16(const unsigned char* p) { return std::int16_t(std::uint16_t(p[0] | p[1] << 8)); }

// FNV-1a: any changed byte changes it, and it needs no table.
std::uint32_t checksum(const unsigned char* data, std::size_t size) {
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
    return h;
}

}  // namespace

const char* nnue_load_bytes(const unsigned char* data, std::size_t size, const char* name) {
    if (size < 20 || std::memcmp(data, "CVNN", 4) != 0) return "not a Corvane network file";
    if (read_u32(data + 4) != NNUE_FILE_VERSION) return "a network file of another version";
    if (read_u32(data + 8) != NNUE_INPUTS || read_u32(data + 12) != NNUE_HIDDEN ||
        read_u32(data + 16) != NNUE_BUCKETS)
        return "a network of another shape";
    if (size != NNUE_FILE_BYTES) return size < NNUE_FILE_BYTES ? "cut short" : "longer than a network";
    if (checksum(data, size - 4) != read_u32(data + size - 4)) return "damaged (its checksum does not match)";

    // Read into a fresh copy: the network in use stays until this one is whole.
    auto next = std::make_unique<Network>();
    const unsigned char* p = data + 20;
    for (int i = 0; i < NNUE_INPUTS * NNUE_HIDDEN; ++i, p += 2) next->ft_weights[i] = read_i16(p);
    for (int i = 0; i < NNUE_HIDDEN; ++i, p += 2) next->ft_bias[i] = read_i16(p);
    for (int b = 0; b < NNUE_BUCKETS; ++b)
        for (int i = 0; i < 2 * NNUE_HIDDEN; ++i, p += 2) {
            next->out_weights[b][i] = read_i16(p);
            // Larger weights could overflow the output's 16-bit products.
            if (next->out_weights[b][i] > NNUE_MAX_OUTPUT_WEIGHT ||
                next->out_weights[b][i] < -NNUE_MAX_OUTPUT_WEIGHT)
                return "an output weight out of range";
        }
    for (int b = 0; b < NNUE_BUCKETS; ++b, p += 4) next->out_bias[b] = std::int32_t(read_u32(p));
    network = *next;
    // Accumulators made with the old weights must not be reused.
    ++network_generation;
    source = name;
    in_place = true;
    return nullptr;
}

const char* nnue_load_file(const char* path) {
    if (std::strcmp(path, "<embedded>") == 0) return nnue_load_bytes(nnue_embedded, nnue_embedded_size, path);
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return "cannot be opened";
    std::vector<unsigned char> bytes;
    // One byte more than a network holds tells a longer file from a whole one
    // without reading all of a large wrong file.
    bytes.resize(NNUE_FILE_BYTES + 1);
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return "cannot be read";
    return nnue_load_bytes(bytes.data(), got, path);
}

const char* nnue_source() { return source.c_str(); }

void nnue_init() { nnue_choose_kernel(); }

void nnue_ensure_network() {
    // A build whose embedded network did not load would evaluate with zero
    // weights; the tests load it, so that never ships.
    if (!in_place) nnue_load_file("<embedded>");
}
