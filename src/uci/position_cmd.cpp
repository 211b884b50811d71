// The position command: a start position, then the game's moves, each matched
// against the legal moves, so an accepted move is always legal.
#include <cctype>
#include <cstring>

#include "movegen/movegen.h"
#include "io/text.h"
#include "uci/uci.h"

namespace {

constexpr int TOKEN_CAPACITY = 11;  // longer tokens are cut; they never name a move

using text::skip_space;
using text::starts_with_nocase;

// A token ends at white space or at the end of the text.
bool ends_token(char c) { return c == '\0' || text::is_space(c); }

}  // namespace

void uci_position(Position& pos, const char* text) {
    const char* p = skip_space(text);
    if (starts_with_nocase(p, "startpos")) {
        p = skip_space(p + 8);
        read_fen(pos, START_FEN);
    } else if (starts_with_nocase(p, "fen")) {
        p = skip_space(p + 3);
        read_fen(pos, p);
        while (*p && !starts_with_nocase(p, "moves")) ++p;
    }

    p = skip_space(p);
    if (!starts_with_nocase(p, "moves")) return;
    p = skip_space(p + 5);

    // Moves are only played on a board that can hold a game; anything else
    // could make the generators move pieces that are not there.
    if (*p) {
        if (const char* why = position_unplayable(pos)) {
            print_out(OUT_SCREEN | OUT_LOG, "info string Position is not playable (%s): moves ignored\n", why);
            return;
        }
    }

    MoveList list;
    UndoRecord undo;
    while (*p) {
        char token[TOKEN_CAPACITY + 1];
        int n = 0;
        for (; !ends_token(p[n]); ++n)
            if (n < TOKEN_CAPACITY) token[n] = p[n];
        token[n < TOKEN_CAPACITY ? n : TOKEN_CAPACITY] = '\0';
        gen_legal_moves(pos, list);
        Move m = n <= 5 ? text_to_move(pos, list, token) : NO_MOVE;
        if (m == NO_MOVE) {
            print_out(OUT_SCREEN | OUT_LOG, "info string Illegal move: %s\n", token);
            return;
        }
        make_move(pos, undo, m);
        // Game moves are never taken back; the board's ply stays the search's business.
        pos.ply = 0;
        trim_history(pos);
        p = skip_space(p + n);
    }
}
