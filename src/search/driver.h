// The search driver's pieces, private to src/search: the root line searches
// (root.cpp), the info lines (report.cpp) and the choice of the answer
// (result.cpp) that think.cpp puts together.
#pragma once

#include "search/search.h"

constexpr int PV_LINE_MIN_DEPTH = 8;  // shallower iterations are too quick to report line by line

// ---- The root and its line searches (root.cpp) ----------------------------

// The root moves of one thread's search with their ordering keys, and its
// first line as the last root move to raise alpha left it.
struct RootSearch {
    RootMove moves[MAX_MOVES];
    int count;
    int first_count;  // the first line chooses among the first moves only (the tables' best)
    Bitboard candidates;
    Line pv;           // depth 0 until a root move raised alpha
    bool pv_reported;  // printed as a principal variation when it was found
};

// The root moves (the searchmoves list, or every legal move) with their
// first keys; at a root the tables know, only the moves they keep.
void build_root(Position& pos, SearchInfo& info, RootSearch& rs);
// The index of the unsearched root move with the largest key, the earliest on ties.
int pick_root_move(const RootMove* moves, const bool* searched, int count);
// One iteration's first line over every root move; the main thread reports
// each new best line (`report`). Returns the index of the best move, or -1.
int search_first_line(Position& pos, SearchInfo& info, RootSearch& rs, int depth, bool report);
// A helper completed the iteration first: its line becomes the iteration's,
// reported and ranked first for the next one, as if found here.
void take_helper_line(const Position& pos, SearchInfo& info, RootSearch& rs, const Line& line);
// The best line among the root moves not `taken`, `first` tried first when
// still free, its score exact. Returns the index of its move, or -1 when the
// search stopped.
int search_further_line(Position& pos, SearchInfo& info, const RootSearch& rs, const bool* taken, Move first,
                        int depth, Line& line);

// A set of root lines, best first.
struct LineSet {
    Line lines[MAX_LINES];
    int count;
};

// The lines of a multi-line search: line 1 is the first line's search, each
// further line the best of the root moves the earlier lines left.
struct MultiLines {
    LineSet last;     // the last completed iteration's lines, best first
    LineSet current;  // this iteration's completed lines, best first
    int wanted;       // lines searched each iteration
    int shown;        // lines printed
};
// The further lines of an iteration whose first line (rs.pv, the move at
// best_index) completed. From PV_LINE_MIN_DEPTH on, the lines as they stand
// are printed each time a line completes, else once all have; an iteration
// whose lines all completed becomes the last one.
void search_lines(Position& pos, SearchInfo& info, const RootSearch& rs, int best_index, int depth, MultiLines& ml);
// The lines as they stand, at most ml.shown: this iteration's completed lines,
// then the last iteration's lines of the moves not searched again yet, as
// they were (so a GUI's list stays steady while an iteration runs).
void lines_now(const MultiLines& ml, LineSet& out);

// ---- Info lines (report.cpp) ----------------------------------------------

// Every form of info line the engine prints during a search.
enum InfoForm : int {
    INFO_ITERATION_START,  // "info depth D"
    INFO_PV,               // one line's principal variation
    INFO_MULTI_PV,         // one of several lines, with its number
    INFO_SUMMARY,          // the end of an iteration: depths, time, nodes
    INFO_PERIODIC,         // a look at the counters between iterations
    INFO_CURRMOVE,         // the root move now searched
};

struct InfoLine {
    InfoForm form;
    int depth = 0, seldepth = 0;
    int multipv = 0;
    int score = 0;
    int tb_result = NO_TB_RESULT;    // the line's first move in the endgame tables
    const Move* pv = nullptr;        // 0-terminated
    Move currmove = NO_MOVE;
    int currmove_number = 0;
    const Move* currline = nullptr;  // the periodic line's moves from the root
    int currline_length = 0;
};

// Prints one info line in one write; the forms that carry counters (time,
// nodes, table use, table hits, speed) read them now, counting every thread,
// and set the time of the last info line.
void report(const Position& pos, SearchInfo& info, const InfoLine& line);
// The principal variation of one line, or one numbered line of several.
void report_line(const Position& pos, SearchInfo& info, const Line& line, int multipv);
// Every line of the set, numbered from 1.
void report_lines(const Position& pos, SearchInfo& info, const LineSet& set);

// ---- The answer (result.cpp) -----------------------------------------------

// What the search answers: the move, the ponder move, and the line shown
// with them (none for a book move or a move no search completed).
struct SearchResult {
    Move move = NO_MOVE;
    Move ponder = NO_MOVE;
    const Line* line = nullptr;
};

// Where an answer can come from, in the order they are asked.
struct ResultSources {
    Move book_move = NO_MOVE;              // the book's move, or none
    const RootSearch* root = nullptr;      // the main thread's root and first line
    const LineSet* lines = nullptr;        // several lines: those shown, best first (null: one line)
    const LineSet* level_lines = nullptr;  // a weakened level: the lines it chooses from (else null)
    int elo = 0;                           // the level's rating, for its choice
    const Line* main_completed = nullptr;  // the main thread's deepest completed first line
    const Line* const* helpers = nullptr;  // each helper's (depth 0: none)
    int helper_count = 0;
};
SearchResult choose_result(const ResultSources& sources);
