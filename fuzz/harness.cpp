#include "fuzz/harness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "board/table_memory.h"
#include "book/book.h"
#include "eval/eval.h"
#include "eval/pawn_table.h"
#include "movegen/movegen.h"
#include "nnue/nnue.h"
#include "search/search.h"
#include "search/threads.h"
#include "search/trans_table.h"
#include "uci/options.h"
#include "uci/uci.h"

namespace fuzz {
namespace {

constexpr int HARNESS_HASH_MB = 4;
// The search uses only the start of the table: searches are a few hundred
// nodes, and the table is cleared for every input.
constexpr std::uint64_t HARNESS_TT_ENTRIES = 1 << 14;
constexpr int HARNESS_PAWN_HASH_POWER = 10;

[[noreturn]] void throw_quit() { throw EngineQuit{}; }

Position& the_position() {
    static Position pos{};
    return pos;
}

std::vector<Move> moves_of(const MoveList& list) {
    std::vector<Move> moves;
    for (int i = 0; i < list.count; ++i) moves.push_back(list.moves[i].move);
    return moves;
}

// The legal moves by brute force, sorted: every generated move that leaves the king safe.
std::vector<Move> reference_legal_moves(Position& pos) {
    MoveList list;
    if (in_check(pos)) gen_evasions(pos, list);
    std::vector<Move> moves;
    UndoRecord undo;
    for (Move move : in_check(pos) ? moves_of(list) : pseudo_moves(pos)) {
        make_move(pos, undo, move);
        if (!squares_attacked(pos, pos.side, pos.pieces_of(pos.side ^ 1, KING))) moves.push_back(move);
        unmake_move(pos, undo);
    }
    std::sort(moves.begin(), moves.end());
    return moves;
}

}  // namespace

// Everything make and unmake touch, compared field by field.
bool same_board(const Position& a, const Position& b) {
    const StateBlock &s = a.st, &t = b.st;
    return std::equal(a.pieces, a.pieces + 8, b.pieces) && std::equal(a.color, a.color + 2, b.color) &&
           a.occupied == b.occupied && std::equal(a.square, a.square + 64, b.square) &&
           std::equal(a.king_sq, a.king_sq + 2, b.king_sq) && a.side == b.side && a.ply == b.ply &&
           s.last_move == t.last_move && s.castle == t.castle && s.fifty == t.fifty && s.ep == t.ep &&
           std::equal(s.pst_mg, s.pst_mg + 2, t.pst_mg) && std::equal(s.pst_eg, s.pst_eg + 2, t.pst_eg) &&
           std::equal(s.mat_idx, s.mat_idx + 2, t.mat_idx) && s.hash == t.hash && s.pawn_hash == t.pawn_hash &&
           a.hist_count == b.hist_count && std::equal(a.hist, a.hist + a.hist_count + 1, b.hist);
}

std::vector<Move> legal_moves(const Position& pos) {
    MoveList list;
    gen_legal_moves(pos, list);
    std::vector<Move> moves = moves_of(list);
    std::sort(moves.begin(), moves.end());
    return moves;
}

std::vector<Move> pseudo_moves(const Position& pos) {
    MoveList list;
    list.target = pos.color[pos.side ^ 1] & ~pos.kings();
    gen_captures(pos, list);
    std::vector<Move> moves = moves_of(list);
    gen_quiets(pos, list);
    for (Move move : moves_of(list)) moves.push_back(move);
    return moves;
}

bool is_legal_move(const Position& pos, Move move) {
    const std::vector<Move> legal = legal_moves(pos);
    return std::binary_search(legal.begin(), legal.end(), move);
}

Position& engine() {
    Position& pos = the_position();
    static bool ready = false;
    if (ready) return pos;
    ready = true;
    input_init();  // unbuffered, so the command loop's script is read exactly as written
    set_input_polling(false);
    set_screen_output(false);
    set_quit_handler(throw_quit);
    set_search_quit(engine_quit);
    set_search_harness_limits(SEARCH_NODE_CEILING, SEARCH_POLL_INTERVAL);
    set_table_size_ceiling(TABLE_SIZE_CEILING);
    init_static_tables();
    pos.params = &pos.param_block;
    reset_engine();
    return pos;
}

void reset_engine() {
    Position& pos = the_position();
    threads_shutdown();  // a Threads setting ends with its input
    options_free();
    options_init();
    book_close(pos);
    if (!pos.trans_table || pos.trans_table_size != HARNESS_TT_ENTRIES + TT_SPILL) {
        tt_allocate(pos, HARNESS_HASH_MB);
        pos.trans_table_size = HARNESS_TT_ENTRIES + TT_SPILL;
        pos.trans_table_mask = HARNESS_TT_ENTRIES - 1;
    }
    tt_clear(pos);
    if (!pos.pawn_table || pos.pawn_table_size != (std::uint64_t(1) << HARNESS_PAWN_HASH_POWER))
        pawn_table_allocate(pos, HARNESS_PAWN_HASH_POWER);
    pawn_table_clear(pos);
    require(pos.trans_table && pos.pawn_table, "the harness's own tables could not be allocated", "");
    if (!pos.nnue) pos.nnue = nnue_stack_new();
    // An EvalFile setting or a network input ends with its input too.
    nnue_ensure_network();
    if (std::string(nnue_source()) != "<embedded>")
        require(nnue_load_file("<embedded>") == nullptr, "the embedded network does not load", "");
    read_params(*pos.params);
    read_fen(pos, START_FEN);
}

std::string text_of(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    return text.substr(0, text.find('\0'));
}

void require(bool ok, const char* what, const std::string& input) {
    if (ok) return;
    std::fprintf(stderr, "\nbroken invariant: %s\ninput: \"%s\"\n", what, input.c_str());
    std::abort();
}

void check_consistent(const Position& pos, const std::string& input) {
    if (const char* difference = position_inconsistency(pos)) {
        std::fprintf(stderr, "\n%s at %s\n", difference, position_to_fen(pos));
        require(false, "the position record disagrees with its recomputation", input);
    }
}

void check_moves(Position& pos, const std::string& input) {
    check_consistent(pos, input);
    if (position_unplayable(pos)) return;

    const std::vector<Move> legal = legal_moves(pos);
    require(legal == reference_legal_moves(pos), "the legal moves differ from the brute-force list", input);
    require(std::adjacent_find(legal.begin(), legal.end()) == legal.end(), "a legal move is listed twice", input);

    const int eval = evaluate(pos);
    require(eval > -MATE_BOUND && eval < MATE_BOUND, "the evaluation is outside the score range", input);

    const Position before = pos;
    const Bitboard pinned = pinned_pieces(pos);
    const Bitboard candidates = discovered_check_candidates(pos, pos.side);
    UndoRecord undo;
    for (Move move : legal) {
        require(is_valid_move(pos, move, pinned), "a legal move fails the hash-move validity test", input);
        const bool checks = gives_check(pos, move, candidates);
        see(pos, move);
        make_move(pos, undo, move);
        check_consistent(pos, input);
        require(checks == in_check(pos), "gives_check disagrees with the position after the move", input);
        unmake_move(pos, undo);
        require(same_board(pos, before), "unmake did not restore the position", input);
    }
}

const std::string& scratch_dir() {
    static const struct Dir {
        std::string path = "/tmp/corvane-fuzz-XXXXXX";
        Dir() { require(mkdtemp(path.data()) != nullptr, "no scratch directory could be made", path); }
        ~Dir() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    } dir;
    return dir.path;
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    require(bool(out.flush()), "a scratch file could not be written", path);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char* seed_fen(std::uint8_t selector) {
    static const char* const FENS[] = {
        START_FEN,
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
        "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
        "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",              // stalemate
        "6rk/5Npp/8/8/8/8/8/6K1 b - - 0 1",             // checkmate
        "k7/8/8/8/8/8/1r6/K7 w - - 0 1",                // one legal move
        "8/P7/8/8/8/8/k6K/8 w - - 0 1",                 // a promotion decides
        "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2",            // en passant
        "r1bq1rk1/pp2bppp/2n1pn2/2pp4/3P4/2PBPN2/PP1N1PPP/R1BQ1RK1 w - - 0 9",
        "8/8/8/8/8/8/8/K1k5 w - - 0 1",                 // bare kings
    };
    return FENS[selector % (sizeof FENS / sizeof FENS[0])];
}

}  // namespace fuzz
