// FEN text and the position command: whatever the text, the record stays
// consistent, every handed-out move is legal and reversible, and FEN written
// back reads as the same position.
#include <cstring>

#include "fuzz/harness.h"
#include "fuzz/targets.h"
#include "uci/uci.h"

namespace fuzz {

int fen(const std::uint8_t* data, std::size_t size) {
    Position& pos = engine();
    const std::string input = text_of(data, size);
    // The castling field is read as standard chess's and as Chess960's.
    for (int chess960 : {0, 1}) {
        pos.params->chess960 = chess960;
        read_fen(pos, input.c_str());
        // Text cut short by an error still leaves a board: its moves are checked too.
        pos.fen_error = false;
        check_moves(pos, input);

        // Written back and read again in the same mode, the text is a fixed
        // point and the key the same.
        const std::string written = position_to_fen(pos);
        const Key key = pos.st.hash;
        read_fen(pos, written.c_str());
        require(position_to_fen(pos) == written, "a written FEN does not read back as itself", input);
        require(pos.st.hash == key, "a written FEN reads back with another key", input);
    }
    pos.params->chess960 = 0;
    return 0;
}

int position(const std::uint8_t* data, std::size_t size) {
    Position& pos = engine();
    const std::string input = text_of(data, size);
    // Each move text is read as standard castling text and as Chess960's.
    for (int chess960 : {0, 1}) {
        pos.params->chess960 = chess960;
        read_fen(pos, START_FEN);
        uci_position(pos, input.c_str());
        require(pos.ply == 0, "the position command left a search ply behind", input);
        require(pos.hist_count < HISTORY_GAME_BUDGET, "the game history outgrew its budget", input);
        check_moves(pos, input);
    }
    pos.params->chess960 = 0;
    return 0;
}

}  // namespace fuzz
