// Perft counts of the reference suites in tests/data: the move generator, legality tests and
// make/unmake together must reproduce every published leaf count.
#include <gtest/gtest.h>

#include "perft_trees.h"
#include "test_support.h"

namespace {

// Sanitized and 32-bit builds run the cheaper depths only.
constexpr std::uint64_t STANDARD_CAP = LIGHT ? 5'000'000 : UINT64_MAX;
constexpr std::uint64_t RANDOM_CAP = LIGHT ? 50'000 : 1'000'000;
constexpr int RANDOM_CHUNKS = 8;
constexpr std::uint64_t CHESS960_CAP = LIGHT ? 200'000 : UINT64_MAX;
constexpr int CHESS960_CHUNKS = 4;

void check_counts(const PerftLine& line, std::uint64_t cap, bool chess960 = false) {
    for (std::size_t d = 1; d <= line.counts.size(); ++d) {
        if (line.counts[d - 1] > cap) break;
        Position& pos = test_position(line.fen, chess960);
        std::uint64_t got = perft(pos, int(d));
        if (got != line.counts[d - 1]) {
            ADD_FAILURE() << "line " << line.line << ": " << line.fen << "\ndepth " << d << " expected "
                          << line.counts[d - 1] << " got " << got << "\ndivide:\n"
                          << divide_report(test_position(line.fen, chess960), int(d));
            return;  // deeper counts add nothing once a shallower one is wrong
        }
    }
}

class StandardSuite : public ::testing::TestWithParam<int> {};

TEST_P(StandardSuite, EveryCount) {
    const auto& suite = perft_suite("perft/standard.epd");
    ASSERT_LT(std::size_t(GetParam()), suite.size());
    check_counts(suite[std::size_t(GetParam())], STANDARD_CAP);
}
INSTANTIATE_TEST_SUITE_P(Perft, StandardSuite, ::testing::Range(0, 6));

TEST(Perft, TrickySuite) {
    const auto& suite = perft_suite("perft/tricky.epd");
    ASSERT_EQ(suite.size(), 12u);
    for (const PerftLine& line : suite) check_counts(line, UINT64_MAX);
}

// A suite too large for one test, in chunks that ctest runs side by side:
// chunk k takes the lines k, k + chunks, ...
void check_chunk(const char* file, std::size_t min_lines, int chunk, int chunks, std::uint64_t cap,
                 bool chess960) {
    const auto& suite = perft_suite(file);
    ASSERT_GE(suite.size(), min_lines);
    for (std::size_t i = std::size_t(chunk); i < suite.size(); i += std::size_t(chunks))
        check_counts(suite[i], cap, chess960);
}

class RandomSuite : public ::testing::TestWithParam<int> {};
TEST_P(RandomSuite, CountsUpToCap) {
    check_chunk("perft/random.epd", 6000, GetParam(), RANDOM_CHUNKS, RANDOM_CAP, false);
}
INSTANTIATE_TEST_SUITE_P(Perft, RandomSuite, ::testing::Range(0, RANDOM_CHUNKS));

// Castling from every start square: king and rook swapping, standing still,
// a rook shielding the king's destination, X-FEN and Shredder-FEN rights
// (read as with UCI_Chess960 on).
class Chess960Suite : public ::testing::TestWithParam<int> {};
TEST_P(Chess960Suite, EveryCount) {
    check_chunk("perft/chess960.epd", 60, GetParam(), CHESS960_CHUNKS, CHESS960_CAP, true);
}
INSTANTIATE_TEST_SUITE_P(Perft, Chess960Suite, ::testing::Range(0, CHESS960_CHUNKS));

}  // namespace
