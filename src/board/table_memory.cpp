#include "board/table_memory.h"

#include <cstdint>
#include <cstdlib>

namespace {
std::uint64_t size_ceiling = UINT64_MAX;
}

void* table_alloc(std::uint64_t bytes) {
    if (bytes > std::uint64_t(SIZE_MAX) || bytes > size_ceiling) return nullptr;
    return std::malloc(std::size_t(bytes));
}

void* table_alloc_zeroed(std::uint64_t bytes) {
    if (bytes > std::uint64_t(SIZE_MAX) || bytes > size_ceiling) return nullptr;
    return std::calloc(1, std::size_t(bytes));
}

void set_table_size_ceiling(std::uint64_t bytes) { size_ceiling = bytes; }
