// The evaluation network: accumulators kept move by move against fresh sums,
// the vector kernels against the portable loops, the integer arithmetic
// against the trainer's floating-point scores, and files that must not load.
#include "nnue/nnue.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include "test_support.h"

namespace {

std::vector<NnueKernel> supported_kernels() {
    const NnueKernel chosen = nnue_kernel();
    std::vector<NnueKernel> kernels;
    for (NnueKernel k : {NNUE_SCALAR, NNUE_SSE2, NNUE_AVX2})
        if (nnue_set_kernel(k)) kernels.push_back(k);
    nnue_set_kernel(chosen);
    return kernels;
}

// Every node of perft trees (castling of both kinds, en passant, promotions,
// captures), and a null move from each node not in check: the accumulators
// brought forward equal fresh sums, and every kernel scores the position
// alike. (EvalSymmetry meets the kept scores with fresh ones on more trees.)
TEST(Network, AccumulatorsFollowEveryMoveAndKernelsAgree) {
    const std::vector<NnueKernel> kernels = supported_kernels();
    const NnueKernel chosen = nnue_kernel();
    int nodes = 0;
    walk_roots(LIGHT ? 400 : 100, 3, [&](Position& pos) {
        ++nodes;
        const int score = nnue_evaluate(pos, EVAL_LIMIT);
        ASSERT_TRUE(nnue_accumulator_consistent(pos)) << position_to_fen(pos);
        for (NnueKernel k : kernels) {
            nnue_set_kernel(k);
            ASSERT_EQ(nnue_evaluate_fresh(pos, EVAL_LIMIT), score)
                << nnue_kernel_name(k) << " " << position_to_fen(pos);
        }
        nnue_set_kernel(chosen);
        if (in_check(pos)) return;
        NullUndo undo;
        make_null_move(pos, undo);
        nnue_evaluate(pos, EVAL_LIMIT);
        const bool consistent = nnue_accumulator_consistent(pos);
        unmake_null_move(pos, undo);
        ASSERT_TRUE(consistent) << "null move from " << position_to_fen(pos);
    });
    EXPECT_GT(nodes, LIGHT ? 1000 : 10000);
}

// The trainer's own floating-point scores of the network, on every root of
// the perft suites: the engine's integers (scales, views, buckets, clipping)
// must compute the same function. The trainer keeps every weight on the
// integer grid, so only the engine's divisions round.
TEST(Network, IntegerScoresAgreeWithTheTrainersFloatingPoint) {
    constexpr double BOUND_CP = 2;
    std::vector<std::string> fens;
    for (const char* suite : {"standard", "tricky", "random", "chess960"})
        for (const PerftLine& line : perft_suite(std::string("perft/") + suite + ".epd"))
            fens.push_back(line.fen);
    std::ifstream file(std::string(CORVANE_DATA_DIR) + "/nnue/float_scores.txt");
    std::size_t lines = 0;
    double worst = 0;
    for (std::string line; std::getline(file, line) && lines < fens.size();) {
        if (line.empty() || line[0] == '#') continue;
        const std::string& fen = fens[lines++];
        const double expected = std::stod(line);
        // Only the men and the side to move count, so Chess960 castling fields may read as standard ones.
        const int score = nnue_evaluate_fresh(test_position(fen), EVAL_LIMIT);
        const double error = std::abs(score - expected);
        worst = std::max(worst, error);
        EXPECT_LE(error, BOUND_CP) << fen;
    }
    EXPECT_EQ(lines, fens.size()) << "a score for every root";
    RecordProperty("worst_error_cp", std::to_string(worst));
}

std::vector<unsigned char> embedded_file() {
    EXPECT_EQ(nnue_load_file("<embedded>"), nullptr);
    std::ifstream f(std::string(CORVANE_SOURCE_DIR) + "/src/nnue/corvane.nnue", std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

void set_checksum(std::vector<unsigned char>& bytes) {
    std::uint32_t h = 2166136261u;
    for (std::size_t i = 0; i + 4 < bytes.size(); ++i) h = (h ^ bytes[i]) * 16777619u;
    for (int i = 0; i < 4; ++i) bytes[bytes.size() - 4 + i] = static_cast<unsigned char>(h >> (8 * i));
}

// A file that is not a whole, sound network is refused with its reason,
// and the network in use stays.
TEST(Network, FilesThatCannotBeUsedLeaveTheNetworkInUse) {
    const std::vector<unsigned char> good = embedded_file();
    ASSERT_EQ(good.size(), NNUE_FILE_BYTES);
    Position& pos = test_position("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
    const int before = nnue_evaluate_fresh(pos, EVAL_LIMIT);

    struct Case {
        const char* name;
        void (*spoil)(std::vector<unsigned char>&);
        const char* reason;
    };
    constexpr std::size_t LAST_OUT = NNUE_FILE_BYTES - 4 - 4 * NNUE_BUCKETS - 2;
    const Case cases[] = {
        {"empty", [](auto& b) { b.clear(); }, "not a Corvane network file"},
        {"other magic", [](auto& b) { b[0] = 'X'; }, "not a Corvane network file"},
        {"other version", [](auto& b) { b[4] = 9; }, "a network file of another version"},
        {"other shape", [](auto& b) { b[12] = 0, b[13] = 2; }, "a network of another shape"},
        {"cut short", [](auto& b) { b.resize(NNUE_FILE_BYTES - 100); }, "cut short"},
        {"longer", [](auto& b) { b.push_back(0); }, "longer than a network"},
        {"a weight changed", [](auto& b) { b[1000] ^= 1; }, "damaged (its checksum does not match)"},
        // 128 as the last bucket's last output weight, the checksum made to match.
        {"an output weight too large", [](auto& b) { b[LAST_OUT] = 0x80, b[LAST_OUT + 1] = 0, set_checksum(b); },
         "an output weight out of range"},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> bytes = good;
        c.spoil(bytes);
        const char* why = nnue_load_bytes(bytes.data(), bytes.size(), c.name);
        EXPECT_STREQ(why ? why : "loaded", c.reason) << c.name;
        EXPECT_EQ(nnue_evaluate_fresh(pos, EVAL_LIMIT), before) << c.name;
    }
    EXPECT_STREQ(nnue_load_file("no/such/file.nnue"), "cannot be opened");
    EXPECT_STREQ(nnue_source(), "<embedded>");
}

}  // namespace
