// The option table as the engine reads it: the text decodings and the
// fields of EngineParams. Listing and setoption are tested end to end.

#include <climits>

#include "test_support.h"
#include "uci/options.h"

namespace {

class Options : public ::testing::Test {
protected:
    void SetUp() override { init_engine_tables(); }
    void TearDown() override { options_init(); }  // every option back to its default
};

}  // namespace

TEST_F(Options, ReadersDecodeTextAsDocumented) {
    const char* name = "UCI_EngineAbout";  // a string row read by nothing: free to scribble on
    struct Case { const char* text; int as_int; int as_bool; };
    for (const Case& c : {Case{"true", 0, 1}, Case{"TRUE", 0, 1}, Case{"t", 0, 1}, Case{"", 0, 0},
                          Case{"  -12abc", -12, 0}, Case{"+7", 7, 0}, Case{"x5", 0, 0},
                          Case{"99999999999999999999", INT_MAX, 0}, Case{"-99999999999", INT_MIN, 0}}) {
        ASSERT_EQ(option_set(name, c.text), 1);
        EXPECT_EQ(option_get_int(name), c.as_int) << '"' << c.text << '"';
        EXPECT_EQ(option_get_bool(name), c.as_bool) << '"' << c.text << '"';
    }
    EXPECT_EQ(option_set("No Such Option", "1"), 0);
    // Names with case ignored; a check keeps its value as decoded.
    ASSERT_EQ(option_set("ownbook", "True"), 1);
    EXPECT_STREQ(option_get("OwnBook"), "true");
}

// Each field must come from its own option: flipping one option changes
// exactly its field, which catches any cross-wiring of the 26 decodings.
TEST_F(Options, ReadParamsWiresEachFieldToItsOption) {
    struct Wire { int EngineParams::*field; const char* option; bool check; int spin = 7; };
    using P = EngineParams;
    const Wire wires[] = {
        {&P::use_trans_table, "Transposition Table", true}, {&P::own_book, "OwnBook", true},
        {&P::display_book_moves, "Display Book Moves", true},
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
        {&P::multipv, "MultiPV", false}, {&P::tb_probe_depth, "SyzygyProbeDepth", false},
        {&P::tb_rule50, "Syzygy50MoveRule", true},
        {&P::tb_men, "SyzygyProbeLimit", false, 0},  // no tables loaded: no probes whatever the limit
        {&P::chess960, "UCI_Chess960", true}, {&P::limit_strength, "UCI_LimitStrength", true},
        {&P::elo, "UCI_Elo", false, 1350},  // below the scale: its lowest level
        {&P::show_wdl, "UCI_ShowWDL", true}, {&P::use_nnue, "Use NNUE", true},
    };
    static_assert(sizeof(wires) / sizeof(wires[0]) * sizeof(int) == sizeof(EngineParams));
    EngineParams base{};
    read_params(base);
    for (const Wire& w : wires) {
        int flipped = w.check ? 1 - base.*w.field : w.spin;
        option_set(w.option, w.check ? (flipped ? "true" : "false") : "7");
        EngineParams now{};
        read_params(now);
        for (const Wire& other : wires)
            EXPECT_EQ(now.*other.field, &other == &w ? flipped : base.*other.field)
                << "after setting " << w.option << ", field of " << other.option;
        options_init();
    }
}
