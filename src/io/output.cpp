// The single output routine, the three files in the working directory, the
// queue that carries helper threads' messages to the GUI thread, and the clock.
#include "io/output.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <initializer_list>
#include <mutex>

namespace {

std::FILE* log_file = nullptr;
std::FILE* err_file = nullptr;
std::FILE* dump_file = nullptr;
bool screen_enabled = true;

void write_out(int mask, const char* format, va_list args) {
    std::FILE* destinations[4] = {screen_enabled ? stdout : nullptr, log_file, err_file, dump_file};
    for (int i = 0; i < 4; ++i) {
        if (!(mask & (1 << i)) || !destinations[i]) continue;
        va_list copy;
        va_copy(copy, args);
        std::vfprintf(destinations[i], format, copy);
        va_end(copy);
        std::fflush(destinations[i]);
    }
}

// Messages from helpers are rare (a damaged table, say): a few slots of one
// line each, filled under a lock, never allocated.
constexpr int RELAY_SLOTS = 64;
constexpr int RELAY_TEXT = 512;
struct Relayed {
    int mask;
    char text[RELAY_TEXT];
};
Relayed relayed[RELAY_SLOTS];
int relayed_count = 0;
std::mutex relay_mutex;
thread_local bool relaying = false;

void write_text(int mask, const char* format, ...) {
    va_list args;
    va_start(args, format);
    write_out(mask, format, args);
    va_end(args);
}

}  // namespace

void open_output_files() {
    log_file = std::fopen("logfile.txt", "w");
    err_file = std::fopen("errfile.txt", "a+");
    dump_file = std::fopen("dumpfile.txt", "a+");
}

void set_screen_output(bool enabled) { screen_enabled = enabled; }

void close_output_files() {
    for (std::FILE** f : {&log_file, &err_file, &dump_file})
        if (*f) {
            std::fclose(*f);
            *f = nullptr;
        }
}

void print_out(int mask, const char* format, ...) {
    va_list args;
    va_start(args, format);
    if (!relaying) {
        write_out(mask, format, args);
    } else {
        std::lock_guard<std::mutex> lock(relay_mutex);
        if (relayed_count < RELAY_SLOTS) {
            Relayed& r = relayed[relayed_count++];
            r.mask = mask;
            std::vsnprintf(r.text, RELAY_TEXT, format, args);
        }
    }
    va_end(args);
}

void relay_thread_output() { relaying = true; }

void flush_relayed_output() {
    std::lock_guard<std::mutex> lock(relay_mutex);
    for (int i = 0; i < relayed_count; ++i) write_text(relayed[i].mask, "%s", relayed[i].text);
    relayed_count = 0;
}

std::int64_t now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}
