// The Windows input poll's console-or-pipe decision, with a stand-in for the
// system calls (the real ones run only on Windows; see tests/windows/).
#include <gtest/gtest.h>

#include <string>

#include "io/console_poll.h"

namespace {

// The stand-in system's answers, and what it was asked.
bool console;           // whether GetConsoleMode succeeds
bool query_ok;          // whether PeekNamedPipe / GetNumberOfConsoleInputEvents succeed
std::uint32_t waiting;  // bytes in the pipe, or console events
std::string calls;

bool answer(const char* call, std::uint32_t* count) {
    calls += call;
    if (query_ok) *count = waiting;
    return query_ok;
}

const ConsoleCalls FAKE = {
    [] { return static_cast<void*>(&calls); },
    [](void*, std::uint32_t* mode) { return *mode = 0x1FF, console; },
    [](void*, std::uint32_t mode) { return calls += "set:" + std::to_string(mode) + " ", true; },
    [](void*) { return calls += "flush ", true; },
    [](void*, std::uint32_t* bytes) { return answer("peek ", bytes); },
    [](void*, std::uint32_t* count) { return answer("events ", count); },
};

// Polls one poll state in order, as a process does: {waiting, query_ok, expected}.
std::string run(bool is_console, std::initializer_list<std::tuple<std::uint32_t, bool, int>> polls) {
    console = is_console, calls.clear();
    ConsolePollState state;
    for (const auto& [w, ok, expected] : polls) {
        waiting = w, query_ok = ok;
        EXPECT_EQ(console_input_waiting(FAKE, state), expected) << w << (ok ? "" : " (failing)");
    }
    return calls;
}

}  // namespace

// A pipe gives its bytes, and a failed peek (a closed pipe) counts as input.
// A console ignores a lone event and loses window (0x08) and mouse (0x10)
// input: mode 0x1FF becomes 0x1E7 (487), set once with the buffer flushed.
TEST(ConsolePoll, PipeAndConsole) {
    EXPECT_EQ(run(false, {{0, true, 0}, {37, true, 37}, {0, false, 1}, {0, true, 0}}), "peek peek peek peek ");
    EXPECT_EQ(run(true, {{0, true, 0}, {1, true, 0}, {2, true, 2}, {9, true, 9}, {9, false, 0}}),
              "set:487 flush events events events events events ");
}
