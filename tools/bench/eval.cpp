// eval: the static evaluation of one position, term by term.
#include "eval/eval.h"

#include <cstdio>

#include "bench.h"
#include "nnue/nnue.h"

namespace {

void print_row(const char* name, int wmg, int weg, int bmg, int beg) {
    std::printf("%-16s %7d %7d   %7d %7d   %7d %7d\n", name, wmg, weg, bmg, beg, wmg - bmg, weg - beg);
}

}  // namespace

int bench_eval(int argc, char** argv) {
    static Position pos;
    bench_setup(pos);
    if (!bench_set_position(pos, argc, argv)) return 2;

    EvalBreakdown b;
    evaluate_breakdown(pos, b);
    nnue_ensure_network();

    std::printf("%s\n\n", position_to_fen(pos));
    std::printf("%-16s %15s   %15s   %15s\n", "", "white", "black", "white - black");
    std::printf("%-16s %7s %7s   %7s %7s   %7s %7s\n", "term", "mg", "eg", "mg", "eg", "mg", "eg");
    int total[2][2] = {{0, 0}, {0, 0}};
    for (int i = 0; i < b.term_count; ++i) {
        const EvalTerm& t = b.terms[i];
        print_row(t.name, t.mg[WHITE], t.eg[WHITE], t.mg[BLACK], t.eg[BLACK]);
        for (int c = WHITE; c <= BLACK; ++c) {
            total[c][0] += t.mg[c];
            total[c][1] += t.eg[c];
        }
    }
    print_row("Total", total[WHITE][0], total[WHITE][1], total[BLACK][0], total[BLACK][1]);

    std::printf("\nphase %d/32%s%s%s\n", b.phase,
                b.mat_flags & MAT_BISHOPS_ONLY ? ", bishops only (positional terms halved)" : "",
                b.mat_flags & MAT_WHITE_ATTACKS ? ", white can attack the king" : "",
                b.mat_flags & MAT_BLACK_ATTACKS ? ", black can attack the king" : "");
    std::printf("material %d (side to move)\n", b.material);
    std::printf("static score %d (%s to move)\n", b.score, pos.side == WHITE ? "white" : "black");
    std::printf("network score %d (%s to move; network %s, %s)\n", nnue_evaluate(pos, EVAL_LIMIT),
                pos.side == WHITE ? "white" : "black", nnue_source(), nnue_kernel_name(nnue_kernel()));
    return 0;
}
