#include "board/table_memory.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

std::uint64_t size_ceiling = UINT64_MAX;

#if defined(__linux__) && defined(MADV_HUGEPAGE)
// A probe lands anywhere in a table, so with 4 KB pages nearly every probe
// misses the processor's address cache, and the first search faults once per
// 4 KB it touches. Blocks of 2 MB and more are mapped 2 MB-aligned and asked
// for 2 MB pages: where the system grants them, a table of 16 MB is eight
// pages. Fresh mappings read as zeros.
constexpr std::uint64_t LARGE_PAGE = std::uint64_t(2) << 20;

std::uint64_t mapped_size(std::uint64_t bytes) { return (bytes + LARGE_PAGE - 1) & ~(LARGE_PAGE - 1); }

// The blocks mapped so far and their sizes, for table_free: tables are made
// and freed only as options change (helpers' tables included), never in a search.
std::mutex mapped_mutex;
std::vector<std::pair<void*, std::size_t>> mapped;

void* map_aligned(std::uint64_t bytes) {
    const std::uint64_t size = mapped_size(bytes), span = size + LARGE_PAGE;
    if (span > std::uint64_t(SIZE_MAX)) return nullptr;
    void* raw = mmap(nullptr, std::size_t(span), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    const std::uintptr_t start = std::uintptr_t(raw), aligned = (start + LARGE_PAGE - 1) & ~std::uintptr_t(LARGE_PAGE - 1);
    // Give back the slack on both sides of the aligned block.
    if (aligned > start) munmap(raw, aligned - start);
    if (start + span > aligned + size) munmap(reinterpret_cast<void*>(aligned + size), start + span - (aligned + size));
    void* block = reinterpret_cast<void*>(aligned);
    madvise(block, std::size_t(size), MADV_HUGEPAGE);
    std::lock_guard<std::mutex> lock(mapped_mutex);
    mapped.emplace_back(block, std::size_t(size));
    return block;
}
#endif

}  // namespace

void* table_alloc_zeroed(std::uint64_t bytes) {
    if (bytes > std::uint64_t(SIZE_MAX) || bytes > size_ceiling) return nullptr;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes >= LARGE_PAGE) return map_aligned(bytes);
#endif
    return std::calloc(1, std::size_t(bytes));
}

void table_free(void* block) {
    if (!block) return;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    {
        std::lock_guard<std::mutex> lock(mapped_mutex);
        for (auto it = mapped.begin(); it != mapped.end(); ++it)
            if (it->first == block) {
                munmap(block, it->second);
                mapped.erase(it);
                return;
            }
    }
#endif
    std::free(block);
}

void set_table_size_ceiling(std::uint64_t bytes) { size_ceiling = bytes; }
