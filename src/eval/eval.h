// Static evaluation: material table, piece-square tables, and the driver that
// adds pawn structure, piece activity, threats, king safety and passed pawns.
// Scores are centipawns from the side to move's point of view.
#pragma once

#include <cstdint>

#include "board/position.h"

struct PawnEntry;

// Piece-square values by owner, type, square and phase (0 midgame, 1 endgame),
// each from the owner's point of view; built by init_pst().
extern int pst[2][8][64][2];
// How exposed a king is on each square (larger = more exposed).
extern int king_exposure[2][64];
void init_pst();

// The material table: one entry per pair of signatures below 486.
constexpr int MATERIAL_SIGNATURES = 486;
enum : std::uint16_t { MAT_BISHOPS_ONLY = 1, MAT_BLACK_ATTACKS = 2, MAT_WHITE_ATTACKS = 4 };
struct MaterialEntry {
    std::int16_t score;    // white minus black, phase-blended and scaled
    std::uint16_t flags;   // MAT_* bits, phase (0..32) in bits 3..8
};
static_assert(sizeof(MaterialEntry) == 4);
extern MaterialEntry material_table[MATERIAL_SIGNATURES * MATERIAL_SIGNATURES];
void init_material_table();

// Share, in tenths, of a material advantage the stronger side keeps.
int endgame_scale(int sp, int sn, int sb, int sr, int sq, int wp, int wn, int wb, int wr, int wq);

// Scratch record of one evaluation, shared by its terms.
struct EvalInfo {
    Bitboard all_attacks[2];
    Bitboard attacks[8][2];  // by piece type (PAWN..KING), per colour
    Bitboard king_zone_ext[2];
    Bitboard king_zone[2];
    Bitboard pawn_attack_span[2];
    Bitboard pawns_of[2];
    int mg[2], eg[2];
    int king_attack_count[2];
    int mat_flags;
    PawnEntry* pawn_entry;
    int mat_score;
};

void material_fallback(const Position& pos, EvalInfo& info);

// Static scores stay within +-EVAL_LIMIT, below every mate score of the
// search and every score it gives an endgame-table win.
constexpr int EVAL_LIMIT = 9742;
int evaluate(const Position& pos);  // writes only the pawn table

// The evaluation broken into its terms, for the bench program's eval table.
struct EvalTerm {
    const char* name;
    int mg[2], eg[2];  // per colour, from that colour's view
};
struct EvalBreakdown {
    int score;  // equals evaluate()
    int material;       // from the side to move's view
    int phase;
    int mat_flags;
    int term_count;
    EvalTerm terms[16];
};
void evaluate_breakdown(const Position& pos, EvalBreakdown& out);
