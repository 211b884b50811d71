// Start-up construction of the geometry tables declared in tables.h.
#include "board/tables.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

Bitboard knight_attacks[64];
Bitboard king_attacks[64];
Bitboard pawn_attacks[64][2];
Bitboard pawn_push[64][2];
Bitboard pawn_double_push[64][2];
Bitboard file_mask[64];
Bitboard ray[8][64];
int direction[64][64];
Bitboard between[64][64];
Bitboard diag_mask[64];
Bitboard anti_diag_mask[64];
Bitboard slider_attacks[SLIDER_TABLE_SIZE];
SliderMagic rook_magic[64];
SliderMagic bishop_magic[64];

namespace {

// Slots of the magic look-ups: 2^popcount(mask) per square, summed.
constexpr int ROOK_MAGIC_SLOTS = 102400;
constexpr int BISHOP_MAGIC_SLOTS = 5248;
Bitboard magic_slots[ROOK_MAGIC_SLOTS + BISHOP_MAGIC_SLOTS];

// Multipliers found offline (tools/magics/find_magics.cpp) by trying random
// numbers with few set bits until every occupancy of the square's mask lands
// on a slot shared only with occupancies of the same attacks; init_tables
// checks that they still do.
constexpr Bitboard ROOK_MULTIPLIER[64] = {
    0x008000908064C000ULL, 0x0040200040001000ULL, 0x0180100080A0010AULL, 0x8880041000800800ULL,
    0x1200100201200804ULL, 0x0200020004011008ULL, 0x2180010000800600ULL, 0x0200005088210204ULL,
    0x0400800040008021ULL, 0x0400400020005000ULL, 0x8240801000200080ULL, 0x8611001004200900ULL,
    0x008180800C001800ULL, 0x0100800200800400ULL, 0x0A02000102000408ULL, 0x8020802300104280ULL,
    0x0080004000402000ULL, 0xE010104000402000ULL, 0x0800808010002000ULL, 0xA280210008100100ULL,
    0x0001818014000800ULL, 0xA002010100080400ULL, 0x0080240001020870ULL, 0x0001020004048845ULL,
    0x0081826280004004ULL, 0x2020810900284000ULL, 0x0200100080802000ULL, 0x0200080080100080ULL,
    0x8083080100100500ULL, 0x4406000901000400ULL, 0x0005020080800100ULL, 0x0090204200008114ULL,
    0x0010400094800420ULL, 0x0900804000802002ULL, 0x0201001841002000ULL, 0x4100080080801000ULL,
    0x4540040080800800ULL, 0x0002001004040020ULL, 0x0281195814001002ULL, 0x1240800040800100ULL,
    0x0880042000524004ULL, 0x02C080410206002CULL, 0x0801200241050010ULL, 0x8400080010008080ULL,
    0x0008000500090010ULL, 0x0082009084020008ULL, 0x4012000108020004ULL, 0x9000104D08860004ULL,
    0x2004204114800100ULL, 0x0148802112400300ULL, 0x0202842000100880ULL, 0x001B080080900080ULL,
    0x001A002008100600ULL, 0x0004008004020080ULL, 0x5181000600040300ULL, 0x0000044401128A00ULL,
    0x8044110480002441ULL, 0x2008110084402202ULL, 0x90806005090010C1ULL, 0x000420310A004A42ULL,
    0x0023001004020801ULL, 0x0882001008040102ULL, 0x000230088118020CULL, 0x0000019025040042ULL,
};
constexpr Bitboard BISHOP_MULTIPLIER[64] = {
    0x0045010808008680ULL, 0x2002080204004898ULL, 0x0210009A10400006ULL, 0x0824050200810200ULL,
    0x0006061105004090ULL, 0x00010108C0000000ULL, 0x0814040282104004ULL, 0x0012012201106800ULL,
    0x10823014100C1040ULL, 0x0080C2088802808CULL, 0x0281108410404000ULL, 0x0101212041826200ULL,
    0x0020141028221058ULL, 0x2201020202200202ULL, 0x000082A801482000ULL, 0x0000008401411044ULL,
    0x0007103014300404ULL, 0x0002091110010100ULL, 0x42140012040C0808ULL, 0x0800808802004020ULL,
    0x90C4004210140000ULL, 0x0800200900A01000ULL, 0x00D0400201108810ULL, 0x80820183814412A0ULL,
    0x00A01008202202B4ULL, 0x01C2021A09500402ULL, 0x0084440208042400ULL, 0x800400400C090100ULL,
    0xBA10040010802100ULL, 0xD182009006005000ULL, 0x5011021001009004ULL, 0x0020420200510400ULL,
    0x0292104000468800ULL, 0x00043009091C0500ULL, 0x0280441000020025ULL, 0x0042820080080080ULL,
    0x0440101010010040ULL, 0x1000900100808080ULL, 0x0108108120089800ULL, 0x0044010200012682ULL,
    0xC002500420900400ULL, 0x0040482210710800ULL, 0x0002060024000200ULL, 0x0281020A44000800ULL,
    0xA0021200A4000200ULL, 0x0001301000840840ULL, 0x2868500108444220ULL, 0x0004111041000200ULL,
    0x8044020842080200ULL, 0x0000220104210200ULL, 0x0000021201044000ULL, 0x0000280884040028ULL,
    0x4012114010858003ULL, 0x0000081004082B88ULL, 0x3892700508208002ULL, 0x00220A041B060400ULL,
    0x0812020284014881ULL, 0x010434A282103100ULL, 0x0490400824020800ULL, 0x4A20002C00208800ULL,
    0x000000A011020200ULL, 0x4002940A02482202ULL, 0x5100100202140406ULL, 0x02102000840540C1ULL,
};

constexpr Bitboard EDGE_FILES = FILE_A_BB | (FILE_A_BB << 7);
constexpr Bitboard EDGE_RANKS = RANK_1_BB | (RANK_1_BB << 56);

Bitboard rook_lines(int sq, Bitboard occ) { return rank_attacks(sq, occ) | file_attacks(sq, occ); }
Bitboard bishop_lines(int sq, Bitboard occ) { return diag_attacks(sq, occ) | anti_diag_attacks(sq, occ); }

// Fills one piece kind's slots from the line table, every occupancy of each
// mask visited by the carry-rippler walk over its subsets.
void fill_magics(SliderMagic* magics, const Bitboard* multipliers, Bitboard (*lines)(int, Bitboard),
                 Bitboard (*mask_of)(int), Bitboard*& next) {
    for (int sq = 0; sq < 64; ++sq) {
        SliderMagic& m = magics[sq];
        m.mask = mask_of(sq);
        m.multiplier = multipliers[sq];
        m.shift = 64 - popcount(m.mask);
        m.attacks = next;
        Bitboard subset = 0;
        do {
            Bitboard& slot = next[(subset * m.multiplier) >> m.shift];
            const Bitboard attacks = lines(sq, subset);
            // Every attack set is non-empty, so a zero slot is a free one.
            if (slot && slot != attacks) std::abort();  // a multiplier that no longer separates the attacks
            slot = attacks;
            subset = (subset - m.mask) & m.mask;
        } while (subset);
        next += Bitboard(1) << popcount(m.mask);
    }
}

Bitboard rook_mask(int sq) {
    return (rank_attacks(sq, 0) & ~EDGE_FILES) | (file_attacks(sq, 0) & ~EDGE_RANKS);
}
Bitboard bishop_mask(int sq) { return bishop_lines(sq, 0) & ~(EDGE_FILES | EDGE_RANKS); }

constexpr int KNIGHT_STEPS[8] = {-17, -10, 6, 15, 17, 10, -6, -15};
constexpr int KING_STEPS[8] = {-9, -1, 7, 8, 9, 1, -7, -8};

// A leaper step stays on the board and never wraps to the far file.
bool step_ok(int from, int to) {
    if (to < 0 || to > 63) return false;
    int df = file_of(from) - file_of(to);
    return df >= -2 && df <= 2;
}

// One walking step of a slider; -1 when it leaves the board or wraps around.
int slide(int sq, int step) {
    int to = sq + step;
    if (to < 0 || to > 63) return -1;
    int df = file_of(to) - file_of(sq);
    if (df > 1 || df < -1) return -1;
    return to;
}

struct LineKind {
    int selector;
    int step_a, step_b;                  // the two directions of the line
    int (*pattern)(int sq, Bitboard occ);  // occupancy -> table slot
};

int rank_slot(int sq, Bitboard occ) { return rank_pattern(sq, occ); }
int file_slot(int sq, Bitboard occ) { return file_pattern(sq, occ); }
int diag_slot(int sq, Bitboard occ) { return diag_pattern(occ & diag_mask[sq]); }
int anti_slot(int sq, Bitboard occ) { return diag_pattern(occ & anti_diag_mask[sq]); }

void fill_line_kind(const LineKind& kind) {
    for (int sq = 0; sq < 64; ++sq) {
        Bitboard line = bit(sq);
        for (int step : {kind.step_a, kind.step_b})
            for (int s = slide(sq, step); s >= 0; s = slide(s, step)) line |= bit(s);
        int n = popcount(line);
        int squares[8];
        Bitboard rest = line;
        for (int i = 0; i < n; ++i) squares[i] = pop_lsb(rest);

        for (int k = 0; k < (1 << n); ++k) {
            Bitboard occ = 0;
            for (int i = 0; i < n; ++i)
                if (k & (1 << i)) occ |= bit(squares[i]);
            Bitboard attacks = 0, xray = 0;
            for (int step : {kind.step_a, kind.step_b}) {
                bool blocked = false;
                for (int s = slide(sq, step); s >= 0; s = slide(s, step)) {
                    if (!blocked) {
                        attacks |= bit(s);
                        blocked = (occ & bit(s)) != 0;
                    } else if ((occ & bit(s)) || slide(s, step) < 0) {
                        // The end square counts as occupied even where it is part
                        // of the pattern (the rank-1 and rank-8 ends of diagonals),
                        // so every slot means the same thing.
                        xray |= bit(s);
                        break;
                    }
                }
            }
            int index = kind.selector | sq << 7 | kind.pattern(sq, occ);
            slider_attacks[index] = attacks;
            slider_attacks[SEL_XRAY | index] = xray;
        }
    }
}

}  // namespace

void init_tables() {
    std::memset(knight_attacks, 0, sizeof knight_attacks);
    std::memset(king_attacks, 0, sizeof king_attacks);
    std::memset(pawn_attacks, 0, sizeof pawn_attacks);
    std::memset(pawn_push, 0, sizeof pawn_push);
    std::memset(pawn_double_push, 0, sizeof pawn_double_push);
    std::memset(ray, 0, sizeof ray);
    std::memset(direction, 0, sizeof direction);
    std::memset(between, 0, sizeof between);
    std::memset(slider_attacks, 0, sizeof slider_attacks);

    // The diagonal masks must exist before their line kinds are filled.
    for (int sq = 0; sq < 64; ++sq) {
        diag_mask[sq] = anti_diag_mask[sq] = bit(sq);
        for (int step : {9, -9})
            for (int s = slide(sq, step); s >= 0; s = slide(s, step)) diag_mask[sq] |= bit(s);
        for (int step : {7, -7})
            for (int s = slide(sq, step); s >= 0; s = slide(s, step)) anti_diag_mask[sq] |= bit(s);
    }

    fill_line_kind({SEL_RANK, -1, 1, rank_slot});
    fill_line_kind({SEL_FILE, -8, 8, file_slot});
    fill_line_kind({SEL_DIAG, -9, 9, diag_slot});
    fill_line_kind({SEL_ANTI, -7, 7, anti_slot});

    // The slots start zeroed with the program and every fill writes the same
    // values, so they need no clearing of their own.
    Bitboard* next = magic_slots;
    fill_magics(rook_magic, ROOK_MULTIPLIER, rook_lines, rook_mask, next);
    fill_magics(bishop_magic, BISHOP_MULTIPLIER, bishop_lines, bishop_mask, next);
    assert(next == magic_slots + ROOK_MAGIC_SLOTS + BISHOP_MAGIC_SLOTS);

    for (int sq = 0; sq < 64; ++sq) {
        file_mask[sq] = file_bb(file_of(sq));
        for (int step : KNIGHT_STEPS)
            if (step_ok(sq, sq + step)) knight_attacks[sq] |= bit(sq + step);
        for (int step : KING_STEPS)
            if (step_ok(sq, sq + step)) king_attacks[sq] |= bit(sq + step);
        for (int step : {7, 9})
            if (step_ok(sq, sq + step)) pawn_attacks[sq][WHITE] |= bit(sq + step);
        for (int step : {-7, -9})
            if (step_ok(sq, sq + step)) pawn_attacks[sq][BLACK] |= bit(sq + step);
        if (sq + 8 < 64) pawn_push[sq][WHITE] = bit(sq + 8);
        if (sq - 8 >= 0) pawn_push[sq][BLACK] = bit(sq - 8);
        if (sq + 16 < 64) pawn_double_push[sq][WHITE] = bit(sq + 16);
        if (sq - 16 >= 0) pawn_double_push[sq][BLACK] = bit(sq - 16);
    }

    for (int sq = 0; sq < 64; ++sq)
        for (int d = 0; d < 8; ++d)
            for (int s = slide(sq, DIRECTION_STEP[d]); s >= 0; s = slide(s, DIRECTION_STEP[d])) {
                ray[d][sq] |= bit(s);
                direction[sq][s] = DIRECTION_STEP[d];
            }

    for (int a = 0; a < 64; ++a)
        for (int b = 0; b < 64; ++b)
            if (int d = direction[a][b]) {
                int forward = direction_index(d), backward = direction_index(-d);
                assert(forward >= 0 && backward >= 0);
                between[a][b] = ray[forward][a] & ray[backward][b];
            }
}
