// The commands of corvane-bench; each returns the exit status, or -1 for
// arguments it cannot use (the caller then prints the usage text).
#pragma once

#include <string>
#include <vector>

#include "board/position.h"

int bench_perft(int argc, char** argv);
int bench_perft_suite(int argc, char** argv);
int bench_key(int argc, char** argv);
int bench_eval(int argc, char** argv);
int bench_search(int argc, char** argv);
int bench_tb(int argc, char** argv);
int bench_tb_suite(int argc, char** argv);
int bench_datagen(int argc, char** argv);

// `corvane bench`: the search benchmark at its default depth, printing only
// `nodes N`, `time_ms T` and `nps S` (the form OpenBench's client reads).
int bench_signature();

// Start-up tables and, for the commands that search or evaluate, the hash
// tables; without the UCI front end's files.
void bench_setup(Position& pos, bool hash_tables = true);
// Sets the position from POSITION words; false when they name no playable position.
bool bench_set_position(Position& pos, int argc, char** argv);
std::int64_t bench_now_ms();
// Sets each "NAME=VALUE" as a setoption line would (options that act at once act).
void bench_set_options(Position& pos, const std::vector<std::string>& options);
