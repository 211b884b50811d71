// Input polling during a search: a non-blocking test for a waiting line, and
// the handling of the four commands that matter while the engine thinks.
// The operating-system test is the one platform seam of the front end.
#include <cctype>
#include <cstdio>

#include "uci/search_info.h"
#include "uci/uci.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#endif

namespace {

constexpr int POLL_LINE_BUFFER = 256;  // a longer line is read in pieces by later polls

bool polling_enabled = true;

// Characters the C library has already taken from the descriptor but not yet
// handed out. Start-up makes standard input unbuffered, so this is normally
// 0, but a line longer than a read leaves its rest here, and a poll of the
// descriptor alone would miss it.
int stdio_buffered_input() {
#if defined(__GLIBC__)
    return int(stdin->_IO_read_end - stdin->_IO_read_ptr);
#elif defined(_WIN32) && !defined(_UCRT)
    return stdin->_cnt;
#else
    return 0;
#endif
}

bool starts_with(const char* line, const char* word) {
    for (; *word; ++line, ++word)
        if (std::tolower((unsigned char)*line) != *word) return false;
    return true;
}

int platform_input_available();

}  // namespace

void set_input_polling(bool enabled) { polling_enabled = enabled; }

int input_available() { return polling_enabled ? platform_input_available() : 0; }

namespace {

#ifdef _WIN32

int platform_input_available() {
    static bool initialised = false;
    static bool is_pipe = false;
    static HANDLE input = nullptr;
    DWORD count = 0;

    if (int buffered = stdio_buffered_input(); buffered > 0) return buffered;

    if (!initialised) {
        initialised = true;
        input = GetStdHandle(STD_INPUT_HANDLE);
        DWORD mode = 0;
        is_pipe = !GetConsoleMode(input, &mode);
        if (!is_pipe) {
            // Window and mouse events would count as pending input without being a line.
            SetConsoleMode(input, mode & ~(ENABLE_WINDOW_INPUT | ENABLE_MOUSE_INPUT));
            FlushConsoleInputBuffer(input);
        }
    }

    if (is_pipe) {
        // A failing peek means the interface closed the pipe: report input so
        // that the read which follows meets the end of input and quits.
        if (!PeekNamedPipe(input, nullptr, 0, nullptr, &count, nullptr)) return 1;
        return int(count);
    }
    // A console always holds one event of its own; only more than that is typing.
    GetNumberOfConsoleInputEvents(input, &count);
    return count > 1 ? int(count) : 0;
}

#else

// A terminal, pipe or file on descriptor 0, tested with a zero-timeout poll.
// A closed pipe reports POLLHUP and a bad descriptor POLLNVAL: both count as
// input, so the read that follows meets the end of input and the engine quits.
int platform_input_available() {
    if (int buffered = stdio_buffered_input(); buffered > 0) return buffered;
    pollfd fd{0, POLLIN, 0};
    if (poll(&fd, 1, 0) <= 0) return 0;  // nothing waiting, or interrupted: ask again later
    return (fd.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) ? 1 : 0;
}

#endif

}  // namespace

void check_input(Position& pos, SearchInfo& info) {
    static char line[POLL_LINE_BUFFER];
    if (!input_available()) return;
    read_input_line(line, POLL_LINE_BUFFER);
    print_out(OUT_LOG, "%s\n", line);

    if (starts_with(line, "quit")) {
        engine_quit(pos);  // ends the process inside the search: no bestmove
    } else if (starts_with(line, "stop")) {
        info.status = STOPPED;
        print_out(OUT_LOG, "info string Aborting search\n");
    } else if (starts_with(line, "ponderhit")) {
        ponder_hit(info);
    } else if (starts_with(line, "isready")) {
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
