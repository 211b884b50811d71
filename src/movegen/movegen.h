// Move generators by kind, attack and legality queries, and the static
// exchange evaluation. Generators write moves only, never scores, and walk
// every set lowest square first: their order is the picker's tie-break.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "movegen/move.h"

// Captures onto list.target, all promotions, en passant.
void gen_captures(const Position& pos, MoveList& list);
// Castling, non-capturing piece moves, non-promoting pawn pushes.
void gen_quiets(const Position& pos, MoveList& list);
// Every legal move of a side in check, and nothing else.
void gen_evasions(const Position& pos, MoveList& list);
// Quiet moves that give check (direct, discovered, or by the castling rook).
void gen_quiet_checks(const Position& pos, MoveList& list);

// Attack and legality queries.
bool squares_attacked(const Position& pos, int by, Bitboard set);
Bitboard attackers_of(const Position& pos, int sq, Bitboard occ);  // both colours
bool in_check(const Position& pos);
Bitboard pinned_pieces(const Position& pos);
Bitboard discovered_check_candidates(const Position& pos, int us);
// For a move generated in this position while not in check. Only a move of
// a pinned piece or of the king, or an en-passant capture (which lifts two
// pawns off a line), can leave the king attacked: every other move is legal
// without a look at the board.
bool is_legal_full(const Position& pos, Move move, Bitboard pinned);
inline bool is_legal(const Position& pos, Move move, Bitboard pinned) {
    if (!((pinned | bit(pos.king_sq[pos.side])) & bit(move_from(move))) && !is_ep(move)) return true;
    return is_legal_full(pos, move, pinned);
}
// For any move word once generated somewhere (hash move, killers); not in check.
bool is_valid_move(const Position& pos, Move move, Bitboard pinned);
// Legal captures and promotions, then legal quiet moves (evasions in check).
void gen_legal_moves(const Position& pos, MoveList& list);

// Leaf count of the legal move tree to `depth` (1 at depth 0), counting the
// last ply by the length of the legal move list.
std::uint64_t perft(Position& pos, int depth);

// Coordinate move text; castling as the king's move to its destination (e1g1).
const char* move_to_text(Move move);  // static buffer, overwritten by the next call
Move text_to_move(const MoveList& list, const char* text);
// The same in the notation of the mode in force: with UCI_Chess960 on,
// castling is written and read as the king taking its own rook (e1h1).
const char* move_to_text(const Position& pos, Move move);  // the same static buffer
// Text becomes a move only by matching a move of the list, so an accepted
// move is always one the list holds.
Move text_to_move(const Position& pos, const MoveList& list, const char* text);

// Static exchange evaluation: material outcome of the move and the best
// recaptures on its square, in centipawns from the mover's view.
int see(const Position& pos, Move move);
extern const int SEE_VALUE[8];
