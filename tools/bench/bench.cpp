// corvane-bench: benchmarks and developer commands.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: corvane-bench perft [--chess960] DEPTH [POSITION]\n"
                 "       corvane-bench perft-suite [--chess960] FILE [--max-nodes N]\n"
                 "       corvane-bench key [--chess960] [POSITION]\n"
                 "       corvane-bench eval [POSITION]\n"
                 "       corvane-bench search [DEPTH] [--multipv K] [--threads N] [--option NAME=VALUE ...]\n"
                 "       corvane-bench tb --syzygy-path DIRS [POSITION]\n"
                 "       corvane-bench tb-suite --syzygy-path DIRS FILE [ROUNDS]\n"
                 "       corvane-bench datagen --out DIR [--games N] [--nodes N] [--seed S] [--workers W]\n"
                 "                     [--random-plies P] [--option NAME=VALUE ...]\n"
                 "       corvane-bench --version\n"
                 "POSITION: startpos [moves ...] | fen <FEN> [moves ...] | <FEN> [moves ...]\n"
                 "Castling fields and moves are read as standard chess, as the engine reads\n"
                 "them with UCI_Chess960 off; --chess960 reads them as with it on.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    std::string command = argv[1];
    int rc = -1;
    if (command == "perft") rc = bench_perft(argc - 2, argv + 2);
    else if (command == "perft-suite") rc = bench_perft_suite(argc - 2, argv + 2);
    else if (command == "key") rc = bench_key(argc - 2, argv + 2);
    else if (command == "eval") rc = bench_eval(argc - 2, argv + 2);
    else if (command == "search") rc = bench_search(argc - 2, argv + 2);
    else if (command == "tb") rc = bench_tb(argc - 2, argv + 2);
    else if (command == "tb-suite") rc = bench_tb_suite(argc - 2, argv + 2);
    else if (command == "datagen") rc = bench_datagen(argc - 2, argv + 2);
    else if (command == "--version" && argc == 2) rc = (std::printf("corvane-bench %s\n", CORVANE_VERSION), 0);
    return rc < 0 ? usage() : rc;
}
