// Piece-square tables and the king-exposure table, generated at start-up from
// small per-file and per-rank profiles.
#include <cstring>
#include <initializer_list>

#include "eval/eval.h"

int pst[2][8][64][2];
int king_exposure[2][64];

namespace {

constexpr int PawnFile[8] = {-3, -1, 0, 1, 1, 0, -1, -3};
constexpr int KnightLine[8] = {-4, -2, 0, 1, 1, 0, -2, -4};
constexpr int KnightRank[8] = {-2, -1, 0, 1, 2, 3, 2, 1};
constexpr int BishopLine[8] = {-3, -1, 0, 1, 1, 0, -1, -3};
constexpr int RookFile[8] = {-2, -1, 0, 1, 1, 0, -1, -2};
constexpr int QueenLine[8] = {-3, -1, 0, 1, 1, 0, -1, -3};
constexpr int KingLine[8] = {-3, -1, 0, 1, 1, 0, -1, -3};
constexpr int KingFile[8] = {3, 4, 2, 0, 0, 2, 4, 3};
constexpr int KingRank[8] = {1, 0, -2, -3, -4, -5, -6, -7};

constexpr int MG = 0, EG = 1;

}  // namespace

void init_pst() {
    std::memset(pst, 0, sizeof pst);
    for (int sq = 0; sq < 64; ++sq) {
        int f = file_of(sq), r = rank_of(sq);
        int(*w)[64][2] = pst[WHITE];
        w[PAWN][sq][MG] = 6 * PawnFile[f];
        w[PAWN][sq][EG] = -3 * PawnFile[f];
        w[KNIGHT][sq][MG] = 11 * (KnightLine[f] + KnightLine[r] + KnightRank[r]);
        w[KNIGHT][sq][EG] = 2 * (KnightLine[f] + KnightLine[r]);
        w[BISHOP][sq][MG] = 5 * (BishopLine[f] + BishopLine[r]);
        w[BISHOP][sq][EG] = 2 * (BishopLine[f] + BishopLine[r]);
        w[ROOK][sq][MG] = 3 * RookFile[f];
        w[QUEEN][sq][MG] = 3 * (QueenLine[f] + QueenLine[r]);
        w[QUEEN][sq][EG] = 3 * (QueenLine[f] + QueenLine[r]);
        w[KING][sq][MG] = 15 * KingFile[f];
        w[KING][sq][EG] = 13 * (KingLine[f] + KingLine[r]);
    }

    // Knights in the far corners are nearly useless in the middlegame.
    pst[WHITE][KNIGHT][A8][MG] -= 100;
    pst[WHITE][KNIGHT][H8][MG] -= 100;
    // Undeveloped bishops cost; the corner squares sit on a long diagonal.
    for (int sq = B1; sq <= G1; ++sq) pst[WHITE][BISHOP][sq][MG] -= 8;
    pst[WHITE][BISHOP][A1][MG] += 4;
    pst[WHITE][BISHOP][H1][MG] += 4;
    for (int sq : {B2, C3, D4, E5, F6, G7, H8, G2, F3, E4, D5, C6, B7, A8}) pst[WHITE][BISHOP][sq][MG] += 12;
    // An early queen on the back rank is still undeveloped.
    for (int sq = A1; sq <= H1; ++sq) pst[WHITE][QUEEN][sq][MG] -= 6;

    for (int t = 0; t < 8; ++t)
        for (int sq = 0; sq < 64; ++sq)
            for (int phase = 0; phase < 2; ++phase) pst[BLACK][t][mirror(sq)][phase] = pst[WHITE][t][sq][phase];

    for (int sq = 0; sq < 64; ++sq) {
        king_exposure[WHITE][sq] = 5 - KingFile[file_of(sq)] - KingRank[rank_of(sq)];
        king_exposure[BLACK][mirror(sq)] = king_exposure[WHITE][sq];
    }
}
