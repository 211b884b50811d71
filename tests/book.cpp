// The opening book against the shared Polyglot book and small hand-made files:
// lookup, the clock-drawn choice, move text, and damaged or missing files.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "book/book.h"
#include "movegen/movegen.h"
#include "test_support.h"
#include "uci/options.h"
#include "uci/uci.h"

namespace {

const std::string BOOK = CORVANE_DATA_DIR "/book/performance.bin";

struct Candidate {
    std::string move;
    int weight;
};

// Opens the named book for the position read from fen; closed again on exit.
class BookFile : public ::testing::Test {
protected:
    Position* opened = nullptr;
    Position& open(const std::string& file, const char* fen) {
        opened = &test_position(fen);
        // setoption reopens the book at once, closing the one open before.
        uci_setoption(*opened, ("setoption name Book File value " + file + "\n").c_str());
        return *opened;
    }
    void TearDown() override {
        if (opened) book_close(*opened);
        options_init();
    }
};

std::vector<Candidate> candidates(std::FILE* file, Key key) {
    std::vector<Candidate> out;
    BookEntry e;
    std::int64_t index = book_find_first(file, key, e);
    char text[8];
    // The search leaves the file wherever its last probe read; the key's records follow index.
    if (index >= 0) std::fseek(file, int(index + 1) * BOOK_RECORD_SIZE, SEEK_SET);
    while (index >= 0 && e.key == key) {
        book_move_text(e.move, text);
        out.push_back({text, e.weight});
        if (book_read_entry(file, e) != 0) break;
    }
    return out;
}

void put_record(std::FILE* f, std::uint64_t key, std::uint16_t move, std::uint16_t weight) {
    for (int shift = 56; shift >= 0; shift -= 8) std::fputc(int(key >> shift) & 0xFF, f);
    for (int v : {move >> 8, move & 0xFF, weight >> 8, weight & 0xFF, 0, 0, 0, 0}) std::fputc(v, f);
}

constexpr std::uint16_t packed(int from, int to, int promotion = 0) {
    return std::uint16_t(promotion << 12 | from << 6 | to);
}

constexpr Key START_KEY = 0x463b96181691fc9cULL;

}  // namespace

TEST_F(BookFile, SamplePositionsListTheirMovesInFileOrder) {
    struct Sample { const char* fen; Key key; std::vector<Candidate> moves; };
    const Sample samples[] = {
        {START_FEN, START_KEY, {{"e2e4", 1}, {"d2d4", 1}, {"c2c4", 1}}},
        {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1", 0x823c9b50fd114196ULL,
         {{"e7e5", 1}, {"c7c5", 1}}},
        {"rnbqkb1r/pppp1ppp/4pn2/8/2PP4/8/PP2PPPP/RNBQKBNR w KQkq - 0 3", 0x22b4e052f18fab1dULL,
         {{"g1f3", 162}, {"b1c3", 80}, {"g2g3", 10}}},
        {"r1bqkb1r/1ppp1ppp/p1n2n2/4p3/B3P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 2 5", 0xf309fde4ccbb2e7dULL,
         {{"e1g1", 82}}},
    };
    for (const Sample& s : samples) {
        Position& pos = open(BOOK, s.fen);
        ASSERT_TRUE(pos.book_file);
        EXPECT_EQ(pos.book_size, 92954);
        ASSERT_EQ(pos.st.hash, s.key) << s.fen;
        std::vector<Candidate> got = candidates(pos.book_file, s.key);
        ASSERT_EQ(got.size(), s.moves.size()) << s.fen;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].move, s.moves[i].move) << s.fen;
            EXPECT_EQ(got[i].weight, s.moves[i].weight) << s.fen;
        }
        // Whatever the clock says, the probe answers with one of them, as a legal move.
        MoveList list;
        Move m = book_probe(pos, list);
        ASSERT_NE(m, NO_MOVE) << s.fen;
        bool listed = false;
        for (const Candidate& c : s.moves) listed |= c.move == move_to_text(m);
        EXPECT_TRUE(listed) << move_to_text(m);
    }
    MoveList list;
    EXPECT_EQ(book_probe(open(BOOK, samples[3].fen), list), CASTLE_WHITE_KING);  // stored as e1h1
    EXPECT_EQ(book_probe(open(BOOK, "4k3/8/8/8/8/8/8/4K2R w K - 0 1"), list), NO_MOVE);
}

TEST_F(BookFile, DisplayBookMovesListsSharesOnScreen) {
    Position& pos = open(BOOK, "rnbqkb1r/pppp1ppp/4pn2/8/2PP4/8/PP2PPPP/RNBQKBNR w KQkq - 0 3");
    option_set("Display Book Moves", "true");
    MoveList list;
    testing::internal::CaptureStdout();
    book_probe(pos, list);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "info string book moves: g1f3(64.29%) b1c3(31.75%) g2g3( 3.97%) \n");
}

TEST(BookChoice, DependsOnlyOnTheClockModuloTheCount) {
    auto pick = [](std::vector<std::uint16_t> weights, std::int64_t now) {
        std::vector<BookEntry> e;
        for (std::uint16_t w : weights) e.push_back({1, 0, w, 0});
        return book_choose(e.data(), int(e.size()), now);
    };
    for (std::int64_t now : {0LL, 1LL, 2LL, 3LL, 1700000000000LL, 1700000000001LL}) {
        EXPECT_EQ(pick({1, 3}, now), now % 2 ? 1 : 0) << now;                 // r = 0 or 2
        EXPECT_EQ(pick({10, 10, 80}, now), now % 3 == 0 ? 0 : 2) << now;     // r = 0, 33, 66
        EXPECT_EQ(pick({0, 0, 0}, now), 0) << now;
        EXPECT_EQ(pick({65535, 65535}, now), int(now % 2)) << now;
    }
}

TEST(BookMoveText, WritesCoordinatesPromotionsAndCastling) {
    struct Case { std::uint16_t move; const char* text; };
    char text[8];
    for (const Case& c : {Case{packed(E2, E4), "e2e4"}, Case{packed(E1, H1), "e1g1"}, Case{packed(E1, A1), "e1c1"},
                          Case{packed(E8, H8), "e8g8"}, Case{packed(E8, A8), "e8c8"}, Case{packed(E1, F1), "e1f1"},
                          Case{packed(B7, B8, 1), "b7b8n"}, Case{packed(B2, A1, 4), "b2a1q"},
                          Case{packed(A7, A8, 7), "a7a8"}, Case{0xFFFF, "h8h8"}}) {
        book_move_text(c.move, text);
        EXPECT_STREQ(text, c.text);
    }
}

// Hand-made files: whole records followed by a partial one, a file shorter
// than one record, and records naming illegal moves.
TEST_F(BookFile, DamagedFilesNeverCrashOrGiveIllegalMoves) {
    std::string path = (std::filesystem::temp_directory_path() /
                        ("corvane_book_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".bin"))
                           .string();
    auto write = [&](auto fill) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(f);
        fill(f);
        std::fclose(f);
    };
    MoveList list;

    // The start position's record is the last whole one; nine junk bytes follow.
    write([](std::FILE* f) {
        put_record(f, 5, packed(G1, F3), 1);
        put_record(f, START_KEY, packed(D2, D4), 1);
        std::fwrite("123456789", 1, 9, f);
    });
    EXPECT_EQ(book_probe(open(path, START_FEN), list), Move(make_double_push(D2, D4)));
    EXPECT_EQ(opened->book_size, 2);
    EXPECT_EQ(book_probe(open(path, "4k3/8/8/8/8/8/8/4K3 w - - 0 1"), list), NO_MOVE);  // key above every key

    write([](std::FILE* f) { std::fwrite("0123456789", 1, 10, f); });
    EXPECT_EQ(book_probe(open(path, START_FEN), list), NO_MOVE);
    BookEntry e;
    EXPECT_EQ(book_find_first(opened->book_file, START_KEY, e), -1);
    EXPECT_NE(e.key, START_KEY);

    // Only illegal moves for the key (a pawn three squares, a king onto its
    // own pawn): whichever the clock picks, the probe gives nothing.
    write([](std::FILE* f) {
        put_record(f, START_KEY, packed(E2, E5), 1);
        put_record(f, START_KEY, packed(E1, E2), 1);
    });
    EXPECT_EQ(book_probe(open(path, START_FEN), list), NO_MOVE);

    // Not a regular file at all: opening may succeed, reading never does.
    EXPECT_EQ(book_probe(open(std::filesystem::temp_directory_path().string(), START_FEN), list), NO_MOVE);

    std::filesystem::remove(path);
    EXPECT_EQ(book_probe(open(path, START_FEN), list), NO_MOVE);  // missing file: no book
    EXPECT_FALSE(opened->book_file);
}
