// The UCI front end: output routine and log files, command loop, position
// command, move text, go command and the input polling done during a search.
#pragma once

#include <cstdint>
#include <string>

#include "board/position.h"
#include "movegen/move.h"

struct SearchInfo;

// Destinations of print_out.
enum : int { OUT_SCREEN = 1, OUT_LOG = 2, OUT_ERR = 4, OUT_DUMP = 8 };

constexpr const char* VERSION = "20100131z";
constexpr const char* START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

// Formats onto every destination in the mask that is open, flushing each at once.
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

// Start-up steps 1-10; the process is then ready for commands.
void engine_init(Position& pos);
// The tables that depend only on geometry and material (attacks, keys,
// piece-square values, picker stages, the material table), built in order.
void init_static_tables();
void command_loop(Position& pos);
[[noreturn]] void engine_quit(Position& pos);
// The in-process harnesses (fuzzers, tests) cannot let the engine end their
// process: engine_quit hands over to this handler, which owns the tables and
// options from then on, instead of releasing them and exiting. The handler
// must not return (it throws); the engine never sets one.
void set_quit_handler(void (*handler)());
void uci_identify();
void uci_newgame(Position& pos);

// Position command and move text.
void uci_position(Position& pos, const char* text);
// Coordinate text; castling as the king's move to its destination (e1g1).
const char* move_to_text(Move move);  // static buffer, overwritten by the next call
Move text_to_move(const MoveList& list, const char* text);
// The same in the notation of the mode in force: with UCI_Chess960 on,
// castling is written and read as the king taking its own rook (e1h1).
const char* move_to_text(const Position& pos, Move move);  // the same static buffer
Move text_to_move(const Position& pos, const MoveList& list, const char* text);

// Go command.
void uci_go(Position& pos, const char* text);
std::int64_t now_ms();
void parse_move_list(const Position& pos, const MoveList& legal, const char* text, Move* search_moves);

// Input polling during a search. Benchmarks switch it off: their standard
// input is not a GUI, and its end must not end the process.
void input_init();  // start-up: standard input unbuffered (and binary on Windows)
void set_input_polling(bool enabled);
bool input_polling();
int input_available();
void check_input(Position& pos, SearchInfo& info);
void ponder_hit(SearchInfo& info);

// Reads one line of standard input into buf (at most size - 1 characters, the
// newline included); at end of input the line is "quit\n".
void read_input_line(char* buf, int size);
// Reads one command line whole, newline included (a line past 1 MiB is split,
// its rest read as the next line); at end of input the line is "quit\n".
void read_command_line(std::string& line);
// Forgets input already read from the descriptor but not yet handed out, for
// a harness that gives the engine a new standard input.
void input_reset();
