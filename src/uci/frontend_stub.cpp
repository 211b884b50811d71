// Temporary: replaced by the options, position and go handlers.
#include "uci/options.h"
#include "uci/uci.h"
#include "book/book.h"
OptionRecord EngineOptions[OPTION_COUNT];
void options_init() {}
void options_free() {}
void options_list() {}
int option_get_int(const char* name) { return name[0] == 'H' ? 32 : 16; }
void read_params(EngineParams&) {}
void uci_setoption(Position&, const char*) {}

void uci_go(Position&, const char*) {}

void book_open(Position&) {}
void book_close(Position&) {}
