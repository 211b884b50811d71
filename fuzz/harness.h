// The in-process harness every fuzz target shares: an engine that never
// prints, never exits and never takes much memory, reset to its defaults
// after each input, and the checks the targets make on what it did.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "board/position.h"

namespace fuzz {

// Thrown by the engine's orderly quit (a "quit" line, a table it could not have).
struct EngineQuit {};

// Limits that keep every input fast: searches stop past this many nodes and
// look at their input this often; no table may exceed this many bytes.
constexpr std::int64_t SEARCH_NODE_CEILING = 400;
constexpr std::int64_t SEARCH_POLL_INTERVAL = 64;
constexpr std::uint64_t TABLE_SIZE_CEILING = std::uint64_t(16) << 20;

// The engine's one position, its tables and options ready; built on first use.
Position& engine();
// Back to the state after start-up: default options, small empty tables, no
// book, the start position. Call after every input that could change them,
// and after an EngineQuit (which has freed everything).
void reset_engine();

// A readable copy of the input: bytes up to the first NUL.
std::string text_of(const std::uint8_t* data, std::size_t size);

// Reports a broken invariant with the input that broke it, then aborts, which
// the fuzzer records as a finding and a test as a crash.
void require(bool ok, const char* what, const std::string& input);

// The record agrees with a from-scratch recomputation.
void check_consistent(const Position& pos, const std::string& input);
// For a playable position: the legal moves are exactly the pseudo-legal moves
// that leave the king safe (found without the pin logic); each is made and
// unmade with the record checked, the board restored bit for bit, the
// gives-check test matching the result, and the evaluation in range.
void check_moves(Position& pos, const std::string& input);
// Everything make and unmake touch, compared field by field.
bool same_board(const Position& a, const Position& b);
// The legal moves as generated, sorted.
std::vector<Move> legal_moves(const Position& pos);
// The pseudo-legal moves of a side not in check (captures of anything but a
// king, then quiet moves), in the generators' order.
std::vector<Move> pseudo_moves(const Position& pos);
// True when move is among the legal moves of pos.
bool is_legal_move(const Position& pos, Move move);

// A scratch directory of the harness's own, removed when the process ends.
const std::string& scratch_dir();
// Writes bytes to the file at path, replacing what it held; reads a whole
// file (the empty text when it cannot be read).
void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);

// Playable positions the targets start from, chosen by an input byte.
const char* seed_fen(std::uint8_t selector);

}  // namespace fuzz
