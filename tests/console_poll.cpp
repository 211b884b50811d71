// The Windows input poll's console-or-pipe decision, with a stand-in for the
// system calls (the real ones run only on Windows; see tests/windows/).
#include <gtest/gtest.h>

#include <string>

#include "uci/console_poll.h"

namespace {

// The stand-in system's answers, and a record of the calls made to it.
bool console;           // whether GetConsoleMode succeeds
bool query_ok;          // whether PeekNamedPipe / GetNumberOfConsoleInputEvents succeed
std::uint32_t waiting;  // bytes in the pipe, or console events
std::string calls;
void* const INPUT = &calls;

bool answer(void* input, const char* call, std::uint32_t* count) {
    calls += input == INPUT ? call : "wrong-handle ";
    if (query_ok) *count = waiting;
    return query_ok;
}

void* std_input() {
    calls += "handle ";
    return INPUT;
}

bool get_mode(void* input, std::uint32_t* mode) {
    calls += input == INPUT ? "mode " : "wrong-handle ";
    *mode = 0x1FF;
    return console;
}

bool set_mode(void*, std::uint32_t mode) {
    calls += "set:" + std::to_string(mode) + " ";
    return true;
}

bool flush(void*) {
    calls += "flush ";
    return true;
}

bool peek(void* input, std::uint32_t* bytes) { return answer(input, "peek ", bytes); }
bool events(void* input, std::uint32_t* count) { return answer(input, "events ", count); }

const ConsoleCalls FAKE = {std_input, get_mode, set_mode, flush, peek, events};

struct Poll {
    std::uint32_t waiting;
    bool query_ok;
    int expected;
};

// Polls in order on one poll state, as a process does; gives the calls made.
std::string run(bool is_console, std::initializer_list<Poll> polls) {
    console = is_console, calls.clear();
    ConsolePollState state;
    for (const Poll& p : polls) {
        waiting = p.waiting, query_ok = p.query_ok;
        EXPECT_EQ(console_input_waiting(FAKE, state), p.expected)
            << p.waiting << (p.query_ok ? "" : " (failing)");
    }
    return calls;
}

}  // namespace

TEST(ConsolePoll, PipeGivesItsBytesAndAFailedPeekCountsAsInput) {
    EXPECT_EQ(run(false, {{0, true, 0}, {37, true, 37}, {0, false, 1}, {0, true, 0}}),
              "handle mode peek peek peek peek ");
}

// The mode loses window (0x08) and mouse (0x10) input: 0x1FF becomes 0x1E7 (487).
TEST(ConsolePoll, ConsoleIgnoresALoneEventAndDropsWindowAndMouseInput) {
    EXPECT_EQ(run(true, {{0, true, 0}, {1, true, 0}, {2, true, 2}, {9, true, 9}, {9, false, 0}}),
              "handle mode set:487 flush events events events events events ");
}
