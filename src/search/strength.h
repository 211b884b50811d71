// Chosen playing strength (UCI_LimitStrength with UCI_Elo). A weaker player
// sees less and misjudges close choices: the search stops deepening once its
// node budget for the level is spent, and the move is then drawn from the
// best few root lines of the last completed iteration, each line's score
// blurred by an amount that grows as the level falls. A line more than that
// amount below the best can never be chosen, so material is not thrown away
// beyond what the shallower sight already misses.
#pragma once

#include <cstdint>

constexpr int STRENGTH_MIN_ELO = 1350;
// Corvane at full strength: UCI_Elo at or above it weakens nothing.
constexpr int STRENGTH_MAX_ELO = 2050;
// Root lines a weakened search keeps to choose from.
constexpr int STRENGTH_LINES = 4;

// Whether the level weakens play at all.
inline bool strength_weakened(bool limit, int elo) { return limit && elo < STRENGTH_MAX_ELO; }
// Nodes after which a weakened search starts no further iteration.
std::int64_t strength_node_budget(int elo);
// The most centipawns a line's score is blurred by at this level.
int strength_blur(int elo);
// A new game's draws: from the clock, or a fixed seed when CORVANE_SEED is set
// in the environment (reproducible games for tests).
void strength_new_game();
// The index, among `count` root line scores, of the line played.
int strength_pick(const int* scores, int count, int elo);
