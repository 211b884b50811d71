// The engine options: one static table of texts, listed by uci, changed by
// setoption, and decoded into EngineParams at start-up and at every go.
#pragma once

#include "board/position.h"

struct OptionRecord {
    int visible;
    const char* name;
    const char* default_value;
    const char* type;   // "spin", "check", "string" or "button" (a button holds no value)
    const char* range;  // "min 1 max 4096" for spins, "" otherwise
    char* value;        // owned, on the heap
};

constexpr int OPTION_COUNT = 46;
extern OptionRecord EngineOptions[OPTION_COUNT];

void options_init();
void options_free();
void options_list();
int option_set(const char* name, const char* value);
const char* option_get(const char* name);
int option_get_int(const char* name);
int option_get_bool(const char* name);
void read_params(EngineParams& params);
void uci_setoption(Position& pos, const char* line);
