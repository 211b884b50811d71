// Every scripted UCI session in tests/uci/ runs against the real engine, one
// test case a file:
//
//   > command     send the command (a lone ">" sends an empty line; "\r" and
//                 "\xNN" in it send a carriage return and the byte NN)
//   < regex       read lines until one matches (ECMAScript, searched)
//   = regex       the very next line must match (proves nothing came between)
//   ! exit N      close standard input and expect exit status N
//   @ NAME FILE   before the engine starts, NAME in its working directory
//                 (folders made as needed; spaces allowed: FILE is the last
//                 word) links to FILE of tests/data
//   + NAME FILE   the same link, made at this point of the session
//   - NAME        NAME removed from the working directory at this point
//   $ NAME VALUE  before the engine starts, NAME=VALUE in its environment
//   # comment     ignored, as are blank lines
//
// The banner (up to its closing empty line) is read before the first line, so
// "=" lines see only replies to the transcript's commands. A transcript
// without "! exit" ends by closing standard input and expecting status 0, so
// every session also proves the engine shuts down cleanly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "harness/engine_process.h"

namespace {

namespace fs = std::filesystem;

std::string unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text.compare(i, 2, "\\r") == 0) out += '\r', i += 1;
        else if (text.compare(i, 2, "\\x") == 0 && i + 3 < text.size()) out += char(std::stoi(text.substr(i + 2, 2), nullptr, 16)), i += 3;
        else out += text[i];
    return out;
}

// Links NAME (the words before the last of `arg`) to the last word's file of tests/data.
void link_data(const ScratchDir& dir, const std::string& arg) {
    const std::string name = arg.substr(0, arg.find_last_of(' ')), file = arg.substr(arg.find_last_of(' ') + 1);
    fs::create_directories(fs::path(dir.file(name)).parent_path());
    fs::create_symlink(fs::path(CORVANE_DATA_DIR) / file, dir.file(name));
}

void run_transcript(const std::string& path) {
    std::vector<std::string> script;
    std::ifstream in(path);
    for (std::string text; std::getline(in, text);) script.push_back(text.empty() || text.back() != '\r' ? text : text.substr(0, text.size() - 1));
    ASSERT_FALSE(script.empty()) << "cannot read " << path;
    ScratchDir dir;
    std::vector<std::string> variables;
    for (const std::string& text : script) {
        std::istringstream words(text.size() > 2 ? text.substr(2) : "");
        std::string name, value;
        words >> name >> value;
        if (text[0] == '@') {
            link_data(dir, text.substr(2));
        } else if (text[0] == '$') {
            setenv(name.c_str(), value.c_str(), 1);
            variables.push_back(name);
        }
    }
    EngineProcess engine({}, dir.path);
    for (const std::string& name : variables) unsetenv(name.c_str());
    ASSERT_TRUE(engine.wait_for("^$")) << "no banner";

    for (std::size_t number = 1; number <= script.size(); ++number) {
        const std::string& text = script[number - 1];
        SCOPED_TRACE(path + ":" + std::to_string(number) + ": " + text);
        const std::string arg = text.size() > 2 ? text.substr(2) : "";
        if (text.empty() || std::string("#@$").find(text[0]) != std::string::npos) continue;
        if (text[0] == '>') {
            ASSERT_TRUE(engine.send(unescaped(arg))) << "the engine stopped reading";
        } else if (text[0] == '<') {
            ASSERT_TRUE(engine.wait_for(arg));
        } else if (text[0] == '=') {
            const auto line = engine.read_line();
            ASSERT_TRUE(line && std::regex_search(*line, std::regex(arg)))
                << "the next line was not that; the engine said:\n" << engine.transcript();
        } else if (text[0] == '+') {
            link_data(dir, arg);
        } else if (text[0] == '-') {
            ASSERT_TRUE(fs::remove(dir.file(arg)));
        } else if (text[0] == '!') {
            int expected = 0;
            ASSERT_EQ(std::sscanf(arg.c_str(), "exit %d", &expected), 1) << "expected \"! exit N\"";
            engine.close_stdin();
            ASSERT_EQ(engine.wait_exit(), expected) << "the engine said:\n" << engine.transcript();
            return;
        } else {
            FAIL() << "unknown transcript line";
        }
    }
    engine.close_stdin();
    EXPECT_EQ(engine.wait_exit(), 0) << "the engine said:\n" << engine.transcript();
}

std::vector<std::string> transcripts() {
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(CORVANE_TRANSCRIPT_DIR))
        if (entry.path().extension() == ".txt") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

class UciTranscript : public testing::TestWithParam<std::string> {};

TEST_P(UciTranscript, Runs) { run_transcript(GetParam()); }

INSTANTIATE_TEST_SUITE_P(Uci, UciTranscript, testing::ValuesIn(transcripts()), [](const auto& param) {
    std::string name = fs::path(param.param).stem().string();
    std::replace_if(name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
    return name;
});

}  // namespace
