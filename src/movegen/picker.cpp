// The staged move picker: stage sequences as data, one selection loop.
#include "movegen/picker.h"

#include "board/tables.h"
#include "movegen/movegen.h"
#include "search/trans_table.h"
#include "search/search_info.h"
#include "io/output.h"

int SEQ_EVASION, SEQ_SEARCH, SEQ_QSEARCH, SEQ_QSEARCH_CHECKS;
int stage_table[32];

namespace {

constexpr int HASH_MOVE_SCORE = 49152;
constexpr int GOOD_TACTICAL_BONUS = 32768;
constexpr int BAD_TACTICAL_MALUS = 16384;
constexpr int QS_TACTICAL_BONUS = 16384;

}  // namespace

void init_stage_table() {
    static constexpr int EVASION[] = {STAGE_START, STAGE_EVASIONS, STAGE_END};
    static constexpr int SEARCH[] = {STAGE_START,   STAGE_HASH_MOVE,     STAGE_GOOD_CAPTURES, STAGE_KILLERS,
                                     STAGE_QUIETS, STAGE_BAD_CAPTURES, STAGE_END};
    static constexpr int QSEARCH[] = {STAGE_START, STAGE_QS_CAPTURES, STAGE_END};
    static constexpr int QSEARCH_CHECKS[] = {STAGE_START, STAGE_QS_CAPTURES, STAGE_QS_CHECKS, STAGE_END};
    int n = 0;
    auto append = [&n](const int* kinds, int count) {
        int start = n;
        for (int i = 0; i < count; ++i) stage_table[n++] = kinds[i];
        return start;
    };
    SEQ_EVASION = append(EVASION, 3);
    SEQ_SEARCH = append(SEARCH, 7);
    SEQ_QSEARCH = append(QSEARCH, 3);
    SEQ_QSEARCH_CHECKS = append(QSEARCH_CHECKS, 4);
}

bool is_good_capture(const Position& pos, Move m) {
    if (!is_promotion(m)) return move_captured(m) >= move_piece(m) || see(pos, m) >= 0;
    if (move_promotion(m) != QUEEN) return false;  // under-promotions are tried last
    return move_captured(m) != EMPTY || see(pos, m) >= 0;
}

namespace {

void score_evasions(const Position& pos, MoveList& list, const SearchInfo& info) {
    for (int i = 0; i < list.count; ++i) {
        Move m = list.moves[i].move;
        int score;
        if (list.depth > 0) {
            if (m == list.hash_move)
                score = HASH_MOVE_SCORE;
            else if (is_quiet(m))
                score = m == list.killer1   ? KILLER1_SCORE
                        : m == list.killer2 ? KILLER2_SCORE
                                            : info.history[history_index(list.side, m)];
            else
                score = is_good_capture(pos, m) ? mvv_lva(m) + GOOD_TACTICAL_BONUS : mvv_lva(m) - BAD_TACTICAL_MALUS;
        } else
            score = is_quiet(m) ? info.history[history_index(list.side, m)] : mvv_lva(m) + QS_TACTICAL_BONUS;
        list.moves[i].score = score;
    }
}

void report_bad_hash_move(Position& pos, Move m) {
    print_out(OUT_DUMP, "trans move failed = %s\n", move_to_text(m));
    print_out(OUT_DUMP, "from = %d, to = %d, pc = %d, capt = %d, prom = %d\n", move_from(m), move_to(m), move_piece(m),
              move_captured(m), move_promotion(m));
    print_out(OUT_DUMP, "hashlock = %s, ", key_to_text(pos.st.hash >> 32));
    const auto entry = pos.trans_table ? tt_find(pos) : std::nullopt;
    // Without an entry for the position there is no lock to show; 0 stands for none.
    print_out(OUT_DUMP, "transhashlock = %s\n", key_to_text(entry ? entry->lock : 0));
    dump_position(pos);
}

// Runs the entry action of the stage now current.
void enter_stage(Position& pos, MoveList& list, const SearchInfo& info) {
    list.next = 0;
    switch (stage_table[list.stage]) {
        case STAGE_EVASIONS:
            gen_evasions(pos, list);
            score_evasions(pos, list, info);
            break;
        case STAGE_HASH_MOVE:
            // Tried before anything is generated: a cut-off here costs no generation.
            list.count = 0;
            if (list.hash_move) list.moves[list.count++] = {list.hash_move, 0};
            break;
        case STAGE_GOOD_CAPTURES:
            list.bad_count = 0;
            [[fallthrough]];
        case STAGE_QS_CAPTURES:
            gen_captures(pos, list);
            for (int i = 0; i < list.count; ++i) list.moves[i].score = mvv_lva(list.moves[i].move);
            break;
        case STAGE_BAD_CAPTURES:
            for (int i = 0; i < list.bad_count; ++i) list.moves[i] = list.bad[i];
            list.count = list.bad_count;
            break;
        case STAGE_KILLERS:
            // They refuted a sibling; testing two moves is cheaper than generating every quiet.
            list.count = 0;
            if (list.killer1) list.moves[list.count++] = {list.killer1, KILLER1_SCORE};
            if (list.killer2) list.moves[list.count++] = {list.killer2, KILLER2_SCORE};
            break;
        case STAGE_QUIETS:
            gen_quiets(pos, list);
            for (int i = 0; i < list.count; ++i)
                list.moves[i].score = info.history[history_index(list.side, list.moves[i].move)];
            break;
        case STAGE_QS_CHECKS:
            gen_quiet_checks(pos, list);
            for (int i = 0; i < list.count; ++i)
                list.moves[i].score = info.history[history_index(list.side, list.moves[i].move)];
            break;
        default:  // STAGE_END: nothing more
            list.count = 0;
            break;
    }
}

// Whether the stage hands out the selected move.
bool accept(Position& pos, MoveList& list, const ScoredMove& entry, const SearchInfo& info) {
    const Move m = entry.move;
    switch (stage_table[list.stage]) {
        case STAGE_EVASIONS: return true;
        case STAGE_HASH_MOVE:
            if (is_valid_move(pos, m, list.pinned)) return true;
            // The dump belongs to the main thread; a helper just skips the move.
            if (!info.helper) report_bad_hash_move(pos, m);
            return false;
        case STAGE_GOOD_CAPTURES:
            if (m == list.hash_move) return false;
            if (!is_good_capture(pos, m)) {
                if (list.bad_count < MAX_BAD_MOVES) list.bad[list.bad_count++] = entry;
                return false;
            }
            return is_legal(pos, m, list.pinned);
        case STAGE_QS_CAPTURES: return is_good_capture(pos, m) && is_legal(pos, m, list.pinned);
        case STAGE_BAD_CAPTURES: return m != list.hash_move && is_legal(pos, m, list.pinned);
        case STAGE_KILLERS: return m != list.hash_move && is_valid_move(pos, m, list.pinned);
        case STAGE_QUIETS:
            if (m == list.hash_move || m == list.killer1 || m == list.killer2) return false;
            return is_castle(m) || is_legal(pos, m, list.pinned);
        case STAGE_QS_CHECKS: return see(pos, m) >= 0 && is_legal(pos, m, list.pinned);
        default: return false;
    }
}

}  // namespace

ScoredMove* next_move(Position& pos, MoveList& list, const SearchInfo& info) {
    for (;;) {
        while (list.next < list.count) {
            const int i = list.next++;
            // Selection of the best remaining entry; on equal scores the earliest wins.
            ScoredMove* const first = list.moves + i;
            ScoredMove* best = first;
            int best_score = first->score;
            for (ScoredMove *m = first + 1, *end = list.moves + list.count; m != end; ++m)
                if (m->score > best_score) {
                    best = m;
                    best_score = m->score;
                }
            if (best != first) {
                list.moves[list.count] = *first;
                *first = *best;
                *best = list.moves[list.count];
            }
            if (accept(pos, list, *first, info)) return first;
        }
        if (stage_table[list.stage] == STAGE_END) return nullptr;
        list.stage += 1;
        enter_stage(pos, list, info);
        if (stage_table[list.stage] == STAGE_END) return nullptr;
    }
}
