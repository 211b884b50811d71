// datagen: Corvane plays itself at a fixed node count and writes the quiet
// positions of its games, each with the search's score and the game's
// result, as training data for the evaluation network.
//
// Games are numbered from 0 and written in chunks of CHUNK_GAMES: chunk k
// holds games CHUNK_GAMES * k onwards, in order, and its bytes depend only on
// the seed, k and the settings, so the same command gives the same files on
// any machine, with any number of workers, interrupted or not. A chunk is
// written under a temporary name and renamed when complete; a second run of
// the same command skips the chunks that exist.
//
// Each record is 32 bytes, little-endian:
//   u64 occupied squares (bit 0 a1 ... bit 63 h8)
//   16 bytes: a nibble per occupied square, lowest square first, low nibble
//             first: piece type (1 pawn ... 6 king) + 8 for black
//   i16 score of the search, centipawns, from the side to move's view
//   u8  result of the game for the side to move: 0 lost, 1 drawn, 2 won
//   u8  side to move (0 white, 1 black)
//   u16 ply of the game, u8 half-moves since the last capture or pawn move,
//   u8  zero
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "bench.h"
#include "eval/pawn_table.h"
#include "movegen/movegen.h"
#include "search/search.h"
#include "search/trans_table.h"
#include "uci/options.h"
#include "uci/uci.h"

namespace {

constexpr int CHUNK_GAMES = 100;
constexpr int RECORD_BYTES = 32;
constexpr int OPENING_MAX_SCORE = 300;  // a random opening further from equality is drawn again
constexpr int MAX_GAME_PLIES = 400;     // a game this long is scored a draw
// Adjudication: a score this large for this many plies in a row (both
// sides agreeing) decides the game; one this small late in the game draws it.
constexpr int WIN_SCORE = 1500, WIN_PLIES = 6;
constexpr int DRAW_SCORE = 10, DRAW_PLIES = 10, DRAW_FIRST_PLY = 80;

struct Settings {
    std::string dir;
    std::int64_t games = 10000;
    std::int64_t nodes = 5000;
    std::uint64_t seed = 1;
    int workers = 1;
    int random_plies = 8;
    std::vector<std::string> options;  // "NAME=VALUE", set before the first game
};

// SplitMix64: a small generator whose stream is fixed by its seed.
struct Random {
    std::uint64_t state;
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % std::uint64_t(n)); }
};

struct Sample {
    unsigned char bytes[RECORD_BYTES];
};

void pack(const Position& pos, int score, int ply, Sample& out) {
    std::memset(out.bytes, 0, RECORD_BYTES);
    for (int i = 0; i < 8; ++i) out.bytes[i] = static_cast<unsigned char>(pos.occupied >> (8 * i));
    int n = 0;
    for (Bitboard b = pos.occupied; b; ++n) {
        const int sq = pop_lsb(b);
        const int code = pos.square[sq] | (pos.color_on(sq) == BLACK ? 8 : 0);
        out.bytes[8 + n / 2] |= static_cast<unsigned char>(code << (4 * (n & 1)));
    }
    const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>(score));
    out.bytes[24] = static_cast<unsigned char>(s);
    out.bytes[25] = static_cast<unsigned char>(s >> 8);
    out.bytes[27] = static_cast<unsigned char>(pos.side);
    out.bytes[28] = static_cast<unsigned char>(ply);
    out.bytes[29] = static_cast<unsigned char>(ply >> 8);
    out.bytes[30] = static_cast<unsigned char>(std::min(pos.st.fifty, 255));
}

// No pawn, rook or queen and at most one minor piece: nobody can mate.
bool dead_draw(const Position& pos) {
    if (pos.pawns() | pos.rooks() | pos.queens()) return false;
    return popcount(pos.knights() | pos.bishops()) <= 1;
}

// One search of the game position, with the tables kept from the game's
// earlier moves; the answer's score is from the side to move's view.
Move search_move(Position& pos, SearchInfo& info, std::int64_t nodes, int& score) {
    search_info_init(info, now_ms());
    info.status = THINKING;
    info.nodes_limited = 1;
    info.node_limit = nodes;
    think(pos, info);
    score = info.answer_score;
    return info.best_move;
}

void play_move(Position& pos, Move move) {
    UndoRecord undo;
    make_move(pos, undo, move);
    pos.ply = 0;  // game moves are never taken back, as in the position command
    trim_history(pos);
}

void new_game(Position& pos) {
    uci_newgame(pos);
    read_fen(pos, START_FEN);
}

// Plays the random opening of a game: false when it ended the game, else the
// position is the game's first searched position.
bool random_opening(Position& pos, Random& rng, int plies) {
    new_game(pos);
    MoveList list;
    for (int i = 0; i < plies; ++i) {
        gen_legal_moves(pos, list);
        if (list.count == 0) return false;
        play_move(pos, list.moves[rng.below(list.count)].move);
    }
    gen_legal_moves(pos, list);
    return list.count > 0;
}

// Plays game `index` and appends its positions to `out`; returns how many.
int play_game(const Settings& s, std::int64_t index, Position& pos, SearchInfo& info,
              std::vector<Sample>& out) {
    Random rng{s.seed * 0x2545F4914F6CDD1DULL + std::uint64_t(index) * 0x9E3779B97F4A7C15ULL};

    int score = 0;
    Move move = NO_MOVE;
    int opening_plies = 0;
    for (;;) {
        opening_plies = s.random_plies + rng.below(2);  // either side may move first from here
        if (!random_opening(pos, rng, opening_plies)) continue;
        move = search_move(pos, info, s.nodes, score);
        if (move != NO_MOVE && std::abs(score) <= OPENING_MAX_SCORE) break;
    }

    const std::size_t first = out.size();
    int result_white = 1;  // 0 black won, 1 draw, 2 white won
    int win_run = 0, win_sign = 0, draw_run = 0;
    MoveList list;
    for (int ply = opening_plies;; ++ply) {
        if (ply > opening_plies) {
            gen_legal_moves(pos, list);
            if (list.count == 0) {
                result_white = in_check(pos) ? (pos.side == WHITE ? 0 : 2) : 1;
                break;
            }
            if (pos.st.fifty >= 100 || is_repetition(pos) || dead_draw(pos) || ply >= MAX_GAME_PLIES) break;
            move = search_move(pos, info, s.nodes, score);
        }
        const int white_score = pos.side == WHITE ? score : -score;
        if (std::abs(score) >= MATE_BOUND) {
            result_white = white_score > 0 ? 2 : 0;
            break;
        }
        // Quiet positions only: a capture or promotion to come, or a check
        // to answer, is a score the static evaluation cannot see.
        if (!in_check(pos) && !is_tactical(move) && std::abs(score) < TB_WIN_BOUND) {
            out.emplace_back();
            pack(pos, score, ply, out.back());
        }
        const int sign = white_score >= WIN_SCORE ? 1 : white_score <= -WIN_SCORE ? -1 : 0;
        win_run = sign != 0 && sign == win_sign ? win_run + 1 : sign != 0;
        win_sign = sign;
        if (win_run >= WIN_PLIES) {
            result_white = sign > 0 ? 2 : 0;
            break;
        }
        draw_run = ply >= DRAW_FIRST_PLY && std::abs(score) <= DRAW_SCORE ? draw_run + 1 : 0;
        if (draw_run >= DRAW_PLIES) break;
        play_move(pos, move);
    }

    // The result from each recorded side to move's view.
    for (std::size_t i = first; i < out.size(); ++i) {
        const int side = out[i].bytes[27];
        out[i].bytes[26] = static_cast<unsigned char>(side == WHITE ? result_white : 2 - result_white);
    }
    return int(out.size() - first);
}

std::string chunk_path(const Settings& s, std::int64_t chunk) {
    char name[64];
    std::snprintf(name, sizeof name, "%" PRIu64 "-%06" PRId64 ".bin", s.seed, chunk);
    return (std::filesystem::path(s.dir) / name).string();
}

std::int64_t chunk_count(const Settings& s) { return (s.games + CHUNK_GAMES - 1) / CHUNK_GAMES; }

std::int64_t chunks_done(const Settings& s) {
    std::int64_t done = 0;
    for (std::int64_t k = 0; k < chunk_count(s); ++k) done += std::filesystem::exists(chunk_path(s, k));
    return done;
}

// Worker `w` of s.workers plays the missing chunks k with k % workers == w.
int run_worker(const Settings& s, int w) {
    static Position pos;
    bench_setup(pos);
    bench_set_options(pos, s.options);
    read_params(*pos.params);
    set_screen_output(false);
    set_input_polling(false);
    auto info = std::make_unique<SearchInfo>();
    std::vector<Sample> samples;
    const std::int64_t start = bench_now_ms();
    for (std::int64_t k = w; k < chunk_count(s); k += s.workers) {
        const std::string path = chunk_path(s, k);
        if (std::filesystem::exists(path)) continue;
        samples.clear();
        const std::int64_t first = k * CHUNK_GAMES, last = std::min(first + CHUNK_GAMES, s.games);
        for (std::int64_t g = first; g < last; ++g) play_game(s, g, pos, *info, samples);
        const std::string temporary = path + ".tmp";
        std::FILE* f = std::fopen(temporary.c_str(), "wb");
        if (!f || std::fwrite(samples.data(), RECORD_BYTES, samples.size(), f) != samples.size() ||
            std::fclose(f)) {
            std::fprintf(stderr, "corvane-bench: cannot write %s\n", temporary.c_str());
            return 1;
        }
        std::filesystem::rename(temporary, path);
        std::printf("chunk %" PRId64 ": %" PRId64 " games, %zu positions (worker %d, %.1f min); %" PRId64
                    " of %" PRId64 " chunks done\n",
                    k, last - first, samples.size(), w, double(bench_now_ms() - start) / 60000.0,
                    chunks_done(s), chunk_count(s));
        std::fflush(stdout);
    }
    return 0;
}

bool read_number(const char* text, std::int64_t low, std::int64_t high, std::int64_t& out) {
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text || *end || value < low || value > high) return false;
    out = value;
    return true;
}

bool read_settings(int argc, char** argv, Settings& s) {
    s.workers = int(std::max(1u, std::thread::hardware_concurrency()));
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 == argc) return false;
        const char* value = argv[++i];
        std::int64_t n = 0;
        if (arg == "--out")
            s.dir = value;
        else if (arg == "--games" && read_number(value, 1, INT64_C(1) << 40, n))
            s.games = n;
        else if (arg == "--nodes" && read_number(value, 1, INT64_C(1) << 40, n))
            s.nodes = n;
        else if (arg == "--seed" && read_number(value, 0, INT64_MAX, n))
            s.seed = std::uint64_t(n);
        else if (arg == "--workers" && read_number(value, 1, 256, n))
            s.workers = int(n);
        else if (arg == "--random-plies" && read_number(value, 0, 40, n))
            s.random_plies = int(n);
        else if (arg == "--option" && std::strchr(value, '='))
            s.options.push_back(value);
        else
            return false;
    }
    return !s.dir.empty();
}

// The settings a directory's chunks were made with; a second run must match.
bool check_manifest(const Settings& s) {
    std::string text = "corvane-bench datagen --games " + std::to_string(s.games) + " --nodes " +
                       std::to_string(s.nodes) + " --seed " + std::to_string(s.seed) + " --random-plies " +
                       std::to_string(s.random_plies);
    for (const std::string& option : s.options) text += " --option '" + option + "'";
    text += "\n";
    const std::string path = (std::filesystem::path(s.dir) / "datagen.txt").string();
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096] = {};
        const std::size_t length = std::fread(buffer, 1, sizeof buffer - 1, f);
        std::fclose(f);
        if (std::string(buffer, length) != text) {
            std::fprintf(stderr, "corvane-bench: %s was made with other settings:\n%s", path.c_str(), buffer);
            return false;
        }
        return true;
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fputs(text.c_str(), f);
    return std::fclose(f) == 0;
}

}  // namespace

int bench_datagen(int argc, char** argv) {
    Settings s;
    if (!read_settings(argc, argv, s)) return -1;
    std::error_code error;
    std::filesystem::create_directories(s.dir, error);
    if (!check_manifest(s)) return 2;
    std::printf("datagen: %" PRId64 " games at %" PRId64 " nodes a move, seed %" PRIu64
                ", %d workers, into %s; %" PRId64 " of %" PRId64 " chunks done\n",
                s.games, s.nodes, s.seed, s.workers, s.dir.c_str(), chunks_done(s), chunk_count(s));
    std::fflush(stdout);
#ifdef _WIN32
    // No fork here: one worker does every chunk.
    s.workers = 1;
    return run_worker(s, 0);
#else
    std::vector<pid_t> children;
    for (int w = 1; w < s.workers; ++w) {
        const pid_t pid = fork();
        if (pid == 0) std::_Exit(run_worker(s, w));
        if (pid > 0) children.push_back(pid);
    }
    int status = run_worker(s, 0);
    for (const pid_t pid : children) {
        int child = 0;
        if (waitpid(pid, &child, 0) < 0 || !WIFEXITED(child) || WEXITSTATUS(child) != 0) status = 1;
    }
    return status;
#endif
}
