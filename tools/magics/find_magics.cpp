// Finds the multipliers of the one-look-up rook and bishop attacks
// (src/board/tables.cpp): for each square a number m such that
// ((occ & mask) * m) >> (64 - bits) sends every occupancy of the mask's
// squares to a slot holding exactly its attack set (occupancies with the same
// attacks may share a slot). Candidates are random numbers with few set bits
// from a fixed seed, so the search is repeatable; it prints the two tables.
//   g++ -O2 -std=c++20 tools/magics/find_magics.cpp -o find_magics && ./find_magics
#include <bit>
#include <cstdint>
#include <cstdio>
#include <vector>

using U64 = std::uint64_t;

static U64 rng_state = 0x2545F4914F6CDD1DULL;

// xorshift64*
static U64 rng() {
    rng_state ^= rng_state >> 12;
    rng_state ^= rng_state << 25;
    rng_state ^= rng_state >> 27;
    return rng_state * 2685821657736338717ULL;
}

// The attacks of a slider moving in the four given directions, each ray
// stopping at the first occupied square; with mask_only, the squares whose
// occupancy matters: every ray without its last square.
static U64 walk(int sq, const int (*dirs)[2], U64 occ, bool mask_only) {
    U64 r = 0;
    for (int d = 0; d < 4; ++d) {
        int f = sq % 8 + dirs[d][0], k = sq / 8 + dirs[d][1];
        while (f >= 0 && f < 8 && k >= 0 && k < 8) {
            int nf = f + dirs[d][0], nk = k + dirs[d][1];
            bool edge = !(nf >= 0 && nf < 8 && nk >= 0 && nk < 8);
            if (mask_only && edge) break;
            r |= U64(1) << (k * 8 + f);
            if (occ & (U64(1) << (k * 8 + f))) break;
            f = nf; k = nk;
        }
    }
    return r;
}

int main() {
    const int rook[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    const int bishop[4][2] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};
    for (int kind = 0; kind < 2; ++kind) {
        const int (*dirs)[2] = kind == 0 ? rook : bishop;
        std::printf("%s\n", kind == 0 ? "ROOK" : "BISHOP");
        for (int sq = 0; sq < 64; ++sq) {
            U64 mask = walk(sq, dirs, 0, true);
            int bits = std::popcount(mask);
            std::vector<U64> occs, atts;
            U64 sub = 0;
            do { occs.push_back(sub); atts.push_back(walk(sq, dirs, sub, false)); sub = (sub - mask) & mask; } while (sub);
            std::vector<U64> table(size_t(1) << bits);
            std::vector<int> stamp(size_t(1) << bits, 0);
            for (int attempt = 1;; ++attempt) {
                U64 m = rng() & rng() & rng();
                if (std::popcount((mask * m) >> 56) < 6) continue;
                bool ok = true;
                for (size_t i = 0; i < occs.size() && ok; ++i) {
                    size_t idx = (occs[i] * m) >> (64 - bits);
                    if (stamp[idx] != attempt) { stamp[idx] = attempt; table[idx] = atts[i]; }
                    else if (table[idx] != atts[i]) ok = false;
                }
                if (ok) { std::printf("0x%016llXULL,%s", (unsigned long long)m, sq % 4 == 3 ? "\n" : " "); break; }
            }
        }
    }
}
