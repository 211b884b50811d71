// Info lines: one record for every form the search prints, written by one
// formatter in a single write, so no line is ever split by another's text.
#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "io/output.h"
#include "movegen/movegen.h"
#include "search/driver.h"
#include "search/threads.h"

namespace {

constexpr std::int64_t CURRMOVE_AFTER_MS = 10000;  // short searches change move too fast to follow
constexpr std::int64_t NPS_AFTER_MS = 1000;        // a shorter time gives no meaningful speed
constexpr int LINE_CAPACITY = 2048;                // the longest line: 127 moves of currline or pv

// A line of text built piece by piece; what does not fit is cut.
struct Text {
    char buf[LINE_CAPACITY];
    int length = 0;

    void add(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
    {
        if (length >= LINE_CAPACITY - 1) return;
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(buf + length, std::size_t(LINE_CAPACITY - length), format, args);
        va_end(args);
        if (n > 0) length = std::min(length + n, LINE_CAPACITY - 1);
    }
};

// Mates in moves (negative when the engine is mated), else centipawns; with
// UCI_ShowWDL on, the win, draw and loss chances after them.
void add_score(Text& t, const Position& pos, const InfoLine& line) {
    const int score = line.score;
    if (score >= MATE_BOUND)
        t.add("score mate %d ", (MATE + 1 - score) / 2);
    else if (score <= -MATE_BOUND)
        t.add("score mate %d ", (-MATE - score) / 2);
    else
        t.add("score cp %d ", score);
    if (pos.params->show_wdl) {
        const WdlChances c = line_wdl(pos, score, line.tb_result);
        t.add("wdl %d %d %d ", c.win, c.draw, c.loss);
    }
}

// A line's moves up to its end (the first empty slot).
void add_pv(Text& t, const Position& pos, const Move* pv, const char* before, const char* after) {
    for (int i = 0; i < MAX_PLY && pv[i]; ++i) t.add("%s%s%s", before, move_to_text(pos, pv[i]), after);
}

// The counters every thread adds to, read once for the line.
struct Counters {
    std::int64_t elapsed, nodes, tb_hits;
    int hashfull;
    bool tables;  // tbhits is shown only while endgame tables are in use
};

Counters read_counters(const Position& pos, SearchInfo& info) {
    const std::int64_t now = now_ms();
    info.last_info_time = now;
    return {now - info.start_time, search_nodes(info), search_tb_hits(info), search_hashfull(pos),
            pos.params->tb_men > 0};
}

}  // namespace

void report(const Position& pos, SearchInfo& info, const InfoLine& line) {
    Text t;
    switch (line.form) {
        case INFO_ITERATION_START:
            t.add("info depth %d\n", line.depth);
            break;
        case INFO_CURRMOVE:
            if (now_ms() - info.start_time <= CURRMOVE_AFTER_MS) return;
            t.add("info currmove %s currmovenumber %d\n", move_to_text(pos, line.currmove), line.currmove_number);
            break;
        case INFO_PV: {
            const Counters c = read_counters(pos, info);
            t.add("info depth %d seldepth %d ", line.depth, line.seldepth);
            add_score(t, pos, line);
            t.add("time %lld nodes %lld hashfull %d ", (long long)c.elapsed, (long long)c.nodes, c.hashfull);
            if (c.tables) t.add("tbhits %lld ", (long long)c.tb_hits);
            if (c.elapsed > NPS_AFTER_MS) t.add("nps %lld ", (long long)(c.nodes * 1000 / c.elapsed));
            t.add("pv ");
            add_pv(t, pos, line.pv, "", " ");
            t.add("\n");
            break;
        }
        case INFO_MULTI_PV: {
            // Each numbered line carries its own score and moves, so a client
            // can read it by itself.
            const Counters c = read_counters(pos, info);
            t.add("info depth %d seldepth %d multipv %d ", line.depth, line.seldepth, line.multipv);
            add_score(t, pos, line);
            t.add("nodes %lld nps %lld hashfull %d ", (long long)c.nodes,
                  (long long)(c.nodes * 1000 / std::max<std::int64_t>(c.elapsed, 1)), c.hashfull);
            if (c.tables) t.add("tbhits %lld ", (long long)c.tb_hits);
            t.add("time %lld pv", (long long)c.elapsed);
            add_pv(t, pos, line.pv, " ", "");
            t.add("\n");
            break;
        }
        case INFO_SUMMARY: {
            const Counters c = read_counters(pos, info);
            t.add("info depth %d seldepth %d time %lld nodes %lld hashfull %d ", line.depth, line.seldepth,
                  (long long)c.elapsed, (long long)c.nodes, c.hashfull);
            if (c.tables) t.add("tbhits %lld ", (long long)c.tb_hits);
            if (c.elapsed > NPS_AFTER_MS) t.add("nps %lld", (long long)(c.nodes * 1000 / c.elapsed));
            t.add("\n");
            break;
        }
        case INFO_PERIODIC: {
            const Counters c = read_counters(pos, info);
            t.add("info ");
            if (line.currline) {
                t.add("currline ");
                // A null move on the way shows as 0000.
                for (int i = 0; i < line.currline_length; ++i) t.add("%s ", move_to_text(pos, line.currline[i]));
            }
            t.add("time %lld nodes %lld hashfull %d ", (long long)c.elapsed, (long long)c.nodes, c.hashfull);
            if (c.tables) t.add("tbhits %lld ", (long long)c.tb_hits);
            t.add("nps %lld \n", (long long)(c.elapsed > 0 ? c.nodes * 1000 / c.elapsed : 0));
            break;
        }
    }
    print_out(OUT_SCREEN, "%s", t.buf);
}

void report_line(const Position& pos, SearchInfo& info, const Line& line, int multipv) {
    report(pos, info, {.form = multipv ? INFO_MULTI_PV : INFO_PV, .depth = line.depth, .seldepth = line.seldepth,
                       .multipv = multipv, .score = line.score, .tb_result = line.tb_result, .pv = line.pv});
}

void report_lines(const Position& pos, SearchInfo& info, const LineSet& set) {
    for (int i = 0; i < set.count; ++i) report_line(pos, info, set.lines[i], i + 1);
}
