// The readiness test of a Windows standard input, which is either a console
// or a pipe. The six system calls it makes come through a record of function
// pointers, so the decision itself runs, and is tested, on any system.
#pragma once

#include <cstdint>

// Console mode flags with the values Windows gives them (input.cpp checks
// them against <windows.h>).
constexpr std::uint32_t CONSOLE_WINDOW_INPUT = 0x0008;
constexpr std::uint32_t CONSOLE_MOUSE_INPUT = 0x0010;

// Each call answers false where the system call fails. Handles are opaque.
struct ConsoleCalls {
    void* (*std_input)();                                     // GetStdHandle(STD_INPUT_HANDLE)
    bool (*get_mode)(void* input, std::uint32_t* mode);       // GetConsoleMode
    bool (*set_mode)(void* input, std::uint32_t mode);        // SetConsoleMode
    bool (*flush)(void* input);                               // FlushConsoleInputBuffer
    bool (*peek_pipe)(void* input, std::uint32_t* bytes);     // PeekNamedPipe, bytes available
    bool (*count_events)(void* input, std::uint32_t* count);  // GetNumberOfConsoleInputEvents
};

// Set up by the first test and kept for the life of the process.
struct ConsolePollState {
    bool initialised = false;
    bool is_pipe = false;
    void* input = nullptr;
};

// Non-zero when a read of standard input would find something: the bytes in
// a pipe, 1 when the pipe query fails (a closed pipe, whose read then meets
// the end of input), or the console's events when there are more than one.
int console_input_waiting(const ConsoleCalls& calls, ConsolePollState& state);
