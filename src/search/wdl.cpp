// Win, draw and loss chances of a score, for UCI_ShowWDL. The model is fitted
// to Corvane's own self-play games (tools/wdl/fit_wdl.py prints the constants
// below); it is read only when a line is printed, never by the search.
#include <algorithm>
#include <cmath>

#include "search/search.h"
#include "syzygy/syzygy.h"

namespace {

// The side to move wins when its score, plus a logistic error of scale
// `width`, passes `centre`; it loses when the opponent's does, and the
// chances between are the draw, which is why the centre is never below 0.
// The score enters raised to a power (its sign kept): a large lead is
// surer than a small one, but less than in proportion, since Corvane fails
// to convert some endings its evaluation scores as clearly won. Centre and
// width are quadratics in t, the material from 0 (MATERIAL_FLOOR or less)
// to 1 (every piece on the board). A win is an even chance at 216 cp in
// the endings at the floor, where most level scores end in a draw; at 59 cp
// at material 50, where most games are decided; and at 110 cp with every
// piece on the board, where the game has longest to turn.
//
// Fitted by maximum likelihood (tools/wdl/fit_wdl.py) to the 135,529
// positions scored in centipawns of 1050 games of Corvane against itself
// at 50,000 nodes a move, from balanced openings, played to the end by the
// rules. 450 further games check it (README.md).
struct Model {
    double score_power;
    double centre[3];  // coefficients of 1, t, t^2
    double width[3];
};
constexpr int MATERIAL_FLOOR = 10;  // fewer men are rare in the games
constexpr int MATERIAL_FULL = 78;   // both sides' pieces at the start
constexpr Model HAND_MODEL{0.778, {65.58, -133.43, 106.65}, {22.89, -20.59, 46.67}};
// With the network evaluating, a score means nearly the same chances (the
// model above judges its games almost as well), but a win is an even chance at
// less of a score with every piece on the board (93 cp) and at about as much
// in the endings (226 cp) and at material 50 (64 cp), and Corvane draws a
// little less (34% of its games against 36%). Fitted the same way to the
// 93,850 positions of 700 games with the built-in network on; 300 further
// games check it.
constexpr Model NETWORK_MODEL{0.817, {83.72, -159.92, 116.72}, {27.07, 3.07, 21.60}};

double quadratic(const double* c, double t) { return c[0] + t * (c[1] + t * c[2]); }

int per_mille(double chance) { return int(std::lround(1000.0 * chance)); }

}  // namespace

int wdl_material(const Position& pos) {
    return popcount(pos.pawns()) + 3 * popcount(pos.knights() | pos.bishops()) + 5 * popcount(pos.rooks()) +
           9 * popcount(pos.queens());
}

WdlChances wdl_chances(int score, int material, bool network) {
    const Model& model = network ? NETWORK_MODEL : HAND_MODEL;
    if (score >= TB_WIN_BOUND) return {1000, 0, 0};  // a mate, or a win the tables promise
    if (score <= -TB_WIN_BOUND) return {0, 0, 1000};
    const double t = double(std::clamp(material, MATERIAL_FLOOR, MATERIAL_FULL) - MATERIAL_FLOOR) /
                     (MATERIAL_FULL - MATERIAL_FLOOR);
    const double centre = std::max(0.0, quadratic(model.centre, t));
    const double width = std::max(1.0, quadratic(model.width, t));
    const auto passes = [&](int s) {
        const double x = std::copysign(std::pow(std::abs(double(s)), model.score_power), double(s));
        return 1.0 / (1.0 + std::exp((centre - x) / width));
    };
    const int win = per_mille(passes(score));
    // Rounding may push the two past 1000 where the draw is nearly nil.
    const int loss = std::min(per_mille(passes(-score)), 1000 - win);
    return {win, 1000 - win - loss, loss};
}

WdlChances line_wdl(const Position& pos, int score, int tb_result) {
    if (std::abs(score) < MATE_BOUND && tb_result != NO_TB_RESULT) {
        if (tb_result == TB_WIN) return {1000, 0, 0};
        if (tb_result == TB_LOSS) return {0, 0, 1000};
        return {0, 1000, 0};
    }
    return wdl_chances(score, wdl_material(pos), pos.params->use_nnue);
}
