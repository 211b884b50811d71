// Pawn structure and the pawn hash table. The structure score depends on the
// pawns alone, so it is computed once per pawn key and cached with the passed
// pawns and the shelter bytes that the king and passed-pawn terms read.
#include <cstdlib>
#include <cstring>

#include "board/table_memory.h"
#include "board/tables.h"
#include "eval/eval_terms.h"

namespace {

constexpr int DOUBLED_MG = -8, DOUBLED_EG = -10;
constexpr int ISOLATED_MG = -12, ISOLATED_EG = -10;
constexpr int ISOLATED_OPEN_MG = -16;  // a rook can attack it down the open file
constexpr int BACKWARD_MG = -15, BACKWARD_EG = -10;
constexpr int BACKWARD_OPEN_MG = -15;
constexpr int CANDIDATE_MG = 10, CANDIDATE_EG = 5;
constexpr int CANDIDATE_RANK_MG = 90, CANDIDATE_RANK_EG = 45;  // scale passed_rank_bonus (out of 128)

// The shelter and storm pattern tables are flat (every pattern of own pawns
// shelters 1, every storm pattern costs 0), so the patterns themselves need
// not be gathered. A cleared table gives the pawnless slot a shelter of 16:
// a king without pawns anywhere is badly exposed.
constexpr std::uint8_t SHELTER_PATTERN_VALUE = 1;
constexpr std::uint8_t STORM_PATTERN_VALUE = 0;
constexpr std::uint8_t PAWNLESS_SHELTER = 16;

constexpr Bitboard NOT_FILE_A = ~FILE_A_BB;
constexpr Bitboard NOT_FILE_H = ~(FILE_A_BB << 7);

// Every square of every file that holds a pawn of the set.
constexpr Bitboard file_fill(Bitboard b) { return fill_forward(WHITE, b) | fill_forward(BLACK, b); }

// Slot 0 is where the pawnless key 0 lands, and its lock 0 matches at once.
void set_pawnless_entry(Position& pos) {
    PawnEntry& pawnless = pos.pawn_table[0];
    std::memset(pawnless.shelter, PAWNLESS_SHELTER, sizeof pawnless.shelter);
}

}  // namespace

void pawn_table_free(Position& pos) {
    table_free(pos.pawn_table);
    pos.pawn_table = nullptr;
    pos.pawn_table_size = 0;
    pos.pawn_table_mask = 0;
}

bool pawn_table_allocate(Position& pos, int power) {
    pawn_table_free(pos);
    // The option is decoded without clamping; out-of-range values take the nearest legal size.
    power = std::clamp(power, 1, 32);
    const std::uint64_t entries = std::uint64_t(1) << power;
    const std::uint64_t bytes = entries * sizeof(PawnEntry);
    // Zeroed memory is a cleared table but for the pawnless slot: the entries
    // are touched only as the search reaches them, not all at start-up.
    void* table = table_alloc_zeroed(bytes);
    if (!table) return false;
    pos.pawn_table = static_cast<PawnEntry*>(table);
    pos.pawn_table_size = entries;
    pos.pawn_table_mask = entries - 1;
    set_pawnless_entry(pos);
    return true;
}

void pawn_table_clear(Position& pos) {
    if (!pos.pawn_table) return;
    std::memset(pos.pawn_table, 0, std::size_t(pos.pawn_table_size * sizeof(PawnEntry)));
    set_pawnless_entry(pos);
}

void eval_pawns(const Position& pos, EvalInfo& info, int us, int& mg_out, int& eg_out) {
    const int them = us ^ 1;
    const Bitboard own = pos.pieces_of(us, PAWN), enemy = pos.pieces_of(them, PAWN);
    const Bitboard own_span = info.pawn_attack_span[us], enemy_span = info.pawn_attack_span[them];
    PawnEntry& entry = *info.pawn_entry;
    int mg = 0, eg = 0;

    // A pawn lies behind another exactly when it is in that pawn's backward span.
    const Bitboard frontmost = own & ~span_forward(them, own | enemy);

    const Bitboard doubled = own & span_forward(them, own);
    mg += DOUBLED_MG * popcount(doubled);
    eg += DOUBLED_EG * popcount(doubled);

    // No own pawn on a neighbouring file can ever defend it.
    const Bitboard files = file_fill(own);
    const Bitboard isolated = own & ~(((files & NOT_FILE_A) >> 1) | ((files & NOT_FILE_H) << 1));
    mg += ISOLATED_MG * popcount(isolated) + ISOLATED_OPEN_MG * popcount(isolated & frontmost);
    eg += ISOLATED_EG * popcount(isolated);

    // Backward: its advance is contested by enemy pawns, and no own pawn can
    // ever come to guard the stop square, so it is fixed and weak.
    const Bitboard stops = shift_forward(us, own & ~isolated, 8);
    const Bitboard bad_stops = stops & (enemy_span | enemy) & ~own_span;
    const Bitboard backward = shift_forward(them, bad_stops, 8);
    mg += BACKWARD_MG * popcount(backward) + BACKWARD_OPEN_MG * popcount(backward & frontmost);
    eg += BACKWARD_EG * popcount(backward);

    entry.passed |= frontmost & ~enemy_span;

    // Candidates: not yet passed, but with at least as many helpers as
    // opponents both along the way and on the square itself.
    for (Bitboard candidates = frontmost & enemy_span; candidates;) {
        const int sq = pop_lsb(candidates);
        const int ahead = square_ahead(us, sq);
        const int stoppers = popcount(enemy & fill_forward(us, pawn_attacks[sq][us]));
        const int helpers = popcount(own & fill_backward(us, pawn_attacks[ahead][them]));
        if (stoppers > helpers) continue;
        if (popcount(enemy & pawn_attacks[sq][us]) > popcount(own & pawn_attacks[sq][them])) continue;
        const int b = passed_rank_bonus[relative_rank(us, sq)];
        mg += CANDIDATE_MG + b * CANDIDATE_RANK_MG / 128;
        eg += CANDIDATE_EG + b * CANDIDATE_RANK_EG / 128;
    }

    for (int w = 0; w < 3; ++w) {
        entry.shelter[us][w] = SHELTER_PATTERN_VALUE;
        entry.storm[us][w] = STORM_PATTERN_VALUE;
    }

    mg_out += mg;
    eg_out += eg;
}
