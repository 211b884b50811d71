// Finding the table files in the configured directories, the registry of
// material combinations, and mapping a file into memory on its first probe.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

#include "syzygy/table.h"
#include "io/output.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace syzygy {
namespace {

#ifdef _WIN32
constexpr char PATH_SEPARATOR = ';';
#else
constexpr char PATH_SEPARATOR = ':';
#endif

constexpr const char* PIECE_LETTERS = " PNBRQK";

std::vector<std::unique_ptr<Table>> tables;
// Both colourings of every table, sorted by key; the flag says the position's
// white is the table's second side.
struct KeyEntry {
    MaterialKey key;
    bool flipped;
    Table* table;
};
std::vector<KeyEntry> by_key;
int max_men = 0;
// Serialises first mappings; probes of ready files never take it.
std::mutex setup_lock;

// Counts of each non-king type per side from a file stem like "KRPvKP";
// false for anything that is not a table name of 3 to 7 men.
bool parse_name(const std::string& stem, int counts[2][8], int& men) {
    const std::size_t v = stem.find('v');
    if (v == std::string::npos) return false;
    const std::string side_text[2] = {stem.substr(0, v), stem.substr(v + 1)};
    men = 0;
    for (int s = 0; s < 2; ++s) {
        std::fill(counts[s], counts[s] + 8, 0);
        const std::string& t = side_text[s];
        if (t.empty() || t[0] != 'K') return false;
        for (std::size_t i = 1; i < t.size(); ++i) {
            const char* p = std::strchr(PIECE_LETTERS + 1, t[i]);
            if (!p || *p == 'K' || *p == '\0') return false;
            ++counts[s][p - PIECE_LETTERS];
        }
        men += int(t.size());
    }
    return men >= 3 && men <= TB_MAX_MEN;
}

MaterialKey key_of_counts(const int counts[2][8], bool swap_sides) {
    MaterialKey key = 0;
    for (int s = 0; s < 2; ++s)
        for (int type = PAWN; type <= QUEEN; ++type) key |= MaterialKey(counts[s][type]) << key_shift(s ^ swap_sides, type);
    return key;
}

void unmap(TableFile& file) {
    if (!file.bytes) return;
#ifdef _WIN32
    UnmapViewOfFile(file.bytes);
    CloseHandle(static_cast<HANDLE>(file.map_handle));
#else
    munmap(const_cast<std::uint8_t*>(file.bytes), std::size_t(file.size));
#endif
    file.bytes = nullptr;
    file.map_handle = nullptr;
}

// Maps the whole file read-only; the reason on failure.
const char* map_file(TableFile& file) {
#ifdef _WIN32
    HANDLE fd = CreateFileW(file.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (fd == INVALID_HANDLE_VALUE) return "cannot be opened";
    LARGE_INTEGER size;
    if (!GetFileSizeEx(fd, &size)) {
        CloseHandle(fd);
        return "cannot be read";
    }
    file.size = std::uint64_t(size.QuadPart);
    if (file.size < 16 || file.size > std::uint64_t(SIZE_MAX)) {
        CloseHandle(fd);
        return file.size < 16 ? "is too short" : "is too large for this build";
    }
    HANDLE mapping = CreateFileMappingW(fd, nullptr, PAGE_READONLY, 0, 0, nullptr);
    CloseHandle(fd);
    if (!mapping) return "cannot be mapped";
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    if (!view) {
        CloseHandle(mapping);
        return "cannot be mapped";
    }
    file.bytes = static_cast<const std::uint8_t*>(view);
    file.map_handle = mapping;
#else
    const int fd = open(file.path.c_str(), O_RDONLY);
    if (fd < 0) return "cannot be opened";
    struct stat st;
    if (fstat(fd, &st) != 0) {
        close(fd);
        return "cannot be read";
    }
    file.size = std::uint64_t(st.st_size);
    if (file.size < 16 || file.size > std::uint64_t(SIZE_MAX)) {
        close(fd);
        return file.size < 16 ? "is too short" : "is too large for this build";
    }
    void* view = mmap(nullptr, std::size_t(file.size), PROT_READ, MAP_SHARED, fd, 0);
    close(fd);
    if (view == MAP_FAILED) return "cannot be mapped";
    file.bytes = static_cast<const std::uint8_t*>(view);
#endif
    return nullptr;
}

// A name part in plain ASCII, or the empty text when it holds anything else
// (no table is named so). Never converts between encodings, so no name on
// disk can make it fail.
std::string ascii_text(const std::filesystem::path& part) {
    using Unit = std::make_unsigned_t<std::filesystem::path::value_type>;
    std::string text;
    for (const Unit c : part.native()) {
        if (c == 0 || c >= 0x80) return "";
        text += char(c);
    }
    return text;
}

// A directory named in the option's UTF-8 text. Windows names files in
// UTF-16: the text is converted rather than read in the local code page,
// where other letters would name another directory or none; a byte that is
// not UTF-8 becomes a replacement character, so a bad name only finds nothing.
std::filesystem::path directory_path(const std::string& utf8) {
#ifdef _WIN32
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(std::size_t(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), length);
    return std::filesystem::path(wide);
#else
    return std::filesystem::path(utf8);
#endif
}

void add_file(const std::filesystem::path& path) {
    const std::string ext = ascii_text(path.extension());
    const bool dtz = ext == ".rtbz";
    if (!dtz && ext != ".rtbw") return;
    int counts[2][8], men;
    const std::string stem = ascii_text(path.stem());
    if (!parse_name(stem, counts, men)) return;
    const MaterialKey key = key_of_counts(counts, false);
    Table* table = nullptr;
    for (const auto& t : tables)
        if (t->key == key) table = t.get();
    if (!table) {
        tables.push_back(std::make_unique<Table>());
        table = tables.back().get();
        table->name = stem;
        table->key = key;
        table->men = men;
        table->symmetric = key == key_of_counts(counts, true);
        table->has_pawns = counts[0][PAWN] + counts[1][PAWN] > 0;
        // The index leads with the colour of fewer pawns (white on a tie, or
        // when black has none), so that its most advanced pawn fixes the file.
        const bool black_leads = counts[1][PAWN] > 0 && (counts[0][PAWN] == 0 || counts[1][PAWN] < counts[0][PAWN]);
        table->lead_pawns = counts[black_leads][PAWN];
        table->other_pawns = counts[!black_leads][PAWN];
        int lone = 2;  // the kings
        for (int s = 0; s < 2; ++s)
            for (int type = PAWN; type <= QUEEN; ++type) lone += counts[s][type] == 1;
        table->pivot = lone >= 3 ? 3 : 2;
    }
    TableFile& file = dtz ? table->dtz : table->wdl;
    if (file.path.empty()) file.path = path;  // the first directory listed wins
}

}  // namespace

Table* find_table(MaterialKey key, bool& flipped) {
    auto it = std::lower_bound(by_key.begin(), by_key.end(), key,
                               [](const KeyEntry& e, MaterialKey k) { return e.key < k; });
    if (it == by_key.end() || it->key != key) return nullptr;
    flipped = it->flipped;
    return it->table;
}

void file_damaged(Table& table, TableFile& file, const char* why) {
    file.state.store(FILE_ABSENT, std::memory_order_release);
    if (!file.reported.exchange(true))
        print_out(OUT_SCREEN | OUT_LOG, "info string Syzygy table %s%s %s: not used\n", table.name.c_str(),
                  &file == &table.dtz ? ".rtbz" : ".rtbw", why);
}

bool file_ready(Table& table, TableFile& file, bool dtz) {
    const int state = file.state.load(std::memory_order_acquire);
    if (state != FILE_UNMAPPED) return state == FILE_READY;
    if (file.path.empty()) return false;  // never found: absent, silently
    std::lock_guard<std::mutex> guard(setup_lock);
    if (file.state.load(std::memory_order_relaxed) != FILE_UNMAPPED)
        return file.state.load(std::memory_order_relaxed) == FILE_READY;
    const char* why = map_file(file);
    if (!why) why = read_header(table, file, dtz);
    if (why) {
        file_damaged(table, file, why);
        return false;
    }
    file.state.store(FILE_READY, std::memory_order_release);
    return true;
}

}  // namespace syzygy

using namespace syzygy;

int tb_init(const char* paths) {
    tb_free();
    const std::string list = paths ? paths : "";
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(PATH_SEPARATOR, start);
        if (end == std::string::npos) end = list.size();
        const std::string dir = list.substr(start, end - start);
        start = end + 1;
        if (dir.empty()) continue;
        std::error_code error;
        std::vector<std::filesystem::path> found;
        for (std::filesystem::directory_iterator it(directory_path(dir), error), last; !error && it != last;
             it.increment(error))
            found.push_back(it->path());
        // Sorted so that the registry, and so which file wins, never depends on directory order.
        std::sort(found.begin(), found.end());
        for (const auto& path : found) add_file(path);
    }
    for (const auto& t : tables) {
        if (t->wdl.path.empty()) continue;  // a DTZ table alone answers nothing: DTZ needs WDL first
        max_men = std::max(max_men, t->men);
        by_key.push_back({t->key, false, t.get()});
        if (!t->symmetric) {
            // The same table seen with colours exchanged: the second side's men as white.
            MaterialKey swapped = 0;
            for (int type = PAWN; type <= QUEEN; ++type) {
                swapped |= ((t->key >> key_shift(WHITE, type)) & 7) << key_shift(BLACK, type);
                swapped |= ((t->key >> key_shift(BLACK, type)) & 7) << key_shift(WHITE, type);
            }
            by_key.push_back({swapped, true, t.get()});
        }
    }
    std::sort(by_key.begin(), by_key.end(), [](const KeyEntry& a, const KeyEntry& b) { return a.key < b.key; });
    return int(by_key.size() - std::count_if(by_key.begin(), by_key.end(), [](const KeyEntry& e) { return e.flipped; }));
}

void tb_free() {
    for (auto& t : tables) {
        unmap(t->wdl);
        unmap(t->dtz);
    }
    tables.clear();
    by_key.clear();
    max_men = 0;
}

int tb_max_men() { return max_men; }

