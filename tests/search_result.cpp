// The one place that decides a search's answer: which source wins in each
// situation, and that the move, the ponder move and the line shown always
// belong together. Moves are opaque words here: nothing is played.
#include <gtest/gtest.h>

#include <memory>

#include "search/driver.h"
#include "search/strength.h"

namespace {

constexpr Move A = 101, B = 102, C = 103, D = 104;

Line line_of(Move first, int score, int depth) {
    Line l{};
    l.pv[0] = first;
    l.pv[1] = first + 100;  // each line's own reply: a ponder move from another line shows
    l.score = score;
    l.depth = depth;
    return l;
}

struct Fixture {
    std::unique_ptr<RootSearch> root = std::make_unique<RootSearch>();
    std::unique_ptr<LineSet> lines = std::make_unique<LineSet>();
    Line main_completed{}, helper[2]{};
    const Line* helpers[2] = {&helper[0], &helper[1]};

    Fixture() {
        // Root moves by key: B would be searched first.
        root->moves[0] = {A, 0};
        root->moves[1] = {B, 5};
        root->count = root->first_count = 2;
    }
    // The answer, checked to be whole: the line shown starts with the move
    // played and goes on with the ponder move.
    SearchResult choose(bool several_lines = false) {
        const SearchResult r = choose_result({.root = root.get(), .lines = several_lines ? lines.get() : nullptr,
                                              .main_completed = &main_completed, .helpers = helpers, .helper_count = 2});
        EXPECT_NE(r.move, NO_MOVE);
        EXPECT_TRUE(!r.line || (r.line->pv[0] == r.move && r.line->pv[1] == r.ponder));
        return r;
    }
};

}  // namespace

TEST(SearchResult, OneLineTakesADeeperHelperOnlyWhenItIsNoWorse) {
    Fixture f;
    f.root->pv = f.main_completed = line_of(A, 30, 5);
    f.helper[0] = line_of(B, 20, 6);  // deeper but worse: the main thread's line
    EXPECT_EQ(f.choose().move, A);

    f.helper[1] = line_of(C, 40, 7);  // deeper and no worse
    EXPECT_EQ(f.choose().line, &f.helper[1]);

    // A main thread that completed nothing has no score to compare: the
    // deeper helper answers even with a losing score.
    f.main_completed = Line{};
    f.root->pv = line_of(A, 10, 1);  // the first move of an unfinished iteration
    f.helper[0] = line_of(D, -300, 2);
    f.helper[1] = Line{};
    EXPECT_EQ(f.choose().move, D);
}

TEST(SearchResult, SeveralLinesAnswerWithTheBestShownLineWhateverTheHelpers) {
    Fixture f;
    f.root->pv = f.main_completed = line_of(A, 30, 5);
    f.helper[0] = line_of(C, 90, 9);
    f.lines->lines[0] = line_of(B, 35, 5);
    f.lines->lines[1] = line_of(A, 30, 5);
    f.lines->count = 2;
    EXPECT_EQ(f.choose(true).move, B);
}

TEST(SearchResult, WithoutAnyCompletedMoveTheFirstRootMoveAnswers) {
    Fixture f;
    const SearchResult r = f.choose();
    EXPECT_EQ(std::vector<Move>({r.move, r.ponder}), std::vector<Move>({B, NO_MOVE}));
    EXPECT_EQ(r.line, nullptr);
}

// No step of the scale changes a level much, the last one to full strength
// included: the budget grows and the blur shrinks by small steps all the way.
TEST(SearchResult, LevelsReachFullStrengthByStepsOfTheScale) {
    for (int elo = STRENGTH_MIN_ELO; elo < STRENGTH_MAX_ELO; ++elo) {
        const double budget = double(strength_node_budget(elo)), next = double(strength_node_budget(elo + 1));
        EXPECT_TRUE(next >= budget && next <= budget * 1.02) << elo;
        EXPECT_TRUE(strength_blur(elo + 1) <= strength_blur(elo) && strength_blur(elo) - strength_blur(elo + 1) <= 1)
            << elo;
    }
    EXPECT_EQ(strength_blur(STRENGTH_MAX_ELO - 1), 0);
    EXPECT_FALSE(strength_weakened(true, STRENGTH_MAX_ELO));
}
