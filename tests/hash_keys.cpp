// Position keys against the published Polyglot vectors; FEN round trips and
// make/unmake against from-scratch recomputation over whole perft trees.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

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

// Every field make and unmake touch, appended one by one so that padding
// never counts. Of hist only the current key: make writes above it, never below.
std::string record_of(const Position& p) {
    std::string r;
    auto add = [&r](const auto& field) { r.append(reinterpret_cast<const char*>(&field), sizeof field); };
    add(p.pieces), add(p.color), add(p.occupied), add(p.square), add(p.king_sq);
    add(p.side), add(p.ply), add(p.hist_count), add(p.hist[p.hist_count]);
    const StateBlock& s = p.st;
    add(s.last_move), add(s.castle), add(s.fifty), add(s.ep), add(s.pst_mg), add(s.pst_eg), add(s.mat_idx);
    add(s.hash), add(s.pawn_hash);
    return r;
}

// At every node: the FEN written reads back to the same position and key,
// and each move and the null move, made and unmade, leave no trace.
TEST(HashKeys, FenAndMakeUnmakeOverPerftTrees) {
    // Castling rights lost by captures at home, promotions with capture, and
    // a double push beside an enemy pawn, so every branch of make is walked.
    const std::vector<std::string> extra = {
        "r3k2r/1P4P1/8/3pP3/8/8/1p4p1/R3K2R w KQkq d6 0 1",
        "4k3/8/8/8/pP6/8/8/4K3 b - b3 0 1",
    };
    auto copy = std::make_unique<Position>();
    walk_roots(LIGHT ? 400 : 50, LIGHT ? 2 : 3, [&](Position& p) {
        const std::string before = record_of(p), fen = position_to_fen(p);
        read_fen(*copy, fen.c_str());
        ASSERT_EQ(position_to_fen(*copy), fen);
        ASSERT_TRUE(copy->st.hash == p.st.hash && copy->st.castle == p.st.castle && copy->st.ep == p.st.ep &&
                    copy->side == p.side && copy->st.fifty == 0)
            << fen;
        std::vector<Move> moves = legal_moves(p);
        if (!in_check(p)) moves.push_back(NO_MOVE);  // stands for the null move
        for (Move m : moves) {
            UndoRecord undo;
            NullUndo null_undo;
            m ? make_move(p, undo, m) : make_null_move(p, null_undo);
            const char* drift = position_inconsistency(p);
            m ? unmake_move(p, undo) : unmake_null_move(p, null_undo);
            ASSERT_EQ(drift, nullptr) << fen << " after " << move_to_text(m);
            ASSERT_TRUE(record_of(p) == before) << fen << " not restored after " << move_to_text(m);
        }
    }, extra);
}

}  // namespace
