// The position command and the FEN reader and writer: move text matching,
// malformed input, a very long game, and FEN round trips.
#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"
#include "uci/uci.h"

namespace {

// Runs commands on the shared test position and returns what they printed.
std::string run(Position& pos, const std::vector<std::string>& commands) {
    testing::internal::CaptureStdout();
    for (const std::string& c : commands) uci_position(pos, c.c_str());
    return testing::internal::GetCapturedStdout();
}

struct CommandCase {
    const char* commands;  // one or more position commands, separated by '|'
    const char* fen;       // position_to_fen after them
    int hist_count;
    const char* refused;  // the token reported as illegal, or nullptr
};

#define START "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -"
#define E4 "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq -"
#define E4_E5 "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq -"
#define PAWN_B7 "fen 4k3/1P6/8/8/8/8/8/4K3 w - - 0 1 moves "
#define ROOKS "fen r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1 "

// clang-format off
const CommandCase COMMAND_CASES[] = {
    {"startpos moves e2e4 e7e5", E4_E5, 2, nullptr},
    {"  StartPos   MOVES e2e4\te7e5 ", E4_E5, 2, nullptr},   // keywords in any case, any white space
    {"startpos moves e2e4 e2e4 e7e5", E4, 1, "e2e4"},        // stops at the first bad token
    {"startpos moves E2E4", START, 0, "E2E4"},
    {"startpos moves e2", START, 0, "e2"},
    {"startpos moves e2e4|moves e7e5", E4_E5, 2, nullptr},    // moves alone go on from the current position
    {"startpos moves e2e4|garbage moves e7e5", E4, 1, nullptr},  // unknown text: nothing happens
    {PAWN_B7 "b7b8", "1Q2k3/8/8/8/8/8/8/4K3 b - -", 1, nullptr},
    {PAWN_B7 "b7b8x", "1Q2k3/8/8/8/8/8/8/4K3 b - -", 1, nullptr},
    {PAWN_B7 "b7b8n", "1N2k3/8/8/8/8/8/8/4K3 b - -", 1, nullptr},
    {PAWN_B7 "b7b8B", "1B2k3/8/8/8/8/8/8/4K3 b - -", 1, nullptr},
    {PAWN_B7 "b7b8R", "1R2k3/8/8/8/8/8/8/4K3 b - -", 1, nullptr},
    {ROOKS "moves e1h1", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -", 0, "e1h1"},
    {ROOKS "Moves e1g1", "r3k2r/8/8/8/8/8/8/R4RK1 b kq -", 1, nullptr},
    {"startpos moves e2e4x e7e5!", E4_E5, 2, nullptr},        // a non-promotion ignores what follows
    // Over-long tokens are cut to the token buffer and never match.
    {"startpos moves e2e4 e7e5aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", E4, 1, "e7e5aaaaaaa"},
};
// clang-format on

TEST(PositionCommand, MoveTextCases) {
    for (const CommandCase& c : COMMAND_CASES) {
        std::vector<std::string> commands;
        for (std::string rest = c.commands;;) {
            std::size_t bar = rest.find('|');
            commands.push_back(rest.substr(0, bar));
            if (bar == std::string::npos) break;
            rest = rest.substr(bar + 1);
        }
        Position& pos = test_position(START_FEN);
        std::string printed = run(pos, commands);
        EXPECT_EQ(position_to_fen(pos), std::string(c.fen)) << c.commands;
        EXPECT_EQ(pos.hist_count, c.hist_count) << c.commands;
        EXPECT_EQ(printed, c.refused ? "info string Illegal move: " + std::string(c.refused) + "\n" : "")
            << c.commands;
        EXPECT_EQ(position_inconsistency(pos), nullptr) << c.commands;
    }
}

// 2,000 half-moves, one command each: knights hop out and back, and between
// those rounds each side makes one pawn move, so the history must be trimmed
// as the game goes. Trimming may drop only keys older than the last pawn move
// (up to its budget), never reorder any; repetitions are still seen after it.
TEST(PositionCommand, TwoThousandHalfMoves) {
    std::vector<std::string> moves;
    for (char file = 'a'; file <= 'h'; ++file)
        for (int step = 0; step < 2; ++step) {
            for (int round = 0; round < 35; ++round)
                for (const char* m : {"g1h3", "g8h6", "h3g1", "h6g8"}) moves.push_back(m);
            if (file == 'h') break;
            moves.push_back({file, char('2' + step), file, char('3' + step)});
            moves.push_back({file, char('7' - step), file, char('6' - step)});
        }
    moves.resize(2000);
    Position& pos = test_position(START_FEN);
    std::vector<Key> keys = {pos.st.hash};
    for (const std::string& m : moves) {
        EXPECT_EQ(run(pos, {"moves " + m}), "");
        keys.push_back(pos.st.hash);
        ASSERT_TRUE(pos.hist_count < HISTORY_GAME_BUDGET &&
                    pos.hist_count >= std::min(pos.st.fifty, HISTORY_GAME_BUDGET / 2) &&
                    pos.hist_count + pos.hist_dropped == int(keys.size()) - 1)
            << "after " << keys.size() - 1 << " half-moves: hist_count " << pos.hist_count;
        for (int i = 0; i <= pos.hist_count; ++i) ASSERT_EQ(pos.hist[i], keys[std::size_t(pos.hist_dropped + i)]);
    }
    EXPECT_EQ(std::string(position_to_fen(pos)), "rnbqkbnr/7p/8/ppppppp1/PPPPPPP1/8/7P/RNBQKBNR w KQkq -");
    EXPECT_EQ(position_inconsistency(pos), nullptr);
    EXPECT_TRUE(is_repetition(pos));
}

struct BadFen {
    const char* fen;
    const char* printed;
};

// Nothing here may crash or write outside the board; each is reported.
const BadFen BAD_FENS[] = {
    {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNX w KQkq - 0 1", "info string FEN Error 1!\n"},
    {"rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "info string FEN Error 1!\n"},
    {"8/8/8/8/8/8/8/8 x - -", "info string FEN Error: x\n"},
    {"8/8/8/8", "info string FEN Error: "},  // the character found is the end of the text
    {"", "info string FEN Error: "},
    {"ppppppppp/8/8/8/8/8/8/8 w - -", "more than eight squares"},
    {"8/8/8/54/8/8/8/8 w - -", "more than eight squares"},
    {"8/8/8/8/8/8/8/7KK w - -", "more than eight squares"},
    {"8/8/8/8/8/8/8/8/8/8/8/8/kK6 w - -", "FEN Error"},
};

TEST(FenReader, MalformedTextIsReported) {
    for (const BadFen& c : BAD_FENS) {
        Position& pos = test_position(START_FEN);
        std::string printed = run(pos, {std::string("fen ") + c.fen, "moves e2e4"});
        EXPECT_NE(printed.find(c.printed), std::string::npos) << c.fen << " printed " << printed;
        EXPECT_EQ(pos.hist_count, 0) << c.fen;  // no move is played on a broken board
    }
    // A FEN may stop after any field; a lone en-passant letter at the end is ignored.
    for (const char* fen : {"8/8/8/8/8/8/8/8 w", "4k3/8/8/8/8/8/8/4K3 b KQkq", "4k3/8/8/8/8/8/8/4K3 w - e",
                            "4k3/8/8/8/8/8/8/4K3 w - - 7"}) {
        Position& pos = test_position(fen);
        EXPECT_EQ(pos.st.ep, NO_SQUARE) << fen;
        EXPECT_EQ(position_inconsistency(pos), nullptr) << fen;
    }
}

}  // namespace
