// Limit checks made while the tree is searched: input, the periodic info
// line, deadlines with their extensions, and node limits.
#include <algorithm>

#include "io/input.h"
#include "io/output.h"
#include "io/text.h"
#include "movegen/movegen.h"
#include "search/driver.h"
#include "search/node.h"
#include "search/threads.h"

namespace {

constexpr std::int64_t INFO_INTERVAL_MS = 1000;
constexpr int DROP_TO_EXTEND = 30;  // a root score falling this far earns more time
constexpr std::int64_t INITIAL_POLL_INTERVAL = 8192;
constexpr int POLL_LINE_BUFFER = 256;  // a longer line is read in pieces by later polls
constexpr int EARLY_STOP_DEPTH = 8;    // as the driver's early stop of a thinking search

std::int64_t harness_node_ceiling = INT64_MAX;
std::int64_t harness_poll_interval = 0;
void (*quit_action)(Position&) = nullptr;

void extend_soft_deadline(SearchInfo& info, std::int64_t amount) {
    info.soft_deadline = std::min(info.soft_deadline + amount, info.hard_deadline);
}

}  // namespace

std::int64_t first_poll_interval() {
    return harness_poll_interval > 0 ? harness_poll_interval : INITIAL_POLL_INTERVAL;
}

void search_info_init(SearchInfo& info, std::int64_t now) {
    info = SearchInfo{};
    info.status = THINKING;
    info.depth_limit = MAX_PLY;
    info.poll_interval = first_poll_interval();
    info.start_time = now;
    info.last_info_time = now;
    info.prev2_score = info.prev_score = info.best_score = info.answer_score = -10000;
}

void set_search_quit(void (*quit)(Position&)) { quit_action = quit; }

void set_search_harness_limits(std::int64_t node_ceiling, std::int64_t poll_interval) {
    harness_node_ceiling = node_ceiling;
    harness_poll_interval = poll_interval;
}

void node_limit_test(SearchInfo& info) {
    if (info.status == THINKING && info.nodes_limited && info.nodes >= info.node_limit) {
        info.status = STOPPED;
        print_out(OUT_LOG, "info string Aborting search: nodes spent = %x\n", unsigned(info.nodes));
    }
}

void check_input(Position& pos, SearchInfo& info) {
    static char line[POLL_LINE_BUFFER];
    if (!input_available()) return;
    read_input_line(line, POLL_LINE_BUFFER);
    print_out(OUT_LOG, "%s\n", line);

    const char* command = text::skip_blanks(line);
    if (text::starts_with_nocase(command, "quit")) {
        if (quit_action) quit_action(pos);  // ends the process inside the search: no bestmove
    } else if (text::starts_with_nocase(command, "stop")) {
        info.status = STOPPED;
        print_out(OUT_LOG, "info string Aborting search\n");
    } else if (text::starts_with_nocase(command, "ponderhit")) {
        ponder_hit(info);
    } else if (text::starts_with_nocase(command, "isready")) {
        print_out(OUT_SCREEN | OUT_LOG, "readyok\n");
    }
    // Anything else is dropped: it has been logged and is not acted on later.
}

// The opponent played the expected move: the ponder search becomes a timed
// search from the deadlines set when go was read, or ends at once when it has
// already done what the driver's early stop asks of a thinking search, or its
// time is already spent. A search without a clock has no deadline to keep,
// so a ponderhit ends it; it also ends the wait of a finished search.
void ponder_hit(SearchInfo& info) {
    bool enough = info.iteration >= EARLY_STOP_DEPTH && (info.root_move_count == 1 || info.mate_iterations >= 3);
    bool time_spent = now_ms() > info.hard_deadline;
    if (enough || time_spent) {
        info.status = STOPPED;
        print_out(OUT_LOG, "info string Has searched enough the ponder move: aborting\n");
    } else {
        info.status = THINKING;
        print_out(OUT_LOG, "info string Switch from pondering to thinking\n");
    }
}

void check_limits_pv(Position& pos, SearchInfo& info) { node::count(pos, info); }

void check_limits(Position& pos, SearchInfo& info) {
    info.nodes_since_poll = 0;
    if (info.helper) {
        helper_poll(pos, info);
        return;
    }
    // A helper completed this iteration: unwind, and leave the input to the
    // next iteration's polls, which see a stop or ponderhit as it was sent.
    if (info.handed_status) return;
    if (info.status != STOPPED && iteration_taken(info.iteration)) {
        info.handed_status = info.status;
        info.status = STOPPED;
        return;
    }
    if (info.nodes >= harness_node_ceiling) info.status = STOPPED;
    flush_relayed_output();
    check_input(pos, info);
    threads_main_poll(info);
    if (info.status == STOPPED) return;

    const std::int64_t now = now_ms();
    if (now - info.last_info_time > INFO_INTERVAL_MS) {
        InfoLine line{.form = INFO_PERIODIC};
        if (pos.params->show_curr_line) {
            line.currline = info.current_line + 1;
            line.currline_length = std::min(pos.ply, MAX_PLY - 1);
        }
        report(pos, info, line);
    }

    if (info.status != THINKING) return;  // pondering and analysing end only by input

    if (info.time_limited && now > info.soft_deadline) {
        if (now >= info.hard_deadline) {
            info.status = STOPPED;
            print_out(OUT_LOG, "info string Aborting search: time spent = %d\n", int(now - info.start_time));
        } else {
            const int drop = info.best_score == -MATE ? info.prev2_score - info.prev_score
                                                      : info.prev_score - info.best_score;
            if (drop >= DROP_TO_EXTEND) {
                extend_soft_deadline(info, info.allotted_time * ((drop - 20) / 10) / 2);
                print_out(OUT_LOG, "info string Time is extended in search: time = %d\n", int(now - info.start_time));
            } else if (info.root_research || info.best_changed) {
                extend_soft_deadline(info, info.allotted_time / 2);
                print_out(OUT_LOG, "info string Time is extended in search: time = %d\n", int(now - info.start_time));
            } else {
                info.status = STOPPED;
                print_out(OUT_LOG, "info string Aborting search: time spent = %d\n", int(now - info.start_time));
            }
        }
    }
    if (info.status == THINKING) node_limit_test(info);
    threads_node_limit_test(info);
}

void threads_node_limit_test(SearchInfo& info) {
    // With helpers, a node limit counts the nodes of every thread; their
    // counts arrive at their polls, so the limit holds to a few thousand nodes.
    if (info.status == THINKING && info.nodes_limited && threads_count() > 1 &&
        search_nodes(info) >= info.node_limit) {
        info.status = STOPPED;
        print_out(OUT_LOG, "info string Aborting search: nodes spent = %x\n", unsigned(search_nodes(info)));
    }
}
