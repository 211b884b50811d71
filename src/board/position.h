// The one game-state record, its keys, and the operations that change it:
// FEN reading and writing, make and unmake, the null move.
#pragma once

#include <cstdint>
#include <cstdio>

#include "board/bitboard.h"
#include "movegen/move.h"

struct PawnEntry;
struct TransSlot;
struct NnueStack;

// Search switches and evaluation weights, decoded from the option texts at
// start-up and at every go.
struct EngineParams {
    int use_trans_table;
    int own_book;
    int display_book_moves;  // the book's candidates are printed when it answers
    int book_move_limit;
    int null_move;
    int iid;
    int iid_depth;
    int delta_pruning;
    int delta_threshold;
    int zero_pruning;
    int zero_aggressive;
    int zero_level;
    int zero_threshold;
    int zero_multiplier;
    int speculation;
    int spec_base;
    int spec_level;
    int ext_speculation;
    int ext_spec_base;
    int ext_spec_level;
    int spec_pv;
    int spec_pv_level;
    int king_attack_level;
    int piece_attack_mg;
    int piece_attack_eg;
    int show_curr_line;
    int time_buffer;
    int multipv;  // root lines searched and shown, 1 and up
    // Endgame tables: the most men a probe may see (0: no tables, no probes),
    // the least remaining depth that probes, and whether the 50-move rule
    // turns cursed wins and blessed losses into draws.
    int tb_men;
    int tb_probe_depth;
    int tb_rule50;
    int chess960;        // castling as the king taking its rook, from any rook the FEN names
    int limit_strength;  // UCI_LimitStrength: play at the level `elo`
    int elo;
    int show_wdl;  // UCI_ShowWDL: scores are followed by win/draw/loss chances
    int use_nnue;  // Use NNUE: the network evaluates every position (never for a weakened level)
};

// Saved by make_move and copied back by unmake_move; never recomputed.
struct StateBlock {
    Move last_move;  // the move that produced this position; 0 after FEN or a null move
    int castle;      // CASTLE_* rights
    int fifty;       // half-moves since the last capture or pawn move
    int ep;          // en-passant target square, or -1
    int pst_mg[2];   // piece-square sums per colour, each from its own view
    int pst_eg[2];
    int mat_idx[2];  // material signature: P + 9N + 27B + 81R + 243Q
    Key hash;        // Polyglot position key
    Key pawn_hash;   // keys of the pawns only
};
using UndoRecord = StateBlock;

constexpr int HISTORY_SIZE = 1024;

// What a move does to the board, for an evaluation that follows the pieces
// move by move rather than reading the whole board: up to two pieces lifted
// and two set down, each as piece_change(colour, type, square), 0 for none
// (no piece has type EMPTY). Castling lifts and sets down two, a capture
// lifts two, a null move changes nothing.
struct BoardChange {
    int removed[2], added[2];
};
constexpr int piece_change(int us, int t, int sq) { return us << 9 | t << 6 | sq; }
constexpr int change_color(int code) { return code >> 9; }
constexpr int change_type(int code) { return (code >> 6) & 7; }
constexpr int change_square(int code) { return code & 63; }
// moves[ply & CHANGE_LOG_MASK] is the move that reached that ply (0 for a
// null move); a power of two above the deepest search, so a search never
// wraps it.
constexpr int CHANGE_LOG_SIZE = 256, CHANGE_LOG_MASK = CHANGE_LOG_SIZE - 1;

// Castling rights by number: bit `index` of the rights, 0 white king-side,
// 1 white queen-side, 2 black king-side, 3 black queen-side. Wherever king
// and rook start (Chess960), they end on these squares.
constexpr int CASTLING_KING_TO[4] = {G1, C1, G8, C8};
constexpr int CASTLING_ROOK_TO[4] = {F1, D1, F8, D8};
constexpr int CASTLE_RIGHTS_OF[2] = {CASTLE_WK | CASTLE_WQ, CASTLE_BK | CASTLE_BQ};
// The right a castling move uses, from the king's destination.
constexpr int castling_index(int king_to) { return (king_to >= A8 ? 2 : 0) + (file_of(king_to) == 2 ? 1 : 0); }

// Where one right's king and rook start, read from the FEN and fixed for the
// game: the squares both pieces cross must be empty (the two themselves
// excepted), and the king's squares from start to destination unattacked.
struct CastlingRule {
    int king_from;
    int rook_from;
    Bitboard empty;
    Bitboard safe;
};
CastlingRule make_castling_rule(int index, int king_from, int rook_from);

struct Position {
    // Reversed piece by piece by unmake_move.
    Bitboard pieces[8];  // by piece type, both colours; rows 0 and 7 stay empty
    Bitboard color[2];
    Bitboard occupied;
    int square[64];  // piece type on each square, EMPTY for none
    int king_sq[2];
    int side;
    int ply;  // distance from the root of the current search

    StateBlock st;

    // Fixed by the FEN for the whole game: each right's start squares, and
    // the rights that survive a move touching each square.
    CastlingRule castling[4];
    int castle_mask[64];

    int hist_count;           // index of the current key in hist
    int hist_dropped;         // game keys dropped by trim_history, for move numbers
    bool fen_error;           // the FEN text was cut short by an error: not the GUI's position
    Key hist[HISTORY_SIZE];  // keys since the FEN position; hist[hist_count] == st.hash
    Move moves[CHANGE_LOG_SIZE];  // by ply, written by make_move and the null move; the board never reads it

    // Engine-wide handles the search and evaluation reach through the board.
    std::FILE* book_file;
    std::int64_t book_size;
    PawnEntry* pawn_table;
    std::uint64_t pawn_table_size, pawn_table_mask;
    NnueStack* nnue = nullptr;  // this thread's network accumulators, or none (each evaluation starts afresh)
    TransSlot* trans_table;
    std::uint64_t trans_table_size, trans_table_mask;
    int trans_age;
    int trans_used;
    int trans_age_table[16];
    bool trans_written;  // something was stored since the table was made or cleared
    EngineParams* params;
    EngineParams param_block;

    Bitboard pawns() const { return pieces[PAWN]; }
    Bitboard knights() const { return pieces[KNIGHT]; }
    Bitboard bishops() const { return pieces[BISHOP]; }
    Bitboard rooks() const { return pieces[ROOK]; }
    Bitboard queens() const { return pieces[QUEEN]; }
    Bitboard kings() const { return pieces[KING]; }
    Bitboard pieces_of(int us, int type) const { return pieces[type] & color[us]; }
    int color_on(int sq) const { return (color[BLACK] & bit(sq)) ? BLACK : WHITE; }
};

// Polyglot keys: piece_key[colour][type][sq] (rows 0 and 7 zero), castle_key
// for each of the 16 rights values, ep_key per file, side_key when white moves.
extern Key piece_key[2][8][64];
extern Key castle_key[16];
extern Key ep_key[8];
extern const Key side_key;
extern const Key polyglot_random[781];

constexpr int MATERIAL_WEIGHT[8] = {0, 1, 9, 27, 81, 243, 0, 0};

void init_keys();

void make_move(Position& pos, UndoRecord& undo, Move move);
void unmake_move(Position& pos, const UndoRecord& undo);
// The pieces `move`, made by `mover` in this game, lifts and sets down (the
// game's castling squares are the position's).
BoardChange move_change(const Position& pos, Move move, int mover);

// The null move passes the turn; its undo keeps what it changes.
struct NullUndo {
    Move last_move;
    int fifty;
    int ep;
    Key hash;
};
void make_null_move(Position& pos, NullUndo& undo);
void unmake_null_move(Position& pos, const NullUndo& undo);

// True when the current key occurred since the last irreversible move, with
// the same side to move.
bool is_repetition(const Position& pos);

// Keeps the key history from running out in very long games: drops keys that
// precede the last irreversible move (they can never repeat) once the history
// passes its game budget. Called between game moves only.
void trim_history(Position& pos);
constexpr int HISTORY_GAME_BUDGET = 512;  // leaves the search at least 511 plies

// FEN text in and out, and the dump-file listing. The castling field is read
// as Chess960's when pos.params has chess960 set, else as standard chess's.
void read_fen(Position& pos, const char* text);
const char* position_to_fen(const Position& pos);
void dump_position(const Position& pos);
const char* key_to_text(Key key);  // "0x" + 16 lower-case hex digits, static buffer

// From-scratch twins of the incremental fields, for checks and tests.
Key compute_hash(const Position& pos);
Key compute_pawn_hash(const Position& pos);
int compute_mat_idx(const Position& pos, int us);
// Checks every board invariant and incremental field; returns a description
// of the first difference, or nullptr when the position is consistent.
const char* position_inconsistency(const Position& pos);

// A position a game can hold, read from FEN text without error: one king per
// colour, no pawn on a back rank, material a game can reach, and the side not
// to move not in check. Returns nullptr when playable, else the reason.
// Searching anything else is refused.
const char* position_unplayable(const Position& pos);
