// FEN reading and writing, and the human-readable dump of a position.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "board/position.h"
#include "board/tables.h"
#include "eval/eval.h"
#include "movegen/movegen.h"
#include "io/text.h"
#include "io/output.h"

namespace {

using text::is_space;
using text::skip_space;

void place(Position& pos, int us, int t, int sq) {
    pos.square[sq] = t;
    pos.pieces[t] |= bit(sq);
    pos.color[us] |= bit(sq);
    pos.occupied |= bit(sq);
    if (t == KING) pos.king_sq[us] = sq;
    pos.st.pst_mg[us] += pst[us][t][sq][0];
    pos.st.pst_eg[us] += pst[us][t][sq][1];
    pos.st.hash ^= piece_key[us][t][sq];
    if (t == PAWN) pos.st.pawn_hash ^= piece_key[us][t][sq];
}

// One letter of the castling field. In Chess960, K and Q (k and q) name the
// outermost rook on that wing of the king (X-FEN), a file letter names the
// rook on that file (Shredder-FEN, or X-FEN's inner rook); upper case is
// white. A right needs its side's one king on the back rank and the rook
// beside it there, else the letter is dropped: castling would move pieces
// that are not there. A wing named twice keeps the rook named last.
// Standard chess knows K, Q, k and q alone, each with the king on its e-file
// square and the rook in its corner: a GUI that never turned UCI_Chess960 on
// means nothing else by them, and a king standing elsewhere cannot castle.
void read_castling_letter(const Position& pos, char c, bool chess960, int& castle, int (&rook_from)[4]) {
    const bool white = c == 'K' || c == 'Q' || (c >= 'A' && c <= 'H');
    const bool black = c == 'k' || c == 'q' || (c >= 'a' && c <= 'h');
    if (!white && !black) return;  // '-' and anything else
    const bool wing_letter = c == 'K' || c == 'Q' || c == 'k' || c == 'q';
    if (!chess960 && !wing_letter) return;
    const int us = white ? WHITE : BLACK;
    const Bitboard back_rank = rank_bb(us == WHITE ? 0 : 7);
    const Bitboard king = pos.pieces_of(us, KING) & back_rank;
    if (!king || more_than_one(king)) return;
    const int king_sq = bitscan(king);
    const Bitboard rooks = pos.pieces_of(us, ROOK) & back_rank;
    const Bitboard beyond_king = ~(bit(king_sq) | (bit(king_sq) - 1));  // higher files of the rank
    int rook = NO_SQUARE;
    if (c == 'K' || c == 'k') {
        if (Bitboard side = rooks & beyond_king) rook = 63 - std::countl_zero(side);
    } else if (c == 'Q' || c == 'q') {
        if (Bitboard side = rooks & (bit(king_sq) - 1)) rook = bitscan(side);
    } else {
        int sq = make_square(std::tolower((unsigned char)c) - 'a', rank_of(king_sq));
        if (rooks & bit(sq)) rook = sq;
    }
    if (rook == NO_SQUARE) return;
    if (!chess960 && (file_of(king_sq) != 4 || (file_of(rook) != 0 && file_of(rook) != 7))) return;
    const int index = 2 * us + (rook > king_sq ? 0 : 1);
    castle |= 1 << index;
    rook_from[index] = rook;
}

// Sets the game's castling rules from the rights read; rights not held
// never come back, so only the held ones need rules and masks.
void set_castling(Position& pos, int castle, const int (&rook_from)[4]) {
    pos.st.castle = castle;
    for (int index = 0; index < 4; ++index) {
        if (!(castle & (1 << index))) continue;
        const int us = index / 2, king = bitscan(pos.pieces_of(us, KING) & rank_bb(us == WHITE ? 0 : 7));
        pos.castling[index] = make_castling_rule(index, king, rook_from[index]);
        pos.castle_mask[king] &= ~CASTLE_RIGHTS_OF[us];
        pos.castle_mask[rook_from[index]] &= ~(1 << index);
    }
}

// The letter the writer uses for a right: K, Q, k or q when the rook is the
// outermost on its wing, its file letter otherwise, so that reading it back
// finds the same rook. Standard chess holds corner rooks' rights only, so
// there the letters are always KQkq.
char castling_letter(const Position& pos, int index) {
    const int us = index / 2, rook = pos.castling[index].rook_from;
    const Bitboard rooks = pos.pieces_of(us, ROOK) & rank_bb(rank_of(rook));
    const Bitboard outer = index % 2 == 0 ? rooks & ~(bit(rook) | (bit(rook) - 1)) : rooks & (bit(rook) - 1);
    if (!outer) return "KQkq"[index];
    return char((us == WHITE ? 'A' : 'a') + file_of(rook));
}

// An en-passant square is kept only where a double step could have left it:
// the right rank, empty, with the enemy pawn in front of it. Anything else
// would make an en-passant capture remove a piece that is not a pawn.
bool ep_possible(const Position& pos, int ep) {
    int them = pos.side ^ 1;
    int pawn_sq = pos.side == WHITE ? ep - 8 : ep + 8;
    int origin = pos.side == WHITE ? ep + 8 : ep - 8;
    return relative_rank(pos.side, ep) == 5 && !(pos.occupied & (bit(ep) | bit(origin))) &&
           (pos.pieces_of(them, PAWN) & bit(pawn_sq));
}

// Reads the fields in order; an error is reported and ends the reading, and
// the fields not reached keep their cleared values. False after an error.
bool read_fields(Position& pos, const char* text) {
    static const char PIECE_LETTERS[] = "PNBRQKpnbrqk";
    const char* p = text;
    int rank = 7, file = 0;
    while (rank >= 0) {
        char c = *p;
        if (c == '\0') break;
        ++p;
        if (c >= '1' && c <= '8') {
            file += c - '0';
            if (file > 8) {
                print_out(OUT_SCREEN | OUT_LOG, "info string FEN Error: rank %d describes more than eight squares\n",
                          rank + 1);
                return false;
            }
        } else if (const char* letter = c ? std::strchr(PIECE_LETTERS, c) : nullptr) {
            if (file > 7) {
                print_out(OUT_SCREEN | OUT_LOG, "info string FEN Error: rank %d describes more than eight squares\n",
                          rank + 1);
                return false;
            }
            int index = int(letter - PIECE_LETTERS);
            place(pos, index < 6 ? WHITE : BLACK, index % 6 + 1, make_square(file, rank));
            ++file;
        } else if (c == '/' || c == ' ' || c == '\t') {
            --rank;
            file = 0;
        } else {
            print_out(OUT_SCREEN | OUT_LOG, "info string FEN Error 1!\n");
            return false;
        }
    }

    p = skip_space(p);
    char side = char(std::tolower((unsigned char)*p));
    if (side == 'w')
        pos.side = WHITE;
    else if (side == 'b')
        pos.side = BLACK;
    else {
        // At the end of the text there is no character to show, and a NUL
        // byte has no place on the protocol stream.
        if (*p)
            print_out(OUT_SCREEN | OUT_LOG, "info string FEN Error: %c\n", *p);
        else
            print_out(OUT_SCREEN | OUT_LOG, "info string FEN Error: \n");
        return false;
    }
    ++p;

    p = skip_space(p);
    int castle = 0, rook_from[4] = {NO_SQUARE, NO_SQUARE, NO_SQUARE, NO_SQUARE};
    const bool chess960 = pos.params && pos.params->chess960;
    for (; *p && !is_space(*p); ++p) read_castling_letter(pos, *p, chess960, castle, rook_from);
    set_castling(pos, castle, rook_from);

    p = skip_space(p);
    if (*p) {
        if (*p >= 'a' && *p <= 'h' && p[1] >= '1' && p[1] <= '8') {
            int ep = (p[0] - 'a') + 8 * (p[1] - '1');
            if (ep_possible(pos, ep)) pos.st.ep = ep;
        }
        while (*p && !is_space(*p)) ++p;
        p = skip_space(p);
        if (std::isdigit((unsigned char)*p)) {
            int fifty = 0;
            // Bounded so that an absurd counter cannot overflow.
            for (; std::isdigit((unsigned char)*p); ++p) fifty = fifty < 100000 ? fifty * 10 + (*p - '0') : fifty;
            pos.st.fifty = fifty;
        }
    }
    return true;
}

}  // namespace

void read_fen(Position& pos, const char* text) {
    std::memset(pos.pieces, 0, sizeof pos.pieces);
    pos.color[WHITE] = pos.color[BLACK] = pos.occupied = 0;
    pos.side = WHITE;
    pos.ply = 0;
    pos.hist_count = 0;
    pos.hist_dropped = 0;
    pos.king_sq[WHITE] = pos.king_sq[BLACK] = A1;
    std::memset(pos.square, 0, sizeof pos.square);
    std::memset(pos.hist, 0, sizeof pos.hist);
    pos.st = StateBlock{};
    pos.st.ep = NO_SQUARE;
    for (CastlingRule& rule : pos.castling) rule = CastlingRule{NO_SQUARE, NO_SQUARE, 0, 0};
    for (int& mask : pos.castle_mask) mask = CASTLE_WK | CASTLE_WQ | CASTLE_BK | CASTLE_BQ;

    pos.fen_error = !read_fields(pos, text);

    // Text that stopped early still leaves a record whose sums and keys
    // describe the board it holds; fen_error keeps the position command and
    // go from playing on a board the GUI never meant.
    for (int us = WHITE; us <= BLACK; ++us) pos.st.mat_idx[us] = compute_mat_idx(pos, us);
    if (pos.st.ep != NO_SQUARE) pos.st.hash ^= ep_key[pos.st.ep & 7];
    if (pos.side == WHITE) pos.st.hash ^= side_key;
    pos.st.hash ^= castle_key[pos.st.castle];
    pos.hist[0] = pos.st.hash;
}

const char* position_to_fen(const Position& pos) {
    // 71 characters of board at most, 10 of the other fields, the terminator.
    static char buffer[96];
    char* out = buffer;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            int sq = make_square(file, rank);
            int t = pos.square[sq];
            if (t == EMPTY) {
                ++empty;
                continue;
            }
            if (empty) *out++ = char('0' + empty), empty = 0;
            *out++ = (pos.color_on(sq) == WHITE ? ".PNBRQK" : ".pnbrqk")[t];
        }
        if (empty) *out++ = char('0' + empty);
        *out++ = rank > 0 ? '/' : ' ';
    }
    *out++ = pos.side == WHITE ? 'w' : 'b';
    *out++ = ' ';
    if (pos.st.castle == 0) *out++ = '-';
    for (int index = 0; index < 4; ++index)
        if (pos.st.castle & (1 << index)) *out++ = castling_letter(pos, index);
    *out++ = ' ';
    if (pos.st.ep == NO_SQUARE)
        *out++ = '-';
    else {
        *out++ = char('a' + file_of(pos.st.ep));
        *out++ = char('1' + rank_of(pos.st.ep));
    }
    *out = '\0';
    return buffer;
}

const char* key_to_text(Key key) {
    static char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%016llx", (unsigned long long)key);
    return buffer;
}

void dump_position(const Position& pos) {
    static const char PIECE_CHARS[] = ".PNBRQK.pnbrqk";
    for (int rank = 7; rank >= 0; --rank) {
        print_out(OUT_DUMP, "\n%d  ", rank + 1);
        for (int file = 0; file < 8; ++file) {
            int sq = make_square(file, rank);
            int index = pos.square[sq] + (pos.square[sq] != EMPTY && pos.color_on(sq) == BLACK ? 7 : 0);
            print_out(OUT_DUMP, "%c ", PIECE_CHARS[index]);
        }
    }
    print_out(OUT_DUMP, "\n\n");
    print_out(OUT_DUMP, "   a b c d e f g h \n\n");
    print_out(OUT_DUMP, "FEN %s\n", position_to_fen(pos));
    int move_number = (pos.hist_count + pos.hist_dropped) / 2 + (pos.side == BLACK ? 1 : 0);
    print_out(OUT_DUMP, "%d.%s%s ", move_number, pos.side == BLACK ? " " : " ..", move_to_text(pos.st.last_move));
    print_out(OUT_DUMP, "%s, ", pos.side == WHITE ? "WHITE" : "BLACK");
    print_out(OUT_DUMP, "Castle = %d, ", pos.st.castle);
    print_out(OUT_DUMP, "Ep = %d, ", pos.st.ep);
    print_out(OUT_DUMP, "Fifty = %d, ", pos.st.fifty);
    // Evaluating needs a consistent board and the tables; a broken position
    // is still listed, without the score.
    if (!position_unplayable(pos) && pos.pawn_table)
        print_out(OUT_DUMP, "Ev = %d, ", evaluate(pos));
    else
        print_out(OUT_DUMP, "Ev = -, ");
    bool check = squares_attacked(pos, pos.side ^ 1, pos.pieces_of(pos.side, KING));
    print_out(OUT_DUMP, "Ch = %s,\n", check ? "T" : "F");
    print_out(OUT_DUMP, "H = %s, ", key_to_text(pos.st.hash));
    print_out(OUT_DUMP, "PH = %s\n", key_to_text(pos.st.pawn_hash));
}
