// Corvane's program entry. Started without arguments, as a GUI starts it, it
// speaks UCI and the process ends only through engine_quit. `corvane bench`
// runs the search benchmark instead and prints its node count and speed (the
// check OpenBench's client makes of a build); other arguments are ignored.
#include <cstdio>
#include <cstring>

#include "bench.h"
#include "uci/uci.h"

namespace {
Position position;  // the one game-state record, alive for the whole process
}

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "bench") == 0) {
        if (argc == 2) return bench_signature();
        std::fprintf(stderr, "corvane: bench takes no arguments (corvane-bench search DEPTH searches to other depths)\n");
        return 2;
    }
    engine_init(position);
    command_loop(position);
    engine_quit(position);
}
