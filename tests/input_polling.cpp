// Polling standard input during a search, with a pipe in place of the
// interface, and the switch from pondering to thinking.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "test_support.h"
#include "uci/go.h"
#include "uci/uci.h"

namespace {

// Descriptor 0 becomes the read end of a fresh pipe; the test writes the interface's side.
class PipedInput : public ::testing::Test {
protected:
    int writer = -1;
    int saved_stdin = -1;
    void SetUp() override {
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        saved_stdin = dup(0);
        dup2(ends[0], 0), close(ends[0]), std::clearerr(stdin);
        writer = ends[1];
    }
    void TearDown() override {
        if (writer >= 0) close(writer);
        dup2(saved_stdin, 0), close(saved_stdin), std::clearerr(stdin);
    }
    void send(const std::string& text) { ASSERT_EQ(write(writer, text.data(), text.size()), ssize_t(text.size())); }
    std::string poll(SearchInfo& info) {
        testing::internal::CaptureStdout();
        check_input(test_position(START_FEN), info);
        return testing::internal::GetCapturedStdout();
    }
};

}  // namespace

// stdin is left buffered here, unlike in the engine: the second of two lines
// sent together then sits in the C library's buffer, where a poll of the
// descriptor alone would not see it.
TEST_F(PipedInput, ObeysStopAndIsreadyAndDropsTheRest) {
    SearchInfo info;
    search_info_init(info, now_ms());
    EXPECT_EQ(poll(info), "");
    send("position startpos moves e2e4\nISREADY\nstop\n");
    EXPECT_EQ(poll(info), "");  // dropped
    EXPECT_NE(input_available(), 0);
    EXPECT_EQ(poll(info), "readyok\n");
    EXPECT_EQ(info.status, THINKING);
    EXPECT_EQ(poll(info), "");
    EXPECT_EQ(info.status, STOPPED);
    EXPECT_EQ(input_available(), 0);

    // A line longer than the poll buffer comes in pieces; only its start is a command.
    send("isready" + std::string(300, 'x') + "stop\n");
    EXPECT_EQ(poll(info), "readyok\n");
    info.status = THINKING;
    EXPECT_EQ(poll(info), "");
    EXPECT_EQ(info.status, THINKING);
}

TEST_F(PipedInput, ClosedPipeQuitsWithoutABestmove) {
    SearchInfo info;
    search_info_init(info, now_ms());
    close(writer);
    writer = -1;
    EXPECT_NE(input_available(), 0);  // hang-up counts as input so the read meets end of input
    EXPECT_EXIT(poll(info), ::testing::ExitedWithCode(0), "");
}

TEST(PonderHit, SwitchesToThinkingUnlessAlreadyDone) {
    std::int64_t now = now_ms();
    auto hit = [&](int status, int iteration, int root_moves, int mates, bool timed, std::int64_t hard) {
        SearchInfo info;
        search_info_init(info, now);
        info.status = status, info.iteration = iteration, info.root_move_count = root_moves;
        info.mate_iterations = mates, info.time_limited = timed, info.hard_deadline = hard;
        ponder_hit(info);
        return info.status;
    };
    EXPECT_EQ(hit(PONDERING, 3, 1, 0, true, now + 60000), THINKING);
    EXPECT_EQ(hit(PONDERING, 8, 1, 0, true, now + 60000), STOPPED);   // a single reply, searched deep enough
    EXPECT_EQ(hit(PONDERING, 8, 20, 3, true, now + 60000), STOPPED);  // a mate seen in three iterations
    EXPECT_EQ(hit(PONDERING, 3, 20, 0, true, now - 1), STOPPED);      // its time is already spent
    EXPECT_EQ(hit(PONDERING, 3, 20, 0, false, 0), STOPPED);           // no clock: nothing left to keep
    EXPECT_EQ(hit(ANALYSING, 9, 1, 0, false, 0), STOPPED);            // it also ends an analysis's wait
}
