// The single output routine and the three files in the working directory.
#include <cstdarg>
#include <cstdio>
#include <initializer_list>

#include "uci/uci.h"

namespace {

std::FILE* log_file = nullptr;
std::FILE* err_file = nullptr;
std::FILE* dump_file = nullptr;
bool screen_enabled = true;

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
    std::FILE* destinations[4] = {screen_enabled ? stdout : nullptr, log_file, err_file, dump_file};
    for (int i = 0; i < 4; ++i) {
        if (!(mask & (1 << i)) || !destinations[i]) continue;
        va_list args;
        va_start(args, format);
        std::vfprintf(destinations[i], format, args);
        va_end(args);
        std::fflush(destinations[i]);
    }
}
