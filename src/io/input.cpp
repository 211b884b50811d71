// Standard input: lines read in blocks from the descriptor, and the
// non-blocking test for a waiting line made during a search. The
// operating-system test is the engine's one platform seam for input.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "io/console_poll.h"
#include "io/input.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

// A command line is read whole: a position command carries the whole game,
// and cutting it would make the engine think about another position. Only a
// line past this size is split, its rest read as the next line.
constexpr std::size_t MAX_COMMAND_LINE = std::size_t(1) << 20;

bool polling_enabled = true;

// Standard input is read in large blocks into this buffer, which the poll
// looks at before asking the system: a line waiting here is input waiting.
constexpr std::size_t INPUT_BLOCK = std::size_t(1) << 16;
char input_block[INPUT_BLOCK];
std::size_t input_next = 0, input_end = 0;

// One read of the descriptor; false at end of input or on an error.
bool refill_input() {
    input_next = input_end = 0;
#ifdef _WIN32
    const int n = _read(0, input_block, unsigned(INPUT_BLOCK));
#else
    ssize_t n;
    do n = read(0, input_block, INPUT_BLOCK);
    while (n < 0 && errno == EINTR);
#endif
    if (n <= 0) return false;
    input_end = std::size_t(n);
    return true;
}

// Copies input up to and including the next newline to out, at most limit
// characters; returns how many (0 only at end of input).
template <typename Out>
std::size_t take_line(Out&& out, std::size_t limit) {
    std::size_t taken = 0;
    while (taken < limit) {
        if (input_next == input_end && !refill_input()) break;
        const char* from = input_block + input_next;
        const std::size_t available = std::min(input_end - input_next, limit - taken);
        const char* newline = static_cast<const char*>(std::memchr(from, '\n', available));
        const std::size_t count = newline ? std::size_t(newline - from) + 1 : available;
        out(from, count);
        input_next += count;
        taken += count;
        if (newline) break;
    }
    return taken;
}

#ifdef _WIN32

static_assert(CONSOLE_WINDOW_INPUT == ENABLE_WINDOW_INPUT && CONSOLE_MOUSE_INPUT == ENABLE_MOUSE_INPUT);

const ConsoleCalls WINDOWS_CALLS = {
    [] { return static_cast<void*>(GetStdHandle(STD_INPUT_HANDLE)); },
    [](void* input, std::uint32_t* mode) {
        DWORD m = 0;
        bool ok = GetConsoleMode(input, &m);
        *mode = m;
        return ok;
    },
    [](void* input, std::uint32_t mode) { return SetConsoleMode(input, mode) != 0; },
    [](void* input) { return FlushConsoleInputBuffer(input) != 0; },
    [](void* input, std::uint32_t* bytes) {
        DWORD n = 0;
        bool ok = PeekNamedPipe(input, nullptr, 0, nullptr, &n, nullptr);
        *bytes = n;
        return ok;
    },
    [](void* input, std::uint32_t* count) {
        DWORD n = 0;
        bool ok = GetNumberOfConsoleInputEvents(input, &n);
        *count = n;
        return ok;
    },
};

int platform_input_available() {
    static ConsolePollState state;
    return console_input_waiting(WINDOWS_CALLS, state);
}

#else

// A terminal, pipe or file on descriptor 0, tested with a zero-timeout poll.
// A closed pipe reports POLLHUP and a bad descriptor POLLNVAL: both count as
// input, so the read that follows meets the end of input and the engine quits.
int platform_input_available() {
    pollfd fd{0, POLLIN, 0};
    if (poll(&fd, 1, 0) <= 0) return 0;  // nothing waiting, or interrupted: ask again later
    return (fd.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) ? 1 : 0;
}

#endif

}  // namespace

// Standard input is read from the descriptor, never through the C library,
// so no line can wait in a buffer the poll does not know. On Windows the
// descriptor is binary: in text mode a stray Ctrl-Z byte would end the input,
// and a carriage return would be held back while the library waited for the
// byte after it; every parser takes a CR as space.
void input_init() {
#ifdef _WIN32
    _setmode(0, _O_BINARY);
#endif
}

void set_input_polling(bool enabled) { polling_enabled = enabled; }
bool input_polling() { return polling_enabled; }

int input_available() {
    if (!polling_enabled) return 0;
    if (input_next < input_end) return int(input_end - input_next);
    return platform_input_available();
}

void read_command_line(std::string& line) {
    line.clear();
    if (!take_line([&](const char* from, std::size_t n) { line.append(from, n); }, MAX_COMMAND_LINE))
        line = "quit\n";
}

// Called during a search: copies into the caller's buffer, allocating nothing.
void read_input_line(char* buf, int size) {
    char* end = buf;
    if (size < 2 || !take_line([&](const char* from, std::size_t n) { end = std::copy(from, from + n, end); },
                               std::size_t(size - 1))) {
        std::snprintf(buf, std::size_t(size), "quit\n");
        return;
    }
    *end = '\0';
}

void input_reset() { input_next = input_end = 0; }
