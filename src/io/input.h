// Standard input: whole command lines for the command loop, and the
// non-blocking test for a waiting line that a search makes at its polls.
#pragma once

#include <string>

// Start-up: standard input unbuffered (and binary on Windows).
void input_init();
// Benchmarks switch polling off: their standard input is not a GUI, and its
// end must not end the process.
void set_input_polling(bool enabled);
bool input_polling();
// Non-zero when a line (or the end of input) is waiting.
int input_available();
// Reads one line of standard input into buf (at most size - 1 characters, the
// newline included); at end of input the line is "quit\n". Allocates nothing.
void read_input_line(char* buf, int size);
// Reads one command line whole, newline included (a line past 1 MiB is split,
// its rest read as the next line); at end of input the line is "quit\n".
void read_command_line(std::string& line);
// Forgets input already read from the descriptor but not yet handed out, for
// a harness that gives the engine a new standard input.
void input_reset();
