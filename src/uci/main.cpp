// Corvane's program entry: command-line arguments are ignored; the process
// ends only through engine_quit.
#include "uci/uci.h"

namespace {
Position position;  // the one game-state record, alive for the whole process
}

int main() {
    engine_init(position);
    command_loop(position);
    engine_quit(position);
}
