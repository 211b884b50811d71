// The one door for everything the engine writes: the screen (the GUI's pipe)
// and three files in the working directory. Only the thread that talks to
// the GUI writes; what other threads print is handed over to it.
#pragma once

#include <cstdint>

// Destinations of print_out.
enum : int { OUT_SCREEN = 1, OUT_LOG = 2, OUT_ERR = 4, OUT_DUMP = 8 };

// Formats onto every destination in the mask that is open, flushing each at
// once. Called from a relaying thread, the text waits for flush_relayed_output.
void print_out(int mask, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Benchmarks silence the screen so that only their own report is printed.
void set_screen_output(bool enabled);

// Opens logfile.txt ("w"), errfile.txt and dumpfile.txt ("a+") in the current
// directory; a file that cannot be opened is skipped silently.
void open_output_files();
void close_output_files();

// A helper thread calls this once: from then on its print_out calls are
// queued (a few messages, each cut to one line's length; more are dropped)
// instead of written, so they can never land inside a line the GUI thread is
// writing.
void relay_thread_output();
// The GUI thread writes what the relaying threads queued, in their order.
void flush_relayed_output();

// Wall-clock milliseconds.
std::int64_t now_ms();
