// The Windows input poll's console-or-pipe decision, with a stand-in for the
// system calls (the real ones run only on Windows; see tests/windows/).
#include <gtest/gtest.h>

#include "uci/console_poll.h"

namespace {

// What the stand-in system answers, and what it was asked.
struct FakeSystem {
    bool console = false;     // whether GetConsoleMode succeeds
    std::uint32_t mode = 0;   // the console's mode before the poll touches it
    bool query_ok = true;     // whether PeekNamedPipe / GetNumberOfConsoleInputEvents succeed
    std::uint32_t count = 0;  // bytes in the pipe, or console events
    int handle_calls = 0, mode_reads = 0, mode_writes = 0, flushes = 0, peeks = 0, event_counts = 0;
    std::uint32_t new_mode = 0;
} sys;

bool query(void* input, std::uint32_t* count, int& calls) {
    EXPECT_EQ(input, &sys);  // the handle taken on the first call
    ++calls;
    if (sys.query_ok) *count = sys.count;
    return sys.query_ok;
}

const ConsoleCalls FAKE = {
    [] {
        ++sys.handle_calls;
        return static_cast<void*>(&sys);
    },
    [](void*, std::uint32_t* mode) {
        ++sys.mode_reads;
        *mode = sys.mode;
        return sys.console;
    },
    [](void*, std::uint32_t mode) {
        ++sys.mode_writes;
        sys.new_mode = mode;
        return true;
    },
    [](void*) {
        ++sys.flushes;
        return true;
    },
    [](void* input, std::uint32_t* bytes) { return query(input, bytes, sys.peeks); },
    [](void* input, std::uint32_t* events) { return query(input, events, sys.event_counts); },
};

struct Step {
    std::uint32_t count;
    bool query_ok;
    int expected;
};

// Runs the polls in order on one poll state, as a process would.
void run(std::initializer_list<Step> steps) {
    ConsolePollState state;
    for (const Step& s : steps) {
        sys.count = s.count, sys.query_ok = s.query_ok;
        EXPECT_EQ(console_input_waiting(FAKE, state), s.expected)
            << s.count << (s.query_ok ? "" : " (failing)");
    }
    EXPECT_EQ(sys.handle_calls, 1);  // the decision is made once
    EXPECT_EQ(sys.mode_reads, 1);
}

}  // namespace

TEST(ConsolePoll, PipeGivesItsBytesAndAFailedPeekCountsAsInput) {
    sys = FakeSystem{};
    run({{0, true, 0}, {37, true, 37}, {0, false, 1}, {0, true, 0}});
    EXPECT_EQ(sys.peeks, 4);
    EXPECT_EQ(sys.mode_writes + sys.flushes + sys.event_counts, 0);  // no console calls on a pipe
}

TEST(ConsolePoll, ConsoleIgnoresALoneEventAndDropsWindowAndMouseInput) {
    sys = FakeSystem{};
    sys.console = true, sys.mode = 0x1FF;
    run({{0, true, 0}, {1, true, 0}, {2, true, 2}, {9, true, 9}, {9, false, 0}});
    EXPECT_EQ(sys.mode_writes, 1);
    EXPECT_EQ(sys.new_mode, 0x1E7u);  // window (0x08) and mouse (0x10) input off, the rest kept
    EXPECT_EQ(sys.flushes, 1);
    EXPECT_EQ(sys.event_counts, 5);
    EXPECT_EQ(sys.peeks, 0);
}
