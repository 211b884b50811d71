// The opening book: opening the file, the lower-bound search over its sorted
// records, the weighted choice, and the conversion of a stored move into a
// legal move of the position.
#include "book/book.h"

#include <cstring>

#include "movegen/movegen.h"
#include "io/output.h"

namespace {

// Offsets stay below the size ftell reported at open, so they fit its type.
bool seek_record(std::FILE* file, std::int64_t index) {
    return std::fseek(file, static_cast<decltype(std::ftell(file))>(index * BOOK_RECORD_SIZE), SEEK_SET) == 0;
}

// Whole records in the file; -1 when its size cannot be had.
std::int64_t whole_records(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    std::int64_t size = std::ftell(file);
    return size < 0 ? -1 : size / BOOK_RECORD_SIZE;
}

std::uint64_t read_big_endian(const unsigned char* bytes, int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
    return value;
}

// The records of the key, in file order, starting with first (already read,
// at index first_index). A read that fails ends the collection early.
int collect_entries(std::FILE* file, std::int64_t first_index, const BookEntry& first, BookEntry* entries) {
    int count = 0;
    entries[count++] = first;
    if (!seek_record(file, first_index + 1)) return count;
    BookEntry next;
    while (count < BOOK_MAX_ENTRIES && book_read_entry(file, next) == 0 && next.key == first.key)
        entries[count++] = next;
    return count;
}

void display_book_moves(const BookEntry* entries, int count) {
    int total = 0;
    for (int i = 0; i < count; ++i) total += entries[i].weight;
    print_out(OUT_SCREEN | OUT_LOG, "info string book moves: ");
    for (int i = 0; i < count; ++i) {
        char text[8];
        book_move_text(entries[i].move, text);
        // A key whose weights are all 0 has no shares: show each as 0.
        double share = total > 0 ? entries[i].weight * 100.0 / total : 0.0;
        print_out(OUT_SCREEN | OUT_LOG, "%s(%5.2f%%) ", text, share);
    }
    print_out(OUT_SCREEN | OUT_LOG, "\n");
}

}  // namespace

void book_open(Position& pos, const char* name) {
    book_close(pos);
    std::FILE* file = std::fopen(name, "rb");
    if (!file) return;  // no book: OwnBook then has no effect

    if (std::fseek(file, 0, SEEK_END) != 0) {
        std::fclose(file);
        return;
    }
    std::int64_t size = std::ftell(file);
    if (size < 0) {
        std::fclose(file);
        return;
    }
    // A truncated copy still holds sorted whole records; the lookup never
    // reaches past the last of them, so the tail is harmless but worth a word.
    if (int dangling = int(size % BOOK_RECORD_SIZE); dangling != 0)
        print_out(OUT_SCREEN | OUT_LOG,
                  "info string Book file %s ends with %d bytes of a partial record; they are ignored\n", name,
                  dangling);
    pos.book_file = file;
    pos.book_size = size / BOOK_RECORD_SIZE;
}

void book_close(Position& pos) {
    if (pos.book_file) std::fclose(pos.book_file);
    pos.book_file = nullptr;
    pos.book_size = 0;
}

int book_read_entry(std::FILE* file, BookEntry& entry) {
    unsigned char bytes[BOOK_RECORD_SIZE];
    if (std::fread(bytes, 1, BOOK_RECORD_SIZE, file) != BOOK_RECORD_SIZE) return 1;
    entry.key = read_big_endian(bytes, 8);
    entry.move = std::uint16_t(read_big_endian(bytes + 8, 2));
    entry.weight = std::uint16_t(read_big_endian(bytes + 10, 2));
    entry.learn = std::uint32_t(read_big_endian(bytes + 12, 4));
    return 0;
}

// A lower-bound binary search with the invariant: record lo (or nothing, at
// -1) is below key, record hi is not or is the last one.
std::int64_t book_find_first(std::FILE* file, std::uint64_t key, BookEntry& entry) {
    BookEntry none{key + 1, 0, 0, 0};
    std::int64_t last = whole_records(file) - 1;
    if (last < 0 || !seek_record(file, last) || book_read_entry(file, entry) != 0) {
        entry = none;
        return -1;
    }
    std::int64_t lo = -1, hi = last;
    while (hi - lo > 1) {
        std::int64_t mid = (lo + hi) / 2;
        BookEntry probe;
        if (!seek_record(file, mid) || book_read_entry(file, probe) != 0) {
            entry = none;
            return -1;
        }
        if (key <= probe.key) {
            hi = mid;
            entry = probe;
        } else {
            lo = mid;
        }
    }
    return hi;
}

void book_move_text(std::uint16_t move, char* text) {
    int to_file = move & 7, to_rank = (move >> 3) & 7;
    int from_file = (move >> 6) & 7, from_rank = (move >> 9) & 7;
    int promotion = (move >> 12) & 7;
    text[0] = char('a' + from_file);
    text[1] = char('1' + from_rank);
    text[2] = char('a' + to_file);
    text[3] = char('1' + to_rank);
    // Codes above 4 exist only in damaged books; they name no piece.
    text[4] = promotion >= 1 && promotion <= 4 ? " nbrq"[promotion] : '\0';
    text[5] = '\0';

    static constexpr const char* KING_TAKES_ROOK[4][2] = {
        {"e1h1", "e1g1"}, {"e1a1", "e1c1"}, {"e8h8", "e8g8"}, {"e8a8", "e8c8"}};
    for (const auto& castle : KING_TAKES_ROOK)
        if (std::strcmp(text, castle[0]) == 0) std::memcpy(text, castle[1], 5);
}

int book_choose(const BookEntry* entries, int count, std::int64_t now) {
    std::uint64_t total = 0;
    for (int i = 0; i < count; ++i) total += entries[i].weight;
    std::uint64_t n = std::uint64_t(count);
    std::uint64_t r = (std::uint64_t(now) % n) * total / n;
    std::uint64_t sum = 0;
    for (int i = 0; i < count; ++i) {
        sum += entries[i].weight;
        if (sum > r) return i;
    }
    return 0;  // every weight is 0
}

Move book_probe(Position& pos, MoveList& list) {
    if (!pos.book_file || pos.book_size == 0) return NO_MOVE;

    BookEntry first;
    std::int64_t index = book_find_first(pos.book_file, pos.st.hash, first);
    if (index < 0 || first.key != pos.st.hash) return NO_MOVE;

    BookEntry entries[BOOK_MAX_ENTRIES];
    int count = collect_entries(pos.book_file, index, first, entries);
    int chosen = book_choose(entries, count, now_ms());

    if (pos.params->display_book_moves) display_book_moves(entries, count);

    // Only a move of the legal list is returned, whatever the file holds.
    char text[8];
    book_move_text(entries[chosen].move, text);
    gen_legal_moves(pos, list);
    return text_to_move(list, text);
}
