// Position keys against the published Polyglot vectors, and make/unmake
// against from-scratch recomputation over whole perft trees.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "perft_trees.h"
#include "test_support.h"
#include "uci/uci.h"

namespace {

TEST(HashKeys, PolyglotVectors) {
    std::ifstream file(std::string(CORVANE_DATA_DIR) + "/polyglot_keys.txt");
    ASSERT_TRUE(file) << "cannot read polyglot_keys.txt";
    int vectors = 0;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        // key;FEN or startpos;moves[;label]
        std::size_t a = line.find(';'), b = line.find(';', a + 1), c = line.find(';', b + 1);
        std::string key = line.substr(0, a), fen = line.substr(a + 1, b - a - 1);
        std::string moves = line.substr(b + 1, c == std::string::npos ? std::string::npos : c - b - 1);
        std::string command = fen == "startpos" ? "startpos" : "fen " + fen;
        if (!moves.empty()) command += " moves " + moves;
        Position& pos = test_position(START_FEN);
        uci_position(pos, command.c_str());
        EXPECT_EQ(key_to_text(pos.st.hash), "0x" + key) << "position " << command;
        EXPECT_EQ(pos.hist[pos.hist_count], pos.st.hash) << "position " << command;
        ++vectors;
    }
    EXPECT_GE(vectors, 70);
}

// Everything make_move may touch, taken before a move and compared after
// its unmake; hist is compared only up to hist_count, the rest is scratch.
struct BoardRecord {
    Bitboard pieces[8], color[2], occupied;
    int square[64], king_sq[2], side, ply, hist_count;
    StateBlock st;
    Key hist_top;

    explicit BoardRecord(const Position& pos) {
        std::memcpy(pieces, pos.pieces, sizeof pieces);
        std::memcpy(color, pos.color, sizeof color);
        occupied = pos.occupied;
        std::memcpy(square, pos.square, sizeof square);
        std::memcpy(king_sq, pos.king_sq, sizeof king_sq);
        side = pos.side, ply = pos.ply, hist_count = pos.hist_count;
        st = pos.st;
        hist_top = pos.hist[pos.hist_count];
    }
};

// The first field that differs, or nullptr.
const char* difference(const BoardRecord& a, const BoardRecord& b) {
    if (std::memcmp(a.pieces, b.pieces, sizeof a.pieces)) return "piece boards";
    if (std::memcmp(a.color, b.color, sizeof a.color) || a.occupied != b.occupied) return "colour boards";
    if (std::memcmp(a.square, b.square, sizeof a.square)) return "square array";
    if (std::memcmp(a.king_sq, b.king_sq, sizeof a.king_sq)) return "king squares";
    if (a.side != b.side || a.ply != b.ply || a.hist_count != b.hist_count) return "side, ply or hist_count";
    if (a.hist_top != b.hist_top) return "key history";
    const StateBlock &x = a.st, &y = b.st;
    if (x.last_move != y.last_move || x.castle != y.castle || x.fifty != y.fifty || x.ep != y.ep)
        return "state flags";
    for (int c = 0; c < 2; ++c)
        if (x.pst_mg[c] != y.pst_mg[c] || x.pst_eg[c] != y.pst_eg[c] || x.mat_idx[c] != y.mat_idx[c])
            return "piece-square sums or material";
    if (x.hash != y.hash || x.pawn_hash != y.pawn_hash) return "keys";
    return nullptr;
}

TEST(HashKeys, MakeUnmakeOverPerftTrees) {
    const int depth = LIGHT ? 2 : 3;
    // Castling rights lost by captures at home, promotions with capture, and
    // a double push beside an enemy pawn, so every branch of make is walked.
    const std::vector<std::string> extra = {
        "r3k2r/1P4P1/8/3pP3/8/8/1p4p1/R3K2R w KQkq d6 0 1",
        "4k3/8/8/8/pP6/8/8/4K3 b - b3 0 1",
    };
    for (const std::string& fen : tree_roots(LIGHT ? 400 : 50, extra)) {
        Position& pos = test_position(fen);
        int failures = 0;
        walk_tree(pos, depth, [&](Position& p) {
            if (failures) return;
            const BoardRecord before(p);
            UndoRecord undo;
            for (Move m : legal_moves(p)) {
                make_move(p, undo, m);
                const char* drift = position_inconsistency(p);
                unmake_move(p, undo);
                const char* diff = difference(before, BoardRecord(p));
                if (drift || diff) {
                    ADD_FAILURE() << position_to_fen(p) << " move " << move_to_text(m) << ": "
                                  << (drift ? drift : "") << (diff ? " unmake did not restore " : "")
                                  << (diff ? diff : "");
                    ++failures;
                    return;
                }
            }
            if (!in_check(p)) {
                NullUndo null_undo;
                make_null_move(p, null_undo);
                const char* drift = position_inconsistency(p);
                unmake_null_move(p, null_undo);
                const char* diff = difference(before, BoardRecord(p));
                if (drift || diff) {
                    ADD_FAILURE() << position_to_fen(p) << " null move: " << (drift ? drift : "")
                                  << (diff ? diff : "");
                    ++failures;
                }
            }
        });
        if (failures) return;
    }
}

}  // namespace
