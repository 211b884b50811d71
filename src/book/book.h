// The opening book: Polyglot files of 16-byte big-endian records sorted by
// position key, read with seeks for every probe and never loaded.
#pragma once

#include <cstdint>
#include <cstdio>

#include "board/position.h"
#include "movegen/move.h"

struct BookEntry {
    std::uint64_t key;
    std::uint16_t move;  // bits 0-2 to-file, 3-5 to-rank, 6-8 from-file, 9-11 from-rank, 12-14 promotion
    std::uint16_t weight;
    std::uint32_t learn;  // read, never used
};

constexpr int BOOK_RECORD_SIZE = 16;
constexpr int BOOK_MAX_ENTRIES = 255;  // records of one key considered per probe

// Opens the named file, closing any book already open. A file that cannot be
// opened means no book, silently. Only whole records count: a
// file whose size is not a multiple of 16 bytes is used up to its last whole
// record, and the dangling bytes are reported.
void book_open(Position& pos, const char* name);
void book_close(Position& pos);

// The book's move for the position, or 0 when the book has none (no book, the
// key is absent, or the stored move is not legal here). A non-zero result is
// always a legal move of the position: it is found by matching the stored
// move's text against gen_legal_moves, which is generated into list (the
// caller's buffer, overwritten). The choice among the key's records is
// weighted and drawn from the clock (book_choose). With the display of book
// moves on (params), the candidates and their shares are printed. Moves the file position.
Move book_probe(Position& pos, MoveList& list);

// Index of the first record whose key is not below key (or of the last record
// when every key is below it), with that record in entry. A file without a
// whole record, or a read that fails, gives -1 and an entry whose key is
// key + 1, so that the caller finds no match.
std::int64_t book_find_first(std::FILE* file, std::uint64_t key, BookEntry& entry);
// Reads the record at the file position: 0 on success, 1 when the file ended first.
int book_read_entry(std::FILE* file, BookEntry& entry);
// Coordinate text of a packed move (at least 6 characters of room); castling
// stored as the king taking its own rook becomes the king's two-square move.
void book_move_text(std::uint16_t move, char* text);

// The weighted choice among count > 0 records of one key, in file order: with
// total the sum of weights, r = ((now mod count) * total) / count, and the
// first record whose running weight sum exceeds r is chosen (the first record
// when all weights are 0). Returns the chosen index.
int book_choose(const BookEntry* entries, int count, std::int64_t now);
