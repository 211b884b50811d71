// The board and move generation over whole perft trees: at every node the
// fuzz targets' move checks (legal list against brute force, make/unmake
// restoring every field, gives-check against the position after the move),
// and what they leave out: FEN written and read back, the null move, the
// hash-move test on illegal and foreign moves. (The quiet checks are met in
// the picker's test, as quiescence takes them.)
// Position keys are checked against the published Polyglot vectors.

#include <fstream>
#include <random>

#include "board/tables.h"
#include "test_support.h"

namespace {

TEST(BoardInvariants, OverPerftTrees) {
    // Castling into check, en passant uncovering a rank, a pawn pushed along
    // its rook's file, a rook shielding a bishop, promotions that check or
    // capture a rook at home, a double push beside an enemy pawn.
    const std::vector<std::string> extra = {
        "5k2/8/8/8/8/8/8/4K2R w K - 0 1",    "8/8/8/R2pP2k/8/8/8/4K3 w - d6 0 1",
        "4k3/8/8/8/4P3/8/8/4RK2 w - - 0 1",  "7k/8/8/8/3R4/8/1B6/4K3 w - - 0 1",
        "2r1k3/1P6/8/8/8/8/8/4K3 w - - 0 1", "8/5P2/6k1/8/8/8/8/4K3 w - - 0 1",
        "r3k2r/1P4P1/8/3pP3/8/8/1p4p1/R3K2R w KQkq d6 0 1", "4k3/8/8/8/pP6/8/8/4K3 b - b3 0 1",
    };
    std::mt19937 rng(2024);
    std::vector<Move> foreign(64, NO_MOVE);  // moves of earlier positions: stale hash moves and killers
    auto copy = std::make_unique<Position>();
    walk_roots(LIGHT ? 400 : 50, LIGHT ? 2 : 3, [&](Position& p) {
        const std::string fen = position_to_fen(p);
        fuzz::check_moves(p, fen);
        copy->params = p.params;  // read back in the mode it was read in
        read_fen(*copy, fen.c_str());
        ASSERT_TRUE(position_to_fen(*copy) == fen && copy->st.hash == p.st.hash && copy->st.castle == p.st.castle &&
                    copy->st.ep == p.st.ep && copy->side == p.side)
            << fen;
        const std::vector<Move> legal = legal_moves(p);
        if (in_check(p)) return;

        const Position before = p;
        NullUndo null_undo;
        make_null_move(p, null_undo);
        const char* drift = position_inconsistency(p);
        unmake_null_move(p, null_undo);
        ASSERT_TRUE(drift == nullptr && fuzz::same_board(p, before)) << fen << " null move: " << (drift ? drift : "");

        const Bitboard pinned = pinned_pieces(p);
        std::vector<Move> candidates = pseudo_moves(p);  // the illegal ones among them too
        candidates.insert(candidates.end(), foreign.begin(), foreign.end());
        candidates.push_back(NO_MOVE);
        for (Move m : candidates)
            ASSERT_EQ(is_valid_move(p, m, pinned), contains(legal, m)) << fen << " move " << std::hex << m;
        for (int i = 0; i < 4 && !legal.empty(); ++i) foreign[rng() % 64] = legal[rng() % legal.size()];
    }, extra);
}

// The single look-ups of whole rook and bishop attacks agree with the union
// of the line look-ups for every occupancy of the squares that can block,
// and squares outside those (the line ends, the other lines) do not matter.
TEST(BoardInvariants, SliderLookupsAgreeWithLines) {
    init_engine_tables();
    std::mt19937_64 rng(7);
    for (int sq = 0; sq < 64; ++sq)
        for (const SliderMagic* m : {&rook_magic[sq], &bishop_magic[sq]}) {
            const bool rook = m == &rook_magic[sq];
            Bitboard subset = 0;
            do {
                const Bitboard occ = subset | (rng() & ~m->mask);
                const Bitboard lines = rook ? rank_attacks(sq, occ) | file_attacks(sq, occ)
                                            : diag_attacks(sq, occ) | anti_diag_attacks(sq, occ);
                ASSERT_EQ(rook ? rook_attacks(sq, occ) : bishop_attacks(sq, occ), lines) << sq << " " << occ;
                subset = (subset - m->mask) & m->mask;
            } while (subset);
        }
}

TEST(BoardInvariants, PolyglotKeys) {
    std::ifstream file(std::string(CORVANE_DATA_DIR) + "/polyglot_keys.txt");
    int vectors = 0;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        // key;FEN or startpos;moves[;label]
        std::size_t a = line.find(';'), b = line.find(';', a + 1), c = line.find(';', b + 1);
        const std::string fen = line.substr(a + 1, b - a - 1), moves = line.substr(b + 1, c - b - 1);
        std::string command = fen == "startpos" ? "startpos" : "fen " + fen;
        if (!moves.empty()) command += " moves " + moves;
        Position& pos = test_position(START_FEN);
        uci_position(pos, command.c_str());
        EXPECT_EQ(key_to_text(pos.st.hash), "0x" + line.substr(0, a)) << command;
        EXPECT_EQ(pos.hist[pos.hist_count], pos.st.hash) << command;
        ++vectors;
    }
    EXPECT_GE(vectors, 70);
}

}  // namespace
