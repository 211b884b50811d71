// The position command and the FEN reader and writer: move text, castling
// text and rights in both modes, malformed input, the 50-move counter (the
// table in tests/data/tables/positions.txt), and a very long game.
#include <regex>
#include <sstream>

#include "test_support.h"

namespace {

TEST(PositionCommand, EachCommandLeavesItsPosition) {
    for (const auto& row : read_rows("tables/positions.txt")) {
        ASSERT_EQ(row.size(), 6u) << row[0];
        const std::string& commands = row[1];
        SCOPED_TRACE(row[0] + " | " + commands);
        Position& pos = test_position(START_FEN, row[0] == "960");
        testing::internal::CaptureStdout();
        std::istringstream parts(commands);
        for (std::string command; std::getline(parts, command, ';');) uci_position(pos, command.c_str());
        const std::string printed = testing::internal::GetCapturedStdout();
        const std::string fen = position_to_fen(pos);
        EXPECT_TRUE(row[2] == "*" || fen == row[2]) << fen;
        EXPECT_TRUE(row[3] == "*" || pos.st.fifty == std::stoi(row[3])) << pos.st.fifty;
        EXPECT_EQ(pos.hist_count, std::stoi(row[4]));
        EXPECT_TRUE(row[5].empty() ? printed.empty() : std::regex_search(printed, std::regex(row[5]))) << printed;
        EXPECT_EQ(position_inconsistency(pos), nullptr);
        // What is written reads back as itself, and castling is written as it was read.
        if (pos.hist_count > 0 && is_castle(pos.st.last_move)) {
            EXPECT_EQ(move_to_text(pos, pos.st.last_move), commands.substr(commands.find_last_of(' ') + 1));
        }
        EXPECT_EQ(position_to_fen(test_position(fen, row[0] == "960")), fen);
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
        uci_position(pos, ("moves " + m).c_str());
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

}  // namespace
