// Perft: the move generator's proof, and the speed of generation with make/unmake.
#include "movegen/movegen.h"

std::uint64_t perft(Position& pos, int depth) {
    MoveList list;
    gen_legal_moves(pos, list);
    if (depth <= 1) return depth == 1 ? std::uint64_t(list.count) : 1;
    std::uint64_t nodes = 0;
    UndoRecord undo;
    for (int i = 0; i < list.count; ++i) {
        make_move(pos, undo, list.moves[i].move);
        nodes += perft(pos, depth - 1);
        unmake_move(pos, undo);
    }
    return nodes;
}
