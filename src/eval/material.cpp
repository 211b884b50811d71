// The material table: every pair of material signatures below 486 holds its
// phase-blended, drawishness-scaled balance and the flags the other terms
// read, so the search pays one table read for all piece-value knowledge.
#include <algorithm>
#include <cstdlib>

#include "eval/eval.h"

MaterialEntry material_table[MATERIAL_SIGNATURES * MATERIAL_SIGNATURES];

namespace {

// Piece values at four stages of the game; the balance is interpolated
// between the two sets that bracket the phase.
struct ValueSet {
    int pawn, knight, bishop, rook, queen;
    int bishop_pair;    // two bishops cover both square colours
    int two_rooks;      // the second rook adds less than the first
    int heavy_surplus;  // queens + rooks >= 3: heavy pieces get in each other's way
    // Each knight gains, and each rook loses, weight * (own pawns - base):
    // closed positions suit the short-range piece, open files the long-range one.
    int knight_pawn_weight, knight_pawn_base;
    int rook_pawn_weight, rook_pawn_base;
};

constexpr ValueSet SET_OPENING = {80, 265, 280, 430, 800, 35, -16, -8, 0, 0, -5, 0};
constexpr ValueSet SET_MIDDLE = {90, 280, 295, 480, 875, 40, -20, -10, 2, 5, -4, 5};
constexpr ValueSet SET_ADVANCED = {110, 320, 325, 550, 1025, 50, -32, -32, 4, 5, -2, 5};
constexpr ValueSet SET_ENDING = {125, 330, 360, 610, 1150, 55, -48, -48, 5, 0, 0, 0};

constexpr int PHASE_MAX = 32;

struct Material {
    int p, n, b, r, q;
};

int set_value(const ValueSet& v, const Material& m) {
    int value = m.p * v.pawn + m.n * v.knight + m.b * v.bishop + m.r * v.rook + m.q * v.queen;
    value += m.n * v.knight_pawn_weight * (m.p - v.knight_pawn_base);
    value += m.r * v.rook_pawn_weight * (m.p - v.rook_pawn_base);
    if (m.b == 2) value += v.bishop_pair;
    if (m.r == 2) value += v.two_rooks;
    if (m.q + m.r >= 3) value += v.heavy_surplus;
    return value;
}

int material_phase(const Material& w, const Material& b) {
    return std::min(PHASE_MAX, 3 * (w.r + b.r) + 6 * (w.q + b.q) + w.n + w.b + b.n + b.b);
}

// A queen makes a king attack possible only with a second piece to join it.
bool has_attack_material(const Material& m) { return m.q >= 1 && m.n + m.b + m.r >= 1; }

// The four sets in the order of the game, and each side's value under each:
// the table's pairs share sides, so every side is valued once per set.
enum : int { OPENING, MIDDLE, ADVANCED, ENDING, VALUE_SETS };
constexpr const ValueSet* VALUE_SET[VALUE_SETS] = {&SET_OPENING, &SET_MIDDLE, &SET_ADVANCED, &SET_ENDING};

// `balance` holds white's value minus black's under each set.
int interpolate(int phase, const int (&balance)[VALUE_SETS]) {
    if (phase >= 24) return (balance[OPENING] * (phase - 24) + balance[MIDDLE] * (32 - phase)) / 8;
    if (phase >= 8) return (balance[MIDDLE] * (phase - 8) + balance[ADVANCED] * (24 - phase)) / 16;
    return (balance[ADVANCED] * phase + balance[ENDING] * (8 - phase)) / 8;
}

// The scale for a stronger side that has no pawn left: only its pieces can
// win, and many piece-against-piece endings are known draws.
int pawnless_scale(const Material& s, const Material& w) {
    const int s_minors = s.n + s.b, w_minors = w.n + w.b;
    const int su = s_minors + 2 * s.r + 4 * s.q, wu = w_minors + 2 * w.r + 4 * w.q;
    const bool w_rook_only = wu == 2 && w.r == 1;
    const bool w_two_minors = wu == 2 && w_minors == 2;
    const bool w_rook_minor = wu == 3 && w.r == 1;
    const bool w_three_minors = wu == 3 && w_minors == 3;

    switch (su) {
        case 0:
            return 10;
        case 1:
            return 0;  // a lone minor cannot mate
        case 2:
            if (wu == 0) {
                // Two knights cannot force mate; a defending pawn at least lifts the stalemate defence.
                if (s.n == 2) return w.p ? 3 : 0;
                return 10;
            }
            if (wu == 1) {
                if (s.r == 1) return w.n ? 2 : 1;
                if (s.b == 2 && w.n == 1) return 8;
                return 1;
            }
            if (wu == 2) return 1;
            return 10;
        case 3:
            if (s.r == 1) {  // rook + minor
                if (w_rook_only) return 1;
                if (w_two_minors) {
                    if (s.n == 1) return 2;
                    return w.n == 2 ? 6 : 2;
                }
                if (wu == 3) return 2;
                return 10;
            }
            // three minors
            if (w_rook_only) {
                if (s.n == 2 && s.b == 1) return 2;
                if (s.b == 2 && s.n == 1) return 7;
                return 10;
            }
            if (w_two_minors) return s.b == 2 && s.n == 1 && w.n == 2 ? 4 : 2;
            if (wu == 3) return 2;
            return 10;
        case 4:
            if (s.q == 1) {
                if (wu == 2) {
                    if (w.n == 2) return 2;
                    if (w.n == 1 && w.b == 1) return 8;
                    return 7;  // rook or bishop pair
                }
                if (wu == 3 || wu == 4) return 1;
                return 10;
            }
            if (s.r == 2) {
                if (w_two_minors) return 7;
                if (w_rook_only) return 10;
                if (wu == 3) return 2;
                if (wu == 4) return 1;
                return 10;
            }
            if (s.r == 1) {  // rook + two minors
                if (w_rook_minor) return 3;
                if (w_three_minors) return 2;
                if (wu == 4) return 2;
                return 10;
            }
            // four minors
            if (w_rook_minor) return 4;
            if (w_three_minors) return 2;
            if (wu == 4) return w.q ? 8 : 1;
            return 10;
        case 5:
            if (s.q == 1) {  // queen + minor
                if (wu == 4) {
                    if (w.r == 2) return s.b ? 7 : 3;
                    return 2;
                }
                if (wu == 5) return 1;
                return 10;
            }
            if (s.r == 1) {  // rook + three minors
                if (wu == 4) {
                    if (w.q) return 9;
                    if (w.r == 2) return 7;
                    if (w.r == 1) return 3;
                    return 1;
                }
                if (wu == 5) return 2;
                return 10;
            }
            if (s.r == 2) {  // two rooks + minor
                if (wu == 4) {
                    if (w.q) return s.b ? 8 : 7;
                    if (w.r == 2) return 3;
                    if (w.r == 1) return 2;
                    return 1;
                }
                if (wu == 5) return 1;
                return 10;
            }
            return 10;
        case 6:
            if (s.q == 1 && s_minors == 2) {  // queen + two minors
                if (wu == 4) return w_minors == 4 ? 5 : 10;
                if (wu == 5) {
                    if (w.r == 2 || w.q) return 2;  // two rooks + minor, queen + minor
                    if (w.r == 1) return 1;         // rook + three minors
                    return 10;
                }
                if (wu == 6) return 1;
                return 10;
            }
            if (s.q == 1) {  // queen + rook
                if (wu == 4) {
                    if (w.q) return 10;
                    if (w.r == 2) return 3;
                    if (w.r == 1) return 6;
                    return 2;
                }
                if (wu == 5) return w.q || w.r ? 1 : 10;
                if (wu == 6) return 1;
                return 10;
            }
            if (s.r == 2) {  // two rooks + two minors
                if (wu == 5) {
                    if (w.q) return 7;
                    if (w.r == 2) return 2;
                    if (w.r == 1) return 1;
                    return 10;
                }
                if (wu == 6) return 1;
                return 10;
            }
            // rook + four minors
            if (wu == 5) {
                if (w.q) return 9;
                if (w.r == 2) return 3;
                if (w.r == 1) return 2;
                return 10;
            }
            if (wu == 6) {
                if (!w.q) return 1;
                return w.r ? 4 : 2;
            }
            return 10;
        default: {
            const int d = (3 * s_minors + 5 * s.r + 9 * s.q) - (3 * w_minors + 5 * w.r + 9 * w.q);
            if (d < 2) return 1;
            if (d == 2) return 2;
            if (d == 3) return 4;
            if (d == 4) return 7;
            return 9;
        }
    }
}

// The scale for a stronger side with exactly one pawn: the pawn is its winning
// chance, and the defender may give a piece for it.
int one_pawn_scale(const Material& s, const Material& w) {
    const int s_minors = s.n + s.b, w_minors = w.n + w.b;
    const int su = s_minors + 2 * s.r + 4 * s.q, wu = w_minors + 2 * w.r + 4 * w.q;
    if (wu == 1) {
        if (su == 1) return 3;
        if (su == 2) {
            if (s.r == 1) return 7;
            if (s.n == 2) return w.p ? 5 : 3;
            return 10;
        }
        return 10;
    }
    if (wu == 2) {
        if (w.r == 1) return su == 2 && s.r == 1 ? 8 : 10;
        return su == 2 ? 4 : 10;
    }
    if (wu == 0) return 10;
    if (su == 4 && wu == 4 && w.q) return 7;
    if (su == wu) return w_minors ? 3 : 5;
    return 10;
}

}  // namespace

int endgame_scale(int sp, int sn, int sb, int sr, int sq, int wp, int wn, int wb, int wr, int wq) {
    const Material s = {sp, sn, sb, sr, sq}, w = {wp, wn, wb, wr, wq};
    if (sp >= 2) return 10;
    if (sp == 1) return one_pawn_scale(s, w);
    return pawnless_scale(s, w);
}

void init_material_table() {
    // A signature is P + 9N + 27B + 81R + 243Q: decode it digit by digit.
    static Material side[MATERIAL_SIGNATURES];
    static int value[VALUE_SETS][MATERIAL_SIGNATURES];
    for (int sig = 0; sig < MATERIAL_SIGNATURES; ++sig) {
        side[sig] = {sig % 9, sig / 9 % 3, sig / 27 % 3, sig / 81 % 3, sig / 243};
        for (int v = 0; v < VALUE_SETS; ++v) value[v][sig] = set_value(*VALUE_SET[v], side[sig]);
    }
    for (int wi = 0; wi < MATERIAL_SIGNATURES; ++wi) {
        const Material& w = side[wi];
        for (int bi = 0; bi < MATERIAL_SIGNATURES; ++bi) {
            const Material& b = side[bi];
            const int phase = material_phase(w, b);
            int sets[VALUE_SETS];
            for (int v = 0; v < VALUE_SETS; ++v) sets[v] = value[v][wi] - value[v][bi];
            int balance = interpolate(phase, sets);
            // With two pawns or more the stronger side keeps its whole advantage.
            if (balance > 0 && w.p < 2)
                balance = balance * endgame_scale(w.p, w.n, w.b, w.r, w.q, b.p, b.n, b.b, b.r, b.q) / 10;
            if (balance < 0 && b.p < 2)
                balance = balance * endgame_scale(b.p, b.n, b.b, b.r, b.q, w.p, w.n, w.b, w.r, w.q) / 10;

            int flags = phase << 3;
            if (w.q + w.r + w.n + b.q + b.r + b.n == 0 && w.b == 1 && b.b == 1 && std::abs(w.p - b.p) <= 2)
                flags |= MAT_BISHOPS_ONLY;
            if (has_attack_material(b)) flags |= MAT_BLACK_ATTACKS;
            if (has_attack_material(w)) flags |= MAT_WHITE_ATTACKS;
            material_table[wi * MATERIAL_SIGNATURES + bi] = {std::int16_t(balance), std::uint16_t(flags)};
        }
    }
}

void material_fallback(const Position& pos, EvalInfo& info) {
    Material m[2];
    for (int c = WHITE; c <= BLACK; ++c)
        m[c] = {popcount(pos.pieces_of(c, PAWN)), popcount(pos.pieces_of(c, KNIGHT)),
                popcount(pos.pieces_of(c, BISHOP)), popcount(pos.pieces_of(c, ROOK)),
                popcount(pos.pieces_of(c, QUEEN))};
    const Material& w = m[WHITE];
    const Material& b = m[BLACK];
    int score =
        100 * (w.p - b.p) + 300 * (w.n - b.n) + 310 * (w.b - b.b) + 515 * (w.r - b.r) + 950 * (w.q - b.q);
    if (w.b >= 2) score += 45;
    if (b.b >= 2) score -= 45;
    info.mat_score = pos.side == WHITE ? score : -score;
    info.mat_flags = material_phase(w, b) << 3;
    if (has_attack_material(b)) info.mat_flags |= MAT_BLACK_ATTACKS;
    if (has_attack_material(w)) info.mat_flags |= MAT_WHITE_ATTACKS;
}
