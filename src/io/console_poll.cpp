// The console-or-pipe decision of the Windows input poll; see console_poll.h.
#include "io/console_poll.h"

#include <climits>

namespace {

int clamped(std::uint32_t count) { return count > INT_MAX ? INT_MAX : int(count); }

}  // namespace

int console_input_waiting(const ConsoleCalls& calls, ConsolePollState& state) {
    if (!state.initialised) {
        state.initialised = true;
        state.input = calls.std_input();
        std::uint32_t mode = 0;
        state.is_pipe = !calls.get_mode(state.input, &mode);
        if (!state.is_pipe) {
            // Window and mouse events would count as pending input without
            // ever making a line: switch them off and drop those already queued.
            calls.set_mode(state.input, mode & ~(CONSOLE_WINDOW_INPUT | CONSOLE_MOUSE_INPUT));
            calls.flush(state.input);
        }
    }

    std::uint32_t count = 0;
    if (state.is_pipe) {
        // A failing peek means the interface closed the pipe: report input so
        // that the read which follows meets the end of input and quits.
        if (!calls.peek_pipe(state.input, &count)) return 1;
        return clamped(count);
    }
    // Reading a typed line leaves the release of its Enter key behind, and a
    // lone event is seldom typing anyway, so only more than one counts. A
    // failing count is no input: a console read would block until a whole
    // line was typed.
    if (!calls.count_events(state.input, &count)) return 0;
    return count > 1 ? clamped(count) : 0;
}
