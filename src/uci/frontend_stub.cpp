// Temporary: replaced by the options, position and go handlers.
#include "uci/options.h"
#include "uci/uci.h"
#include "book/book.h"
OptionRecord EngineOptions[OPTION_COUNT];
void options_init() {}
void options_free() {}
void options_list() {}
int option_get_int(const char* name) { return name[0] == 'H' ? 32 : 16; }
void read_params(EngineParams& p) {
    p = EngineParams{1, 0, 128, 1, 1, 5, 1, 50, 1, 0, 6, 100, 50, 1, 3, 4, 0, 4, 4, 1, 12, 5, 5, 5, 0, 1000};
}
void uci_setoption(Position&, const char*) {}

void uci_go(Position&, const char*) {}

void book_open(Position&) {}
void book_close(Position&) {}
