// The Syzygy reader on a table file made from the input: random bytes behind
// a valid magic number, or a real table with bytes changed or cut short,
// beside intact copies of every other table.
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "eval/eval.h"
#include "fuzz/harness.h"
#include "fuzz/targets.h"
#include "nnue/nnue.h"
#include "syzygy/syzygy.h"

namespace fuzz {
namespace {

namespace fs = std::filesystem;

constexpr int POSITIONS_PER_INPUT = 3;
constexpr int PLACEMENT_TRIES = 24;

const fs::path& real_tables() {
    static const fs::path dir = fs::path(CORVANE_FUZZ_DATA_DIR) / "syzygy" / "tables";
    return dir;
}

// The real tables linked into a scratch directory; one file at a time is
// replaced by the input.
const fs::path& table_dir() {
    static const fs::path dir = [] {
        const fs::path path = fs::path(scratch_dir()) / "syzygy";
        std::error_code error;
        fs::create_directory(path, error);
        for (const auto& entry : fs::directory_iterator(real_tables(), error))
            fs::create_symlink(entry.path(), path / entry.path().filename(), error);
        return path;
    }();
    return dir;
}

// The material combinations of the real tables, in name order.
const std::vector<std::string>& materials() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(real_tables()))
            if (entry.path().extension() == ".rtbw") found.push_back(entry.path().stem().string());
        std::sort(found.begin(), found.end());
        return found;
    }();
    return names;
}

const std::string& real_bytes(const std::string& file) {
    static std::map<std::string, std::string> cache;
    auto it = cache.find(file);
    if (it == cache.end()) it = cache.emplace(file, read_file(real_tables() / file)).first;
    return it->second;
}

// Places the men of `material` on squares drawn from `seed`; playable positions only.
std::vector<std::string> positions_of(const std::string& material, std::uint32_t seed) {
    std::vector<std::string> fens;
    for (int attempt = 0; attempt < PLACEMENT_TRIES && int(fens.size()) < POSITIONS_PER_INPUT; ++attempt) {
        char board[64];
        std::fill(board, board + 64, '\0');
        int side = 0;
        for (char letter : material) {
            if (letter == 'v') {
                side = 1;
                continue;
            }
            int sq;
            do {
                seed = seed * 1664525u + 1013904223u;
                sq = int(seed >> 26);
            } while (board[sq] || (letter == 'P' && (sq < 8 || sq >= 56)));
            board[sq] = side ? char(letter - 'A' + 'a') : letter;
        }
        std::string fen;  // an empty square is a 1: digits in a row add up
        for (int rank = 7; rank >= 0; --rank)
            for (int file = 0; file < 8; ++file)
                fen += (board[rank * 8 + file] ? board[rank * 8 + file] : '1') + std::string(file == 7 && rank ? "/" : "");
        fen += (seed >> 8) & 1 ? " b - - 0 1" : " w - - 0 1";
        Position& pos = engine();
        read_fen(pos, fen.c_str());
        if (!position_unplayable(pos)) fens.push_back(fen);
    }
    return fens;
}

struct Answer {
    int wdl_ok, wdl, dtz_ok, dtz;
};

// Probes one position and checks what holds whatever the tables say: values
// in range, their signs agreeing, and the position restored.
Answer probe(const std::string& fen, const std::string& input) {
    Position& pos = engine();
    read_fen(pos, fen.c_str());
    const Key key = pos.st.hash;
    Answer a{};
    a.wdl = tb_probe_wdl(pos, &a.wdl_ok);
    a.dtz = tb_probe_dtz(pos, &a.dtz_ok);
    require(pos.st.hash == key, "a probe left the position changed", input);
    check_consistent(pos, input);
    require(a.wdl >= TB_LOSS && a.wdl <= TB_WIN, "a WDL value out of range", input);
    if (a.wdl_ok && a.dtz_ok)
        require((a.dtz > 0) == (a.wdl > 0) && (a.dtz < 0) == (a.wdl < 0), "DTZ and WDL disagree on the result", input);
    return a;
}

}  // namespace

// Byte 0 picks the material, byte 1 the file (bit 0: DTZ) and what becomes of
// it (bits 1-2: 0 random bytes behind the magic number, 1 the real table with
// the changes that follow, 2 the real table cut short, 3 both), bytes 2-3
// place the men. Changes are 4 bytes each: a 24-bit offset and a new byte; a
// cut takes the first 3 bytes of the rest as the new length.
int syzygy(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const fs::path& dir = table_dir();
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string material = materials()[data[0] % materials().size()];
    const bool dtz = data[1] & 1;
    const int mode = (data[1] >> 1) & 3;
    const std::string file = material + (dtz ? ".rtbz" : ".rtbw");
    const std::string& real = real_bytes(file);
    const std::vector<std::string> fens = positions_of(material, std::uint32_t(data[2]) << 8 | data[3]);

    std::string bytes;
    std::size_t at = 4;
    auto next24 = [&] {
        const std::uint32_t v = std::uint32_t(data[at]) | std::uint32_t(data[at + 1]) << 8 | std::uint32_t(data[at + 2]) << 16;
        at += 3;
        return v;
    };
    if (mode == 0 || real.empty()) {
        bytes = dtz ? std::string("\xd7\x66\x0c\xa5", 4) : std::string("\x71\xe8\x23\x5d", 4);
        bytes.append(input, at, std::string::npos);
    } else {
        bytes = real;
        if ((mode & 2) && at + 3 <= size) bytes.resize(next24() % (bytes.size() + 1));
        for (; (mode & 1) && at + 4 <= size && !bytes.empty(); ++at) bytes[next24() % bytes.size()] = char(data[at]);
    }

    // The real table's answers first: a table that is only cut short must
    // answer as the real one or not at all.
    std::vector<Answer> reference;
    const bool cut_only = mode == 2 && !real.empty();
    if (cut_only) {
        tb_init(dir.string().c_str());
        for (const std::string& fen : fens) reference.push_back(probe(fen, input));
    }

    const fs::path target = dir / file;
    std::error_code error;
    fs::remove(target, error);
    write_file(target, bytes);
    tb_init(dir.string().c_str());
    for (std::size_t i = 0; i < fens.size(); ++i) {
        const Answer a = probe(fens[i], input);
        if (!cut_only) continue;
        const Answer& r = reference[i];
        require(!a.wdl_ok || (r.wdl_ok && a.wdl == r.wdl), "a truncated table gave a wrong WDL value", input);
        require(!a.dtz_ok || (r.dtz_ok && a.dtz == r.dtz), "a truncated table gave a wrong DTZ value", input);
    }
    tb_free();
    fs::remove(target, error);
    if (!real.empty()) fs::create_symlink(real_tables() / file, target, error);
    return 0;
}

}  // namespace fuzz

// The network loader on a file made from the input: the bytes as they come,
// or the real network with bytes changed (its checksum left, or made to
// match) or cut short. A file refused leaves every score as it was; a file
// taken scores in range, alike in every kernel, and alike move by move and
// afresh.
namespace fuzz {
namespace {

std::vector<int> network_scores(Position& pos) {
    std::vector<int> scores;
    for (std::uint8_t s = 0; s < 4; ++s) {
        read_fen(pos, seed_fen(s));
        scores.push_back(nnue_evaluate_fresh(pos, EVAL_LIMIT));
    }
    return scores;
}

void check_taken_network(Position& pos, const std::string& input) {
    const NnueKernel chosen = nnue_kernel();
    for (std::uint8_t s = 0; s < 4; ++s) {
        read_fen(pos, seed_fen(s));
        for (const Move move : legal_moves(pos)) {
            UndoRecord undo;
            nnue_evaluate(pos, EVAL_LIMIT);
            make_move(pos, undo, move);
            const int score = nnue_evaluate(pos, EVAL_LIMIT);
            require(score >= -EVAL_LIMIT && score <= EVAL_LIMIT, "a network score out of range", input);
            require(nnue_accumulator_consistent(pos), "accumulators drifted from a fresh sum", input);
            nnue_set_kernel(NNUE_SCALAR);
            require(nnue_evaluate_fresh(pos, EVAL_LIMIT) == score, "the kernels disagree", input);
            nnue_set_kernel(chosen);
            unmake_move(pos, undo);
        }
    }
}

}  // namespace

int network(const std::uint8_t* data, std::size_t size) {
    static const std::string real = read_file(CORVANE_FUZZ_NETWORK);
    if (size == 0) return 0;
    Position& pos = engine();
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string file;
    const int mode = data[0] & 3;
    if (mode == 0) {
        file = input.substr(1);
    } else if (mode == 3) {
        const std::size_t length = size >= 4 ? (data[1] | data[2] << 8 | data[3] << 16) : 0;
        file = real.substr(0, std::min(length, real.size()));
    } else {
        file = real;
        for (std::size_t i = 1; i + 4 <= size; i += 4)
            file[(data[i] | data[i + 1] << 8 | data[i + 2] << 16) % file.size()] ^= char(data[i + 3]);
        if (mode == 2) {
            std::uint32_t h = 2166136261u;
            for (std::size_t i = 0; i + 4 < file.size(); ++i) h = (h ^ std::uint8_t(file[i])) * 16777619u;
            for (int i = 0; i < 4; ++i) file[file.size() - 4 + i] = char(h >> (8 * i));
        }
    }
    const std::vector<int> before = network_scores(pos);
    const char* why = nnue_load_bytes(reinterpret_cast<const unsigned char*>(file.data()), file.size(), "the input");
    if (why)
        require(network_scores(pos) == before, "a refused network changed the scores", input);
    else
        check_taken_network(pos, input);
    reset_engine();
    return 0;
}

}  // namespace fuzz
