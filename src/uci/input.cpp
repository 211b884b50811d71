// Input polling during a search: a non-blocking test for a waiting line, and
// the handling of the four commands that matter while the engine thinks.
// The operating-system test is the one platform seam of the front end.
#include <cctype>
#include <cstdio>

#include "uci/console_poll.h"
#include "uci/search_info.h"
#include "uci/text.h"
#include "uci/uci.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <poll.h>
#endif

namespace {

constexpr int POLL_LINE_BUFFER = 256;  // a longer line is read in pieces by later polls

bool polling_enabled = true;

// Characters the C library has already taken from the descriptor but not yet
// handed out. Standard input is unbuffered, so this is normally 0, but a poll
// of the descriptor alone would miss any that were there.
int stdio_buffered_input() {
#if defined(__GLIBC__)
    return int(stdin->_IO_read_end - stdin->_IO_read_ptr);
#elif defined(_WIN32) && !defined(_UCRT)
    return stdin->_cnt;
#else
    return 0;
#endif
}

using text::starts_with_nocase;

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

// Unbuffered, so that no line waits in the C library where a poll of the
// system cannot see it. On Windows also binary: in text mode a stray Ctrl-Z
// byte would end the input, and a carriage return would be held back while
// the library waited for the byte after it; every parser takes a CR as space.
void input_init() {
    std::setvbuf(stdin, nullptr, _IONBF, 0);
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
}

void set_input_polling(bool enabled) { polling_enabled = enabled; }
bool input_polling() { return polling_enabled; }

int input_available() {
    if (!polling_enabled) return 0;
    if (int buffered = stdio_buffered_input(); buffered > 0) return buffered;
    return platform_input_available();
}

void check_input(Position& pos, SearchInfo& info) {
    static char line[POLL_LINE_BUFFER];
    if (!input_available()) return;
    read_input_line(line, POLL_LINE_BUFFER);
    print_out(OUT_LOG, "%s\n", line);

    if (starts_with_nocase(line, "quit")) {
        engine_quit(pos);  // ends the process inside the search: no bestmove
    } else if (starts_with_nocase(line, "stop")) {
        info.status = STOPPED;
        print_out(OUT_LOG, "info string Aborting search\n");
    } else if (starts_with_nocase(line, "ponderhit")) {
        ponder_hit(info);
    } else if (starts_with_nocase(line, "isready")) {
        print_out(OUT_SCREEN | OUT_LOG, "readyok\n");
    }
    // Anything else is dropped: it has been logged and is not acted on later.
}

// The opponent played the expected move: the ponder search becomes a timed
// search from the deadlines set when go was read, or ends at once when it has
// already done what the driver's early stop asks of a thinking search, or its
// time is already spent. A search without a clock has no deadline to keep,
// so a ponderhit ends it; it also ends the wait of a finished search.
void ponder_hit(SearchInfo& info) {
    bool enough = info.iteration >= 8 && (info.root_move_count == 1 || info.mate_iterations >= 3);
    bool time_spent = now_ms() > info.hard_deadline;
    if (enough || time_spent) {
        info.status = STOPPED;
        print_out(OUT_LOG, "info string Has searched enough the ponder move: aborting\n");
    } else {
        info.status = THINKING;
        print_out(OUT_LOG, "info string Switch from pondering to thinking\n");
    }
}
