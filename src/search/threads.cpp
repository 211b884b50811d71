// The helper threads: creation, the parked wait between searches, start and
// stop of a search, and the counters the main thread reads while it reports.
#include "search/threads.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "eval/pawn_table.h"
#include "nnue/nnue.h"
#include "search/search.h"
#include "search/trans_table.h"
#include "io/output.h"

namespace {

// Nodes between a helper's looks at the stop flag: well under a millisecond.
constexpr std::int64_t HELPER_POLL_INTERVAL = 1024;

// Everything a helper writes during a search; one per helper, on the heap,
// made when the thread count is set.
struct Worker {
    Position pos;
    SearchInfo info;
    RootMove root_moves[MAX_MOVES];
    int root_count = 0;
    std::atomic<std::int64_t> nodes{0};
    std::atomic<int> trans_used{1};
    std::atomic<std::int64_t> tb_hits{0};
    std::thread thread;
};

std::vector<std::unique_ptr<Worker>> workers;

std::mutex mutex;
std::condition_variable wake, idle, deeper;
std::uint64_t generation = 0;  // a new search for the helpers to start
bool quitting = false;
int running = 0;  // helpers still searching the current root

std::atomic<bool> stop_flag{false};
std::atomic<int> main_depth{1};

// A node limit while the main thread thinks (none while it ponders or
// analyses) and the main thread's nodes at its last poll: a helper that
// finds every thread's total spent stops the helpers itself, so a main
// thread the system leaves waiting does not leave them searching on.
std::atomic<std::int64_t> shared_node_limit{INT64_MAX};
std::atomic<std::int64_t> main_nodes{0};

std::int64_t node_limit_of(const SearchInfo& info) {
    return info.status == THINKING && info.nodes_limited ? info.node_limit : INT64_MAX;
}

// The first thread to complete an iteration completes it for all: a helper
// that finishes the main thread's iteration first leaves its line here, and
// the main thread takes it instead of finishing the same iteration itself.
bool share_iterations = false;
std::atomic<int> taken_depth{0};
Line taken_line;  // under the mutex

// `seen` is the search generation at the thread's birth: it waits for the next.
void worker_loop(Worker& w, std::uint64_t seen) {
    relay_thread_output();  // only the main thread writes to the GUI
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [&] { return quitting || generation != seen; });
            if (quitting) return;
            seen = generation;
        }
        helper_think(w.pos, w.info, w.root_moves, w.root_count);
        w.nodes.store(w.info.nodes, std::memory_order_relaxed);
        w.tb_hits.store(w.info.tb_hits, std::memory_order_relaxed);
        std::lock_guard<std::mutex> lock(mutex);
        if (--running == 0) idle.notify_all();
    }
}

void stop_helpers() {
    std::unique_lock<std::mutex> lock(mutex);
    stop_flag.store(true, std::memory_order_relaxed);
    deeper.notify_all();
    idle.wait(lock, [] { return running == 0; });
}

}  // namespace

int threads_configure(int count, int pawn_power) {
    threads_shutdown();
    count = count < 1 ? 1 : count > MAX_THREADS ? MAX_THREADS : count;
    for (int i = 1; i < count; ++i) {
        std::unique_ptr<Worker> w(new (std::nothrow) Worker);
        if (!w) break;
        w->pos.pawn_table = nullptr;
        if (!pawn_table_allocate(w->pos, pawn_power)) break;
        w->pos.nnue = nnue_stack_new();  // none: the helper's network evaluations start afresh
        // Touched now, when the thread count is set, not page by page in the
        // helper's first search, where a short search would pay for it.
        pawn_table_clear(w->pos);
        workers.push_back(std::move(w));
    }
    std::lock_guard<std::mutex> lock(mutex);
    quitting = false;
    std::size_t made = 0;
    try {
        for (; made < workers.size(); ++made)
            workers[made]->thread = std::thread(worker_loop, std::ref(*workers[made]), generation);
    } catch (const std::system_error&) {
        // No room for another thread (its stack's address space, a process
        // limit): the helpers made so far search, the rest are let go.
        for (std::size_t i = made; i < workers.size(); ++i) pawn_table_free(workers[i]->pos);
        workers.resize(made);
    }
    return threads_count();
}

int threads_count() { return int(workers.size()) + 1; }

void threads_shutdown() {
    if (workers.empty()) return;
    stop_helpers();
    {
        std::lock_guard<std::mutex> lock(mutex);
        quitting = true;
    }
    wake.notify_all();
    for (auto& w : workers) {
        w->thread.join();
        pawn_table_free(w->pos);
        nnue_stack_free(w->pos.nnue);
    }
    workers.clear();
    tt_set_shared(false);
}

void threads_clear_pawn_tables() {
    for (auto& w : workers) pawn_table_clear(w->pos);
}

HelperSearch::HelperSearch(const Position& root, const SearchInfo& main_info, const RootMove* moves, int count,
                           bool start, bool share) {
    // Counters of an earlier search must not count in this one.
    for (auto& w : workers) {
        w->info.completed.depth = 0;
        w->nodes.store(0, std::memory_order_relaxed);
        w->trans_used.store(1, std::memory_order_relaxed);
        w->tb_hits.store(0, std::memory_order_relaxed);
    }
    // The table's rule for threads that share it holds only while they do: a
    // search on one thread stores as one thread always has.
    tt_set_shared(start && !workers.empty());
    taken_depth.store(0, std::memory_order_relaxed);
    share_iterations = share && start;
    if (workers.empty() || !start) return;
    stop_flag.store(false, std::memory_order_relaxed);
    main_depth.store(1, std::memory_order_relaxed);
    threads_main_poll(main_info);
    int number = 0;
    for (auto& w : workers) {
        // The root position and its game history, with the helper's own pawn table.
        PawnEntry* const pawn_table = w->pos.pawn_table;
        const std::uint64_t size = w->pos.pawn_table_size, mask = w->pos.pawn_table_mask;
        NnueStack* const nnue = w->pos.nnue;
        w->pos = root;
        w->pos.nnue = nnue;
        w->pos.pawn_table = pawn_table;
        w->pos.pawn_table_size = size;
        w->pos.pawn_table_mask = mask;
        w->pos.params = &w->pos.param_block;

        SearchInfo& info = w->info;
        search_info_init(info, main_info.start_time);
        info.status = ANALYSING;  // no clock and no node limit: the main thread decides
        info.poll_interval = HELPER_POLL_INTERVAL;
        info.moves_limited = main_info.moves_limited;
        std::copy(main_info.search_moves, main_info.search_moves + MAX_SEARCH_MOVES, info.search_moves);
        info.hash_move[0] = main_info.hash_move[0];
        info.helper = ++number;
        std::copy(moves, moves + count, w->root_moves);
        w->root_count = count;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        running = int(workers.size());
        ++generation;
    }
    wake.notify_all();
}

void HelperSearch::stop() const {
    if (!workers.empty()) stop_helpers();
}

void HelperSearch::set_depth(int depth) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        main_depth.store(depth, std::memory_order_relaxed);
    }
    deeper.notify_all();
}

void helper_wait_deeper(int depth) {
    std::unique_lock<std::mutex> lock(mutex);
    deeper.wait(lock, [depth] {
        return stop_flag.load(std::memory_order_relaxed) || main_depth.load(std::memory_order_relaxed) > depth;
    });
}

void helper_completed(int depth, const Line& line) {
    if (!share_iterations) return;
    std::lock_guard<std::mutex> lock(mutex);
    if (main_depth.load(std::memory_order_relaxed) != depth || taken_depth.load(std::memory_order_relaxed) >= depth)
        return;
    taken_line = line;
    taken_depth.store(depth, std::memory_order_release);
}

bool iteration_taken(int depth) { return taken_depth.load(std::memory_order_relaxed) >= depth; }

bool take_iteration(int depth, Line& line) {
    std::lock_guard<std::mutex> lock(mutex);
    if (taken_depth.load(std::memory_order_relaxed) != depth) return false;
    line = taken_line;
    return true;
}

void threads_main_poll(const SearchInfo& info) {
    if (workers.empty()) return;
    main_nodes.store(info.nodes, std::memory_order_relaxed);
    shared_node_limit.store(node_limit_of(info), std::memory_order_relaxed);
}

int helper_depth() { return main_depth.load(std::memory_order_relaxed); }

bool helpers_stopping() { return stop_flag.load(std::memory_order_relaxed); }

void helper_poll(const Position& pos, SearchInfo& info) {
    Worker& w = *workers[std::size_t(info.helper - 1)];
    w.nodes.store(info.nodes, std::memory_order_relaxed);
    w.trans_used.store(pos.trans_used, std::memory_order_relaxed);
    w.tb_hits.store(info.tb_hits, std::memory_order_relaxed);
    const std::int64_t limit = shared_node_limit.load(std::memory_order_relaxed);
    if (limit != INT64_MAX) {
        std::int64_t total = main_nodes.load(std::memory_order_relaxed);
        for (const auto& other : workers) total += other->nodes.load(std::memory_order_relaxed);
        if (total >= limit) stop_flag.store(true, std::memory_order_relaxed);
    }
    // An iteration the main thread has gone past is abandoned for its new one.
    if (stop_flag.load(std::memory_order_relaxed) || main_depth.load(std::memory_order_relaxed) > info.iteration)
        info.status = STOPPED;
}

int helper_results(const Line** lines) {
    int count = 0;
    for (const auto& w : workers) lines[count++] = &w->info.completed;
    return count;
}

std::int64_t search_nodes(const SearchInfo& info) {
    std::int64_t nodes = info.nodes;
    if (!info.helper)
        for (const auto& w : workers) nodes += w->nodes.load(std::memory_order_relaxed);
    return nodes;
}

std::int64_t search_tb_hits(const SearchInfo& info) {
    std::int64_t hits = info.tb_hits;
    for (const auto& w : workers) hits += w->tb_hits.load(std::memory_order_relaxed);
    return hits;
}

int search_hashfull(const Position& pos) {
    if (workers.empty()) return tt_hashfull(pos);
    std::int64_t used = pos.trans_used;
    for (const auto& w : workers) used += w->trans_used.load(std::memory_order_relaxed) - 1;
    return pos.trans_table_size ? int(std::min<std::int64_t>(used * 1000 / std::int64_t(pos.trans_table_size), 1000)) : 0;
}
