// The levels below full strength: node budgets, score blur, and the draws.
#include "search/strength.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "search/search.h"

namespace {

// Both measures are set from ANCHOR_ELO, a little above full strength: there
// the budget is about what a 10 s + 0.1 s game allows a move and the blur is
// none. Every ELO_PER_DOUBLING below it halves the budget, and the blur grows
// in proportion to MAX_BLUR at the lowest level.
constexpr int ANCHOR_ELO = 2200;
constexpr double ANCHOR_NODES = 400000;
constexpr double ELO_PER_DOUBLING = 85;
constexpr double MIN_NODES = 200;
constexpr int MAX_BLUR = 150;

std::uint64_t state = 0;
bool seeded = false;

std::uint64_t next_random() {
    // SplitMix64: good enough mixing for a choice among a few moves.
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

}  // namespace

std::int64_t strength_node_budget(int elo) {
    const double nodes = ANCHOR_NODES * std::exp2((elo - ANCHOR_ELO) / ELO_PER_DOUBLING);
    return std::int64_t(std::max(nodes, MIN_NODES));
}

int strength_blur(int elo) {
    elo = std::clamp(elo, STRENGTH_MIN_ELO, STRENGTH_MAX_ELO);
    return MAX_BLUR * (ANCHOR_ELO - elo) / (ANCHOR_ELO - STRENGTH_MIN_ELO);
}

void strength_new_game() {
    if (const char* seed = std::getenv("CORVANE_SEED")) {
        state = std::strtoull(seed, nullptr, 10);
    } else {
        state = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                std::uint64_t(std::chrono::system_clock::now().time_since_epoch().count());
    }
    seeded = true;
}

int strength_pick(const int* scores, int count, int elo) {
    if (!seeded) strength_new_game();
    // A mate found is played: blurred, a slower mate could be chosen move after move.
    if (count <= 1 || scores[0] >= MATE_BOUND) return 0;
    const int blur = strength_blur(elo);
    int best = 0, best_value = 0;
    for (int i = 0; i < count; ++i) {
        const int value = scores[i] + int(next_random() % std::uint64_t(blur + 1));
        if (i == 0 || value > best_value) best = i, best_value = value;
    }
    return best;
}
