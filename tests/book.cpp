// The opening book against the shared Polyglot book and small hand-made files:
// lookup, the clock-drawn choice, move text, and damaged or missing files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "book/book.h"
#include "harness/engine_process.h"
#include "test_support.h"
#include "uci/options.h"
#include "uci/uci.h"

namespace {

const std::string BOOK = CORVANE_DATA_DIR "/book/performance.bin";
constexpr Key START_KEY = 0x463b96181691fc9cULL;
constexpr const char* QGD = "rnbqkb1r/pppp1ppp/4pn2/8/2PP4/8/PP2PPPP/RNBQKBNR w KQkq - 0 3";
constexpr const char* RUY = "r1bqkb1r/1ppp1ppp/p1n2n2/4p3/B3P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 2 5";

class BookFile : public ::testing::Test {
protected:
    Position* opened = nullptr;
    MoveList list;
    void SetUp() override { init_engine_tables(); }
    // The position from fen, with the book reopened through setoption.
    Position& open(const std::string& file, const char* fen) {
        opened = &test_position(fen);
        uci_setoption(*opened, ("setoption name Book File value " + file + "\n").c_str());
        return *opened;
    }
    std::string probe_text(const std::string& file, const char* fen) {
        return move_to_text(book_probe(open(file, fen), list));
    }
    void TearDown() override {
        if (opened) book_close(*opened);
        options_init();
    }
};

void put_record(std::FILE* f, std::uint64_t key, int from, int to) {
    for (int shift = 56; shift >= 0; shift -= 8) std::fputc(int(key >> shift) & 0xFF, f);
    for (int v : {from >> 2, (from << 6 | to) & 0xFF, 0, 1, 0, 0, 0, 0}) std::fputc(v, f);  // weight 1
}

}  // namespace

// The display lists every record of the key in file order, so it shows the
// lookup and the collection; the probe must answer with one of them.
TEST_F(BookFile, SamplePositionsGiveTheirListedMoves) {
    option_set("Display Book Moves", "true");
    struct Sample { const char* fen; const char* listing; };
    for (const Sample& s : {Sample{START_FEN, "e2e4(33.33%) d2d4(33.33%) c2c4(33.33%) "},
                            Sample{"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1", "e7e5(50.00%) c7c5(50.00%) "},
                            Sample{QGD, "g1f3(64.29%) b1c3(31.75%) g2g3( 3.97%) "}, Sample{RUY, "e1g1(100.00%) "}}) {
        testing::internal::CaptureStdout();
        std::string chosen = probe_text(BOOK, s.fen);
        std::string listing = testing::internal::GetCapturedStdout();
        EXPECT_EQ(opened->book_size, 92954);
        EXPECT_EQ(listing, "info string book moves: " + std::string(s.listing) + "\n");
        EXPECT_NE(std::string(s.listing).find(chosen + "("), std::string::npos) << chosen;
    }
    EXPECT_EQ(book_probe(open(BOOK, RUY), list), CASTLE_WHITE_KING);  // stored as e1h1
    EXPECT_EQ(book_probe(open(BOOK, "4k3/8/8/8/8/8/8/4K2R w K - 0 1"), list), NO_MOVE);
}

TEST(BookChoice, DependsOnlyOnTheClockModuloTheCount) {
    auto pick = [](std::initializer_list<std::uint16_t> weights, std::int64_t now) {
        BookEntry e[4];
        int n = 0;
        for (std::uint16_t w : weights) e[n++] = {1, 0, w, 0};
        return book_choose(e, n, now);
    };
    for (std::int64_t now : {0LL, 1LL, 2LL, 3LL, 1700000000000LL, 1700000000001LL}) {
        EXPECT_EQ(pick({1, 3}, now), now % 2 ? 1 : 0) << now;              // r = 0 or 2
        EXPECT_EQ(pick({10, 10, 80}, now), now % 3 == 0 ? 0 : 2) << now;  // r = 0, 33, 66
        EXPECT_EQ(pick({0, 0, 0}, now), 0) << now;
        EXPECT_EQ(pick({65535, 65535}, now), int(now % 2)) << now;
    }
}

TEST(BookMoveText, WritesCoordinatesPromotionsAndCastling) {
    char text[8];
    struct Case { std::uint16_t move; const char* text; };
    for (const Case& c : {Case{E2 << 6 | E4, "e2e4"}, Case{E1 << 6 | H1, "e1g1"}, Case{E1 << 6 | A1, "e1c1"},
                          Case{E8 << 6 | H8, "e8g8"}, Case{E8 << 6 | A8, "e8c8"}, Case{1 << 12 | B7 << 6 | B8, "b7b8n"},
                          Case{4 << 12 | B2 << 6 | A1, "b2a1q"}, Case{0xFFFF, "h8h8"}}) {
        book_move_text(c.move, text);
        EXPECT_STREQ(text, c.text);
    }
}

// Whole records followed by a partial one, a file shorter than one record,
// records naming illegal moves, a directory and a missing file.
TEST_F(BookFile, DamagedFilesNeverCrashOrGiveIllegalMoves) {
    std::string path = (std::filesystem::temp_directory_path() / "corvane_book_test.bin").string();
    auto write = [&](auto fill) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(f);
        fill(f);
        std::fclose(f);
    };
    // The start position's record is the last whole one; nine junk bytes follow.
    write([](std::FILE* f) {
        put_record(f, 5, G1, F3);
        put_record(f, START_KEY, D2, D4);
        std::fwrite("123456789", 1, 9, f);
    });
    EXPECT_EQ(probe_text(path, START_FEN), "d2d4");
    EXPECT_EQ(probe_text(path, "4k3/8/8/8/8/8/8/4K3 w - - 0 1"), "0000");  // key above every key

    write([](std::FILE* f) { std::fwrite("0123456789", 1, 10, f); });
    EXPECT_EQ(probe_text(path, START_FEN), "0000");

    write([](std::FILE* f) {  // a pawn three squares, a king onto its own pawn
        put_record(f, START_KEY, E2, E5);
        put_record(f, START_KEY, E1, E2);
    });
    EXPECT_EQ(probe_text(path, START_FEN), "0000");
    EXPECT_EQ(probe_text(std::filesystem::temp_directory_path().string(), START_FEN), "0000");
    std::filesystem::remove(path);
    EXPECT_EQ(probe_text(path, START_FEN), "0000");
    EXPECT_FALSE(opened->book_file);
}

// The engine as a GUI drives it: the default book file in the working
// directory is opened at start-up and, with OwnBook on, answers go without a
// search and without a ponder move; with OwnBook off, or a missing book, go searches.
TEST(BookEngine, DefaultFileAnswersGoOnlyWhileOwnBookIsOn) {
    ScratchDir dir;
    std::filesystem::copy_file(BOOK, dir.file("corvanebook.bin"));
    EngineProcess engine(dir.path());
    engine.send("setoption name OwnBook value true");
    engine.send("setoption name Display Book Moves value true");
    engine.send("position startpos moves e2e4");
    engine.send("go wtime 60000 btime 60000");
    EXPECT_TRUE(engine.wait_for("^info string book moves: e7e5\\(50\\.00%\\) c7c5\\(50\\.00%\\) $"));
    EXPECT_TRUE(engine.wait_for("^bestmove (e7e5|c7c5)$"));

    auto searches = [&engine](const char* setting) {
        engine.send(setting);
        engine.send("go depth 2");
        std::size_t before = engine.lines().size();
        auto best = engine.wait_for("^bestmove ");
        bool searched = false;
        for (std::size_t i = before; i < engine.lines().size(); ++i)
            searched |= engine.lines()[i].rfind("info depth 2", 0) == 0;
        return best && searched;
    };
    EXPECT_TRUE(searches("setoption name OwnBook value false"));
    engine.send("setoption name OwnBook value true");
    EXPECT_TRUE(searches("setoption name Book File value missing.bin"));
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
}
