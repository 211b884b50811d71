// Syzygy endgame tables: finding them on disk, mapping them on demand and
// answering win/draw/loss (WDL) and distance-to-zeroing (DTZ) probes.
//
// The tables are read-only and shared by every search thread. tb_init (and
// tb_free) must not run while anything probes; probes may run from any number
// of threads at once. A table file is mapped and its header decoded the first
// time a probe needs it, under a lock taken only then; every later probe of
// it reads the map without a lock and allocates nothing.
#pragma once

#include "board/position.h"

// Win/draw/loss for the side to move. The 50-move rule splits wins and losses:
// a "cursed" win can be forced but not within 50 moves of the last capture or
// pawn move, a "blessed" loss likewise.
enum : int { TB_LOSS = -2, TB_BLESSED_LOSS = -1, TB_DRAW = 0, TB_CURSED_WIN = 1, TB_WIN = 2 };

// Tables of up to this many men (kings included) can be read.
constexpr int TB_MAX_MEN = 7;

// Looks for .rtbw and .rtbz files in every directory of `paths` (separated by
// ':' on Linux, ';' on Windows) and records the material combinations found.
// Replaces the tables of an earlier call, unmapping them; an empty string (or
// nullptr) leaves no tables. Returns the number of combinations found.
int tb_init(const char* paths);
// Unmaps and forgets every table (as tb_init("")).
void tb_free();
// The most men in any combination found (0 when there is none).
int tb_max_men();

// WDL value (TB_LOSS..TB_WIN) of the position for the side to move, after any
// en-passant capture it allows and the captures the tables leave to the
// prober. *success is 0 when the position cannot be answered (castling
// rights, too many men, a table missing or damaged), else non-zero.
// The position is changed and restored during the call (captures are tried
// on it), so it must be one that the calling thread owns.
int tb_probe_wdl(Position& pos, int* success);

// DTZ value of the position: plies to the next capture or pawn move under the
// 50-move-rule-aware best play, positive when the side to move wins, negative
// when it loses, 0 for a draw; beyond 100 in magnitude for cursed wins and
// blessed losses. Where the table keeps distances rounded to whole moves, the
// value may be one ply more than the exact one (never past the 50-move limit
// when that matters). *success as for tb_probe_wdl; a missing DTZ table
// fails the probe even when the WDL table is present.
int tb_probe_dtz(Position& pos, int* success);

// The file stem of the position's material ("KRPvKP"), with the stronger
// side first as table files are named; for messages. Static buffer.
const char* tb_material_name(const Position& pos);
