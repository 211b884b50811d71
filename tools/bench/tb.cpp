// tb and tb-suite: Syzygy probes of one position, and a check and timing of
// the reader against a file of expected values.
#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench.h"
#include "syzygy/syzygy.h"

namespace {

// Takes "--syzygy-path DIRS" from the front of the arguments.
bool take_path(int& argc, char**& argv, std::string& paths) {
    if (argc < 2 || std::strcmp(argv[0], "--syzygy-path") != 0) return false;
    paths = argv[1];
    argc -= 2;
    argv += 2;
    return true;
}

struct SuiteLine {
    std::string fen;
    int wdl, dtz;
};

// "FEN ;wdl W ;dtz D" lines; false when one does not read so.
bool read_suite(const char* path, std::vector<SuiteLine>& lines) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t w = line.find(";wdl "), d = line.find(";dtz ");
        if (w == std::string::npos || d == std::string::npos) return false;
        lines.push_back({line.substr(0, w), std::atoi(line.c_str() + w + 5), std::atoi(line.c_str() + d + 5)});
    }
    return true;
}

}  // namespace

int bench_tb(int argc, char** argv) {
    std::string paths;
    if (!take_path(argc, argv, paths)) return -1;
    static Position pos;
    bench_setup(pos, false);
    tb_init(paths.c_str());
    if (!bench_set_position(pos, argc, argv)) return 2;
    if (pos.st.castle) {
        std::printf("no probe: the tables hold no position with castling rights\n");
        return 1;
    }
    int success;
    const int wdl = tb_probe_wdl(pos, &success);
    if (!success) {
        std::printf("table missing: %s (or a table that a capture leads to)\n", tb_material_name(pos));
        return 1;
    }
    std::printf("wdl %d\n", wdl);
    const int dtz = tb_probe_dtz(pos, &success);
    if (!success) {
        std::printf("table missing: %s.rtbz (or one that a capture leads to)\n", tb_material_name(pos));
        return 1;
    }
    std::printf("dtz %d\n", dtz);
    return 0;
}

int bench_tb_suite(int argc, char** argv) {
    std::string paths;
    if (!take_path(argc, argv, paths) || argc < 1) return -1;
    const int rounds = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 50;
    static Position pos;
    bench_setup(pos, false);
    std::vector<SuiteLine> lines;
    if (!read_suite(argv[0], lines) || lines.empty()) {
        std::fprintf(stderr, "corvane-bench: cannot read %s\n", argv[0]);
        return 2;
    }
    std::vector<Position> boards(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        read_fen(pos, lines[i].fen.c_str());
        boards[i] = pos;
    }
    using Clock = std::chrono::steady_clock;
    auto micros = [](Clock::duration d) { return std::chrono::duration_cast<std::chrono::microseconds>(d).count(); };

    // Cold: each position's first WDL probe after a fresh init, so its table
    // (and those its captures reach) are mapped and their headers read in it.
    std::int64_t cold_us = 0;
    for (Position& p : boards) {
        tb_init(paths.c_str());
        const auto t0 = Clock::now();
        int success;
        tb_probe_wdl(p, &success);
        cold_us += micros(Clock::now() - t0);
    }

    tb_init(paths.c_str());
    int passed = 0, wrong = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        int ws, ds;
        const int wdl = tb_probe_wdl(boards[i], &ws);
        const int dtz = tb_probe_dtz(boards[i], &ds);
        if (ws && ds && wdl == lines[i].wdl && dtz == lines[i].dtz) {
            ++passed;
        } else {
            ++wrong;
            std::printf("%s: wdl %d dtz %d, expected wdl %d dtz %d%s\n", lines[i].fen.c_str(), wdl, dtz,
                        lines[i].wdl, lines[i].dtz, ws && ds ? "" : " (probe failed)");
        }
    }

    // Cached: every table mapped and its pages touched by the pass above; WDL
    // as the search will probe, DTZ as the root will.
    std::uint64_t probes = 0;
    const auto t0 = Clock::now();
    for (int r = 0; r < rounds; ++r)
        for (Position& p : boards) {
            int success;
            tb_probe_wdl(p, &success);
            ++probes;
        }
    const std::int64_t cached_us = std::max<std::int64_t>(1, micros(Clock::now() - t0));
    std::uint64_t dtz_probes = 0;
    const auto t1 = Clock::now();
    for (int r = 0; r < rounds; ++r)
        for (Position& p : boards) {
            int success;
            tb_probe_dtz(p, &success);
            ++dtz_probes;
        }
    const std::int64_t dtz_us = std::max<std::int64_t>(1, micros(Clock::now() - t1));
    const std::int64_t cold_per_s = std::int64_t(boards.size()) * 1000000 / std::max<std::int64_t>(1, cold_us);
    std::printf("cold WDL probes (first after init): %zu in %" PRId64 " us, %" PRId64 " probes/s\n", boards.size(),
                cold_us, cold_per_s);
    std::printf("cached WDL probes: %" PRIu64 " in %" PRId64 " us, %" PRIu64 " probes/s\n", probes, cached_us,
                probes * 1000000 / std::uint64_t(cached_us));
    std::printf("cached DTZ probes: %" PRIu64 " in %" PRId64 " us, %" PRIu64 " probes/s\n", dtz_probes, dtz_us,
                dtz_probes * 1000000 / std::uint64_t(dtz_us));
    std::printf("%d passed, %d failed\n", passed, wrong);
    return wrong ? 1 : 0;
}
