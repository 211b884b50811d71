// Coordinate move notation: writing a move, and reading text by matching it
// against a list of moves.
#include <cstring>

#include "movegen/movegen.h"

namespace {

int promotion_from_letter(char c) {
    switch (c) {
        case 'n': case 'N': return KNIGHT;
        case 'b': case 'B': return BISHOP;
        case 'r': case 'R': return ROOK;
        default: return QUEEN;  // q, Q, anything else and no letter at all
    }
}

}  // namespace

const char* move_to_text(Move move) {
    static char text[8];
    if (move == NO_MOVE) return std::strcpy(text, "0000");
    int from = move_from(move), to = move_to(move);
    text[0] = char('a' + file_of(from));
    text[1] = char('1' + rank_of(from));
    text[2] = char('a' + file_of(to));
    text[3] = char('1' + rank_of(to));
    int promotion = move_promotion(move);
    text[4] = promotion ? "pnbrqk"[promotion - 1] : '\0';
    text[5] = '\0';
    return text;
}

const char* move_to_text(const Position& pos, Move move) {
    const char* text = move_to_text(move);
    if (!is_castle(move) || !pos.params->chess960) return text;
    // Chess960 writes castling as the king taking its own rook.
    const int rook = pos.castling[castling_index(move_to(move))].rook_from;
    char* edit = const_cast<char*>(text);
    edit[2] = char('a' + file_of(rook));
    edit[3] = char('1' + rank_of(rook));
    return text;
}

namespace {

// With castling_rules given, a castling move is matched by the square of
// its rook (Chess960 text) instead of the king's destination.
Move match_move(const MoveList& list, const char* text, const Position* castling_rules) {
    // A file letter past 'h' would land on the next rank's squares.
    for (int i = 0; i < 4; i += 2)
        if (text[i] < 'a' || text[i] > 'h' || text[i + 1] < '1' || text[i + 1] > '8') return NO_MOVE;
    int from = (text[0] - 'a') + 8 * (text[1] - '1');
    int to = (text[2] - 'a') + 8 * (text[3] - '1');
    for (int i = 0; i < list.count; ++i) {
        Move m = list.moves[i].move;
        int m_to = castling_rules && is_castle(m) ? castling_rules->castling[castling_index(move_to(m))].rook_from
                                                   : move_to(m);
        if (move_from(m) != from || m_to != to) continue;
        if (is_promotion(m) && move_promotion(m) != promotion_from_letter(text[4])) continue;
        return m;
    }
    return NO_MOVE;
}

}  // namespace

Move text_to_move(const MoveList& list, const char* text) { return match_move(list, text, nullptr); }

Move text_to_move(const Position& pos, const MoveList& list, const char* text) {
    return match_move(list, text, pos.params->chess960 ? &pos : nullptr);
}
