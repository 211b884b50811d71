// Make and unmake, the null move, repetitions, and the from-scratch twins of
// every incremental field. Three primitives are the only writers of the board.
#include "board/position.h"

#include <algorithm>
#include <cstring>

#include "board/tables.h"
#include "eval/eval.h"
#include "movegen/movegen.h"
#include "io/output.h"

Key piece_key[2][8][64];
Key castle_key[16];
Key ep_key[8];
const Key side_key = 0xF8D626AAAF278509ULL;

void init_keys() {
    std::memset(piece_key, 0, sizeof piece_key);
    for (int us = WHITE; us <= BLACK; ++us)
        for (int t = PAWN; t <= KING; ++t)
            for (int sq = 0; sq < 64; ++sq)
                piece_key[us][t][sq] = polyglot_random[64 * (2 * (t - 1) + (us == WHITE ? 1 : 0)) + sq];
    for (int r = 0; r < 16; ++r) {
        castle_key[r] = 0;
        for (int i = 0; i < 4; ++i)
            if (r & (1 << i)) castle_key[r] ^= polyglot_random[768 + i];
    }
    for (int f = 0; f < 8; ++f) ep_key[f] = polyglot_random[772 + f];
}

namespace {

// The primitives. With Incremental set they also keep the keys, piece-square
// sums and material signatures; unmake restores those wholesale instead.
template <bool Incremental>
inline void put_piece(Position& pos, int us, int t, int sq) {
    pos.square[sq] = t;
    pos.pieces[t] ^= bit(sq);
    pos.color[us] ^= bit(sq);
    if constexpr (Incremental) {
        pos.st.pst_mg[us] += pst[us][t][sq][0];
        pos.st.pst_eg[us] += pst[us][t][sq][1];
        pos.st.mat_idx[us] += MATERIAL_WEIGHT[t];
        pos.st.hash ^= piece_key[us][t][sq];
        if (t == PAWN) pos.st.pawn_hash ^= piece_key[us][t][sq];
    }
}

template <bool Incremental>
inline void remove_piece(Position& pos, int us, int t, int sq) {
    pos.square[sq] = EMPTY;
    pos.pieces[t] ^= bit(sq);
    pos.color[us] ^= bit(sq);
    if constexpr (Incremental) {
        pos.st.pst_mg[us] -= pst[us][t][sq][0];
        pos.st.pst_eg[us] -= pst[us][t][sq][1];
        pos.st.mat_idx[us] -= MATERIAL_WEIGHT[t];
        pos.st.hash ^= piece_key[us][t][sq];
        if (t == PAWN) pos.st.pawn_hash ^= piece_key[us][t][sq];
    }
}

template <bool Incremental>
inline void move_piece(Position& pos, int us, int t, int from, int to) {
    Bitboard both = bit(from) | bit(to);
    pos.square[to] = t;
    pos.square[from] = EMPTY;
    pos.pieces[t] ^= both;
    pos.color[us] ^= both;
    if constexpr (Incremental) {
        pos.st.pst_mg[us] += pst[us][t][to][0] - pst[us][t][from][0];
        pos.st.pst_eg[us] += pst[us][t][to][1] - pst[us][t][from][1];
        Key k = piece_key[us][t][from] ^ piece_key[us][t][to];
        pos.st.hash ^= k;
        if (t == PAWN) pos.st.pawn_hash ^= k;
    }
}

// Castling lifts both pieces before setting either down: in Chess960 the king
// and rook may swap squares, or either may end where it started.
template <bool Incremental>
inline void relocate_castling(Position& pos, int us, int king_a, int rook_a, int king_b, int rook_b) {
    remove_piece<Incremental>(pos, us, KING, king_a);
    remove_piece<Incremental>(pos, us, ROOK, rook_a);
    put_piece<Incremental>(pos, us, KING, king_b);
    put_piece<Incremental>(pos, us, ROOK, rook_b);
    pos.king_sq[us] = king_b;
}

// The squares strictly between two squares of one rank, and both ends.
Bitboard rank_span(int a, int b) {
    Bitboard span = 0;
    for (int sq = std::min(a, b); sq <= std::max(a, b); ++sq) span |= bit(sq);
    return span;
}

}  // namespace

CastlingRule make_castling_rule(int index, int king_from, int rook_from) {
    const int king_to = CASTLING_KING_TO[index], rook_to = CASTLING_ROOK_TO[index];
    const Bitboard pieces = bit(king_from) | bit(rook_from);
    return {king_from, rook_from, (rank_span(king_from, king_to) | rank_span(rook_from, rook_to)) & ~pieces,
            rank_span(king_from, king_to)};
}

void make_move(Position& pos, UndoRecord& undo, Move move) {
    assert(move != NO_MOVE && pos.square[move_from(move)] == move_piece(move));
    StateBlock& st = pos.st;
    undo = st;

    const int us = pos.side, them = us ^ 1;
    const int from = move_from(move), to = move_to(move);
    const int piece = move_piece(move), captured = move_captured(move);

    st.last_move = move;
    // Rights only shrink, so masking by both squares also covers a rook captured at home.
    int old_castle = st.castle;
    st.castle &= pos.castle_mask[from] & pos.castle_mask[to];
    st.hash ^= castle_key[old_castle ^ st.castle];
    st.fifty += 1;
    if (st.ep != NO_SQUARE) {
        st.hash ^= ep_key[st.ep & 7];
        st.ep = NO_SQUARE;
    }
    st.hash ^= side_key;

    if (captured) {
        if (is_ep(move))
            remove_piece<true>(pos, them, PAWN, to ^ 8);  // the pawn behind the target square
        else if (captured == KING) {
            // Legal play never reaches this; report and leave the board alone.
            print_out(OUT_DUMP, "Move capturing the King: %s\n", move_to_text(move));
            dump_position(pos);
        } else
            remove_piece<true>(pos, them, captured, to);
        st.fifty = 0;
    }

    // One test keeps ordinary moves on their path; promotions and castling share the other.
    if (move & (PROMOTION_FLAG | CASTLE_FLAG)) {
        if (is_castle(move)) {
            const int index = castling_index(to);
            relocate_castling<true>(pos, us, from, pos.castling[index].rook_from, to, CASTLING_ROOK_TO[index]);
        } else {
            remove_piece<true>(pos, us, PAWN, from);
            put_piece<true>(pos, us, move_promotion(move), to);
            st.fifty = 0;
        }
    } else {
        move_piece<true>(pos, us, piece, from, to);
        if (piece == PAWN) {
            st.fifty = 0;
            if (is_double_push(move)) {
                // The square only enters the key when an enemy pawn could take there.
                int ep = (from + to) / 2;
                if (pawn_attacks[ep][us] & pos.pieces_of(them, PAWN)) {
                    st.ep = ep;
                    st.hash ^= ep_key[ep & 7];
                }
            }
        } else if (piece == KING)
            pos.king_sq[us] = to;
    }

    pos.occupied = pos.color[WHITE] | pos.color[BLACK];
    pos.ply += 1;
    pos.moves[pos.ply & CHANGE_LOG_MASK] = move;
    pos.hist_count += 1;
    pos.hist[pos.hist_count] = st.hash;
    pos.side = them;
}

// Mirrors make_move: a capture lifts the taken piece (behind the target
// square en passant, never a king, which make_move leaves alone), castling
// lifts king and rook before setting both down.
BoardChange move_change(const Position& pos, Move move, int mover) {
    BoardChange change{};
    if (!move) return change;
    const int from = move_from(move), to = move_to(move), captured = move_captured(move);
    if (captured && captured != KING)
        change.removed[1] = piece_change(mover ^ 1, captured, is_ep(move) ? to ^ 8 : to);
    if (is_castle(move)) {
        const int index = castling_index(to);
        return {{piece_change(mover, KING, from), piece_change(mover, ROOK, pos.castling[index].rook_from)},
                {piece_change(mover, KING, to), piece_change(mover, ROOK, CASTLING_ROOK_TO[index])}};
    }
    change.removed[0] = piece_change(mover, move_piece(move), from);
    change.added[0] = piece_change(mover, is_promotion(move) ? move_promotion(move) : move_piece(move), to);
    return change;
}

void unmake_move(Position& pos, const UndoRecord& undo) {
    const Move move = pos.st.last_move;
    const int them = pos.side, us = them ^ 1;
    const int from = move_from(move), to = move_to(move);
    const int piece = move_piece(move), captured = move_captured(move);

    pos.ply -= 1;
    pos.hist_count -= 1;
    pos.side = us;
    pos.st = undo;

    if (move & (PROMOTION_FLAG | CASTLE_FLAG)) {
        if (is_castle(move)) {
            const int index = castling_index(to);
            relocate_castling<false>(pos, us, to, CASTLING_ROOK_TO[index], from, pos.castling[index].rook_from);
        } else {
            remove_piece<false>(pos, us, move_promotion(move), to);
            put_piece<false>(pos, us, PAWN, from);
        }
    } else {
        move_piece<false>(pos, us, piece, to, from);
        if (piece == KING) pos.king_sq[us] = from;
    }

    if (captured) {
        if (is_ep(move))
            put_piece<false>(pos, them, PAWN, to ^ 8);
        else if (captured != KING)
            put_piece<false>(pos, them, captured, to);
    }

    pos.occupied = pos.color[WHITE] | pos.color[BLACK];
}

void make_null_move(Position& pos, NullUndo& undo) {
    undo = {pos.st.last_move, pos.st.fifty, pos.st.ep, pos.st.hash};
    pos.moves[(pos.ply + 1) & CHANGE_LOG_MASK] = NO_MOVE;
    pos.st.last_move = NO_MOVE;
    pos.st.fifty = 0;
    if (pos.st.ep != NO_SQUARE) {
        pos.st.hash ^= ep_key[pos.st.ep & 7];
        pos.st.ep = NO_SQUARE;
    }
    pos.st.hash ^= side_key;
    pos.ply += 1;
    pos.hist_count += 1;
    pos.hist[pos.hist_count] = pos.st.hash;
    pos.side ^= 1;
}

void unmake_null_move(Position& pos, const NullUndo& undo) {
    pos.st.last_move = undo.last_move;
    pos.st.fifty = undo.fifty;
    pos.st.ep = undo.ep;
    pos.st.hash = undo.hash;
    pos.ply -= 1;
    pos.hist_count -= 1;
    pos.side ^= 1;
}

bool is_repetition(const Position& pos) {
    if (pos.st.fifty < 4) return false;
    for (int k = 4; k <= pos.st.fifty && pos.hist_count - k >= 0; k += 2)
        if (pos.hist[pos.hist_count - k] == pos.st.hash) return true;
    return false;
}

void trim_history(Position& pos) {
    if (pos.hist_count < HISTORY_GAME_BUDGET) return;
    // Keys older than the last irreversible move can never repeat; beyond
    // HISTORY_GAME_BUDGET / 2 plies without progress the oldest are let go.
    int keep = std::min(pos.st.fifty, HISTORY_GAME_BUDGET / 2);
    int first = pos.hist_count - keep;
    std::memmove(pos.hist, pos.hist + first, sizeof(Key) * (keep + 1));
    pos.hist_dropped += first;
    pos.hist_count = keep;
}

Key compute_pawn_hash(const Position& pos) {
    Key k = 0;
    for (int us = WHITE; us <= BLACK; ++us)
        for (Bitboard b = pos.pieces_of(us, PAWN); b;) k ^= piece_key[us][PAWN][pop_lsb(b)];
    return k;
}

Key compute_hash(const Position& pos) {
    Key k = 0;
    for (int sq = 0; sq < 64; ++sq)
        if (pos.square[sq] != EMPTY) k ^= piece_key[pos.color_on(sq)][pos.square[sq]][sq];
    k ^= castle_key[pos.st.castle];
    if (pos.st.ep != NO_SQUARE) k ^= ep_key[pos.st.ep & 7];
    if (pos.side == WHITE) k ^= side_key;
    return k;
}

int compute_mat_idx(const Position& pos, int us) {
    int m = 0;
    for (int t = PAWN; t <= QUEEN; ++t) m += MATERIAL_WEIGHT[t] * popcount(pos.pieces_of(us, t));
    return m;
}

namespace {

// Each right held has its king and rook on their start squares, on their
// side's back rank with the rook on the right wing, the rule's squares as
// its start squares make them, and exactly those two squares take the right away.
const char* castling_inconsistency(const Position& pos) {
    for (int index = 0; index < 4; ++index) {
        if (!(pos.st.castle & (1 << index))) continue;
        const int us = index / 2;
        const CastlingRule& rule = pos.castling[index];
        if (rule.king_from < 0 || rule.king_from > 63 || rule.rook_from < 0 || rule.rook_from > 63)
            return "castling start square off the board";
        if (!(pos.pieces_of(us, KING) & bit(rule.king_from)) || !(pos.pieces_of(us, ROOK) & bit(rule.rook_from)))
            return "castling right without its king and rook";
        const bool king_side = index % 2 == 0;
        if (relative_rank(us, rule.king_from) != 0 || rank_of(rule.rook_from) != rank_of(rule.king_from) ||
            (rule.rook_from > rule.king_from) != king_side)
            return "castling rook on the wrong square";
        const CastlingRule fresh = make_castling_rule(index, rule.king_from, rule.rook_from);
        if (fresh.empty != rule.empty || fresh.safe != rule.safe) return "castling squares drifted";
        for (int sq = 0; sq < 64; ++sq)
            if (((pos.castle_mask[sq] & (1 << index)) == 0) != (sq == rule.king_from || sq == rule.rook_from))
                return "castling mask differs from the start squares";
    }
    return nullptr;
}

}  // namespace

const char* position_inconsistency(const Position& pos) {
    if (pos.color[WHITE] & pos.color[BLACK]) return "colour boards overlap";
    if (pos.occupied != (pos.color[WHITE] | pos.color[BLACK])) return "occupancy differs from the colour boards";
    Bitboard all_types = 0;
    for (int t = PAWN; t <= KING; ++t) {
        if (all_types & pos.pieces[t]) return "piece-type boards overlap";
        all_types |= pos.pieces[t];
    }
    if (all_types != pos.occupied || pos.pieces[EMPTY] || pos.pieces[7]) return "piece-type boards differ from the occupancy";
    for (int sq = 0; sq < 64; ++sq) {
        int t = pos.square[sq];
        if (t == EMPTY ? (pos.occupied & bit(sq)) != 0 : (pos.pieces[t] & bit(sq)) == 0)
            return "square array differs from the boards";
    }
    int mg[2] = {0, 0}, eg[2] = {0, 0};
    for (int sq = 0; sq < 64; ++sq)
        if (int t = pos.square[sq]) {
            int us = pos.color_on(sq);
            mg[us] += pst[us][t][sq][0];
            eg[us] += pst[us][t][sq][1];
        }
    for (int us = WHITE; us <= BLACK; ++us) {
        if (pos.pieces_of(us, KING) && pos.king_sq[us] != bitscan(pos.pieces_of(us, KING)) &&
            !more_than_one(pos.pieces_of(us, KING)))
            return "king square differs from the king board";
        if (mg[us] != pos.st.pst_mg[us] || eg[us] != pos.st.pst_eg[us]) return "piece-square sums drifted";
        if (compute_mat_idx(pos, us) != pos.st.mat_idx[us]) return "material signature drifted";
    }
    if (const char* why = castling_inconsistency(pos)) return why;
    if (pos.st.hash != compute_hash(pos)) return "position key drifted";
    if (pos.st.pawn_hash != compute_pawn_hash(pos)) return "pawn key drifted";
    if (pos.hist_count < 0 || pos.hist_count >= HISTORY_SIZE || pos.hist[pos.hist_count] != pos.st.hash)
        return "key history out of step";
    return nullptr;
}

const char* position_unplayable(const Position& pos) {
    if (const char* why = position_inconsistency(pos)) return why;
    if (pos.fen_error) return "the FEN text has an error";
    for (int us = WHITE; us <= BLACK; ++us) {
        if (popcount(pos.pieces_of(us, KING)) != 1) return "each side needs exactly one king";
        int pawns = popcount(pos.pieces_of(us, PAWN));
        // Pieces beyond the starting set can only come from promotions.
        int promoted = std::max(0, popcount(pos.pieces_of(us, QUEEN)) - 1) +
                       std::max(0, popcount(pos.pieces_of(us, ROOK)) - 2) +
                       std::max(0, popcount(pos.pieces_of(us, BISHOP)) - 2) +
                       std::max(0, popcount(pos.pieces_of(us, KNIGHT)) - 2);
        if (pawns > 8 || promoted > 8 - pawns) return "more material than a game can reach";
    }
    if (pos.pawns() & (rank_bb(0) | rank_bb(7))) return "a pawn stands on a back rank";
    if (squares_attacked(pos, pos.side, bit(pos.king_sq[pos.side ^ 1])))
        return "the side not to move is in check";
    return nullptr;
}
