// Engine options end to end: what the log records of every setting, which
// setoption lines are ignored, and the hash size that is stored but not acted on.
// The listing itself is pinned row by row in uci/option_listing.txt.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "harness/engine_process.h"
#include "uci/options.h"

namespace {

const std::string SET_LINE = "^info string (.*) is set to value (.*)$";

// The "name=value" of each setting the log recorded, in order.
std::vector<std::string> logged_settings(const EngineProcess& engine) {
    std::vector<std::string> settings;
    std::istringstream log(engine.read_file("logfile.txt"));
    std::smatch m;
    for (std::string line; std::getline(log, line);)
        if (std::regex_match(line, m, std::regex(SET_LINE))) settings.push_back(m[1].str() + "=" + m[2].str());
    return settings;
}

// The "name=value" of each row of every uci listing on the screen, in order.
std::vector<std::string> listed_options(const EngineProcess& engine) {
    std::vector<std::string> rows;
    std::smatch m;
    for (const auto& line : engine.lines())
        if (std::regex_match(line, m, std::regex("^option name (.*) type \\w+ default (.*?)( min -?\\d+ max \\d+)?$")))
            rows.push_back(m[1].str() + "=" + m[2].str());
    return rows;
}

// The node count of the last completed iteration of a depth-limited search.
long long nodes_of_search(EngineProcess& engine, int depth) {
    engine.send("go depth " + std::to_string(depth));
    auto line = engine.wait_for("^info depth " + std::to_string(depth) + " seldepth ");
    engine.wait_for("^bestmove ");
    std::smatch m;
    if (!line || !std::regex_search(*line, m, std::regex(" nodes (\\d+) "))) return -1;
    return std::stoll(m[1].str());
}

}  // namespace

// Start-up sets every option from its default, in the order of the listing;
// after that only well-formed setoption lines reach the table and the log.
TEST(UciOptions, StartupDefaultsThenOnlyWellFormedSetoptionLines) {
    struct Case {
        const char* line;
        const char* logged;  // empty: ignored without a trace
    } cases[] = {
        {"setoption name hash value 64", ""},  // names are case-sensitive
        {"setoption name OWNBOOK value true", ""},
        {"setoption Time Buffer value 5", ""},
        {"setoption name Time Buffer 5", ""},
        {"setoption value 5 name Time Buffer", ""},
        {"setoption name value 5", ""},
        {"setoption name Time Buffer value 0", "Time Buffer=0"},
        {"setoption name Book Move Limit value 17\r", "Book Move Limit=17"},
        {"setoption name UCI_EngineAbout value", "UCI_EngineAbout="},
        {"setoption name UCI_EngineAbout value Corvane  at   work, 2 cores", "UCI_EngineAbout=Corvane  at   work, 2 cores"},
        {"setoption name OwnBook value True", "OwnBook=True"},
    };
    EngineProcess engine;
    engine.send("uci");
    std::vector<std::string> expected;
    for (const Case& c : cases) {
        engine.send(c.line);
        if (*c.logged) expected.push_back(c.logged);
    }
    engine.send("uci");
    engine.send("quit");
    ASSERT_EQ(engine.wait_exit(), 0);
    auto settings = logged_settings(engine);
    auto listed = listed_options(engine);
    ASSERT_EQ(listed.size(), 2u * OPTION_COUNT) << engine.transcript();
    ASSERT_EQ(settings.size(), OPTION_COUNT + expected.size());
    EXPECT_EQ(std::vector<std::string>(settings.begin(), settings.begin() + OPTION_COUNT),
              std::vector<std::string>(listed.begin(), listed.begin() + OPTION_COUNT));
    EXPECT_EQ(std::vector<std::string>(settings.begin() + OPTION_COUNT, settings.end()), expected);
    EXPECT_EQ(listed[OPTION_COUNT], "Hash=32");
    EXPECT_EQ(listed[OPTION_COUNT + 3], "OwnBook=True");
    EXPECT_EQ(listed[OPTION_COUNT + 5], "Book Move Limit=17");
    EXPECT_EQ(listed[OPTION_COUNT + 7], "Time Buffer=0");
    EXPECT_EQ(listed[OPTION_COUNT + 31], "UCI_EngineAbout=Corvane  at   work, 2 cores");
}

// A size below 4 MB is stored but leaves the table, contents and all, alone;
// any other size brings a new, empty table at once.
TEST(UciOptions, HashBelowFourKeepsTheTableAndALaterSizeReplacesIt) {
    EngineProcess engine;
    engine.send("position startpos");
    long long fresh = nodes_of_search(engine, 6);
    ASSERT_GT(fresh, 0);

    engine.send("setoption name Hash value 2");
    engine.send("isready");
    ASSERT_TRUE(engine.wait_for("^readyok$"));
    // The entries of the first search cut the second one short.
    EXPECT_LT(nodes_of_search(engine, 6), fresh);

    engine.send("setoption name Hash value 8");
    EXPECT_EQ(nodes_of_search(engine, 6), fresh);
    engine.send("uci");
    engine.send("quit");
    ASSERT_EQ(engine.wait_exit(), 0);
    EXPECT_EQ(listed_options(engine)[0], "Hash=8");
    auto settings = logged_settings(engine);
    EXPECT_EQ(std::vector<std::string>(settings.begin() + OPTION_COUNT, settings.end()),
              (std::vector<std::string>{"Hash=2", "Hash=8"}));
}
