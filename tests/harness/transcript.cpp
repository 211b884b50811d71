// The transcript interpreter; the format is described in transcript.h.
#include "harness/transcript.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>

#include "harness/engine_process.h"

namespace {

// Waits in transcripts are generous: a sanitized build starts and searches
// several times slower, and the limit only matters when something is wrong.
constexpr int WAIT_MS = 20000;

}  // namespace

std::vector<std::string> transcript_files(const std::string& dir) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        if (entry.path().extension() == ".txt") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

void run_transcript(const std::string& path) {
    std::ifstream in(path);
    ASSERT_TRUE(in) << "cannot read " << path;
    ScratchDir dir;
    for (std::string text; std::getline(in, text);) {
        char name[256], file[256];
        if (std::sscanf(text.c_str(), "@ %255s %255s", name, file) == 2) {
            ASSERT_EQ(symlink((std::string(CORVANE_DATA_DIR) + "/" + file).c_str(), dir.file(name).c_str()), 0) << text;
        }
    }
    in.clear();
    in.seekg(0);
    EngineProcess engine(dir.path());
    ASSERT_TRUE(engine.started());
    ASSERT_TRUE(engine.wait_for("^$", WAIT_MS)) << "no banner";

    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        SCOPED_TRACE(path + ":" + std::to_string(number) + ": " + text);
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (text.empty() || text[0] == '#' || text[0] == '@') continue;
        std::string arg = text.size() > 2 ? text.substr(2) : "";
        switch (text[0]) {
            case '>':
                ASSERT_TRUE(engine.send(std::regex_replace(arg, std::regex(R"(\\r)"), "\r"))) << "the engine stopped reading";
                break;
            case '<':
                ASSERT_TRUE(engine.wait_for(arg, WAIT_MS));
                break;
            case '=': {
                auto line = engine.read_line(WAIT_MS);
                ASSERT_TRUE(line) << "no more output; the engine said:\n" << engine.transcript();
                ASSERT_TRUE(std::regex_search(*line, std::regex(arg)))
                    << "next line was \"" << *line << "\"; the engine said:\n"
                    << engine.transcript();
                break;
            }
            case '!': {
                int expected = 0;
                ASSERT_EQ(std::sscanf(arg.c_str(), "exit %d", &expected), 1) << "expected \"! exit N\"";
                engine.close_stdin();
                ASSERT_EQ(engine.wait_exit(WAIT_MS), expected) << "the engine said:\n" << engine.transcript();
                return;
            }
            default:
                FAIL() << "unknown transcript line";
        }
    }
    engine.close_stdin();
    EXPECT_EQ(engine.wait_exit(WAIT_MS), 0) << "the engine said:\n" << engine.transcript();
}
