// The option table as the interface sees it (listing, setoption) and as the
// engine reads it (option_get_*, read_params).
#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"
#include "uci/options.h"
#include "uci/uci.h"

namespace {

class Options : public ::testing::Test {
protected:
    void SetUp() override { init_engine_tables(); }
    void TearDown() override { options_init(); }  // every option back to its default
};

std::vector<std::string> listing() {
    testing::internal::CaptureStdout();
    options_list();
    std::istringstream out(testing::internal::GetCapturedStdout());
    std::vector<std::string> lines;
    for (std::string line; std::getline(out, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST_F(Options, ListingShowsAllRowsInOrderWithCurrentValues) {
    std::vector<std::string> lines = listing();
    ASSERT_EQ(lines.size(), 32u);
    EXPECT_EQ(lines.front(), "option name Hash type spin default 32 min 1 max 4096");
    EXPECT_EQ(lines[4], "option name Book File type string default corvanebook.bin");
    EXPECT_EQ(lines[7], "option name Time Buffer type spin default 1000 min 0 max 10000");
    EXPECT_EQ(lines.back(), "option name UCI_EngineAbout type string default Corvane by Velmorin");

    option_set("Time Buffer", "250");
    EXPECT_EQ(listing()[7], "option name Time Buffer type spin default 250 min 0 max 10000");
}

TEST_F(Options, ReadersDecodeTextAsDocumented) {
    const char* name = "UCI_EngineAbout";  // a string row read by nothing: free to scribble on
    struct Case { const char* text; int as_int; int as_bool; };
    for (const Case& c : {Case{"true", 0, 1}, Case{"True", 0, 0}, Case{"t", 0, 1}, Case{"", 0, 0},
                          Case{"  -12abc", -12, 0}, Case{"+7", 7, 0}, Case{"x5", 0, 0},
                          Case{"99999999999999999999", INT_MAX, 0}, Case{"-99999999999", INT_MIN, 0}}) {
        ASSERT_EQ(option_set(name, c.text), 1);
        EXPECT_EQ(option_get_int(name), c.as_int) << '"' << c.text << '"';
        EXPECT_EQ(option_get_bool(name), c.as_bool) << '"' << c.text << '"';
    }
    EXPECT_EQ(option_set("No Such Option", "1"), 0);
    EXPECT_EQ(option_set("hash", "64"), 0);  // names are case-sensitive
}

// Each field must come from its own option: flipping one option changes
// exactly its field, which catches any cross-wiring of the 26 decodings.
TEST_F(Options, ReadParamsWiresEachFieldToItsOption) {
    struct Wire { int EngineParams::*field; const char* option; bool check; };
    using P = EngineParams;
    const Wire wires[] = {
        {&P::use_trans_table, "Transposition Table", true}, {&P::own_book, "OwnBook", true},
        {&P::book_move_limit, "Book Move Limit", false}, {&P::null_move, "Null Move Pruning", true},
        {&P::iid, "Internal Iterative Deepening", true}, {&P::iid_depth, "Internal Iterative Deepening Depth", false},
        {&P::delta_pruning, "Delta Pruning", true}, {&P::delta_threshold, "Delta Pruning Threshold", false},
        {&P::zero_pruning, "Zero Pruning", true}, {&P::zero_aggressive, "Zero Pruning Aggressive", true},
        {&P::zero_level, "Zero Pruning Level", false}, {&P::zero_threshold, "Zero Pruning Threshold", false},
        {&P::zero_multiplier, "Zero Pruning Multiplier", false}, {&P::speculation, "Speculation", true},
        {&P::spec_base, "Speculation Base", false}, {&P::spec_level, "Speculation Level", false},
        {&P::ext_speculation, "Extended Speculation", true}, {&P::ext_spec_base, "Extended Speculation Base", false},
        {&P::ext_spec_level, "Extended Speculation Level", false}, {&P::spec_pv, "Speculation PV", true},
        {&P::spec_pv_level, "Speculation PV Level", false}, {&P::king_attack_level, "King Attacks Aggression Level", false},
        {&P::piece_attack_mg, "Piece Attacks Midgame", false}, {&P::piece_attack_eg, "Piece Attacks Endgame", false},
        {&P::show_curr_line, "UCI_ShowCurrLine", true}, {&P::time_buffer, "Time Buffer", false},
    };
    static_assert(sizeof(wires) / sizeof(wires[0]) * sizeof(int) == sizeof(EngineParams));
    EngineParams base{};
    read_params(base);
    for (const Wire& w : wires) {
        int flipped = w.check ? 1 - base.*w.field : 4321;
        option_set(w.option, w.check ? (flipped ? "true" : "false") : "4321");
        EngineParams now{};
        read_params(now);
        for (const Wire& other : wires)
            EXPECT_EQ(now.*other.field, &other == &w ? flipped : base.*other.field)
                << "after setting " << w.option << ", field of " << other.option;
        options_init();
    }
}

TEST_F(Options, SetoptionParsesNameAndValue) {
    Position& pos = test_position(START_FEN);
    uci_setoption(pos, "setoption name Book Move Limit value 17\n");
    EXPECT_STREQ(option_get("Book Move Limit"), "17");
    uci_setoption(pos, "setoption name UCI_EngineAbout value a b  c\r\n");
    EXPECT_STREQ(option_get("UCI_EngineAbout"), "a b  c");
    uci_setoption(pos, "setoption name UCI_EngineAbout value");  // nothing after the word
    EXPECT_STREQ(option_get("UCI_EngineAbout"), "");

    // Ignored without a trace: wrong case, no "name", no "value", value before name.
    for (const char* line : {"setoption name time buffer value 5\n", "setoption Time Buffer value 5\n",
                             "setoption name Time Buffer 5\n", "setoption value 5 name Time Buffer\n",
                             "setoption name value 5\n", "setoption namevalue\n", "setoption"}) {
        uci_setoption(pos, line);
        EXPECT_STREQ(option_get("Time Buffer"), "1000") << line;
    }
}
