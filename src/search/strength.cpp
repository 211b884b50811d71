// The levels below full strength: node budgets, score blur, and the draws.
#include "search/strength.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "search/search.h"

namespace {

// Up to BLEND_ELO both measures are set from ANCHOR_ELO, a little above full
// strength: there the budget is about what a 10 s + 0.1 s game allows a move
// and the blur is none. Every ELO_PER_DOUBLING below it halves the budget,
// and the blur grows in proportion to MAX_BLUR at the lowest level (the
// levels were calibrated on this scale). Above BLEND_ELO both reach full
// strength together at STRENGTH_MAX_ELO: the blur falls linearly to none and
// the budget doubles faster, to ANCHOR_NODES, so no step of the scale changes
// much, the last one included.
constexpr int ANCHOR_ELO = 2200;
constexpr double ANCHOR_NODES = 400000;
constexpr double ELO_PER_DOUBLING = 85;
constexpr double MIN_NODES = 200;
constexpr int MAX_BLUR = 150;
constexpr int BLEND_ELO = 1900;

double calibrated_nodes(int elo) { return ANCHOR_NODES * std::exp2((elo - ANCHOR_ELO) / ELO_PER_DOUBLING); }
int calibrated_blur(int elo) { return MAX_BLUR * (ANCHOR_ELO - elo) / (ANCHOR_ELO - STRENGTH_MIN_ELO); }
// How far from the blend's start to full strength, 0 to 1.
double blend(int elo) { return double(elo - BLEND_ELO) / (STRENGTH_MAX_ELO - BLEND_ELO); }

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
    elo = std::clamp(elo, STRENGTH_MIN_ELO, STRENGTH_MAX_ELO);
    double nodes = calibrated_nodes(elo);
    if (elo > BLEND_ELO) {
        const double from = std::log2(calibrated_nodes(BLEND_ELO)), to = std::log2(ANCHOR_NODES);
        nodes = std::exp2(from + (to - from) * blend(elo));
    }
    return std::int64_t(std::max(nodes, MIN_NODES));
}

int strength_blur(int elo) {
    elo = std::clamp(elo, STRENGTH_MIN_ELO, STRENGTH_MAX_ELO);
    if (elo <= BLEND_ELO) return calibrated_blur(elo);
    return int(calibrated_blur(BLEND_ELO) * (1 - blend(elo)));
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
    const int top = int(std::max_element(scores, scores + count) - scores);
    if (count <= 1 || scores[top] >= MATE_BOUND) return top;
    const int blur = strength_blur(elo);
    int best = 0, best_value = 0;
    for (int i = 0; i < count; ++i) {
        const int value = scores[i] + int(next_random() % std::uint64_t(blur + 1));
        if (i == 0 || value > best_value) best = i, best_value = value;
    }
    return best;
}
