// The whole command loop reading a script as its standard input, and the
// book reading a file of any bytes.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "book/book.h"
#include "fuzz/harness.h"
#include "fuzz/targets.h"
#include "uci/options.h"
#include "uci/uci.h"

namespace fuzz {
namespace {

// Descriptor 0 reads the script for as long as this lives; the engine reads
// it exactly as it reads a GUI's pipe, polls included.
class ScriptAsInput {
public:
    explicit ScriptAsInput(const std::string& script) : saved_(dup(0)) {
        const std::string path = scratch_dir() + "/commands";
        write_file(path, script);
        const int fd = open(path.c_str(), O_RDONLY);
        require(fd >= 0 && dup2(fd, 0) == 0, "the script could not become standard input", path);
        close(fd);
        input_reset();
        set_input_polling(true);
    }
    ~ScriptAsInput() {
        set_input_polling(false);
        if (saved_ >= 0) {
            dup2(saved_, 0);
            close(saved_);
        }
        input_reset();
    }

private:
    int saved_;
};

std::string big_endian(std::uint64_t value) {
    std::string bytes(8, '\0');
    for (int i = 7; i >= 0; --i, value >>= 8) bytes[i] = char(value & 0xFF);
    return bytes;
}

}  // namespace

int commands(const std::uint8_t* data, std::size_t size) {
    Position& pos = engine();
    const std::string input(reinterpret_cast<const char*>(data), size);
    {
        ScriptAsInput script(input);
        try {
            command_loop(pos);
        } catch (const EngineQuit&) {
            // The loop's only way out: a quit line, or the end of the script.
        }
    }
    check_consistent(pos, input);
    reset_engine();
    return 0;
}

// Byte 0 picks the position; byte 1 sets Display Book Moves (bit 0) and asks
// for the records sorted by key (bit 1); the rest is the file. Records whose
// first byte is even carry the position's key instead, so that most inputs
// reach the choice among the key's moves.
int book(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    Position& pos = engine();
    const std::string input(reinterpret_cast<const char*>(data), size);
    read_fen(pos, seed_fen(data[0]));

    std::string bytes = input.substr(2);
    const std::size_t records = bytes.size() / BOOK_RECORD_SIZE;
    for (std::size_t r = 0; r < records; ++r)
        if ((bytes[r * BOOK_RECORD_SIZE] & 1) == 0) bytes.replace(r * BOOK_RECORD_SIZE, 8, big_endian(pos.st.hash));
    std::vector<std::uint64_t> keys;
    for (std::size_t r = 0; r < records; ++r) {
        std::uint64_t key = 0;
        for (int i = 0; i < 8; ++i) key = key << 8 | std::uint8_t(bytes[r * BOOK_RECORD_SIZE + i]);
        keys.push_back(key);
    }
    const bool sorted = data[1] & 2;
    if (sorted) {
        std::vector<std::size_t> order(records);
        for (std::size_t r = 0; r < records; ++r) order[r] = r;
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
        std::string sorted_bytes;
        for (std::size_t r : order) sorted_bytes += bytes.substr(r * BOOK_RECORD_SIZE, BOOK_RECORD_SIZE);
        bytes = sorted_bytes + bytes.substr(records * BOOK_RECORD_SIZE);
        std::sort(keys.begin(), keys.end());
    }
    const std::string path = scratch_dir() + "/book.bin";
    write_file(path, bytes);

    pos.params->display_book_moves = data[1] & 1;
    book_open(pos, path.c_str());
    require(pos.book_file != nullptr, "the book file did not open", input);

    MoveList list;
    const Move move = book_probe(pos, list);
    require(move == NO_MOVE || is_legal_move(pos, move), "the book handed out an illegal move", input);
    check_consistent(pos, input);

    BookEntry entry;
    const std::int64_t index = book_find_first(pos.book_file, pos.st.hash, entry);
    require(index >= -1 && index < std::int64_t(records), "the book search left the file", input);
    require((index < 0) == (records == 0), "the book search failed on a file with records", input);
    if (sorted && records > 0) {
        // In a sorted file the search finds the lower bound exactly.
        auto bound = std::lower_bound(keys.begin(), keys.end(), pos.st.hash);
        const std::int64_t expected = bound == keys.end() ? std::int64_t(records) - 1 : bound - keys.begin();
        require(index == expected, "the book search missed the first record of the key", input);
        require(entry.key == keys[std::size_t(index)], "the book search returned another record", input);
    }
    book_close(pos);
    option_set("Book File", "");
    return 0;
}

}  // namespace fuzz
