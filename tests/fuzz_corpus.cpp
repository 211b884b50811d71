// The fuzz targets' seed inputs and every input that once broke one of them,
// replayed in each build: a target aborts on a broken invariant, so a
// regression shows here as a crash with the input printed.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "fuzz/harness.h"
#include "fuzz/targets.h"

namespace {

class FuzzCorpus : public ::testing::TestWithParam<fuzz::NamedTarget> {};

TEST_P(FuzzCorpus, EveryInputKeepsTheInvariants) {
    const fuzz::NamedTarget target = GetParam();
    int replayed = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        const std::filesystem::path dir = std::filesystem::path(CORVANE_FUZZ_DIR) / kind / target.name;
        if (!std::filesystem::is_directory(dir)) continue;
        for (const auto& file : std::filesystem::directory_iterator(dir)) {
            const std::string bytes = fuzz::read_file(file.path());
            SCOPED_TRACE(file.path().string());
            target.run(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0) << "no seed inputs for " << target.name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, ::testing::ValuesIn(fuzz::TARGETS),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
