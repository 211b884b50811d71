// Limit checks made while the tree is searched: input, the periodic info
// line, deadlines with their extensions, and node limits.
#include <algorithm>

#include "search/node.h"
#include "search/threads.h"
#include "uci/uci.h"

namespace {

constexpr std::int64_t INFO_INTERVAL_MS = 1000;
constexpr int DROP_TO_EXTEND = 30;  // a root score falling this far earns more time
constexpr std::int64_t INITIAL_POLL_INTERVAL = 8192;

std::int64_t harness_node_ceiling = INT64_MAX;
std::int64_t harness_poll_interval = 0;

void extend_soft_deadline(SearchInfo& info, std::int64_t amount) {
    info.soft_deadline = std::min(info.soft_deadline + amount, info.hard_deadline);
}

}  // namespace

std::int64_t first_poll_interval() {
    return harness_poll_interval > 0 ? harness_poll_interval : INITIAL_POLL_INTERVAL;
}

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

void check_limits_pv(Position& pos, SearchInfo& info) { node::count(pos, info); }

void check_limits(Position& pos, SearchInfo& info) {
    info.nodes_since_poll = 0;
    if (info.helper) {
        helper_poll(pos, info);
        return;
    }
    if (info.nodes >= harness_node_ceiling) info.status = STOPPED;
    check_input(pos, info);
    if (info.status == STOPPED) return;

    const std::int64_t now = now_ms();
    if (now - info.last_info_time > INFO_INTERVAL_MS) {
        info.last_info_time = now;
        print_out(OUT_SCREEN, "info ");
        if (pos.params->show_curr_line) {
            print_out(OUT_SCREEN, "currline ");
            for (int i = 1; i <= pos.ply && i < MAX_PLY; ++i)
                print_out(OUT_SCREEN, "%s ", move_to_text(pos, info.current_line[i]));
        }
        const std::int64_t elapsed = now - info.start_time;
        const std::int64_t nodes = search_nodes(info);
        print_out(OUT_SCREEN, "time %llu ", (unsigned long long)elapsed);
        print_out(OUT_SCREEN, "nodes %llu ", (unsigned long long)nodes);
        print_out(OUT_SCREEN, "hashfull %d ", search_hashfull(pos));
        print_tb_hits(pos, info);
        print_out(OUT_SCREEN, "nps %llu ", (unsigned long long)(elapsed > 0 ? nodes * 1000 / elapsed : 0));
        print_out(OUT_SCREEN, "\n");
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
    // With helpers, a node limit counts the nodes of every thread; their
    // counts arrive at their polls, so the limit holds to a few thousand nodes.
    if (info.status == THINKING && info.nodes_limited && threads_count() > 1 &&
        search_nodes(info) >= info.node_limit) {
        info.status = STOPPED;
        print_out(OUT_LOG, "info string Aborting search: nodes spent = %x\n", unsigned(search_nodes(info)));
    }
}
