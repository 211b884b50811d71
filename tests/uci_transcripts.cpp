// Every scripted UCI session in tests/uci/ runs against the real engine.
#include <gtest/gtest.h>

#include <filesystem>

#include "harness/transcript.h"

namespace {

class UciTranscript : public testing::TestWithParam<std::string> {};

TEST_P(UciTranscript, Runs) { run_transcript(GetParam()); }

std::string transcript_name(const testing::TestParamInfo<std::string>& info) {
    std::string name = std::filesystem::path(info.param).stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Uci, UciTranscript, testing::ValuesIn(transcript_files(CORVANE_TRANSCRIPT_DIR)),
                         transcript_name);

}  // namespace
