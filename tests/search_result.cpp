// The one place that decides a search's answer: which source wins in each
// situation, and that the move, the ponder move and the line shown always
// belong together. Moves are opaque words here: nothing is played.
#include <gtest/gtest.h>

#include <memory>

#include "search/driver.h"
#include "search/strength.h"

namespace {

constexpr Move A = 101, B = 102, C = 103, D = 104, REPLY = 201;

Line line_of(Move first, int score, int depth) {
    Line l{};
    l.pv[0] = first;
    l.pv[1] = REPLY;
    l.score = score;
    l.depth = depth;
    return l;
}

struct Fixture {
    std::unique_ptr<RootSearch> root = std::make_unique<RootSearch>();
    std::unique_ptr<LineSet> lines = std::make_unique<LineSet>();
    Line main_completed{};
    Line helper[2]{};
    const Line* helpers[2] = {&helper[0], &helper[1]};

    Fixture() {
        // Root moves by key: B would be searched first.
        root->moves[0] = {A, 0};
        root->moves[1] = {B, 5};
        root->count = root->first_count = 2;
    }
    ResultSources sources() const {
        return {.root = root.get(), .main_completed = &main_completed, .helpers = helpers, .helper_count = 2};
    }
};

void expect_coherent(const SearchResult& r) {
    ASSERT_NE(r.move, NO_MOVE);
    if (r.line) {
        EXPECT_EQ(r.line->pv[0], r.move);
        EXPECT_EQ(r.line->pv[1], r.ponder);
    }
}

}  // namespace

TEST(SearchResult, OneLineTakesADeeperHelperOnlyWhenItIsNoWorse) {
    Fixture f;
    f.root->pv = f.main_completed = line_of(A, 30, 5);
    f.helper[0] = line_of(B, 20, 6);  // deeper but worse: the main thread's line
    SearchResult r = choose_result(f.sources());
    expect_coherent(r);
    EXPECT_EQ(r.move, A);

    f.helper[1] = line_of(C, 40, 7);  // deeper and no worse
    r = choose_result(f.sources());
    expect_coherent(r);
    EXPECT_EQ(r.move, C);
    EXPECT_EQ(r.line, &f.helper[1]);

    // A main thread that completed nothing has no score to compare: the
    // deeper helper answers even with a losing score.
    f.main_completed = Line{};
    f.root->pv = line_of(A, 10, 1);  // the first move of an unfinished iteration
    f.helper[0] = line_of(D, -300, 2);
    f.helper[1] = Line{};
    r = choose_result(f.sources());
    expect_coherent(r);
    EXPECT_EQ(r.move, D);
}

TEST(SearchResult, SeveralLinesAnswerWithTheBestShownLineWhateverTheHelpers) {
    Fixture f;
    f.root->pv = f.main_completed = line_of(A, 30, 5);
    f.helper[0] = line_of(C, 90, 9);
    f.lines->lines[0] = line_of(B, 35, 5);
    f.lines->lines[1] = line_of(A, 30, 5);
    f.lines->count = 2;
    ResultSources s = f.sources();
    s.lines = f.lines.get();
    const SearchResult r = choose_result(s);
    expect_coherent(r);
    EXPECT_EQ(r.move, B);
}

TEST(SearchResult, WithoutAnyCompletedMoveTheFirstRootMoveAnswers) {
    Fixture f;
    const SearchResult r = choose_result(f.sources());
    EXPECT_EQ(r.move, B);
    EXPECT_EQ(r.ponder, NO_MOVE);
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
