// Probing: a position's men become an index into its table (folding the
// board's symmetries as the tables do), and captures are tried one ply deep
// where the tables leave them to the prober.
//
// The tables hold the value of the best move that is neither a capture nor en
// passant; where a capture is better the stored value may be anything not
// above it (the generator picks what compresses best). So a WDL answer is the
// better of the stored value and the best capture, and en passant, which the
// tables never consider, is tried on top. DTZ tables hold one side to move
// only; the other side's value comes from its moves.
#include <algorithm>
#include <array>

#include "movegen/movegen.h"
#include "syzygy/table.h"

namespace syzygy {
namespace {

constexpr auto BINOMIAL = [] {
    std::array<std::array<std::uint64_t, TB_MAX_MEN + 1>, 65> c{};
    for (int n = 0; n <= 64; ++n) {
        c[n][0] = 1;
        for (int k = 1; k <= TB_MAX_MEN; ++k) c[n][k] = n == 0 ? 0 : c[n - 1][k - 1] + c[n - 1][k];
    }
    return c;
}();
static_assert(BINOMIAL[64][3] == 41664 && BINOMIAL[5][7] == 0);

constexpr int distance(int a, int b) { return a > b ? a - b : b - a; }
constexpr int fold_file(int sq) { return std::min(file_of(sq), 7 - file_of(sq)); }
constexpr int diagonal_side(int sq) { return rank_of(sq) - file_of(sq); }  // > 0 above a1-h8, < 0 below

// The a1-d1-d4 triangle, where the first lone man (or king) is brought:
// the six squares off the diagonal first, then the four on it.
constexpr int TRIANGLE_SQUARES[10] = {B1, C1, D1, C2, D2, D3, A1, B2, C3, D4};
constexpr auto TRIANGLE = [] {
    std::array<int, 64> t{};
    for (int i = 0; i < 10; ++i) t[TRIANGLE_SQUARES[i]] = i;
    return t;
}();
// Squares below the diagonal counted in board order (b1 = 0 ... h7 = 27).
constexpr auto BELOW_DIAGONAL = [] {
    std::array<int, 64> t{};
    int n = 0;
    for (int sq = 0; sq < 64; ++sq)
        if (diagonal_side(sq) < 0) t[sq] = n++;
    return t;
}();
static_assert(BELOW_DIAGONAL[H7] == 27);

// Two kings with the first in the triangle, folded by the diagonal when the
// first stands on it: 462 placements, those with both on the diagonal last.
constexpr auto KK_INDEX = [] {
    std::array<std::array<int, 64>, 10> t{};
    int code = 0;
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < 10; ++i) {
            const int k1 = TRIANGLE_SQUARES[i];
            for (int k2 = 0; k2 < 64; ++k2) {
                const bool touching = distance(file_of(k1), file_of(k2)) <= 1 && distance(rank_of(k1), rank_of(k2)) <= 1;
                const bool on_diagonal = diagonal_side(k1) == 0;
                if (pass == 0) t[i][k2] = -1;
                if (touching || (on_diagonal && diagonal_side(k2) > 0)) continue;
                if ((pass == 1) == (on_diagonal && diagonal_side(k2) == 0)) t[i][k2] = code++;
            }
        }
    return std::pair{t, code};
}();
static_assert(KK_INDEX.second == int(PIVOT_POSITIONS_KK));

// Pawn squares ordered for the leading pawn: by folded file, then rank.
constexpr int lead_order(int sq) { return 6 * fold_file(sq) + rank_of(sq) - 1; }
// Pawn squares ordered for the other leading pawns: central files first, then
// from the seventh rank down, queen side after king side.
constexpr int twist(int sq) { return 12 * (3 - fold_file(sq)) + 2 * (6 - rank_of(sq)) + (file_of(sq) < 4); }
static_assert(twist(A2) == 47 && twist(E7) == 0 && lead_order(H2) == 0 && lead_order(D7) == 23);

// The leading pawns' index: the first pawn's square (by lead_order, within its
// file's share) and the combinations of the others among squares of lower twist.
struct LeadTables {
    std::uint64_t start[TB_MAX_MEN][24];
    std::uint64_t positions[TB_MAX_MEN][4];
};
constexpr auto LEAD = [] {
    LeadTables t{};
    for (int others = 0; others < TB_MAX_MEN; ++others)
        for (int file = 0; file < 4; ++file) {
            std::uint64_t n = 0;
            for (int j = 6 * file; j < 6 * file + 6; ++j) {
                t.start[others][j] = n;
                n += BINOMIAL[twist(make_square(j / 6, j % 6 + 1))][others];
            }
            t.positions[others][file] = n;
        }
    return t;
}();

// Insertion sort: at most seven squares, and no library sort to unroll past them.
template <typename Before>
void sort_squares(int* first, int* last, Before before) {
    for (int* i = first + 1; i < last; ++i)
        for (int* j = i; j > first && before(*j, *(j - 1)); --j) std::swap(*j, *(j - 1));
}
void sort_squares(int* first, int* last) { sort_squares(first, last, [](int a, int b) { return a < b; }); }

void flip_files(int* sq, int n) { for (int i = 0; i < n; ++i) sq[i] ^= 7; }
void flip_ranks(int* sq, int n) { for (int i = 0; i < n; ++i) sq[i] ^= 56; }
void transpose(int* sq, int n) { for (int i = 0; i < n; ++i) sq[i] = (sq[i] & 7) << 3 | sq[i] >> 3; }

// Groups of identical men from `from` on: each group's squares as a
// combination of the squares the earlier men leave free.
std::uint64_t group_index(const Layout& l, int* sq, int from, int men) {
    std::uint64_t idx = 0;
    for (int i = from; i < men; i += l.group[i]) {
        sort_squares(sq + i, sq + i + l.group[i]);
        std::uint64_t combo = 0;
        for (int m = i; m < i + l.group[i]; ++m) {
            int free_below = sq[m];
            for (int e = 0; e < i; ++e) free_below -= sq[e] < sq[m];
            combo += BINOMIAL[free_below][m - i + 1];
        }
        idx += combo * l.factor[i];
    }
    return idx;
}

constexpr std::uint64_t NO_INDEX = ~std::uint64_t(0);

std::uint64_t index_without_pawns(const Table& t, const Layout& l, int* sq) {
    const int n = t.men;
    if (sq[0] & 4) flip_files(sq, n);
    if (sq[0] & 32) flip_ranks(sq, n);
    for (int i = 0; i < n; ++i)
        if (diagonal_side(sq[i]) != 0) {
            if (i < t.pivot && diagonal_side(sq[i]) > 0) transpose(sq, n);
            break;
        }
    std::uint64_t idx;
    // Three lone men fall in four ranges: the first off the diagonal (the
    // others anywhere); on it with the second below it; the first two on it
    // with the third below; all three on it.
    if (t.pivot == 3) {
        const int a = sq[0], b = sq[1], c = sq[2];
        const int below_b = b > a, below_c = (c > a) + (c > b);
        if (diagonal_side(a))
            idx = TRIANGLE[a] * 63 * 62 + (b - below_b) * 62 + (c - below_c);
        else if (diagonal_side(b))
            idx = 6 * 63 * 62 + file_of(a) * 28 * 62 + BELOW_DIAGONAL[b] * 62 + (c - below_c);
        else if (diagonal_side(c))
            idx = 6 * 63 * 62 + 4 * 28 * 62 + file_of(a) * 7 * 28 + (file_of(b) - below_b) * 28 + BELOW_DIAGONAL[c];
        else
            idx = 6 * 63 * 62 + 4 * 28 * 62 + 4 * 7 * 28 + file_of(a) * 7 * 6 + (file_of(b) - below_b) * 6 +
                  (file_of(c) - below_c);
    } else {
        const int kings = KK_INDEX.first[TRIANGLE[sq[0]]][sq[1]];
        if (kings < 0) return NO_INDEX;  // kings side by side: no game reaches it
        idx = std::uint64_t(kings);
    }
    return idx * l.factor[0] + group_index(l, sq, t.pivot, n);
}

std::uint64_t index_with_pawns(const Table& t, const Layout& l, int* sq) {
    const int n = t.men, lead = t.lead_pawns;
    if (sq[0] & 4) flip_files(sq, n);
    sort_squares(sq + 1, sq + lead, [](int a, int b) { return twist(a) > twist(b); });
    std::uint64_t idx = LEAD.start[lead - 1][lead_order(sq[0])];
    for (int i = 1; i < lead; ++i) idx += BINOMIAL[twist(sq[i])][lead - i];
    idx *= l.factor[0];
    int i = lead;
    if (t.other_pawns) {
        sort_squares(sq + lead, sq + lead + t.other_pawns);
        std::uint64_t combo = 0;
        for (int m = lead; m < lead + t.other_pawns; ++m) {
            int free_below = sq[m] - 8;  // pawns never stand on the first rank
            for (int e = 0; e < lead; ++e) free_below -= sq[e] < sq[m];
            combo += BINOMIAL[free_below][m - lead + 1];
        }
        idx += combo * l.factor[lead];
        i += t.other_pawns;
    }
    return idx + group_index(l, sq, i, n);
}

MaterialKey material_key(const Position& pos) {
    MaterialKey key = 0;
    for (int c = WHITE; c <= BLACK; ++c)
        for (int type = PAWN; type <= QUEEN; ++type)
            key |= MaterialKey(popcount(pos.pieces_of(c, type))) << key_shift(c, type);
    return key;
}

// Results of reading one table.
enum Read : int { READ_FAILED, READ_OK, READ_OTHER_SIDE };

// The stored value of the position: WDL (TB_LOSS..TB_WIN) or, for dtz, the
// DTZ table's distance for a position whose WDL value (without en passant)
// is `wdl`. READ_OTHER_SIDE: the DTZ table holds only the other side to move.
Read read_table(const Position& pos, bool dtz, int wdl, int& value) {
    if (popcount(pos.occupied) == 2) {  // two bare kings
        value = 0;
        return READ_OK;
    }
    bool flipped = false;
    Table* t = find_table(material_key(pos), flipped);
    if (!t) return READ_FAILED;
    TableFile& file = dtz ? t->dtz : t->wdl;
    if (!file_ready(*t, file, dtz)) return READ_FAILED;
    // A table of equal sides is stored with its first side to move only.
    if (t->symmetric) flipped = pos.side == BLACK;
    const int mover = pos.side ^ int(flipped);  // 0: the table's first side moves
    const int side = file.split ? mover : 0;
    const int square_flip = flipped ? 56 : 0;

    int sq[TB_MAX_MEN];
    const Layout* l = &file.part[0][side];
    int i = 0;
    // The header was checked to list exactly the men of the material, so each
    // code places at least one man and never more than fit.
    auto place = [&](int code) {
        for (Bitboard b = pos.pieces_of(code_side(code) ^ int(flipped), code_type(code)); b;)
            sq[i++] = pop_lsb(b) ^ square_flip;
    };
    if (t->has_pawns) {
        place(l->code[0]);
        for (int j = 1; j < t->lead_pawns; ++j)
            if (lead_order(sq[j]) < lead_order(sq[0])) std::swap(sq[0], sq[j]);
        l = &file.part[fold_file(sq[0])][side];
    }
    while (i < t->men) place(l->code[i]);

    if (dtz && !t->symmetric && (l->stream.flags & 1) != mover) return READ_OTHER_SIDE;
    const std::uint64_t idx = t->has_pawns ? index_with_pawns(*t, *l, sq) : index_without_pawns(*t, *l, sq);
    if (idx == NO_INDEX) return READ_FAILED;
    int stored = stream_value(file, l->stream, idx);
    if (stored >= 0 && dtz) stored = dtz_map_value(file, l->stream, wdl, stored);
    if (stored < 0 || (!dtz && stored > 4)) {
        file_damaged(*t, file, "has damaged data");
        return READ_FAILED;
    }
    if (!dtz) {
        value = stored - 2;
        return READ_OK;
    }
    // Wins and losses may be kept in plies (flags 4 and 8), otherwise in whole
    // moves; 50-move-rule results always in moves.
    const int exact = wdl == TB_WIN ? 4 : wdl == TB_LOSS ? 8 : 0;
    value = (l->stream.flags & exact) ? stored : 2 * stored;
    return READ_OK;
}

// Legal captures, en passant included (with promotions that capture).
void legal_captures(const Position& pos, MoveList& list) {
    const bool checked = in_check(pos);
    if (checked) {
        gen_evasions(pos, list);  // all legal already
    } else {
        list.target = pos.color[pos.side ^ 1] & ~pos.kings();
        gen_captures(pos, list);
    }
    const Bitboard pinned = checked ? 0 : pinned_pieces(pos);
    int n = 0;
    for (int i = 0; i < list.count; ++i) {
        const Move m = list.moves[i].move;
        if (move_captured(m) && (checked || is_legal(pos, m, pinned))) list.moves[n++].move = m;
    }
    list.count = n;
}

// WDL within [alpha, beta] of a position reached by a capture (so without en
// passant): the stored value, or a capture that does better.
int capture_search(Position& pos, int alpha, int beta, bool& ok) {
    MoveList list;
    legal_captures(pos, list);
    for (int i = 0; i < list.count; ++i) {
        const Move m = list.moves[i].move;
        if (is_ep(m)) continue;
        UndoRecord undo;
        make_move(pos, undo, m);
        const int v = -capture_search(pos, -beta, -alpha, ok);
        unmake_move(pos, undo);
        if (!ok) return 0;
        if (v > alpha) {
            if (v >= beta) return v;
            alpha = v;
        }
    }
    int v = 0;
    ok = read_table(pos, false, 0, v) == READ_OK;
    return std::max(alpha, v);
}

// The full WDL probe. `capture_best` is set when a capture or en passant is
// the (or a) move that achieves the value and the value is a win, or when en
// passant is forced: then DTZ needs no table.
int wdl_probe(Position& pos, bool& ok, bool& capture_best) {
    ok = true;
    capture_best = false;
    MoveList list;
    legal_captures(pos, list);
    int best_capture = TB_LOSS - 1, best_ep = TB_LOSS - 1;
    for (int i = 0; i < list.count; ++i) {
        const Move m = list.moves[i].move;
        UndoRecord undo;
        make_move(pos, undo, m);
        const int v = -capture_search(pos, TB_LOSS, -best_capture, ok);
        unmake_move(pos, undo);
        if (!ok) return 0;
        if (v > best_capture) {
            if (v == TB_WIN) {
                capture_best = true;
                return TB_WIN;
            }
            if (!is_ep(m)) best_capture = v;
            else best_ep = std::max(best_ep, v);
        }
    }
    int v = 0;
    if (read_table(pos, false, 0, v) != READ_OK) {
        ok = false;
        return 0;
    }
    // The table knows nothing of en passant: it is one more capture here.
    if (best_ep > best_capture) {
        if (best_ep > v) {
            capture_best = true;
            return best_ep;
        }
        best_capture = best_ep;
    }
    if (best_capture >= v) {
        capture_best = best_capture > TB_DRAW;
        return best_capture;
    }
    // A stored draw may be stalemate once en passant is set aside; then en
    // passant is the only move and decides.
    if (best_ep >= TB_LOSS && v == TB_DRAW) {
        MoveList all;
        gen_legal_moves(pos, all);
        bool only_ep = true;
        for (int i = 0; i < all.count; ++i) only_ep &= is_ep(all.moves[i].move);
        if (only_ep) {
            capture_best = true;
            return best_ep;
        }
    }
    return v;
}

// DTZ of a zeroing move that wins (or loses) at once, by result.
constexpr int ZEROING_DTZ[5] = {-1, -101, 0, 101, 1};

int dtz_probe(Position& pos, bool& ok) {
    bool capture_best;
    const int wdl = wdl_probe(pos, ok, capture_best);
    if (!ok || wdl == TB_DRAW) return 0;
    if (capture_best) return ZEROING_DTZ[wdl + 2];

    MoveList list;
    gen_legal_moves(pos, list);
    // A pawn move that keeps the win zeroes at once.
    if (wdl > 0)
        for (int i = 0; i < list.count; ++i) {
            const Move m = list.moves[i].move;
            if (move_piece(m) != PAWN || move_captured(m)) continue;
            UndoRecord undo;
            make_move(pos, undo, m);
            bool child_capture;
            const int v = -wdl_probe(pos, ok, child_capture);
            unmake_move(pos, undo);
            if (!ok) return 0;
            if (v == wdl) return ZEROING_DTZ[wdl + 2];
        }

    // The best move is not en passant, so the table's value for `wdl` applies.
    int stored = 0;
    const Read read = read_table(pos, true, wdl, stored);
    if (read == READ_FAILED) {
        ok = false;
        return 0;
    }
    if (read == READ_OK) return ZEROING_DTZ[wdl + 2] + (wdl > 0 ? stored : -stored);

    // The table holds the other side to move: one ply of non-zeroing moves.
    // Zeroing moves need no look: a win took them above, and for a loss the
    // start value already is that of the quickest zeroing loss (or of mate).
    int best = wdl > 0 ? 1 << 30 : ZEROING_DTZ[wdl + 2];
    for (int i = 0; i < list.count; ++i) {
        const Move m = list.moves[i].move;
        if (move_piece(m) == PAWN || move_captured(m)) continue;
        UndoRecord undo;
        make_move(pos, undo, m);
        const int v = -dtz_probe(pos, ok);
        unmake_move(pos, undo);
        if (!ok) return 0;
        if (wdl > 0) {
            if (v > 0 && v + 1 < best) best = v + 1;
        } else if (v - 1 < best) {
            best = v - 1;
        }
    }
    // A win that no move keeps can only come from a damaged table.
    if (best == 1 << 30) ok = false;
    return ok ? best : 0;
}

bool probe_allowed(const Position& pos) {
    return pos.st.castle == 0 && popcount(pos.occupied) <= tb_max_men();
}

}  // namespace

std::uint64_t binomial(int n, int k) { return n >= 0 && n <= 64 && k >= 0 && k <= TB_MAX_MEN ? BINOMIAL[n][k] : 0; }

std::uint64_t lead_pawn_positions(int lead_pawns, int file) {
    return lead_pawns >= 1 && lead_pawns <= TB_MAX_MEN ? LEAD.positions[lead_pawns - 1][file] : 0;
}

}  // namespace syzygy

using namespace syzygy;

int tb_probe_wdl(Position& pos, int* success) {
    *success = 0;
    if (!probe_allowed(pos)) return 0;
    bool ok, capture_best;
    const int v = wdl_probe(pos, ok, capture_best);
    *success = ok;
    return ok ? v : 0;
}

int tb_probe_dtz(Position& pos, int* success) {
    *success = 0;
    if (!probe_allowed(pos)) return 0;
    bool ok;
    const int v = dtz_probe(pos, ok);
    *success = ok;
    return ok ? v : 0;
}

const char* tb_material_name(const Position& pos) {
    static char name[2 * TB_MAX_MEN + 8];
    int counts[2][8] = {};
    for (int c = WHITE; c <= BLACK; ++c)
        for (int type = PAWN; type <= QUEEN; ++type) counts[c][type] = popcount(pos.pieces_of(c, type));
    // The stronger side first: more queens, then rooks, bishops, knights, pawns.
    int first = WHITE;
    for (int type = QUEEN; type >= PAWN; --type)
        if (counts[WHITE][type] != counts[BLACK][type]) {
            first = counts[WHITE][type] > counts[BLACK][type] ? WHITE : BLACK;
            break;
        }
    bool flipped = false;
    if (const Table* t = find_table(material_key(pos), flipped)) return t->name.c_str();
    char* p = name;
    for (int s = 0; s < 2; ++s) {
        *p++ = 'K';
        for (int type = QUEEN; type >= PAWN; --type)
            for (int n = 0; n < counts[first ^ s][type] && p < name + sizeof name - 3; ++n) *p++ = " PNBRQ"[type];
        if (s == 0) *p++ = 'v';
    }
    *p = '\0';
    return name;
}
