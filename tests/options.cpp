// The option table as the engine reads it: the text decodings and the
// fields of EngineParams. Listing and setoption are tested end to end.

#include <array>
#include <climits>
#include <cstring>

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
// exactly its field (the rows of tests/data/tables/option_fields.txt, in the
// fields' order), which catches any cross-wiring of the decodings.
TEST_F(Options, ReadParamsWiresEachFieldToItsOption) {
    const auto rows = read_rows("tables/option_fields.txt");
    constexpr std::size_t FIELDS = sizeof(EngineParams) / sizeof(int);
    static_assert(FIELDS * sizeof(int) == sizeof(EngineParams), "every field an int");
    ASSERT_EQ(rows.size(), FIELDS);
    const auto fields = [] {
        EngineParams p{};
        read_params(p);
        std::array<int, FIELDS> v;
        std::memcpy(v.data(), &p, sizeof p);
        return v;
    };
    const auto base = fields();
    for (std::size_t i = 0; i < FIELDS; ++i) {
        const bool check = rows[i][2] == "check";
        const int flipped = check ? 1 - base[i] : std::stoi(rows[i][2]);
        option_set(rows[i][1].c_str(), check ? (flipped ? "true" : "false") : rows[i][2].c_str());
        auto expected = base;
        expected[i] = flipped;
        EXPECT_EQ(fields(), expected) << "after setting " << rows[i][1] << " (" << rows[i][0] << ")";
        options_init();
    }
}
