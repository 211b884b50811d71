// The position command and the FEN reader and writer: move text matching,
// malformed input, a very long game, and FEN round trips.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "test_support.h"
#include "uci/options.h"
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

// Castling text follows UCI_Chess960: the king's destination without it, the
// king taking its own rook with it. With the king-side rook on g1, Chess960
// writes e1g1 for that castling and the king moves onto the rook's square;
// on g1 beside its rook the king castles without moving. Standard chess reads
// only rights with king and rook at home, so there those starts cannot
// castle, and a king step such as f1g1 stays a king step.
TEST(PositionCommand, CastlingTextFollowsTheMode) {
    struct Case {
        bool chess960;
        const char* start;
        const char* command;
        const char* fen;
        const char* refused;
    };
    const char* const ROOKS_B_G = "fen 1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/1R2K1R1 w GBgb - 0 1 moves ";
    const char* const KING_G1 = "fen 6k1/8/8/8/8/8/8/6KR w K - 0 1 moves ";
    const char* const KING_F1 = "fen 4k3/8/8/8/8/8/8/5K1R w K - 0 1 moves ";
    const char* const OPENING = "startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 ";
    const Case cases[] = {
        {true, ROOKS_B_G, "e1b1", "1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/2KR2R1 b kq -", nullptr},
        {true, ROOKS_B_G, "e1c1", "1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/1R2K1R1 w KQkq -", "e1c1"},
        {true, ROOKS_B_G, "e1g1", "1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/1R3RK1 b kq -", nullptr},
        {false, ROOKS_B_G, "e1c1", "1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/1R2K1R1 w - -", "e1c1"},
        {false, ROOKS_B_G, "e1g1", "1r2k1r1/pppppppp/8/8/8/8/PPPPPPPP/1R2K1R1 w - -", "e1g1"},
        {true, KING_G1, "g1h1", "6k1/8/8/8/8/8/8/5RK1 b - -", nullptr},
        {false, KING_G1, "g1h1", "6k1/8/8/8/8/8/8/6KR w - -", "g1h1"},
        {true, KING_F1, "f1h1", "4k3/8/8/8/8/8/8/5RK1 b - -", nullptr},
        {false, KING_F1, "f1g1", "4k3/8/8/8/8/8/8/6KR b - -", nullptr},
        {true, OPENING, "e1h1", "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 b kq -", nullptr},
        {true, OPENING, "e1g1", "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq -", "e1g1"},
        {false, OPENING, "e1g1", "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 b kq -", nullptr},
    };
    for (const Case& c : cases) {
        Position& pos = test_position(START_FEN);
        uci_setoption(pos, c.chess960 ? "setoption name UCI_Chess960 value true" : "setoption name UCI_Chess960 value false");
        const std::string command = c.start + std::string(c.command);
        const std::string printed = run(pos, {command});
        EXPECT_EQ(position_to_fen(pos), std::string(c.fen)) << command;
        EXPECT_EQ(printed, c.refused ? "info string Illegal move: " + std::string(c.refused) + "\n" : "") << command;
        EXPECT_EQ(position_inconsistency(pos), nullptr) << command;
        if (!c.refused) {  // the move made is written back as it was read
            EXPECT_STREQ(move_to_text(pos, pos.st.last_move), c.command) << command;
        }
    }
    uci_setoption(test_position(START_FEN), "setoption name UCI_Chess960 value false");
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

// In Chess960 the castling field names rooks: K and Q the outermost on the
// wing, file letters the rook on that file, and the writer names each the
// same way back, so a rook that is not the outermost keeps its letter. In
// standard chess only K, Q, k and q count, with the king on e1 (e8) and the
// rook in its corner. Either way a right without its king and rook on the
// back rank is dropped, and what is written reads back as itself.
TEST(FenReader, CastlingFieldFollowsTheMode) {
    const char* const OUTER_INNER = "rr2k1rr/pppppppp/8/8/8/8/PPPPPPPP/RR2K1RR w ";
    const char* const G_ROOK = "4k3/8/8/8/8/8/8/4K1R1 w ";
    const char* const D_KINGS = "r2k3r/8/8/8/8/8/8/R2K3R w ";
    const char* const KING_UP = "4k3/8/8/8/8/8/4K3/R6R w ";
    struct Case {
        bool chess960;
        const char* board;
        const char* field;
        const char* written;
    };
    // clang-format off
    const Case cases[] = {
        {true, OUTER_INNER, "KQkq", "KQkq"}, {true, OUTER_INNER, "HAha", "KQkq"}, {true, OUTER_INNER, "GBgb", "GBgb"},
        {true, OUTER_INNER, "KBgq", "KBgq"}, {true, OUTER_INNER, "E-x", "-"},     {true, G_ROOK, "K", "K"},
        {true, D_KINGS, "KQkq", "KQkq"},     {true, KING_UP, "KQ", "-"},
        {false, OUTER_INNER, "KQkq", "KQkq"}, {false, OUTER_INNER, "HAha", "-"}, {false, OUTER_INNER, "GBgb", "-"},
        {false, OUTER_INNER, "KBgq", "Kq"},   {false, G_ROOK, "K", "-"},        {false, G_ROOK, "G", "-"},
        {false, D_KINGS, "KQkq", "-"},        {false, KING_UP, "KQ", "-"},
    };
    // clang-format on
    for (const Case& c : cases) {
        const std::string written = std::string(c.board) + c.written + " -";
        EXPECT_EQ(position_to_fen(test_position(std::string(c.board) + c.field + " - 0 1", c.chess960)),
                  written)
            << c.board << c.field << (c.chess960 ? " in Chess960" : "");
        EXPECT_EQ(position_to_fen(test_position(written, c.chess960)), written) << written;
    }
}

}  // namespace
