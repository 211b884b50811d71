#include "perft_trees.h"

#include <fstream>
#include <map>
#include <sstream>

#include "uci/uci.h"

const std::vector<PerftLine>& perft_suite(const std::string& name) {
    static std::map<std::string, std::vector<PerftLine>> cache;
    auto found = cache.find(name);
    if (found != cache.end()) return found->second;
    std::vector<PerftLine>& lines = cache[name];
    std::ifstream file(std::string(CORVANE_DATA_DIR) + "/" + name);
    std::string text;
    for (int number = 1; std::getline(file, text); ++number) {
        std::stringstream parts(text);
        PerftLine line{number, "", {}};
        std::getline(parts, line.fen, ';');
        while (!line.fen.empty() && line.fen.back() == ' ') line.fen.pop_back();
        for (std::string part; std::getline(parts, part, ';');) {
            int depth = 0;
            unsigned long long count = 0;
            if (std::sscanf(part.c_str(), " D%d %llu", &depth, &count) == 2 &&
                depth == int(line.counts.size()) + 1)
                line.counts.push_back(count);
        }
        if (!line.fen.empty()) lines.push_back(line);
    }
    return lines;
}

std::string divide_report(Position& pos, int depth) {
    std::string out;
    UndoRecord undo;
    for (Move m : legal_moves(pos)) {
        make_move(pos, undo, m);
        out += std::string("  ") + move_to_text(m) + ": " + std::to_string(perft(pos, depth - 1)) + "\n";
        unmake_move(pos, undo);
    }
    return out;
}

std::vector<TreeRoot> tree_roots(int stride, const std::vector<std::string>& extra) {
    std::vector<TreeRoot> roots;
    for (const std::string& fen : extra) roots.push_back({fen, false});
    for (const char* name : {"perft/standard.epd", "perft/tricky.epd"})
        for (const PerftLine& line : perft_suite(name)) roots.push_back({line.fen, false});
    const std::vector<PerftLine>& random = perft_suite("perft/random.epd");
    for (std::size_t i = 0; i < random.size(); i += std::size_t(stride))
        roots.push_back({random[i].fen, false});
    // An odd step, so that both the start positions and the played ones
    // (they alternate in the file) are walked.
    const std::vector<PerftLine>& chess960 = perft_suite("perft/chess960.epd");
    for (std::size_t i = 0; i < chess960.size(); i += std::size_t(stride / 25 | 1))
        roots.push_back({chess960[i].fen, true});
    return roots;
}
