// The evaluation driver: material from the table, the incremental
// piece-square sums, fixed patterns, the cached pawn structure and the piece
// terms, blended by game phase. One body serves evaluate() and the traced
// breakdown, so the two can never disagree.
#include <algorithm>

#include "board/tables.h"
#include "eval/eval_terms.h"
#include "nnue/nnue.h"

namespace {

constexpr int TEMPO_MG = 20, TEMPO_EG = 10;
constexpr int TRAPPED_ROOK_MG = -60;
constexpr int TRAPPED_BISHOP_MG = -60;
constexpr int BLOCKED_CENTRE_MG = -60;
constexpr int PHASE_MAX = 32;

constexpr int relative_square(int us, int sq) { return us == WHITE ? sq : mirror(sq); }

constexpr Bitboard flip_ranks(Bitboard b) {
    Bitboard flipped = 0;
    for (int r = 0; r < 8; ++r) flipped |= ((b >> (8 * r)) & 0xFF) << (8 * (7 - r));
    return flipped;
}

// A king that stepped aside without castling shuts its own rook in the corner.
// By colour and wing (queen side, king side).
constexpr Bitboard TRAP_KING_WHITE[2] = {bit(B1) | bit(C1), bit(F1) | bit(G1)};
constexpr Bitboard TRAP_ROOK_WHITE[2] = {bit(A1) | bit(B1) | bit(A2), bit(G1) | bit(H1) | bit(H2)};
constexpr Bitboard TRAP_KING[2][2] = {{TRAP_KING_WHITE[0], TRAP_KING_WHITE[1]},
                                      {flip_ranks(TRAP_KING_WHITE[0]), flip_ranks(TRAP_KING_WHITE[1])}};
constexpr Bitboard TRAP_ROOK[2][2] = {{TRAP_ROOK_WHITE[0], TRAP_ROOK_WHITE[1]},
                                      {flip_ranks(TRAP_ROOK_WHITE[0]), flip_ranks(TRAP_ROOK_WHITE[1])}};
static_assert(TRAP_ROOK[BLACK][1] == (bit(G8) | bit(H8) | bit(H7)));

// A bishop that took the rook's pawn gets shut in by the knight's pawn.
// Squares for white; the two patterns of a wing count as one.
struct BishopTrap {
    int bishop, pawn;
};
constexpr BishopTrap BISHOP_TRAPS[2][2] = {{{A7, B6}, {A6, B5}}, {{H7, G6}, {H6, G5}}};

// Every square of a trapped bishop, by colour: most often no bishop stands on one.
constexpr Bitboard bishop_trap_squares(int us) {
    Bitboard squares = 0;
    for (const auto& wing : BISHOP_TRAPS)
        for (const BishopTrap& t : wing) squares |= bit(relative_square(us, t.bishop));
    return squares;
}
constexpr Bitboard BISHOP_TRAP_SQUARES[2] = {bishop_trap_squares(WHITE), bishop_trap_squares(BLACK)};

template <int Us>
int pattern_penalty(const Position& pos) {
    constexpr int us = Us, them = Us ^ 1;
    int mg = 0;
    const Bitboard king = pos.pieces_of(us, KING), rooks = pos.pieces_of(us, ROOK);
    for (int wing = 0; wing < 2; ++wing)
        if ((king & TRAP_KING[us][wing]) && (rooks & TRAP_ROOK[us][wing])) mg += TRAPPED_ROOK_MG;

    const Bitboard bishops = pos.pieces_of(us, BISHOP), enemy_pawns = pos.pieces_of(them, PAWN);
    if (!(bishops & BISHOP_TRAP_SQUARES[us])) return mg;
    for (const auto& wing : BISHOP_TRAPS) {
        bool trapped = false;
        for (const BishopTrap& t : wing)
            trapped |= (bishops & bit(relative_square(us, t.bishop))) &&
                       (enemy_pawns & bit(relative_square(us, t.pawn)));
        if (trapped) mg += TRAPPED_BISHOP_MG;
    }
    return mg;
}

// A centre pawn at home behind a piece blocks the bishop and the whole development.
constexpr Bitboard CENTRE_PAWN_HOMES[2] = {bit(D2) | bit(E2), bit(D7) | bit(E7)};
template <int Us>
int blocked_centre_penalty(const Position& pos) {
    constexpr int us = Us;
    const Bitboard blocked = pos.pieces_of(us, PAWN) & CENTRE_PAWN_HOMES[us] & shift_forward(us ^ 1, pos.occupied, 8);
    return BLOCKED_CENTRE_MG * popcount(blocked);
}

// Both colours' pawn scores, from the table when the key is there.
void probe_pawns(const Position& pos, EvalInfo& info) {
    const Key key = pos.st.pawn_hash;
    const auto lock = std::uint32_t(key >> 32);
    PawnEntry& entry = pos.pawn_table[std::uint32_t(key) & pos.pawn_table_mask];
    info.pawn_entry = &entry;
    if (entry.lock != lock) {
        entry.passed = 0;
        int mg[2] = {0, 0}, eg[2] = {0, 0};
        eval_pawns(pos, info, WHITE, mg[WHITE], eg[WHITE]);
        eval_pawns(pos, info, BLACK, mg[BLACK], eg[BLACK]);
        entry.lock = lock;
        entry.mg = mg[WHITE] - mg[BLACK];
        entry.eg = eg[WHITE] - eg[BLACK];
    }
    info.mg[WHITE] += entry.mg;
    info.eg[WHITE] += entry.eg;
}

// Records the change of every colour's scores since the last record.
struct Tracer {
    EvalBreakdown* out;
    int mg[2] = {0, 0}, eg[2] = {0, 0};

    void record(const char* name, const EvalInfo& info) {
        EvalTerm& t = out->terms[out->term_count++];
        t.name = name;
        for (int c = WHITE; c <= BLACK; ++c) {
            t.mg[c] = info.mg[c] - mg[c];
            t.eg[c] = info.eg[c] - eg[c];
            mg[c] = info.mg[c];
            eg[c] = info.eg[c];
        }
    }
};

// The table keeps only white minus black; the trace splits it by colour
// with a fresh computation when that agrees with the stored difference.
void split_pawn_term(const Position& pos, const EvalInfo& info, EvalTerm& term) {
    EvalInfo scratch = info;
    PawnEntry fresh{};
    scratch.pawn_entry = &fresh;
    int mg[2] = {0, 0}, eg[2] = {0, 0};
    for (int c = WHITE; c <= BLACK; ++c) eval_pawns(pos, scratch, c, mg[c], eg[c]);
    if (mg[WHITE] - mg[BLACK] != term.mg[WHITE] || eg[WHITE] - eg[BLACK] != term.eg[WHITE]) return;
    for (int c = WHITE; c <= BLACK; ++c) {
        term.mg[c] = mg[c];
        term.eg[c] = eg[c];
    }
}

template <bool Trace>
int evaluate_impl(const Position& pos, EvalBreakdown* out) {
    assert(pos.pawn_table && pos.params);
    Tracer tracer{out};

    // 1. Scratch record and king zones.
    EvalInfo info{};
    for (int c = WHITE; c <= BLACK; ++c) {
        const Bitboard zone = king_attacks[pos.king_sq[c]];
        info.king_zone[c] = zone;
        info.king_zone_ext[c] = zone | shift_forward(c, zone, 8);
        info.attacks[KING][c] = zone;
    }

    // 2. Material, phase and flags.
    const int w_idx = pos.st.mat_idx[WHITE], b_idx = pos.st.mat_idx[BLACK];
    if (w_idx < MATERIAL_SIGNATURES && b_idx < MATERIAL_SIGNATURES) {
        const MaterialEntry& m = material_table[w_idx * MATERIAL_SIGNATURES + b_idx];
        info.mat_score = pos.side == WHITE ? m.score : -m.score;
        info.mat_flags = m.flags;
    } else {
        material_fallback(pos, info);
    }

    // 3. Piece-square sums and the tempo of the side to move.
    for (int c = WHITE; c <= BLACK; ++c) {
        info.mg[c] = pos.st.pst_mg[c];
        info.eg[c] = pos.st.pst_eg[c];
    }
    if constexpr (Trace) tracer.record("Piece-square", info);
    info.mg[pos.side] += TEMPO_MG;
    info.eg[pos.side] += TEMPO_EG;
    if constexpr (Trace) tracer.record("Tempo", info);

    // 4-5. Trapped rooks and bishops.
    info.mg[WHITE] += pattern_penalty<WHITE>(pos);
    info.mg[BLACK] += pattern_penalty<BLACK>(pos);
    if constexpr (Trace) tracer.record("Trapped pieces", info);

    // 6. Blocked centre pawns.
    info.mg[WHITE] += blocked_centre_penalty<WHITE>(pos);
    info.mg[BLACK] += blocked_centre_penalty<BLACK>(pos);
    if constexpr (Trace) tracer.record("Blocked centre", info);

    // 7. Pawn attacks, and the pawns' share of the attack on each king.
    for (int c = WHITE; c <= BLACK; ++c) {
        info.pawns_of[c] = pos.pieces_of(c, PAWN);
        info.attacks[PAWN][c] = pawn_attack_set(c, info.pawns_of[c]);
        info.pawn_attack_span[c] = fill_forward(c, info.attacks[PAWN][c]);
    }
    for (int c = WHITE; c <= BLACK; ++c)
        info.king_attack_count[c] += popcount(info.attacks[PAWN][c ^ 1] & info.king_zone[c]);

    // 8. Pawn structure, cached by pawn key.
    probe_pawns(pos, info);
    if constexpr (Trace) {
        tracer.record("Pawns", info);
        split_pawn_term(pos, info, out->terms[out->term_count - 1]);
    }

    // 9. Piece terms. Threats, king safety and passed pawns need both
    //    colours' complete attack boards, so every piece is seen first.
    eval_pieces<WHITE>(pos, info);
    eval_pieces<BLACK>(pos, info);
    if constexpr (Trace) tracer.record("Pieces", info);
    for (int c = WHITE; c <= BLACK; ++c)
        info.all_attacks[c] = info.attacks[PAWN][c] | info.attacks[KNIGHT][c] | info.attacks[BISHOP][c] |
                              info.attacks[ROOK][c] | info.attacks[QUEEN][c] | info.attacks[KING][c];
    eval_threats<WHITE>(pos, info);
    eval_threats<BLACK>(pos, info);
    if constexpr (Trace) tracer.record("Threats", info);
    eval_king_safety<WHITE>(pos, info);
    eval_king_safety<BLACK>(pos, info);
    if constexpr (Trace) tracer.record("King safety", info);
    eval_passed<WHITE>(pos, info);
    eval_passed<BLACK>(pos, info);
    if constexpr (Trace) tracer.record("Passed pawns", info);

    // 10. Same-coloured bishops with level pawns are drawish in the ending;
    //     opposite-coloured ones are drawish throughout.
    const int us = pos.side, them = us ^ 1;
    int mg_diff = info.mg[us] - info.mg[them];
    int eg_diff = info.eg[us] - info.eg[them];
    if (info.mat_flags & MAT_BISHOPS_ONLY) {
        eg_diff /= 2;
        const Bitboard bishops = pos.bishops();
        if ((bishops & LIGHT_SQUARES) && (bishops & ~LIGHT_SQUARES)) mg_diff /= 2;
    }

    // 11. Blend by phase.
    const int phase = info.mat_flags >> 3;
    // A king swarmed by heavy pieces can sum past the mate scores; the search
    // must never read a static score as a mate, so the score stays below them.
    const int blended = info.mat_score + (mg_diff * phase + eg_diff * (PHASE_MAX - phase)) / PHASE_MAX;
    const int score = std::clamp(blended, -EVAL_LIMIT, EVAL_LIMIT);
    if constexpr (Trace) {
        out->score = score;
        out->material = info.mat_score;
        out->phase = phase;
        out->mat_flags = info.mat_flags;
    }
    return score;
}

}  // namespace

int evaluate(const Position& pos) {
    if (pos.params->use_nnue) return nnue_evaluate(pos, EVAL_LIMIT);
    return evaluate_impl<false>(pos, nullptr);
}

void evaluate_breakdown(const Position& pos, EvalBreakdown& out) {
    out = {};
    evaluate_impl<true>(pos, &out);
}
