// Perft counts of the reference suites in tests/data: the move generator, legality tests and
// make/unmake together must reproduce every published leaf count.
#include "test_support.h"

namespace {

// Sanitized and 32-bit builds run the cheaper depths only.
constexpr std::uint64_t STANDARD_CAP = LIGHT ? 5'000'000 : UINT64_MAX;
constexpr std::uint64_t RANDOM_CAP = LIGHT ? 50'000 : 1'000'000;
constexpr std::uint64_t CHESS960_CAP = LIGHT ? 200'000 : UINT64_MAX;

// Every count up to cap; on a mismatch the divide (each move's count) to
// compare with a correct one, and nothing deeper.
void check_counts(const PerftLine& line, std::uint64_t cap, bool chess960 = false) {
    for (std::size_t d = 1; d <= line.counts.size() && line.counts[d - 1] <= cap; ++d) {
        Position& pos = test_position(line.fen, chess960);
        if (perft(pos, int(d)) == line.counts[d - 1]) continue;
        std::string divide;
        UndoRecord undo;
        for (Move m : legal_moves(pos)) {
            make_move(pos, undo, m);
            divide += std::string("  ") + move_to_text(m) + ": " + std::to_string(perft(pos, int(d) - 1)) + "\n";
            unmake_move(pos, undo);
        }
        ADD_FAILURE() << "line " << line.line << ": " << line.fen << "\ndepth " << d << " expected "
                      << line.counts[d - 1] << " got " << perft(pos, int(d)) << "\ndivide:\n" << divide;
        return;
    }
}

// A suite in chunks that ctest runs side by side: chunk k takes the lines k, k + chunks, ...
void check_chunk(const char* file, std::size_t min_lines, int chunk, int chunks, std::uint64_t cap, bool chess960) {
    const auto& suite = perft_suite(file);
    ASSERT_GE(suite.size(), min_lines);
    for (std::size_t i = std::size_t(chunk); i < suite.size(); i += std::size_t(chunks)) check_counts(suite[i], cap, chess960);
}

class StandardSuite : public ::testing::TestWithParam<int> {};
TEST_P(StandardSuite, EveryCount) { check_chunk("perft/standard.epd", 6, GetParam(), 6, STANDARD_CAP, false); }
INSTANTIATE_TEST_SUITE_P(Perft, StandardSuite, ::testing::Range(0, 6));

TEST(Perft, TrickySuite) { check_chunk("perft/tricky.epd", 12, 0, 1, UINT64_MAX, false); }

class RandomSuite : public ::testing::TestWithParam<int> {};
TEST_P(RandomSuite, CountsUpToCap) { check_chunk("perft/random.epd", 6000, GetParam(), 8, RANDOM_CAP, false); }
INSTANTIATE_TEST_SUITE_P(Perft, RandomSuite, ::testing::Range(0, 8));

// Castling from every start square: king and rook swapping, standing still,
// a rook shielding the king's destination, X-FEN and Shredder-FEN rights
// (read as with UCI_Chess960 on).
class Chess960Suite : public ::testing::TestWithParam<int> {};
TEST_P(Chess960Suite, EveryCount) { check_chunk("perft/chess960.epd", 60, GetParam(), 4, CHESS960_CAP, true); }
INSTANTIATE_TEST_SUITE_P(Perft, Chess960Suite, ::testing::Range(0, 4));

}  // namespace
