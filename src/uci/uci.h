// The UCI front end: start-up and the command loop, the position command and
// the go command.
#pragma once

#include <cstdint>
#include <string>

#include "board/position.h"
#include "io/input.h"
#include "io/output.h"
#include "movegen/movegen.h"

constexpr const char* VERSION = "20100131z";
constexpr const char* START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

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

// Position command.
void uci_position(Position& pos, const char* text);

// Go command.
void uci_go(Position& pos, const char* text);
void parse_move_list(const Position& pos, const MoveList& legal, const char* text, Move* search_moves);
