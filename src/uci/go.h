// The parts of the go command that need no search: reading its numbers,
// turning a clock into two deadlines, and setting up the limits and status of
// a new SearchInfo. uci_go (uci.h) runs these, then the search, then prints.
#pragma once

#include <cstdint>

#include "board/position.h"
#include "search/search_info.h"

// Clock values are held below this (about 35 years of milliseconds) so that
// the allocation's products stay far inside 64 bits.
constexpr std::int64_t GO_TIME_CEILING = std::int64_t(1) << 40;

struct TimeBudget {
    std::int64_t target;    // planned duration: the soft deadline's distance from the start
    std::int64_t absolute;  // the hard deadline's distance from the start
};

// The clock rule: 95% of the clock less the reserve, shared over the moves to
// go (at most 30; 30 when unknown), plus four fifths of the increment, a
// quarter more when pondering, never more than what is available; then the
// overhead lost outside the engine on every move comes off both limits (not
// below 0). time > 0; inc, moves_to_go, reserve and overhead below 0 count as
// 0 (moves_to_go 0 = unknown).
TimeBudget allocate_time(std::int64_t time, std::int64_t inc, std::int64_t moves_to_go, bool ponder,
                         std::int64_t reserve, std::int64_t overhead);

// The number that starts one character after the first occurrence of keyword
// in text (case matters). Absent, unreadable, zero or negative give 0; larger
// values than ceiling give ceiling, however many digits they have.
std::int64_t go_parameter(const char* text, const char* keyword, std::int64_t ceiling);

// Fills info for the go text as read at time now: starting values, searchmoves,
// depth, mate, node and time limits, and the status, each with its log line.
// Reads "Time Buffer" and "Move Overhead" (taken off movetime too) from the
// options; clears no table and runs no search.
void go_prepare(const Position& pos, const char* text, SearchInfo& info, std::int64_t now);
