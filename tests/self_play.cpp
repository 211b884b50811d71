// Corvane against Corvane, two processes: every bestmove legal, every reply
// well formed, games played to their end by the rules. The soak (make soak)
// plays many games at a fast clock with random option changes between them
// and isready or stop sent at random moments, and holds each move to its
// clock; the tests of make test time nothing.
#include <chrono>
#include <cstdlib>
#include <map>
#include <random>
#include <regex>

#include "harness/engine_process.h"
#include "test_support.h"
#include "uci/options.h"

namespace {

using Clock = std::chrono::steady_clock;

// Every line the engine may print while it plays.
bool well_formed(const std::string& line) {
    static const std::string MOVE = "[a-h][1-8][a-h][1-8][nbrq]?";
    static const std::regex FORMS(
        "|readyok|bestmove " + MOVE + "( ponder " + MOVE + ")?|info string .*"
        "|info(( (depth|seldepth|multipv|time|nodes|hashfull|tbhits|nps|currmovenumber) \\d+| score (cp|mate) -?\\d+"
        "| currmove " + MOVE + "| (pv|currline)( " + MOVE + ")*)+ ?)");
    return std::regex_match(line, FORMS);
}

// Two engines past their handshake.
struct Players {
    EngineProcess engines[2];
    int probes = 0;  // the soak's isready and stop sent mid-search
    Players() {
        for (auto& p : engines) p.send("uci"), p.wait_for("^uciok$");
    }

    // One game from ucinewgame, engine g % 2 white, each move `go` (empty: a
    // clock of 1 s + 10 ms, isready or stop sent at random moments, and no
    // move past its clock). A broken rule records a failure and ends the game.
    std::string play(int g, const std::string& go, int max_plies, std::mt19937& rng) {
        for (auto& p : engines) p.send("ucinewgame"), p.send("isready"), p.wait_for("^readyok$");
        const bool soak = go.empty();
        std::int64_t clock[2] = {1000, 1000};
        std::map<Key, int> seen;
        std::string moves;
        for (int ply = 0; ply < max_plies; ++ply) {
            Position& pos = test_position(START_FEN);
            const std::string position = "startpos" + (moves.empty() ? "" : " moves" + moves);
            uci_position(pos, position.c_str());
            const std::vector<Move> legal = legal_moves(pos);
            if (legal.empty()) return in_check(pos) ? (pos.side == WHITE ? "0-1" : "1-0") : "stalemate";
            if (pos.st.fifty >= 100 || ++seen[pos.st.hash] >= 3 ||
                (!(pos.pawns() | pos.rooks() | pos.queens()) && popcount(pos.knights() | pos.bishops()) <= 1))
                return "draw by rule";
            EngineProcess& engine = engines[(g + ply) % 2];
            const std::size_t first_line = engine.lines().size();
            engine.send("position " + position);
            const auto start = Clock::now();
            engine.send(!soak ? go : "go wtime " + std::to_string(clock[0]) + " btime " + std::to_string(clock[1]) +
                                     " winc 10 binc 10");
            // A probe goes in a few milliseconds into the search (or after its
            // answer); readyok may come before or after bestmove.
            const int probe = soak ? int(rng() % 10) : 9;
            std::optional<std::string> line;
            if (probe < 2) {
                if (auto said = engine.read_line(int(rng() % 30)); said && said->rfind("bestmove ", 0) == 0) line = said;
                engine.send(probe == 0 ? "isready" : "stop");
                ++probes;
            }
            if (!line) line = engine.wait_for("^bestmove ", 30000);
            const std::int64_t used = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            const auto said = engine.lines().begin() + std::ptrdiff_t(first_line);
            if (!line || (probe == 0 && std::find(said, engine.lines().end(), "readyok") == engine.lines().end() &&
                          !engine.wait_for("^readyok$")))
                return "broken";
            for (auto it = said; it != engine.lines().end(); ++it) EXPECT_TRUE(well_formed(*it)) << "malformed reply: " << *it;
            const std::string move = line->substr(9, line->find(' ', 9) - 9);
            const bool is_legal = std::any_of(legal.begin(), legal.end(), [&](Move m) { return move == move_to_text(pos, m); });
            EXPECT_TRUE(is_legal) << move << " is illegal after " << position;
            EXPECT_TRUE(!soak || used <= clock[pos.side]) << "lost on time at ply " << ply;
            if (!is_legal || (soak && used > clock[pos.side])) return "broken";
            clock[pos.side] += 10 - used;
            moves += " " + move;
        }
        return "adjudicated draw";
    }

    void quit() {
        for (auto& p : engines) {
            p.send("quit");
            EXPECT_EQ(p.wait_exit(), 0);
        }
    }
};

}  // namespace

// A game between equals at a fixed node count, played to its end: every
// move through the whole game, every line the engine prints on the way.
TEST(SelfPlay, GamesEndWithLegalMovesAndWellFormedReplies) {
    Players players;
    std::mt19937 rng(1);
    std::cout << "game over: " << players.play(0, "go nodes 3000", LIGHT ? 60 : 200, rng) << "\n";
    players.quit();
}

// The weakest level against full strength at equal node counts: it must lose.
// The level's draws come from a fixed seed and nothing interrupts the
// searches, so every game is the same on every run and build: the verdict
// cannot come out either way by chance.
TEST(SelfPlay, WeakestLevelLosesAFixedNodeMatchToFullStrength) {
    ::setenv("CORVANE_SEED", "7", 1);
    Players players;
    ::unsetenv("CORVANE_SEED");
    players.engines[0].send("setoption name UCI_LimitStrength value true");
    players.engines[0].send("setoption name UCI_Elo value 1350");
    std::mt19937 rng(3);
    double full_points = 0;
    for (int g = 0; g < 4 && !::testing::Test::HasFailure(); ++g) {
        const std::string result = players.play(g, LIGHT ? "go nodes 8000" : "go nodes 30000", 300, rng);
        const bool weak_white = g % 2 == 0;
        full_points += result == "1-0" || result == "0-1" ? ((result == "1-0") != weak_white) : 0.5;
        std::cout << "weakest level " << (weak_white ? "white" : "black") << ": " << result << "\n";
    }
    EXPECT_GE(full_points, 3);
    players.quit();
}

// CORVANE_SOAK_GAMES games (skipped when unset); CORVANE_SOAK_SEED varies them.
TEST(Soak, ManyGamesWithRandomOptionsAndInterruptions) {
    const char* games = std::getenv("CORVANE_SOAK_GAMES");
    if (!games) GTEST_SKIP() << "set CORVANE_SOAK_GAMES to run the soak";
    const char* seed = std::getenv("CORVANE_SOAK_SEED");
    std::mt19937 rng(seed ? unsigned(std::atoi(seed)) : 2026u);
    const char* threads = std::getenv("CORVANE_SOAK_THREADS");
    Players players;
    std::map<std::string, int> results;
    for (int g = 0; g < std::atoi(games) && !::testing::Test::HasFailure(); ++g) {
        for (auto& p : players.engines) {
            // The reserve covers the lag between the engine and this driver
            // (pipes, process switches: a few ms on a busy machine); the
            // default 1000 would leave nothing to plan with at this clock.
            const std::string set = "setoption name ";
            p.send(set + "Time Buffer value " + std::to_string(20 + rng() % 130));
            p.send(set + "Threads value " + (threads ? std::string(threads) : std::to_string(1 + rng() % 2)));
            p.send(set + "MultiPV value " + std::to_string(1 + rng() % 3));
            p.send(set + "UCI_LimitStrength value " + (rng() % 4 ? "false" : "true"));
            p.send(set + "UCI_Elo value " + std::to_string(1350 + rng() % 900));
            // Three of Hash (to 64 MB), Pawn Hash (to 2^16 entries) and the
            // search and evaluation rows ("Transposition Table" to
            // "UCI_ShowCurrLine"), each within its listed range.
            for (int k = 0; k < 3; ++k) {
                const unsigned row = unsigned(rng() % 25);
                const OptionRecord& o = EngineOptions[row < 2 ? row : row + 6];
                const bool check = std::string(o.type) == "check";
                int low = row < 2 ? 1 : 0, high = row == 0 ? 64 : row == 1 ? 16 : 1;
                if (row >= 2 && !check) std::sscanf(o.range, "min %d max %d", &low, &high);
                const int value = low + int(rng() % unsigned(high - low + 1));
                p.send(set + o.name + " value " + (check ? (value ? "true" : "false") : std::to_string(value)));
            }
        }
        ++results[players.play(g, "", 160, rng)];
    }
    players.quit();
    std::cout << "soak: " << games << " games, " << players.probes << " isready or stop probes;";
    for (const auto& [result, count] : results) std::cout << " " << result << ": " << count << ";";
    std::cout << "\n";
}
