// The opening book: Polyglot files of 16-byte big-endian records sorted by
// position key, read with seeks for every probe and never loaded.
#pragma once

#include <cstdint>
#include <cstdio>

#include "board/position.h"
#include "movegen/move.h"

struct BookEntry {
    std::uint64_t key;
    std::uint16_t move;
    std::uint16_t weight;
    std::uint32_t learn;
};

constexpr int BOOK_MAX_ENTRIES = 255;  // records of one key considered per probe

void book_open(Position& pos);
void book_close(Position& pos);
Move book_probe(Position& pos, MoveList& list);
std::int64_t book_find_first(std::FILE* file, std::uint64_t key, BookEntry& entry);
int book_read_entry(std::FILE* file, BookEntry& entry);
void book_move_text(std::uint16_t move, char* text);
